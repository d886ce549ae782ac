// What the C++ library of Debian's emscripten (libc++ 13) lacks of C++20 and
// the sources use, included before every file of the browser build: bit_cast,
// and to_chars and from_chars for float. They give what the standard says
// (shortest round trip, "C" locale), through the C library's correctly
// rounded printf and strtof.
#pragma once

#ifdef __cplusplus
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <type_traits>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000
namespace std {

template <class To, class From>
requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> &&
         is_trivially_copyable_v<From>) constexpr To bit_cast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}

namespace quillon_compat {

// The shortest text of `value` in one notation that reads back as it: printf's
// correctly rounded "%.*e" or "%.*f" with the fewest digits that do.
inline int Shortest(char* out, float value, bool fixed) {
  for (int digits = 0;; ++digits) {
    const int n = std::snprintf(out, 64, fixed ? "%.*f" : "%.*e", digits, double(value));
    if (!std::isfinite(value) || std::strtof(out, nullptr) == value) return n;
  }
}

inline to_chars_result Copy(char* first, char* last, const char* text, int n) {
  if (last - first < n) return {last, errc::value_too_large};
  std::memcpy(first, text, static_cast<size_t>(n));
  return {first + n, errc()};
}

}  // namespace quillon_compat

inline to_chars_result to_chars(char* first, char* last, float value, chars_format fmt) {
  char text[64];
  const bool fixed = fmt == chars_format::fixed;
  return quillon_compat::Copy(first, last, text, quillon_compat::Shortest(text, value, fixed));
}

// The shorter of the two notations, fixed when they tie.
inline to_chars_result to_chars(char* first, char* last, float value) {
  char fixed[64], scientific[64];
  const int f = quillon_compat::Shortest(fixed, value, true);
  const int e = quillon_compat::Shortest(scientific, value, false);
  return f <= e ? quillon_compat::Copy(first, last, fixed, f)
                : quillon_compat::Copy(first, last, scientific, e);
}

namespace quillon_compat {

inline float Parse(const char* text, char** end, float) { return std::strtof(text, end); }
inline double Parse(const char* text, char** end, double) { return std::strtod(text, end); }

// The general format: an optional '-', then digits with an optional point and
// exponent, or inf or nan; no leading space, '+' or "0x" as strtod would take.
template <typename Float>
from_chars_result FromChars(const char* first, const char* last, Float& value) {
  char text[128];
  const size_t n = static_cast<size_t>(last - first) < sizeof text - 1
                       ? static_cast<size_t>(last - first)
                       : sizeof text - 1;
  std::memcpy(text, first, n);
  text[n] = '\0';
  const char* start = text[0] == '-' ? text + 1 : text;
  const bool hex = start[0] == '0' && (start[1] | 0x20) == 'x';
  const bool number = (*start >= '0' && *start <= '9') || *start == '.' || (*start | 0x20) == 'i' ||
                      (*start | 0x20) == 'n';
  if (!number) return {first, errc::invalid_argument};
  char* end = nullptr;
  const int saved = errno;
  errno = 0;
  Float parsed = Parse(text, &end, Float());
  // A subnormal result is a value, not a range error; "-nan" keeps its sign.
  const bool range = errno == ERANGE && (parsed == 0 || std::isinf(parsed));
  if (std::isnan(parsed) && text[0] == '-') parsed = -std::fabs(parsed);
  errno = saved;
  if (hex) end = const_cast<char*>(start) + 1;  // "0" alone, as the standard reads it
  if (end == text) return {first, errc::invalid_argument};
  const from_chars_result result{first + (end - text), range ? errc::result_out_of_range : errc()};
  if (!range) value = hex ? (text[0] == '-' ? -Float(0) : Float(0)) : parsed;
  return result;
}

}  // namespace quillon_compat

inline from_chars_result from_chars(const char* first, const char* last, float& value,
                                    chars_format = chars_format::general) {
  return quillon_compat::FromChars(first, last, value);
}

inline from_chars_result from_chars(const char* first, const char* last, double& value,
                                    chars_format = chars_format::general) {
  return quillon_compat::FromChars(first, last, value);
}

}  // namespace std
#endif
#endif
