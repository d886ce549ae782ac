// The SDL host's settings: each is an environment variable, and most have a
// command-line option too, which wins over the variable (HostSettings lists
// them with what they do). Malformed values are refused, quoted.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

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

// One setting, for the command line, --help and messages.
struct HostSetting {
  const char* variable;  // QUILLON_...
  const char* option;    // "--device", or empty when only the variable sets it
  const char* value;     // what it takes ("DIR", "hal|ref"); a switch's is "[=0|1]"
  const char* help;      // what it does, with its default
};
const std::vector<HostSetting>& HostSettings();

// `get` looks a variable up (null when unset). Malformed values are reported
// in `error`, naming the variable and its option and quoting the value, and
// the call returns false.
bool ReadHostConfig(const std::function<const char*(const char*)>& get, HostConfig& config,
                    std::string& error);

// The host's command line: --help, --version, and the settings' options as
// --name=VALUE or --name VALUE (a switch alone means on).
struct CommandLine {
  bool help = false;
  bool version = false;
  std::vector<std::pair<std::string, std::string>> settings;  // variable, value
};
// False with one line in `error` for an unknown option or a missing value.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error);
// What --help prints.
std::string UsageText();
