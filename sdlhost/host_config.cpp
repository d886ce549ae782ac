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
    if (level != "error" && level != "warning" && level != "info" && level != "debug")
      return error = "QUILLON_LOG_LEVEL must be error, warning, info or debug", false;
    config.logInfo = level == "info" || level == "debug";
  }
  return true;
}
