// Pictures as files: PNG (compressed, through stb_image_write) and binary
// PPM, each written in place of the file under its name (replace_file.h),
// and PNG read back.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pictures/image.h"
#include "pictures/replace_file.h"

// The whole PNG file of `image`, 8-bit RGB; empty when it cannot be made
// (no pixels, no memory).
std::vector<std::uint8_t> EncodePng(const Image& image);

// Writes PNG (".png") or binary PPM (".ppm"), chosen by the path's extension,
// any case. False with "PATH: reason" in `error` (when given).
bool WriteImage(const std::string& path, const Image& image, std::string* error,
                Durability durability = Durability::kSynced);
bool WritePng(const std::string& path, const Image& image, std::string* error,
              Durability durability = Durability::kSynced);
bool WritePpm(const std::string& path, const Image& image, std::string* error,
              Durability durability = Durability::kSynced);

// Any PNG (palette, grey, 16-bit, interlaced) as 8-bit channels; the alpha
// dropped, or kept in the top byte. False with the reason in `error`.
enum class Alpha { kDropped, kKept };
bool DecodePng(std::span<const std::uint8_t> bytes, Image& image, std::string* error,
               Alpha alpha = Alpha::kDropped);
bool ReadPng(const std::string& path, Image& image, std::string* error);
