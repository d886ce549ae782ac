#include "refdevice/image_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/harness/file_size_limit.h"

namespace {

Image Gradient(std::int32_t w, std::int32_t h) {
  Image image;
  image.width = w;
  image.height = h;
  for (std::int32_t y = 0; y < h; ++y)
    for (std::int32_t x = 0; x < w; ++x)
      image.pixels.push_back(static_cast<std::uint32_t>((x * 37) & 255) << 16 |
                             static_cast<std::uint32_t>((y * 91) & 255) << 8 |
                             static_cast<std::uint32_t>((x * y) & 255));
  return image;
}

std::string TempPath(const char* name) { return ::testing::TempDir() + "quillon_image_io_" + name; }

TEST(ImageFromFrame, WidensEveryBackBufferFormatToEightBits) {
  // Two rows with padding in the pitch, so that row stepping is exercised.
  const std::uint16_t r565[2 * 4] = {0xF800, 0x07E0, 0xDEAD, 0xBEEF,  //
                                     0x001F, 0xFFFF, 0x0000, 0x1234};
  FrameView view{r565, 2, 2, 8, D3DFMT_R5G6B5};
  Image image = ImageFromFrame(view);
  ASSERT_EQ(image.width, 2);
  EXPECT_EQ(image.At(0, 0), 0xFF0000u);
  EXPECT_EQ(image.At(1, 0), 0x00FF00u);
  EXPECT_EQ(image.At(0, 1), 0x0000FFu);
  EXPECT_EQ(image.At(1, 1), 0xFFFFFFu);

  const std::uint16_t x555[2] = {0x7C00, 0x8421};  // top bit ignored; 1 -> 8
  image = ImageFromFrame(FrameView{x555, 2, 1, 4, D3DFMT_X1R5G5B5});
  EXPECT_EQ(image.At(0, 0), 0xFF0000u);
  EXPECT_EQ(image.At(1, 0), 0x080808u);

  const std::uint32_t argb[2] = {0x80123456u, 0xFFABCDEFu};
  image = ImageFromFrame(FrameView{argb, 2, 1, 8, D3DFMT_A8R8G8B8});
  EXPECT_EQ(image.At(0, 0), 0x123456u);  // alpha dropped
  EXPECT_EQ(image.At(1, 0), 0xABCDEFu);

  image = ImageFromFrame(FrameView{argb, 2, 1, 8, D3DFMT_D16});
  EXPECT_TRUE(image.pixels.empty());
}

TEST(ImageFiles, PngRoundTripsExactly) {
  const Image image = Gradient(13, 7);
  std::string error;
  const std::string png = TempPath("rt.png");
  ASSERT_TRUE(WriteImage(png, image, &error)) << error;
  Image back;
  ASSERT_TRUE(ReadPng(png, back, &error)) << error;
  EXPECT_EQ(back.width, 13);
  EXPECT_EQ(back.height, 7);
  EXPECT_EQ(back.pixels, image.pixels);
  std::remove(png.c_str());
}

TEST(ImageFiles, FailuresAreReportedNotThrown) {
  std::string error;
  EXPECT_FALSE(WriteImage(TempPath("x.bmp"), Gradient(2, 2), &error));
  EXPECT_NE(error.find("unknown image type"), std::string::npos);
  EXPECT_FALSE(WritePng("/nonexistent-dir/x.png", Gradient(2, 2), &error));
  EXPECT_FALSE(WritePng(TempPath("empty.png"), Image{}, &error));

  Image image;
  EXPECT_FALSE(ReadPng(TempPath("missing.png"), image, &error));
  const std::string notPng = TempPath("not.png");
  {
    std::ofstream out(notPng, std::ios::binary);
    out << "P6\n1 1\n255\nabc";
  }
  EXPECT_FALSE(ReadPng(notPng, image, &error));
  EXPECT_NE(error.find("not a PNG"), std::string::npos);
  // A truncated PNG fails inside libpng; the error comes back as a message.
  const std::string cut = TempPath("cut.png");
  ASSERT_TRUE(WritePng(cut, Gradient(64, 64), &error));
  {
    std::ifstream in(cut, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream out(cut, std::ios::binary | std::ios::trunc);
    out << bytes.substr(0, bytes.size() / 2);
  }
  EXPECT_FALSE(ReadPng(cut, image, &error));
  EXPECT_TRUE(image.pixels.empty());
  std::remove(notPng.c_str());
  std::remove(cut.c_str());
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Noise compresses badly, so the PNG is as large as the pixels.
Image Noise(std::int32_t w, std::int32_t h) {
  Image image{w, h, {}};
  std::uint32_t x = 12345;
  for (std::int32_t i = 0; i < w * h; ++i) {
    x = x * 1664525u + 1013904223u;
    image.pixels.push_back(x >> 8);
  }
  return image;
}

TEST(ImageFiles, AFailedWriteKeepsTheOldFileAndSaysWhy) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(::testing::TempDir()) / "quillon_image_io_full";
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const char* name : {"out.png", "out.ppm"}) {
    const std::string path = (dir / name).string();
    std::string error;
    ASSERT_TRUE(WriteImage(path, Gradient(4, 4), &error)) << error;
    const std::string before = ReadBytes(path);
    // The disk fills part-way through the new picture.
    error = test_helpers::UnderFileSizeLimit(before.size() + 100, [&] {
      std::string why;
      return WriteImage(path, Noise(64, 64), &why) ? std::string("written") : why;
    });
    EXPECT_EQ(error, path + ": " + std::strerror(EFBIG)) << name;
    EXPECT_EQ(ReadBytes(path), before) << name;
  }
  // Nothing is left beside them.
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"out.png", "out.ppm"}));
  fs::remove_all(dir);
}

TEST(CompareImages, CountsDifferencesAndMarksThem) {
  Image a = Gradient(8, 4);
  Image b = a;
  Image diff;
  EXPECT_EQ(CompareImages(a, b, &diff), 0);
  ASSERT_EQ(diff.pixels.size(), a.pixels.size());

  b.pixels[3] ^= 1;  // one step of blue
  b.pixels[9] = 0xFFFFFF;
  EXPECT_EQ(CompareImages(a, b, &diff), 2);
  // Marked pixels are saturated red/yellow, the rest dimmed grey.
  EXPECT_EQ(diff.At(3, 0) >> 16, 255u);
  EXPECT_EQ(diff.At(3, 0) & 0xFF, 0u);
  const std::uint32_t same = diff.At(0, 0);
  EXPECT_EQ(same >> 16, same & 0xFF);

  // Sizes that differ count the missing pixels.
  Image small = Gradient(4, 4);
  EXPECT_EQ(CompareImages(small, Gradient(8, 4), nullptr), 16);
}

}  // namespace
