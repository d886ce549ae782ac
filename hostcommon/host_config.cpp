#include "sdlhost/host_config.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "scene/user_files.h"

namespace {

constexpr int kMaxThreads = 64;  // the reference device's limit

bool IsSet(const char* v) { return v != nullptr && *v != '\0'; }

// "1", "true", "yes", "on" (any case) and "0", "false", "no", "off".
constexpr const char* kFlagWords = "1, 0, true, false, yes, no, on or off";
std::optional<bool> Flag(std::string_view v) {
  std::string lower;
  for (char c : v) lower.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c));
  if (lower == "1" || lower == "true" || lower == "yes" || lower == "on") return true;
  if (lower == "0" || lower == "false" || lower == "no" || lower == "off") return false;
  return std::nullopt;
}

const HostSetting* Find(std::string_view variable) {
  for (const auto& s : HostSettings())
    if (variable == s.variable) return &s;
  return nullptr;
}

// "QUILLON_DEVICE (--device) 'fast' is refused: it must be hal or ref".
bool Refuse(std::string& error, const char* variable, const char* value, const std::string& rule) {
  const HostSetting* s = Find(variable);
  error = std::string(variable) + (s && *s->option ? std::string(" (") + s->option + ")" : "") +
          " '" + scene::Printable(value) + "' is refused: it must be " + rule;
  return false;
}

bool ReadCount(const char* v, int low, int high, int& out) {
  const std::string_view s = v;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && out >= low && out <= high;
}

bool ReadHud(std::string_view rest, HostConfig& config) {
  while (!rest.empty()) {
    const auto comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    if (item == "fps")
      config.hudFps = true;
    else if (item == "frametime")
      config.hudFrameTime = true;
    else if (item == "device")
      config.hudDevice = true;
    else if (item == "1" || item == "full")
      config.hudFps = config.hudFrameTime = config.hudDevice = true;
    else if (item != "0" && !item.empty())
      return false;
  }
  return true;
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

const std::vector<HostSetting>& HostSettings() {
  static const std::vector<HostSetting> settings{
      {"QUILLON_DEVICE", "--device", "hal|ref",
       "force the hardware (OpenGL) or the reference (software) device (default: hardware on "
       "a non-software OpenGL renderer, else reference)"},
      {"QUILLON_WINDOWED", "--windowed", "[=0|1]",
       "show the full-screen picture in a resizable window (0)"},
      {"QUILLON_HUD", "--hud", "[=ITEMS]",
       "draw an overlay: fps,frametime,device, or 1 for all (none)"},
      {"QUILLON_VSYNC", "--vsync", "[=0|1]", "full screen waits for the display's refresh (1)"},
      {"QUILLON_THREADS", "--threads", "N",
       "threads the reference device draws with, 1 to 64 (the processors, at most 8)"},
      {"QUILLON_SCALE", "--scale", "nearest|linear", "how a scaled picture is filtered (nearest)"},
      {"QUILLON_DRIVE_C", "--drive-c", "DIR",
       "the folder standing for drive C, where FPS.TXT goes (default: "
       "$XDG_DATA_HOME/quillon/drive_c, that is ~/.local/share/quillon/drive_c, made on first "
       "use)"},
      {"QUILLON_KEYS", "--keys", "FILE", "play a key script instead of reading the keyboard"},
      {"QUILLON_LOG_LEVEL", "--log-level", "LEVEL",
       "error, warn, info or debug: which of the host's lines reach stderr (warn); info also "
       "names the device and the log's path"},
      {"QUILLON_TIME", "", "SECONDS", "fix the time of day (seconds after midnight)"},
      {"QUILLON_TRACE", "", "FILE",
       "write the first frames' device calls as scenes for quillon-replay (its folder is made)"},
      {"QUILLON_TRACE_FRAMES", "", "N", "how many frames the trace records (3)"},
      {"QUILLON_KERNELS", "", "0",
       "the reference device draws every pixel with its plain per-pixel code, not its fast "
       "kernels (1)"},
  };
  return settings;
}

bool ReadHostConfig(const std::function<const char*(const char*)>& get, HostConfig& config,
                    std::string& error) {
  config = HostConfig{};
  for (auto [name, flag] : {std::pair{"QUILLON_WINDOWED", &config.windowed},
                            std::pair{"QUILLON_VSYNC", &config.vsync}}) {
    if (const char* v = get(name); IsSet(v)) {
      auto f = Flag(v);
      if (!f) return Refuse(error, name, v, kFlagWords);
      *flag = *f;
    }
  }
  if (const char* v = get("QUILLON_KEYS"); IsSet(v)) config.keysPath = v;
  if (const char* v = get("QUILLON_TIME"); IsSet(v)) {
    char* end = nullptr;
    double t = std::strtod(v, &end);
    if (end == v || *end != '\0' || !std::isfinite(t) || t < 0 || t >= 86400)
      return Refuse(error, "QUILLON_TIME", v, "seconds after midnight (0 to 86399.99)");
    config.fixedTime = t;
  }
  if (const char* v = get("QUILLON_TRACE"); IsSet(v)) config.tracePath = v;
  if (const char* v = get("QUILLON_TRACE_FRAMES");
      IsSet(v) && !ReadCount(v, 1, 10000, config.traceFrames))
    return Refuse(error, "QUILLON_TRACE_FRAMES", v, "a count from 1 to 10000");
  // The device reads it itself; a bad count must not quietly become the default.
  if (int n = 0;
      IsSet(get("QUILLON_THREADS")) && !ReadCount(get("QUILLON_THREADS"), 1, kMaxThreads, n))
    return Refuse(error, "QUILLON_THREADS", get("QUILLON_THREADS"),
                  "a count of threads from 1 to " + std::to_string(kMaxThreads));
  if (const char* v = get("QUILLON_DEVICE"); IsSet(v)) {
    std::string ignored;
    if (!ParseDeviceChoice(v, config.device, ignored))
      return Refuse(error, "QUILLON_DEVICE", v, "hal or ref");
  }
  if (const char* v = get("QUILLON_LOG_LEVEL"); IsSet(v)) {
    const std::string_view level = v;
    if (level == "error")
      config.logLevel = LogLevel::Error;
    else if (level == "warn" || level == "warning")
      config.logLevel = LogLevel::Warn;
    else if (level == "info")
      config.logLevel = LogLevel::Info;
    else if (level == "debug")
      config.logLevel = LogLevel::Debug;
    else
      return Refuse(error, "QUILLON_LOG_LEVEL", v, "error, warn, info or debug");
  }
  if (const char* v = get("QUILLON_HUD"); IsSet(v) && !ReadHud(v, config))
    return Refuse(error, "QUILLON_HUD", v,
                  "a list of fps, frametime and device, or 1 for all and 0 for none");
  if (const char* v = get("QUILLON_SCALE"); IsSet(v)) {
    const std::string_view scale = v;
    if (scale != "nearest" && scale != "linear")
      return Refuse(error, "QUILLON_SCALE", v, "nearest or linear");
    config.linearScaling = scale == "linear";
  }
  return true;
}

bool ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error) {
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
    for (const auto& s : HostSettings())
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

std::string UsageText() {
  std::string text =
      "usage: quillon [OPTION...] | --help | --version\n"
      "\n"
      "A full-screen 3D demonstration: a spinning, alpha-blended cloud of 1000\n"
      "random triangles over a blue background, drawn at 640x480. It logs its\n"
      "frame rate, one line per frame, to C:\\FPS.TXT on its drive C.\n"
      "\n"
      "Keys (the program's own four and Escape are read even while another\n"
      "window has the focus; the others are the host's, taken from the window):\n"
      "  Up, Down      move the eye away from / towards the cloud\n"
      "  Left, Right   turn the cloud about its vertical axis\n"
      "  Escape        end the program (so do Alt+F4 and the window's close button)\n"
      "  F12           save the picture on screen as PNG in\n"
      "                $XDG_PICTURES_DIR/quillon (~/Pictures/quillon)\n"
      "  Alt+Enter     show the picture in a window, and full screen again\n"
      "\n"
      "Settings: each option stands for its variable and wins over it.\n";
  for (const auto& s : HostSettings()) {
    const bool optional = s.value[0] == '[';
    text += "  ";
    if (*s.option) text += std::string(s.option) + (optional ? "" : " ") + s.value + ", ";
    const std::string_view value = s.value;
    text += std::string(s.variable) + "=" +
            std::string(optional ? value.substr(2, value.size() - 3) : value) + "\n";
    text += Wrapped(s.help);
  }
  text +=
      "\n"
      "Messages go to stderr, each line starting with \"quillon:\".\n"
      "Without a display it runs invisibly on SDL's offscreen driver and its keys\n"
      "come from a key script (--keys, QUILLON_KEYS) only: without one it says\n"
      "that there is no keyboard and ends.\n"
      "Exit status: 0 ended by the user, 1 after an error report, 2 bad settings,\n"
      "3 ended by the user but a trace could not be written.\n";
  return text;
}
