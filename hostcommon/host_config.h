// The settings every host reads, and the pieces a host builds its own from:
// each setting is an environment variable, and most have a command-line
// option too, which wins over the variable. Malformed values are refused,
// quoted.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hostcommon/host_log.h"

// One setting, for the command line, --help and messages.
struct HostSetting {
  const char* variable;  // QUILLON_...
  const char* option;    // "--device", or empty when only the variable sets it
  const char* value;     // what it takes ("DIR", "hal|ref"); a switch's is "[=0|1]"
  const char* help;      // what it does, with its default
};
using HostSettingList = std::span<const HostSetting>;

// What every host reads: the key script, the fixed time of day, which of the
// host's lines are written. (QUILLON_DRIVE_C is read where the log is opened.)
struct CommonConfig {
  std::string keysPath;
  std::optional<double> fixedTime;
  LogLevel logLevel = LogLevel::Warn;
};
// QUILLON_DRIVE_C, QUILLON_KEYS, QUILLON_LOG_LEVEL and QUILLON_TIME.
HostSettingList CommonSettings();

// Looks a variable up: null when unset.
using SettingLookup = std::function<const char*(const char*)>;

// Reads the common settings. A malformed value is reported in `error`, naming
// the variable and its option in `all` and quoting the value, and the call
// returns false.
bool ReadCommonConfig(const SettingLookup& get, HostSettingList all, CommonConfig& config,
                      std::string& error);

// The words a switch takes: "1", "true", "yes", "on" and their opposites, any case.
inline constexpr const char* kFlagWords = "1, 0, true, false, yes, no, on or off";
std::optional<bool> ReadFlag(std::string_view value);
// A whole number from `low` to `high`, nothing after it.
bool ReadCount(const char* value, int low, int high, int& out);
// "QUILLON_DEVICE (--device) 'fast' is refused: it must be hal or ref"; false.
bool RefuseSetting(HostSettingList all, std::string& error, const char* variable, const char* value,
                   const std::string& rule);

// The host's command line: --help, --version, and the settings' options as
// --name=VALUE or --name VALUE (a switch alone means on).
struct CommandLine {
  bool help = false;
  bool version = false;
  std::vector<std::pair<std::string, std::string>> settings;  // variable, value
};
// False with one line in `error` for an unknown option or a missing value.
bool ParseCommandLine(int argc, const char* const* argv, HostSettingList all, CommandLine& line,
                      std::string& error);
// The lines --help gives the settings: the option and variable, then what it does.
std::string SettingsUsage(HostSettingList all);
