// The SDL host's settings, read from the environment.
//
//   QUILLON_WINDOWED=1     a full-screen device is shown in a 640x480 window
//   QUILLON_VSYNC=0        full-screen presents do not wait for the retrace
//   QUILLON_KEYS=FILE      the keyboard plays a key script (key_script.h)
//   QUILLON_TIME=SECONDS   the time of day is fixed at SECONDS after midnight
//   QUILLON_TRACE=FILE     the first frames' device calls are written as scenes
//   QUILLON_TRACE_FRAMES=N how many frames the trace records (3)
//   QUILLON_DEVICE=hal|ref hal: the hardware device on any OpenGL 3.3 renderer,
//                          software ones included; ref: never the hardware device
//   QUILLON_LOG_LEVEL=L    error|warn|info|debug: which host lines reach stderr
//                          (warn); info adds the device taken, with its renderer
//   QUILLON_HUD=ITEMS      fps,frametime,device drawn over the shown picture
//   QUILLON_SCALE=nearest|linear  the filter when the picture is scaled (nearest)
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "gldevice/gl_context.h"
#include "sdlhost/host_log.h"

struct HostConfig {
  bool windowed = false;
  bool vsync = true;
  std::string keysPath;
  std::optional<double> fixedTime;
  std::string tracePath;
  int traceFrames = 3;
  DeviceChoice device = DeviceChoice::Auto;
  LogLevel logLevel = LogLevel::Warn;
  // The overlay's parts; none drawn when all are false.
  bool hudFps = false, hudFrameTime = false, hudDevice = false;
  bool linearScaling = false;
  // Frames are drawn into the window's surface even without a screen (see
  // DisplayOptions::drawUnseen); SDL_VIDEO_OFFSCREEN_SAVE_FRAMES asks too.
  bool drawUnseen = false;
};

// `get` looks a variable up (null when unset). Malformed values are reported
// in `error` and the call returns false.
bool ReadHostConfig(const std::function<const char*(const char*)>& get, HostConfig& config,
                    std::string& error);
