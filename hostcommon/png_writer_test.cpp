#include "hostcommon/png_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include "refdevice/image_io.h"
#endif

// A frame of several stored blocks reads back as written, their
// checksums checked by the reader (libpng refuses a wrong CRC, zlib a wrong
// Adler-32); a missing folder is refused.
TEST(PngWriter, WritesFramesThatReadBack) {
  const auto dir = std::filesystem::temp_directory_path() / "quillon-png-writer-test";
  std::filesystem::create_directories(dir);
  const int width = 640, height = 480;
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
  const std::uint32_t pixel = 0;
  EXPECT_FALSE(WritePngFile((dir / "no" / "frame.png").string(), {1, 1, {&pixel, 1}}, error));
  EXPECT_FALSE(error.empty());
  std::filesystem::remove_all(dir);
}
