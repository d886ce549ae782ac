#include "hostcommon/host_config.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "scene/user_files.h"

namespace {

bool IsSet(const char* v) { return v != nullptr && *v != '\0'; }

const HostSetting* Find(HostSettingList all, std::string_view variable) {
  for (const auto& s : all)
    if (variable == s.variable) return &s;
  return nullptr;
}

std::optional<LogLevel> ReadLogLevel(std::string_view level) {
  if (level == "error") return LogLevel::Error;
  if (level == "warn" || level == "warning") return LogLevel::Warn;
  if (level == "info") return LogLevel::Info;
  if (level == "debug") return LogLevel::Debug;
  return std::nullopt;
}

// `text` in lines of at most 72 characters, each indented by six spaces.
std::string Wrapped(std::string_view text) {
  std::string out, line;
  while (!text.empty()) {
    const auto space = text.find(' ');
    const std::string_view word = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view{} : text.substr(space + 1);
    if (!line.empty() && line.size() + 1 + word.size() > 72) {
      out += "      " + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + std::string(word);
  }
  return out + "      " + line + "\n";
}

}  // namespace

HostSettingList CommonSettings() {
  static const HostSetting settings[] = {
      {"QUILLON_DRIVE_C", "--drive-c", "DIR",
       "the folder standing for drive C, where FPS.TXT goes (default on Linux: "
       "$XDG_DATA_HOME/quillon/drive_c, that is ~/.local/share/quillon/drive_c, made on first "
       "use; on Windows: drive C itself)"},
      {"QUILLON_KEYS", "--keys", "FILE", "play a key script instead of reading the keyboard"},
      {"QUILLON_LOG_LEVEL", "--log-level", "LEVEL",
       "error, warn, info or debug: which of the host's lines reach stderr (warn); info also "
       "names the device and the log's path"},
      {"QUILLON_TIME", "", "SECONDS", "fix the time of day (seconds after midnight)"},
  };
  return settings;
}

bool ReadCommonConfig(const SettingLookup& get, HostSettingList all, CommonConfig& config,
                      std::string& error) {
  config = CommonConfig{};
  if (const char* v = get("QUILLON_KEYS"); IsSet(v)) config.keysPath = v;
  if (const char* v = get("QUILLON_TIME"); IsSet(v)) {
    char* end = nullptr;
    double t = std::strtod(v, &end);
    if (end == v || *end != '\0' || !std::isfinite(t) || t < 0 || t >= 86400)
      return RefuseSetting(all, error, "QUILLON_TIME", v, "seconds after midnight (0 to 86399.99)");
    config.fixedTime = t;
  }
  if (const char* v = get("QUILLON_LOG_LEVEL"); IsSet(v)) {
    const auto level = ReadLogLevel(v);
    if (!level)
      return RefuseSetting(all, error, "QUILLON_LOG_LEVEL", v, "error, warn, info or debug");
    config.logLevel = *level;
  }
  return true;
}

std::optional<bool> ReadFlag(std::string_view v) {
  std::string lower;
  for (char c : v) lower.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c));
  if (lower == "1" || lower == "true" || lower == "yes" || lower == "on") return true;
  if (lower == "0" || lower == "false" || lower == "no" || lower == "off") return false;
  return std::nullopt;
}

bool ReadCount(const char* v, int low, int high, int& out) {
  const std::string_view s = v;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && out >= low && out <= high;
}

bool RefuseSetting(HostSettingList all, std::string& error, const char* variable, const char* value,
                   const std::string& rule) {
  const HostSetting* s = Find(all, variable);
  error = std::string(variable) + (s && *s->option ? std::string(" (") + s->option + ")" : "") +
          " '" + scene::Printable(value) + "' is refused: it must be " + rule;
  return false;
}

bool ParseCommandLine(int argc, const char* const* argv, HostSettingList all, CommandLine& line,
                      std::string& error) {
  line = CommandLine{};
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      line.help = true;
      continue;
    }
    if (arg == "--version") {
      line.version = true;
      continue;
    }
    const auto equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const HostSetting* setting = nullptr;
    for (const auto& s : all)
      if (*s.option && name == s.option) setting = &s;
    if (!setting) {
      error = "unknown option '" + scene::Printable(arg) + "'; quillon --help lists the options";
      return false;
    }
    std::string value;
    if (equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
    } else if (setting->value[0] == '[') {
      value = "1";  // a switch, or the overlay whole
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      error = std::string(setting->option) + " needs a value (" + setting->value +
              "); quillon --help lists the options";
      return false;
    }
    line.settings.emplace_back(setting->variable, value);
  }
  return true;
}

std::string SettingsUsage(HostSettingList all) {
  std::string text;
  for (const auto& s : all) {
    const bool optional = s.value[0] == '[';
    text += "  ";
    if (*s.option) text += std::string(s.option) + (optional ? "" : " ") + s.value + ", ";
    const std::string_view value = s.value;
    text += std::string(s.variable) + "=" +
            std::string(optional ? value.substr(2, value.size() - 3) : value) + "\n";
    text += Wrapped(s.help);
  }
  return text;
}
