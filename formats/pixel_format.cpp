#include "formats/pixel_format.h"

// The format is chosen once per row; each loop below is then straight code
// for one layout, which the compiler can unroll and vectorise. Present runs
// one of them over every row of every frame.

bool DecodeRow(std::int32_t format, const void* source, std::uint32_t* argb, int count) {
  const auto* s = static_cast<const std::uint8_t*>(source);
  return pixel_layout::WithLayout(format, [&](auto layout) {
    constexpr int kBytes = decltype(layout)::kBytes;
    for (int i = 0; i < count; ++i) argb[i] = layout.Decode(s + i * kBytes);
  });
}

bool EncodeRow(std::int32_t format, const std::uint32_t* argb, void* dest, int count) {
  auto* d = static_cast<std::uint8_t*>(dest);
  return pixel_layout::WithLayout(format, [&](auto layout) {
    constexpr int kBytes = decltype(layout)::kBytes;
    for (int i = 0; i < count; ++i) layout.Encode(argb[i], d + i * kBytes);
  });
}

bool ConvertRowToXrgb(std::int32_t format, const void* source, std::uint32_t* dest, int count) {
  const auto* s = static_cast<const std::uint8_t*>(source);
  return pixel_layout::WithLayout(format, [&](auto layout) {
    constexpr int kBytes = decltype(layout)::kBytes;
    for (int i = 0; i < count; ++i) dest[i] = layout.Decode(s + i * kBytes) & 0x00FFFFFFu;
  });
}
