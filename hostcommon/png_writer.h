// Frames as PNG files, written without a compression library: the Windows
// build has no libpng or zlib, and a capture must be the same file on both
// systems. The picture data is zlib's stored (uncompressed) blocks.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A frame's pixels as 0x00RRGGBB (the top byte ignored), top row first.
struct FramePixels {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::span<const std::uint32_t> pixels;
};

// The whole PNG file: 8-bit RGB, no filtering, stored deflate blocks.
std::vector<std::uint8_t> EncodePng(const FramePixels& frame);

// Writes the PNG beside `path` under a temporary name and renames it over
// `path` once complete, so no half-written picture appears under the name.
// False with the reason in `error`.
bool WritePngFile(const std::string& path, const FramePixels& frame, std::string& error);

// The checksums the format asks for, exposed for their tests.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);
std::uint32_t Adler32(std::span<const std::uint8_t> bytes, std::uint32_t adler = 1);
