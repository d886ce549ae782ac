// The SDL host's settings: those every host reads and its own (SdlSettings
// lists them with what they do).
#pragma once

#include <string>

#include "gldevice/gl_context.h"
#include "hostcommon/host_config.h"

struct HostConfig : CommonConfig {
  bool windowed = false;
  bool vsync = true;
  std::string tracePath;
  int traceFrames = 3;
  DeviceChoice device = DeviceChoice::Auto;
  // The overlay's parts; none drawn when all are false.
  bool hudFps = false, hudFrameTime = false, hudDevice = false;
  bool linearScaling = false;
  // Frames are drawn into the window's surface even without a screen (see
  // DisplayOptions::drawUnseen); SDL_VIDEO_OFFSCREEN_SAVE_FRAMES asks too.
  bool drawUnseen = false;
};

// Every setting the SDL host takes, the common ones among them.
HostSettingList SdlSettings();

// Malformed values are reported in `error`, naming the variable and its
// option and quoting the value, and the call returns false.
bool ReadHostConfig(const SettingLookup& get, HostConfig& config, std::string& error);

// What --help prints.
std::string UsageText();
