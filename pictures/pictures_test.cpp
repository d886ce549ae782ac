// Frames to images through every kind of row, the vector rows against the
// plain rule, and the files: PNG both ways, and what a write must never do.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef QUILLON_VECTOR_ROWS
#include <hwy/targets.h>
#endif
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/harness/file_size_limit.h"
#endif

#include "pictures/picture_files.h"
#include "scene/test_folder.h"

namespace {

using ::testing::HasSubstr;

// Noise compresses badly, so its PNG is about as large as its pixels.
Image Noise(std::int32_t w, std::int32_t h) {
  Image image{w, h, {}};
  std::uint32_t x = 12345;
  for (std::int32_t i = 0; i < w * h; ++i)
    image.pixels.push_back((x = x * 1664525u + 1013904223u) >> 8);
  return image;
}

// Into rows of three words: packed 32-bit frames as one long row, padded
// ones row by row, narrow formats widened, the OR bits on every pixel; a
// depth format refused, writing nothing.
TEST(FrameToXrgb, ConvertsEveryKindOfRowThroughBothPitches) {
  const std::uint16_t r565[2 * 4] = {0xF800, 0x07E0, 0xDEAD, 0xBEEF, 0x001F, 0xFFFF, 0, 0};
  const std::uint32_t argb[2 * 3] = {0x80FF0000, 0x0000FF00, 0xDEADBEEF,
                                     0x120000FF, 0xFFFFFFFF, 0x11111111};
  const struct {
    FrameView frame;
    std::uint32_t orBits;
    std::vector<std::uint32_t> rows;
  } rows[] = {
      {{r565, 2, 2, 8, D3DFMT_R5G6B5},
       0xFF000000u,
       {0xFFFF0000, 0xFF00FF00, 0, 0xFF0000FF, 0xFFFFFFFF, 0}},
      {{argb, 2, 2, 12, D3DFMT_A8R8G8B8}, 0, {0xFF0000, 0x00FF00, 0, 0x0000FF, 0xFFFFFF, 0}},
      {{argb, 3, 2, 12, D3DFMT_X8R8G8B8},
       0x01000000u,
       {0x01FF0000, 0x0100FF00, 0x01ADBEEF, 0x010000FF, 0x01FFFFFF, 0x01111111}},
  };
  for (const auto& r : rows) {
    std::vector<std::uint32_t> out(6, 0);
    ASSERT_TRUE(FrameToXrgb(r.frame, out.data(), 12, r.orBits)) << r.frame.format;
    EXPECT_EQ(out, r.rows) << r.frame.format << " " << r.frame.width;
  }
  EXPECT_EQ(ImageFromFrame({r565, 2, 2, 8, D3DFMT_R5G6B5}).pixels,
            (std::vector<std::uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
  std::uint32_t untouched = 7;
  EXPECT_FALSE(FrameToXrgb({r565, 2, 2, 8, D3DFMT_D16}, &untouched, 8));
  EXPECT_FALSE(FrameToXrgb({r565, 2, 0, 8, D3DFMT_R5G6B5}, &untouched, 8));
  EXPECT_EQ(untouched, 7u);
  EXPECT_EQ(ImageFromFrame({argb, 3, 1, 12, D3DFMT_X8R8G8B8}).pixels.size(), 3u);
  EXPECT_FALSE(ImageFromFrame({r565, 2, 2, 8, D3DFMT_D16}).Whole());
  // Differences are counted, and sizes that differ count the missing pixels.
  Image a = Noise(8, 4), b = a;
  b.pixels[3] ^= 1;
  b.pixels[9] ^= 0xFFFFFF;
  EXPECT_EQ(CompareImages(a, b), 2);
  EXPECT_EQ(CompareImages(Noise(8, 2), a), 16);
}

#ifdef QUILLON_VECTOR_ROWS
// Every remainder after whole vectors, on every instruction set the build
// has: the plain rule's pixels, and nothing written past the row.
TEST(XrgbRow, MatchesThePlainRuleAndStaysInBounds) {
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    for (std::size_t n : {0u, 1u, 3u, 7u, 8u, 15u, 16u, 17u, 31u, 33u, 64u, 100u}) {
      std::vector<std::uint32_t> src(n), dst(n + 1, 0xDEADBEEFu);
      for (std::size_t i = 0; i < n; ++i)
        src[i] = 0x80000000u * (i & 1) + 0x00123456u * static_cast<std::uint32_t>(i);
      XrgbRow(src.data(), dst.data(), n, 0xFF000000u);
      for (std::size_t i = 0; i < n; ++i)
        EXPECT_EQ(dst[i], (src[i] & 0xFFFFFFu) | 0xFF000000u) << target << " " << n;
      EXPECT_EQ(dst[n], 0xDEADBEEFu) << target << " " << n;
    }
  }
  hwy::SetSupportedTargetsForTest(0);
}
#endif

// What is written reads back pixel for pixel, compressed where the picture
// allows, under its UTF-8 name on every system; the alpha is dropped or kept
// as asked; failures say why.
TEST(PictureFiles, PngRoundTripsCompressedAndFailuresSayWhy) {
  scene::TestFolder dir;
  std::string error;
  const Image noise = Noise(37, 5);
  const std::filesystem::path cafe = dir.Path() / std::filesystem::path(u8"caf\u00e9.PNG");
  const std::u8string utf8 = cafe.u8string();
  ASSERT_TRUE(WriteImage(std::string(utf8.begin(), utf8.end()), noise, &error)) << error;
  EXPECT_TRUE(std::filesystem::exists(cafe));
  Image back;
  const std::vector<std::uint8_t> png = EncodePng(noise);
  ASSERT_TRUE(DecodePng(png, back, &error)) << error;
  EXPECT_EQ(back.pixels, noise.pixels);
  ASSERT_TRUE(DecodePng(png, back, &error, Alpha::kKept)) << error;
  EXPECT_EQ(back.At(3, 2), noise.At(3, 2) | 0xFF000000u);
  const Image flat{640, 480, std::vector<std::uint32_t>(640 * 480, 0x0000FF)};
  EXPECT_LT(EncodePng(flat).size(), 20000u);  // 0.9 MB in stored blocks

  const auto says = [&](bool done) { return done ? std::string("done") : error; };
  EXPECT_THAT(says(DecodePng(std::span(png).first(60), back, &error)), HasSubstr("not a PNG"));
  // Sizes the decoder would reserve before reading any data are refused
  // first: a header of 60000x60000, a data chunk (at 33) of 2 GiB, an empty one.
  const struct {
    std::size_t at;
    std::vector<std::uint8_t> put;
    bool insert;
    const char* said;
  } forged[] = {
      {16, {0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60}, false, "more pixels than its data can hold"},
      {33, {0x7F, 0xFF, 0xFF, 0xFF}, false, "a chunk runs past the end of the file"},
      {33, {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0, 0, 0, 0}, true, "first image data chunk is empty"}};
  for (const auto& f : forged) {
    std::vector<std::uint8_t> bytes = png;
    if (f.insert) bytes.insert(bytes.begin() + f.at, f.put.size(), 0);
    std::copy(f.put.begin(), f.put.end(), bytes.begin() + f.at);
    EXPECT_THAT(says(DecodePng(bytes, back, &error)), HasSubstr(f.said));
  }
  EXPECT_THAT(says(ReadPng(dir / "none.png", back, &error)), HasSubstr("none.png"));
  EXPECT_THAT(says(WriteImage(dir / "x.bmp", noise, &error)), HasSubstr("unknown image type"));
  EXPECT_THAT(says(WritePng(dir / "empty.png", Image{}, &error)), HasSubstr("empty image"));
  EXPECT_THAT(says(WritePng(dir / "no/x.png", noise, &error)), HasSubstr("x.png: "));
#ifdef _WIN32
  // Names Windows would take for others' are refused, and nothing is written.
  const struct {
    const char *name, *said;
  } others[] = {{"b.png.", "ending in a dot"},
                {"c.png ", "ending in a dot or a space"},
                {"x.png:s", "a stream inside another file"}};
  for (const auto& o : others)
    EXPECT_THAT(says(WritePng(dir / o.name, noise, &error)), HasSubstr(o.said)) << o.name;
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "b.png"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "c.png"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "x.png"));
#endif
}

#ifndef _WIN32
std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The disk fills part-way through a new picture: the old one stays. Links and
// FIFOs planted under the names a writer might take for its temporary file,
// or under the picture's own: none is followed or opened, so no file
// elsewhere is overwritten and no write waits for a reader. Nothing is left
// beside the pictures.
TEST(PictureFiles, KeepsTheOldFileAndNeverOpensWhatIsPlanted) {
  scene::TestFolder dir;
  std::string error;
  for (const char* name : {"out.png", "out.ppm"}) {
    const std::string path = dir / name;
    ASSERT_TRUE(WriteImage(path, Noise(4, 4), &error)) << error;
    const std::string before = ReadAll(path);
    error = test_helpers::UnderFileSizeLimit(before.size() + 100, [&] {
      std::string why;
      return WriteImage(path, Noise(64, 64), &why) ? std::string("written") : why;
    });
    EXPECT_EQ(error, path + ": " + std::strerror(EFBIG)) << name;
    EXPECT_EQ(ReadAll(path), before) << name;
  }
  dir.Write("victim", "keep");
  const struct {
    const char *picture, *at;
    bool fifo;
  } planted[] = {{"a.png", ".a.png.part", false},
                 {"b.png", ".b.png.part", true},
                 {"c.png", "c.png", false},
                 {"d.png", "d.png", true}};
  for (const auto& p : planted) {
    if (p.fifo)
      ASSERT_EQ(::mkfifo((dir / p.at).c_str(), 0600), 0);
    else
      std::filesystem::create_symlink(dir / "victim", dir / p.at);
    ASSERT_TRUE(WriteImage(dir / p.picture, Noise(8, 8), &error, Durability::kCached)) << error;
    EXPECT_EQ(ReadAll(dir / "victim"), "keep") << p.at;
    Image back;
    ASSERT_TRUE(ReadPng(dir / p.picture, back, &error)) << error;
    EXPECT_EQ(back.pixels, Noise(8, 8).pixels) << p.picture;
  }
  // A socket (as a device would be) is not replaced, and says why.
  const std::string socketPath = dir / "e.png";
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_FALSE(WriteImage(socketPath, Noise(8, 8), &error, Durability::kCached));
  EXPECT_EQ(error, socketPath + ": it is a device or a socket, which is never replaced");
  EXPECT_EQ(std::filesystem::status(socketPath).type(), std::filesystem::file_type::socket);
  ::close(sock);
  // 255 bytes, the most a name takes.
  EXPECT_TRUE(WritePng(dir / std::string(255, 'n'), Noise(8, 8), &error)) << error;
  // out.ppm, out.png, victim, a.png to e.png, the two planted there, the longest.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 11);
}
#endif

}  // namespace
