// What the SDL host takes of the shell's settings (all of them) and says of
// itself in --help.
#pragma once

#include "hostcommon/shell.h"

HostSettingList SdlSettings();
HostUsage SdlUsage();
