// A key script on Windows: its polls replace the system keyboard's keys, and
// the frames its `capture` lines ask for are read from the device.
#pragma once

#include <string>

#include "hostcommon/key_script.h"

struct WinKeyScript {
  KeyScriptPlayer player;
  std::string captureFolder;  // where names that are not absolute go
};
