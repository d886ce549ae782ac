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

namespace {

// A byte a file name cannot show as it is in a word of its own.
bool NeedsQuotes(unsigned char c) { return c <= ' ' || c == 0x7F || c == '#' || c == '"'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string FileWord(std::string_view name) {
  bool plain = !name.empty() && name[0] != '"';
  for (const char c : name) plain = plain && !NeedsQuotes(static_cast<unsigned char>(c));
  if (plain) return std::string(name);
  static const char kHex[] = "0123456789ABCDEF";
  std::string word = "\"";
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      word += '\\';
      word += ch;
    } else if (c < ' ' || c >= 0x7F) {
      word += "\\x";
      word += kHex[c >> 4];
      word += kHex[c & 15];
    } else {
      word += ch;
    }
  }
  return word + "\"";
}

bool ReadQuotedWord(std::string_view text, std::string& out, std::size_t& used,
                    std::string& reason) {
  out.clear();
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      used = i + 1;
      return true;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (next == '"' || next == '\\') {
      out += next;
      ++i;
    } else if (next == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 &&
               HexDigit(text[i + 3]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
      i += 3;
    } else {
      reason = "a quoted name may hold only \\\", \\\\ and \\xNN after a backslash";
      return false;
    }
  }
  reason = "a quoted name has no closing quote";
  return false;
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
