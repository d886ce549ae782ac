#include "hostcommon/png_writer.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

constexpr std::size_t kStoredBlockMax = 65535;  // a stored block's length is 16 bits

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// Length, type, data and the CRC of type and data.
void Chunk(std::vector<std::uint8_t>& out, const char (&type)[5],
           std::span<const std::uint8_t> data) {
  Put32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32(out, Crc32(std::span(out).subspan(typeAt)));
}

// A zlib stream of `raw` in stored blocks, with its Adler-32.
std::vector<std::uint8_t> StoredZlib(std::span<const std::uint8_t> raw) {
  std::vector<std::uint8_t> z{0x78, 0x01};  // deflate, 32 KiB window, no dictionary
  z.reserve(raw.size() + raw.size() / kStoredBlockMax * 5 + 16);
  std::size_t at = 0;
  do {
    const std::size_t n = std::min(kStoredBlockMax, raw.size() - at);
    const bool last = at + n == raw.size();
    z.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00
    z.push_back(static_cast<std::uint8_t>(n));
    z.push_back(static_cast<std::uint8_t>(n >> 8));
    z.push_back(static_cast<std::uint8_t>(~n));
    z.push_back(static_cast<std::uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
             raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  } while (at < raw.size());
  Put32(z, Adler32(raw));
  return z;
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::uint32_t Adler32(std::span<const std::uint8_t> bytes, std::uint32_t adler) {
  std::uint32_t a = adler & 0xFFFF, b = adler >> 16;
  for (std::uint8_t byte : bytes) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

std::vector<std::uint8_t> EncodePng(const FramePixels& frame) {
  const auto width = static_cast<std::size_t>(frame.width);
  const auto height = static_cast<std::size_t>(frame.height);
  // Each row: filter type 0, then R, G, B per pixel.
  std::vector<std::uint8_t> raw;
  raw.reserve(height * (1 + width * 3));
  for (std::size_t y = 0; y < height; ++y) {
    raw.push_back(0);
    for (std::size_t x = 0; x < width; ++x) {
      const std::uint32_t p = frame.pixels[y * width + x];
      raw.insert(raw.end(), {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                             static_cast<std::uint8_t>(p)});
    }
  }
  std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  Put32(header, static_cast<std::uint32_t>(frame.width));
  Put32(header, static_cast<std::uint32_t>(frame.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", StoredZlib(raw));
  Chunk(png, "IEND", {});
  return png;
}

bool WritePngFile(const std::string& path, const FramePixels& frame, std::string& error) {
  if (frame.width <= 0 || frame.height <= 0 ||
      frame.pixels.size() !=
          static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height)) {
    error = "empty image";
    return false;
  }
  const std::vector<std::uint8_t> png = EncodePng(frame);
  const std::filesystem::path target(path);
  std::filesystem::path temp = target;
  temp.replace_filename("." + target.filename().string() + ".part");
  // The stream keeps no reason of its own; the system's is in errno.
  const auto reason = [] { return std::string(std::strerror(errno != 0 ? errno : EIO)); };
  {
    errno = 0;
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = reason();
      return false;
    }
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      error = reason();
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    error = ec.message();
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}
