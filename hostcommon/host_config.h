// The settings: each is an environment variable, and most have a
// command-line option too, which wins over the variable. The shell knows
// every one and parses each in one place; a host takes those it can honour
// (HostSettingList), and only those reach --help, the command line and the
// reading. Malformed values are refused, quoted.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hostcommon/host_log.h"

// Which device draws: "hal" the hardware one, "ref" the project's reference
// device; unset lets the host decide.
enum class DeviceChoice { Auto, Hal, Ref };

// What the settings say, each at its default when unset.
struct HostConfig {
  std::string keysPath;
  std::optional<double> fixedTime;
  LogLevel logLevel = LogLevel::Warn;
  DeviceChoice device = DeviceChoice::Auto;
  bool windowed = false;
  bool vsync = true;
  bool linearScaling = false;
  // The overlay's parts; none drawn when all are false.
  bool hudFps = false, hudFrameTime = false, hudDevice = false;
  std::string tracePath;
  int traceFrames = 3;
  // The reference device's drawing threads (0: its own default) and whether
  // it takes its fast kernels; handed to the device when it is made.
  int threads = 0;
  bool kernels = true;
  // Frames are drawn into the window's surface even without a screen (tests
  // that look at it ask for this; no setting does).
  bool drawUnseen = false;
};

// One setting, for the command line, --help, messages and its reading.
struct HostSetting {
  const char* variable;  // QUILLON_...
  const char* option;    // "--device", or empty when only the variable sets it
  const char* value;     // what it takes ("DIR", "hal|ref"); a switch's is "[=0|1]"
  const char* help;      // what it does, with its default
  // Takes a value that is set (not empty) into `config`; false when it is
  // malformed. Null for what is read where it is used (drive C).
  bool (*read)(std::string_view value, HostConfig& config) = nullptr;
  const char* rule = "";  // what a refused value must be: "hal or ref"
};
using HostSettingList = std::span<const HostSetting>;

// Every setting the shell knows, in --help's order.
HostSettingList ShellSettings();
// The settings of ShellSettings() named in `variables`, in its order: what a
// host takes.
std::vector<HostSetting> SettingsTaken(std::initializer_list<std::string_view> variables);
// Those every host takes: QUILLON_DRIVE_C, QUILLON_KEYS, QUILLON_LOG_LEVEL,
// QUILLON_TIME.
HostSettingList CommonSettings();

// Looks a variable up: null when unset.
using SettingLookup = std::function<const char*(const char*)>;

// Reads the settings of `taken`; an empty variable is unset. A malformed
// value is reported in `error`, naming the variable and its option and
// quoting the value, and the call returns false.
bool ReadHostConfig(const SettingLookup& get, HostSettingList taken, HostConfig& config,
                    std::string& error);

// The words a switch takes: "1", "true", "yes", "on" and their opposites, any case.
inline constexpr const char* kFlagWords = "1, 0, true, false, yes, no, on or off";
std::optional<bool> ReadFlag(std::string_view value);
// A whole number from `low` to `high`, nothing after it.
bool ReadCount(std::string_view value, int low, int high, int& out);
// "QUILLON_DEVICE (--device) 'fast' is refused: it must be hal or ref"; false.
bool RefuseSetting(HostSettingList all, std::string& error, const char* variable,
                   std::string_view value, const std::string& rule);

// The host's command line: --help, --version, and the settings' options as
// --name=VALUE or --name VALUE (a switch alone means on).
struct CommandLine {
  bool help = false;
  bool version = false;
  std::vector<std::pair<std::string, std::string>> settings;  // variable, value
};
// False with one line in `error` for an unknown option, a missing value or
// an empty one (which the variable would take for unset).
bool ParseCommandLine(int argc, const char* const* argv, HostSettingList all, CommandLine& line,
                      std::string& error);
// The lines --help gives the settings: the option and variable, then what it does.
std::string SettingsUsage(HostSettingList all);
