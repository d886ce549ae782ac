#include "hostcommon/host_config.h"

#include <charconv>
#include <cmath>

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

bool ReadLevel(std::string_view v, HostConfig& c) {
  const auto level = ReadLogLevel(v);
  if (level) c.logLevel = *level;
  return level.has_value();
}

// A plain decimal number: strtod would take leading blanks, hex and the
// locale's decimal mark, each C library its own way.
bool ReadTime(std::string_view v, HostConfig& c) {
  double t = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), t);
  if (ec != std::errc() || end != v.data() + v.size() || !std::isfinite(t) || t < 0 || t >= 86400)
    return false;
  c.fixedTime = t;
  return true;
}

bool ReadDevice(std::string_view v, HostConfig& c) {
  if (v != "hal" && v != "ref") return false;
  c.device = v == "hal" ? DeviceChoice::Hal : DeviceChoice::Ref;
  return true;
}

template <bool HostConfig::*Member>
bool ReadSwitch(std::string_view v, HostConfig& c) {
  const auto flag = ReadFlag(v);
  if (flag) c.*Member = *flag;
  return flag.has_value();
}

bool ReadHud(std::string_view rest, HostConfig& c) {
  while (!rest.empty()) {
    const auto comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    if (item == "fps")
      c.hudFps = true;
    else if (item == "frametime")
      c.hudFrameTime = true;
    else if (item == "device")
      c.hudDevice = true;
    else if (item == "1" || item == "full")
      c.hudFps = c.hudFrameTime = c.hudDevice = true;
    else if (item != "0" && !item.empty())
      return false;
  }
  return true;
}

bool ReadScale(std::string_view v, HostConfig& c) {
  c.linearScaling = v == "linear";
  return v == "nearest" || v == "linear";
}

// The reference device's limit; it takes no more.
constexpr int kMaxThreads = 64;

// clang-format off
const HostSetting kSettings[] = {
    {"QUILLON_DEVICE", "--device", "hal|ref",
     "force the hardware or the reference (software) device (default: the host's choice; on "
     "Linux hardware on a non-software OpenGL renderer, else reference; on Windows the system's "
     "Direct3D 8, ref the reference device shown through GDI)",
     ReadDevice, "hal or ref"},
    {"QUILLON_WINDOWED", "--windowed", "[=0|1]",
     "show the full-screen picture in a resizable window (0)", ReadSwitch<&HostConfig::windowed>,
     kFlagWords},
    {"QUILLON_HUD", "--hud", "[=ITEMS]", "draw an overlay: fps,frametime,device, or 1 for all (none)",
     ReadHud, "a list of fps, frametime and device, or 1 for all and 0 for none"},
    {"QUILLON_VSYNC", "--vsync", "[=0|1]", "full screen waits for the display's refresh (1)",
     ReadSwitch<&HostConfig::vsync>, kFlagWords},
    {"QUILLON_THREADS", "--threads", "N",
     "threads the reference device draws with, 1 to 64 (the processors, at most 8)",
     [](std::string_view v, HostConfig& c) { return ReadCount(v, 1, kMaxThreads, c.threads); },
     "a count of threads from 1 to 64"},
    {"QUILLON_SCALE", "--scale", "nearest|linear", "how a scaled picture is filtered (nearest)",
     ReadScale, "nearest or linear"},
    {"QUILLON_DRIVE_C", "--drive-c", "DIR",
     "the folder standing for drive C, where FPS.TXT goes (default on Linux: "
     "$XDG_DATA_HOME/quillon/drive_c, that is ~/.local/share/quillon/drive_c, made on first "
     "use; on Windows: drive C itself)"},
    {"QUILLON_KEYS", "--keys", "FILE", "play a key script instead of reading the keyboard",
     [](std::string_view v, HostConfig& c) { c.keysPath = v; return true; }},
    {"QUILLON_LOG_LEVEL", "--log-level", "LEVEL",
     "error, warn, info or debug: which of the host's lines reach stderr (warn); info also "
     "names the device and the log's path",
     ReadLevel, "error, warn, info or debug"},
    {"QUILLON_TIME", "", "SECONDS", "fix the time of day (seconds after midnight)", ReadTime,
     "seconds after midnight (0 to 86399.99)"},
    {"QUILLON_TRACE", "", "FILE",
     "write the first frames' device calls as scenes for quillon-replay (its folder is made)",
     [](std::string_view v, HostConfig& c) { c.tracePath = v; return true; }},
    {"QUILLON_TRACE_FRAMES", "", "N", "how many frames the trace records (3)",
     [](std::string_view v, HostConfig& c) { return ReadCount(v, 1, 10000, c.traceFrames); },
     "a count from 1 to 10000"},
    {"QUILLON_KERNELS", "", "0|1",
     "the reference device draws with its fast kernels; 0 sends every pixel through its plain "
     "per-pixel code (1)",
     ReadSwitch<&HostConfig::kernels>, kFlagWords},
};
// clang-format on

}  // namespace

HostSettingList ShellSettings() { return kSettings; }

std::vector<HostSetting> SettingsTaken(std::initializer_list<std::string_view> variables) {
  std::vector<HostSetting> taken;
  for (const HostSetting& s : kSettings)
    for (std::string_view v : variables)
      if (v == s.variable) taken.push_back(s);
  return taken;
}

HostSettingList CommonSettings() {
  static const std::vector<HostSetting> common =
      SettingsTaken({"QUILLON_DRIVE_C", "QUILLON_KEYS", "QUILLON_LOG_LEVEL", "QUILLON_TIME"});
  return common;
}

bool ReadHostConfig(const SettingLookup& get, HostSettingList taken, HostConfig& config,
                    std::string& error) {
  config = HostConfig{};
  for (const HostSetting& s : taken) {
    const char* v = s.read ? get(s.variable) : nullptr;
    if (IsSet(v) && !s.read(v, config)) return RefuseSetting(taken, error, s.variable, v, s.rule);
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

bool ReadCount(std::string_view s, int low, int high, int& out) {
  int n = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  if (ec != std::errc() || end != s.data() + s.size() || n < low || n > high) return false;
  out = n;
  return true;
}

bool RefuseSetting(HostSettingList all, std::string& error, const char* variable,
                   std::string_view value, const std::string& rule) {
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
    // An empty variable reads as unset: the option would quietly undo the variable.
    if (value.empty()) {
      std::string_view takes = setting->value;
      if (takes[0] == '[') takes = takes.substr(2, takes.size() - 3);
      error = std::string(setting->option) + "= has an empty value: it takes " +
              std::string(takes) + "; quillon --help lists the options";
      return false;
    }
    line.settings.emplace_back(setting->variable, value);
  }
  return true;
}

bool RefuseUntaken(HostSettingList taken, const CommandLine& line, const SettingLookup& get,
                   std::string_view host, std::string& error) {
  for (const HostSetting& s : kSettings) {
    if (Find(taken, s.variable)) continue;
    bool set = get && IsSet(get(s.variable));
    for (const auto& given : line.settings) set = set || given.first == s.variable;
    if (!set) continue;
    error = std::string(s.variable) + (*s.option ? std::string(" (") + s.option + ")" : "") +
            " is not taken by this host (" + std::string(host) + ")";
    return false;
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
