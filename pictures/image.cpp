#include "pictures/image.h"

#include "formats/pixel_format.h"

bool FrameToXrgb(const FrameView& frame, std::uint32_t* dest, std::ptrdiff_t destPitch,
                 std::uint32_t orBits) {
  if (frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0) return false;
  if (!pixel_layout::WithLayout(frame.format, [](auto) {})) return false;
  const auto* src = static_cast<const std::uint8_t*>(frame.pixels);
  auto* dst = reinterpret_cast<std::uint8_t*>(dest);
  const auto width = static_cast<std::size_t>(frame.width);
  const auto row = [&](std::int32_t y) {
    return reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * destPitch);
  };
  if (frame.format == D3DFMT_X8R8G8B8 || frame.format == D3DFMT_A8R8G8B8) {
    // Rows packed alike on both sides are one long row.
    if (frame.pitch == destPitch && static_cast<std::size_t>(frame.pitch) == width * 4) {
      XrgbRow(reinterpret_cast<const std::uint32_t*>(src), dest,
              width * static_cast<std::size_t>(frame.height), orBits);
      return true;
    }
    for (std::int32_t y = 0; y < frame.height; ++y)
      XrgbRow(reinterpret_cast<const std::uint32_t*>(src +
                                                     static_cast<std::ptrdiff_t>(y) * frame.pitch),
              row(y), width, orBits);
    return true;
  }
  for (std::int32_t y = 0; y < frame.height; ++y) {
    std::uint32_t* out = row(y);
    ConvertRowToXrgb(frame.format, src + static_cast<std::ptrdiff_t>(y) * frame.pitch, out,
                     frame.width);
    if (orBits != 0)
      for (std::size_t x = 0; x < width; ++x) out[x] |= orBits;
  }
  return true;
}

Image ImageFromFrame(const FrameView& frame) {
  Image image;
  if (frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0) return image;
  image.pixels.resize(static_cast<std::size_t>(frame.width) *
                      static_cast<std::size_t>(frame.height));
  if (!FrameToXrgb(frame, image.pixels.data(), static_cast<std::ptrdiff_t>(frame.width) * 4))
    return Image{};
  image.width = frame.width;
  image.height = frame.height;
  return image;
}

std::int64_t CompareImages(const Image& a, const Image& b) {
  const std::int32_t w = a.width > b.width ? a.width : b.width;
  const std::int32_t h = a.height > b.height ? a.height : b.height;
  std::int64_t count = 0;
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      const bool inA = x < a.width && y < a.height;
      const bool inB = x < b.width && y < b.height;
      if (!inA || !inB || a.At(x, y) != b.At(x, y)) ++count;
    }
  }
  return count;
}
