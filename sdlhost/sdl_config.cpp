#include "sdlhost/sdl_config.h"

#include <vector>

namespace {

constexpr int kMaxThreads = 64;  // the reference device's limit

bool IsSet(const char* v) { return v != nullptr && *v != '\0'; }

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

}  // namespace

HostSettingList SdlSettings() {
  static const std::vector<HostSetting> settings = [] {
    std::vector<HostSetting> all{
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
        {"QUILLON_SCALE", "--scale", "nearest|linear",
         "how a scaled picture is filtered (nearest)"},
    };
    const auto common = CommonSettings();
    all.insert(all.end(), common.begin(), common.end());
    all.insert(all.end(),
               {{"QUILLON_TRACE", "", "FILE",
                 "write the first frames' device calls as scenes for quillon-replay (its folder "
                 "is made)"},
                {"QUILLON_TRACE_FRAMES", "", "N", "how many frames the trace records (3)"},
                {"QUILLON_KERNELS", "", "0",
                 "the reference device draws every pixel with its plain per-pixel code, not its "
                 "fast kernels (1)"}});
    return all;
  }();
  return settings;
}

bool ReadHostConfig(const SettingLookup& get, HostConfig& config, std::string& error) {
  config = HostConfig{};
  const HostSettingList all = SdlSettings();
  if (!ReadCommonConfig(get, all, config, error)) return false;
  for (auto [name, flag] : {std::pair{"QUILLON_WINDOWED", &config.windowed},
                            std::pair{"QUILLON_VSYNC", &config.vsync}}) {
    if (const char* v = get(name); IsSet(v)) {
      auto f = ReadFlag(v);
      if (!f) return RefuseSetting(all, error, name, v, kFlagWords);
      *flag = *f;
    }
  }
  if (const char* v = get("QUILLON_TRACE"); IsSet(v)) config.tracePath = v;
  if (const char* v = get("QUILLON_TRACE_FRAMES");
      IsSet(v) && !ReadCount(v, 1, 10000, config.traceFrames))
    return RefuseSetting(all, error, "QUILLON_TRACE_FRAMES", v, "a count from 1 to 10000");
  // The device reads it itself; a bad count must not quietly become the default.
  if (int n = 0;
      IsSet(get("QUILLON_THREADS")) && !ReadCount(get("QUILLON_THREADS"), 1, kMaxThreads, n))
    return RefuseSetting(all, error, "QUILLON_THREADS", get("QUILLON_THREADS"),
                         "a count of threads from 1 to " + std::to_string(kMaxThreads));
  if (const char* v = get("QUILLON_DEVICE"); IsSet(v)) {
    std::string ignored;
    if (!ParseDeviceChoice(v, config.device, ignored))
      return RefuseSetting(all, error, "QUILLON_DEVICE", v, "hal or ref");
  }
  if (const char* v = get("QUILLON_HUD"); IsSet(v) && !ReadHud(v, config))
    return RefuseSetting(all, error, "QUILLON_HUD", v,
                         "a list of fps, frametime and device, or 1 for all and 0 for none");
  if (const char* v = get("QUILLON_SCALE"); IsSet(v)) {
    const std::string_view scale = v;
    if (scale != "nearest" && scale != "linear")
      return RefuseSetting(all, error, "QUILLON_SCALE", v, "nearest or linear");
    config.linearScaling = scale == "linear";
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
  text += SettingsUsage(SdlSettings());
  text +=
      "\n"
      "Messages go to stderr, each line starting with \"quillon:\".\n"
      "Without a display it runs invisibly on SDL's offscreen driver and its keys\n"
      "come from a key script (--keys, QUILLON_KEYS) only: without one it says\n"
      "that there is no keyboard and ends.\n"
      "Exit status: 0 ended by the user, 1 after an error report, 2 bad settings,\n"
      "3 ended by the user but a trace could not be written, 4 ended by the user\n"
      "but a key script's capture could not be written.\n";
  return text;
}
