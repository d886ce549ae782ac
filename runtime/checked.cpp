#include "platform/checked.h"

#include <cfloat>
#include <cmath>

#include "platform/error.h"

std::int32_t AddChecked(std::int32_t a, std::int32_t b) {
  std::int32_t r;
  if (__builtin_add_overflow(a, b, &r)) Raise(ErrOverflow);
  return r;
}

std::int32_t SubChecked(std::int32_t a, std::int32_t b) {
  std::int32_t r;
  if (__builtin_sub_overflow(a, b, &r)) Raise(ErrOverflow);
  return r;
}

std::int32_t MulChecked(std::int32_t a, std::int32_t b) {
  std::int32_t r;
  if (__builtin_mul_overflow(a, b, &r)) Raise(ErrOverflow);
  return r;
}

float ToSingleChecked(double value) {
  if (std::isnan(value)) Raise(ErrOverflow);
  const float f = static_cast<float>(value);
  if (std::isinf(f)) Raise(ErrOverflow);
  return f;
}

double RoundHalfEven(double value) {
  // The default rounding mode is to nearest, ties to even.
  return std::nearbyint(value);
}

std::int16_t CIntChecked(double value) {
  if (std::isnan(value)) Raise(ErrOverflow);
  const double r = RoundHalfEven(value);
  if (r < -32768.0 || r > 32767.0) Raise(ErrOverflow);
  return static_cast<std::int16_t>(r);
}

std::int32_t CLngChecked(double value) {
  if (std::isnan(value)) Raise(ErrOverflow);
  const double r = RoundHalfEven(value);
  if (r < -2147483648.0 || r > 2147483647.0) Raise(ErrOverflow);
  return static_cast<std::int32_t>(r);
}
