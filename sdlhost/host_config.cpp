#include "sdlhost/host_config.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

bool IsSet(const char* v) { return v != nullptr && *v != '\0'; }

// "1", "true", "yes", "on" (any case) and "0", "false", "no", "off".
std::optional<bool> Flag(std::string_view v) {
  std::string lower;
  for (char c : v) lower.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c));
  if (lower == "1" || lower == "true" || lower == "yes" || lower == "on") return true;
  if (lower == "0" || lower == "false" || lower == "no" || lower == "off") return false;
  return std::nullopt;
}

}  // namespace

bool ReadHostConfig(const std::function<const char*(const char*)>& get, HostConfig& config,
                    std::string& error) {
  config = HostConfig{};
  if (const char* v = get("QUILLON_WINDOWED"); IsSet(v)) {
    auto f = Flag(v);
    if (!f) return error = "QUILLON_WINDOWED must be 0 or 1", false;
    config.windowed = *f;
  }
  if (const char* v = get("QUILLON_VSYNC"); IsSet(v)) {
    auto f = Flag(v);
    if (!f) return error = "QUILLON_VSYNC must be 0 or 1", false;
    config.vsync = *f;
  }
  if (const char* v = get("QUILLON_KEYS"); IsSet(v)) config.keysPath = v;
  if (const char* v = get("QUILLON_TIME"); IsSet(v)) {
    char* end = nullptr;
    double t = std::strtod(v, &end);
    if (end == v || *end != '\0' || !std::isfinite(t) || t < 0 || t >= 86400)
      return error = "QUILLON_TIME must be seconds after midnight (0 to 86399.99)", false;
    config.fixedTime = t;
  }
  if (const char* v = get("QUILLON_TRACE"); IsSet(v)) config.tracePath = v;
  if (const char* v = get("QUILLON_TRACE_FRAMES"); IsSet(v)) {
    std::string_view s = v;
    int n = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (ec != std::errc() || end != s.data() + s.size() || n < 1 || n > 10000)
      return error = "QUILLON_TRACE_FRAMES must be a count from 1 to 10000", false;
    config.traceFrames = n;
  }
  if (!ParseDeviceChoice(get("QUILLON_DEVICE"), config.device, error)) return false;
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
      return error = "QUILLON_LOG_LEVEL must be error, warn, info or debug", false;
  }
  if (const char* v = get("QUILLON_HUD"); IsSet(v)) {
    std::string_view rest = v;
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
      else if (!item.empty())
        return error = "QUILLON_HUD is a list of fps, frametime and device (or 1 for all)", false;
    }
  }
  if (const char* v = get("QUILLON_SCALE"); IsSet(v)) {
    const std::string_view scale = v;
    if (scale == "nearest")
      config.linearScaling = false;
    else if (scale == "linear")
      config.linearScaling = true;
    else
      return error = "QUILLON_SCALE must be nearest or linear", false;
  }
  return true;
}
