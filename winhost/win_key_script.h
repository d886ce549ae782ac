// A key script on Windows: its polls replace the system keyboard's keys, and
// the frames its `capture` lines ask for are read from the device.
#pragma once

#include "hostcommon/shell.h"

using WinKeyScript = PlayedKeyScript;
