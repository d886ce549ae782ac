#include "pictures/picture_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

// The one PNG encoder and decoder of the build; files are written and read
// here, not by the library.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_MAX_DIMENSIONS 65536
#include <stb_image.h>

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = s[s.size() - n + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

// The image as 8-bit R, G, B triples, the order both file types store.
std::vector<std::uint8_t> RgbBytes(const Image& image) {
  std::vector<std::uint8_t> rgb(image.pixels.size() * 3);
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    const std::uint32_t p = image.pixels[i];
    rgb[3 * i] = static_cast<std::uint8_t>(p >> 16);
    rgb[3 * i + 1] = static_cast<std::uint8_t>(p >> 8);
    rgb[3 * i + 2] = static_cast<std::uint8_t>(p);
  }
  return rgb;
}

void Append(void* context, void* data, int size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  static_cast<std::vector<std::uint8_t>*>(context)->insert(
      static_cast<std::vector<std::uint8_t>*>(context)->end(), bytes, bytes + size);
}

bool Written(const std::string& path, std::span<const std::uint8_t> bytes, Durability durability,
             std::string* error) {
  std::string why;
  if (WriteWholeFile(path, bytes, durability, why)) return true;
  if (error) *error = path + ": " + why;
  return false;
}

bool Refused(const std::string& path, const char* why, std::string* error) {
  if (error) *error = path + ": " + why;
  return false;
}

std::uint32_t BigEndian(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
         std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

// What the decoder cannot be given: it reserves what a chunk's length or the
// header's size claims before it reads any of it (gigabytes for a file of a
// few bytes), and an empty first data chunk takes it to undefined behaviour.
// Null when the file's chunks are whole and its pixels no more than its data
// can hold; a file that is no PNG at all is the decoder's to name.
const char* Implausible(std::span<const std::uint8_t> bytes) {
  constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 8 || !std::equal(kSignature, kSignature + 8, bytes.begin())) return nullptr;
  bool data = false;
  // Each chunk: its length, its type, its data, a checksum; the last is IEND.
  for (std::size_t at = 8; at < bytes.size();) {
    const std::uint32_t length = bytes.size() - at < 12 ? 0 : BigEndian(bytes, at);
    if (bytes.size() - at < 12 || length > bytes.size() - at - 12)
      return "a chunk runs past the end of the file";
    const auto type = [&](const char* name) {
      return std::equal(bytes.begin() + at + 4, bytes.begin() + at + 8, name);
    };
    if (type("IEND")) break;
    if (type("IDAT")) {
      if (length == 0 && !data) return "its first image data chunk is empty";
      data = true;
    }
    at += 12 + std::size_t{length};
  }
  // Deflate makes at most 1032 bytes of a byte; a pixel takes a bit at least.
  const std::uint64_t pixels =
      bytes.size() < 24 ? 0 : std::uint64_t{BigEndian(bytes, 16)} * BigEndian(bytes, 20);
  return pixels / 8 > bytes.size() * std::uint64_t{1032} ? "more pixels than its data can hold"
                                                         : nullptr;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const Image& image) {
  std::vector<std::uint8_t> png;
  if (!image.Whole()) return png;
  const std::vector<std::uint8_t> rgb = RgbBytes(image);
  if (!stbi_write_png_to_func(Append, &png, image.width, image.height, 3, rgb.data(),
                              image.width * 3))
    png.clear();
  return png;
}

bool WriteImage(const std::string& path, const Image& image, std::string* error,
                Durability durability) {
  if (EndsWith(path, ".png")) return WritePng(path, image, error, durability);
  if (EndsWith(path, ".ppm")) return WritePpm(path, image, error, durability);
  return Refused(path, "unknown image type (use .png or .ppm)", error);
}

bool WritePng(const std::string& path, const Image& image, std::string* error,
              Durability durability) {
  if (!image.Whole()) return Refused(path, "empty image", error);
  const std::vector<std::uint8_t> png = EncodePng(image);
  if (png.empty()) return Refused(path, "the picture cannot be encoded", error);
  return Written(path, png, durability, error);
}

bool WritePpm(const std::string& path, const Image& image, std::string* error,
              Durability durability) {
  if (!image.Whole()) return Refused(path, "empty image", error);
  const std::string header =
      "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  std::vector<std::uint8_t> ppm(header.begin(), header.end());
  const std::vector<std::uint8_t> rgb = RgbBytes(image);
  ppm.insert(ppm.end(), rgb.begin(), rgb.end());
  return Written(path, ppm, durability, error);
}

bool DecodePng(std::span<const std::uint8_t> bytes, Image& image, std::string* error, Alpha alpha) {
  const bool keep = alpha == Alpha::kKept;
  if (const char* why = Implausible(bytes)) {
    if (error) *error = std::string("not a PNG it can read: ") + why;
    return false;
  }
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = bytes.size() > static_cast<std::size_t>(INT32_MAX)
                        ? nullptr
                        : stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()),
                                                &width, &height, &channels, keep ? 4 : 3);
  if (pixels == nullptr) {
    if (error) *error = std::string("not a PNG it can read: ") + stbi_failure_reason();
    return false;
  }
  Image result{width, height, {}};
  result.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const std::size_t step = keep ? 4 : 3;
  for (std::size_t i = 0; i < result.pixels.size(); ++i) {
    const stbi_uc* p = pixels + i * step;
    result.pixels[i] = (keep ? std::uint32_t{p[3]} << 24 : 0) | std::uint32_t{p[0]} << 16 |
                       std::uint32_t{p[1]} << 8 | p[2];
  }
  stbi_image_free(pixels);
  image = std::move(result);
  return true;
}

bool ReadPng(const std::string& path, Image& image, std::string* error) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Refused(path, std::strerror(errno != 0 ? errno : ENOENT), error);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  std::string why;
  if (DecodePng(bytes, image, &why)) return true;
  if (error) *error = path + ": " + why;
  return false;
}
