// XrgbRow where the build has no Highway (Windows): a plain loop, which the
// compiler vectorises for the baseline instruction set.
#include "pictures/image.h"

void XrgbRow(const std::uint32_t* src, std::uint32_t* dst, std::size_t n, std::uint32_t orBits) {
  for (std::size_t i = 0; i < n; ++i) dst[i] = (src[i] & 0x00FFFFFFu) | orBits;
}
