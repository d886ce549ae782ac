// Pictures of frames: the one image type every host and tool shares, the
// conversion of a device's frame to XRGB rows, and exact comparison.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/display_host.h"

// Top-down pixels as 0x00RRGGBB (0xAARRGGBB where a reader was asked to keep
// the alpha).
struct Image {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t At(std::int32_t x, std::int32_t y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
  // Both sides positive, and a pixel for each place.
  bool Whole() const {
    return width > 0 && height > 0 &&
           pixels.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  }
};

// Converts `frame` into rows of 0x00RRGGBB | orBits, `destPitch` bytes apart:
// one conversion per pixel format with a layout (every back-buffer format
// among them), narrow channels widened by bit replication, 32-bit formats
// through the vector rows. False, writing nothing, for any other format.
bool FrameToXrgb(const FrameView& frame, std::uint32_t* dest, std::ptrdiff_t destPitch,
                 std::uint32_t orBits = 0);
// The frame as an Image; an empty one for a format FrameToXrgb refuses.
Image ImageFromFrame(const FrameView& frame);

// Number of differing pixels; different sizes compare over the larger area,
// where a pixel only one image has counts as different.
std::int64_t CompareImages(const Image& a, const Image& b);

// One row of 32-bit pixels: dst = (src & 0x00FFFFFF) | orBits. Vector code
// where the build has it (chosen for the processor when first called), a
// plain loop elsewhere; the same values either way.
void XrgbRow(const std::uint32_t* src, std::uint32_t* dst, std::size_t n, std::uint32_t orBits);
