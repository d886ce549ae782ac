// Overflow-checked arithmetic of the runtime.
//
// 32-bit integer arithmetic raises the overflow error (6) instead of wrapping;
// single-precision stores raise it for results out of range and for invalid
// (NaN) results. Conversions of floating-point values to integers round to the
// nearest integer, ties to even.
#pragma once

#include <cstdint>

std::int32_t AddChecked(std::int32_t a, std::int32_t b);
std::int32_t SubChecked(std::int32_t a, std::int32_t b);
std::int32_t MulChecked(std::int32_t a, std::int32_t b);

// Rounds a double to single precision, raising on overflow or NaN.
float ToSingleChecked(double value);

// Round-half-even conversions, raising the overflow error out of range.
std::int16_t CIntChecked(double value);
std::int32_t CLngChecked(double value);

// Round half to even without range checks (callers know the range).
double RoundHalfEven(double value);
