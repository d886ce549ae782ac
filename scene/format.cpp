#include "scene/format.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace scene {
namespace {

bool IsHex(std::string_view w) {
  return w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X');
}

}  // namespace

std::string_view TransformWord(D3DTRANSFORMSTATETYPE which) {
  switch (which) {
    case D3DTS_WORLD:
      return "world";
    case D3DTS_VIEW:
      return "view";
    case D3DTS_PROJECTION:
      return "proj";
    default:
      return {};
  }
}

std::optional<D3DTRANSFORMSTATETYPE> TransformFromWord(std::string_view word) {
  for (D3DTRANSFORMSTATETYPE which : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION})
    if (word == TransformWord(which)) return which;
  return std::nullopt;
}

bool ParseDword(std::string_view w, DWORD& out) {
  int base = 10;
  if (IsHex(w)) {
    w.remove_prefix(2);
    base = 16;
  }
  if (w.empty() || w[0] == '-' || w[0] == '+') return false;
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v, base);
  if (ec != std::errc() || end != w.data() + w.size() || v > 0xFFFFFFFFull) return false;
  out = static_cast<DWORD>(v);
  return true;
}

bool ParseFloat(std::string_view w, float& out) {
  if (IsHex(w)) {
    DWORD bits;
    if (!ParseDword(w, bits)) return false;
    std::memcpy(&out, &bits, 4);
    return true;
  }
  if (w.empty() || w[0] == '+') return false;
  const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), out);
  return ec == std::errc() && end == w.data() + w.size();
}

std::string HexWord(DWORD value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(value));
  return buf;
}

std::string FloatWord(float value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(value));
  return buf;
}

}  // namespace scene
