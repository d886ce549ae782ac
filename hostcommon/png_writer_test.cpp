#include "hostcommon/png_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string_view>

#ifndef _WIN32
#include "refdevice/image_io.h"
#endif

namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

// The published check values.
TEST(PngWriter, Checksums) {
  EXPECT_EQ(Crc32(Bytes("123456789")), 0xCBF43926u);
  EXPECT_EQ(Crc32(Bytes("")), 0u);
  EXPECT_EQ(Adler32(Bytes("Wikipedia")), 0x11E60398u);
  EXPECT_EQ(Adler32(Bytes("")), 1u);
  // Sums past the modulus: a long run of 0xFF.
  const std::vector<std::uint8_t> ones(5553, 0xFF);
  EXPECT_EQ(Adler32(ones), 0x8E299C8Bu);
}

// Small and large frames (several stored blocks) read back as written; a
// missing folder is refused.
TEST(PngWriter, WritesFramesThatReadBack) {
  const auto dir = std::filesystem::temp_directory_path() / "quillon-png-writer-test";
  std::filesystem::create_directories(dir);
  for (const auto& [width, height] : {std::pair{2, 1}, std::pair{640, 480}}) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * height));
    for (std::size_t i = 0; i < pixels.size(); ++i)
      pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) | 0xFF000000u;
    const std::string path = (dir / "frame.png").string();
    std::string error;
    ASSERT_TRUE(WritePngFile(path, {width, height, pixels}, error)) << error;
#ifndef _WIN32
    Image image;
    ASSERT_TRUE(ReadPng(path, image, &error)) << error;
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    for (std::size_t i = 0; i < pixels.size(); ++i)
      ASSERT_EQ(image.pixels[i], pixels[i] & 0xFFFFFFu) << i;
#endif
  }
  std::string error;
  const std::uint32_t pixel = 0;
  EXPECT_FALSE(WritePngFile((dir / "no" / "frame.png").string(), {1, 1, {&pixel, 1}}, error));
  EXPECT_FALSE(error.empty());
  std::filesystem::remove_all(dir);
}
