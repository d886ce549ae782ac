#include "formats/pixel_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Named {
  std::int32_t format;
  const char* name;
};
#define FORMAT(f) (Named{D3DFMT_##f, #f})

// The colour formats with a layout, the bits an encode always sets, and
// whether the format stores alpha.
struct Colour {
  Named named;
  std::uint32_t alwaysSet;
  bool alpha;
};
// clang-format off
const Colour kColour[] = {
    {FORMAT(A8R8G8B8), 0, true},  {FORMAT(X8R8G8B8), 0xFF000000u, false},
    {FORMAT(R8G8B8), 0, false},   {FORMAT(R5G6B5), 0, false},
    {FORMAT(X1R5G5B5), 0x8000u, false}, {FORMAT(A1R5G5B5), 0, true},
    {FORMAT(A4R4G4B4), 0, true},
};
// clang-format on

std::uint32_t Load(const std::uint8_t* p, int bytes) {
  std::uint32_t v = 0;
  std::memcpy(&v, p, static_cast<std::size_t>(bytes));  // little-endian, as stored
  return v;
}

// A fixed, well-mixed byte sequence.
std::vector<std::uint8_t> Noise(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  std::uint32_t state = 12345u;
  for (auto& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

// The published sizes; a format it does not know has none.
TEST(PixelFormat, BytesPerPixelAsPublished) {
  // clang-format off
  const std::pair<std::int32_t, int> sizes[] = {
      {D3DFMT_R8G8B8, 3}, {D3DFMT_A8R8G8B8, 4}, {D3DFMT_X8R8G8B8, 4}, {D3DFMT_R5G6B5, 2},
      {D3DFMT_X1R5G5B5, 2}, {D3DFMT_A1R5G5B5, 2}, {D3DFMT_A4R4G4B4, 2}, {D3DFMT_R3G3B2, 1},
      {D3DFMT_A8, 1}, {D3DFMT_A8R3G3B2, 2}, {D3DFMT_X4R4G4B4, 2}, {D3DFMT_A8P8, 2}, {D3DFMT_P8, 1},
      {D3DFMT_L8, 1}, {D3DFMT_A8L8, 2}, {D3DFMT_A4L4, 1}, {D3DFMT_D16, 2}, {D3DFMT_D16_LOCKABLE, 2},
      {D3DFMT_D32, 4}, {D3DFMT_D15S1, 2}, {D3DFMT_D24S8, 4}, {D3DFMT_D24X8, 4}, {D3DFMT_D24X4S4, 4},
      {D3DFMT_UNKNOWN, 0}, {12345, 0}};
  // clang-format on
  for (const auto& [format, bytes] : sizes) EXPECT_EQ(BytesPerPixel(format), bytes) << format;
}

// One colour with distinct channels in every format, against the published
// bit layouts; round trips alone would not see two channels swapped both ways.
TEST(PixelFormat, EncodesChannelsWhereTheLayoutPutsThem) {
  const std::uint32_t argb = 0x9CF1460Bu;  // a 1001 1100, r 1111 0001, g 0100 0110, b 0000 1011
  // clang-format off
  const struct { Named f; std::uint32_t argb, stored, decoded; } cases[] = {
      {FORMAT(A8R8G8B8), argb, 0x9CF1460Bu, 0x9CF1460Bu},
      {FORMAT(X8R8G8B8), argb, 0xFFF1460Bu, 0xFFF1460Bu},
      {FORMAT(R8G8B8), argb, 0xF1460Bu, 0xFFF1460Bu},
      {FORMAT(R5G6B5), argb, 0xF221u, 0xFFF74508u},    // r 11110, g 010001, b 00001: narrowing truncates
      {FORMAT(X1R5G5B5), argb, 0xF901u, 0xFFF74208u},  // r 11110, g 01000, b 00001
      {FORMAT(A1R5G5B5), argb, 0xF901u, 0xFFF74208u},  // alpha 0x9C >= 0x80 sets the bit
      {FORMAT(A1R5G5B5), 0x7FFFFFFFu, 0x7FFFu, 0x00FFFFFFu},  // below one half: transparent
      {FORMAT(A4R4G4B4), argb, 0x9F40u, 0x99FF4400u},
      {FORMAT(D16), argb, 0xEEEEu, 0xFF000000u},  // no layout: left alone, read as opaque black
  };
  // clang-format on
  for (const auto& c : cases) {
    std::uint8_t p[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EncodePixel(c.f.format, c.argb, p);
    const int bytes = BytesPerPixel(c.f.format);
    EXPECT_EQ(Load(p, bytes), c.stored) << c.f.name;
    EXPECT_EQ(p[bytes], 0xEE) << c.f.name << ": wrote past the pixel";
    EXPECT_EQ(DecodePixel(c.f.format, p), c.decoded) << c.f.name;
  }
}

// Every stored pixel comes back from ARGB as it was, but for the bits an X
// format always sets (16-bit formats tried exhaustively); white and black keep
// their ends. The row conversions give what the per-pixel ones give and touch
// nothing beyond the row, whose odd length leaves a tail after any unrolled or
// vectorised part. Formats without a layout are refused whole.
TEST(PixelFormat, RowsRoundTripEveryStoredPixelAsSinglePixelsDo) {
  constexpr std::uint32_t kGuard = 0xA5A5A5A5u;
  const std::vector<std::uint8_t> noise = Noise(4 * 4095);
  std::vector<std::uint32_t> words(4095);
  std::memcpy(words.data(), noise.data(), noise.size());
  for (const Colour& c : kColour) {
    const std::int32_t f = c.named.format;
    SCOPED_TRACE(c.named.name);
    EXPECT_EQ(FormatHasAlpha(f), c.alpha);
    for (const std::uint32_t end : {0xFFFFFFFFu, 0u}) {
      std::uint8_t p[4];
      EncodePixel(f, end, p);
      EXPECT_EQ(DecodePixel(f, p), c.alpha ? end : end | 0xFF000000u);
    }
    const auto bytes = static_cast<std::size_t>(BytesPerPixel(f));
    const int count = bytes == 2 ? 65535 : 4095;
    std::vector<std::uint8_t> in(bytes * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
      std::memcpy(in.data() + bytes * i,
                  bytes == 2 ? reinterpret_cast<const std::uint8_t*>(&i) : noise.data() + 4 * i,
                  bytes);
    std::vector<std::uint32_t> argb(count + 1, kGuard), xrgb(count + 1, kGuard);
    std::vector<std::uint8_t> out(bytes * (count + 1), 0xA5), raw(bytes * 4096, 0xA5);
    ASSERT_TRUE(DecodeRow(f, in.data(), argb.data(), count));
    ASSERT_TRUE(ConvertRowToXrgb(f, in.data(), xrgb.data(), count));
    ASSERT_TRUE(EncodeRow(f, argb.data(), out.data(), count));
    // Any ARGB, not only what a decode gives.
    ASSERT_TRUE(EncodeRow(f, words.data(), raw.data(), 4095));
    for (int i = 0; i < count; ++i) {
      const std::uint8_t* p = in.data() + bytes * i;
      ASSERT_EQ(argb[i], DecodePixel(f, p)) << i;
      ASSERT_EQ(xrgb[i], argb[i] & 0x00FFFFFFu) << i;
      ASSERT_EQ(Load(out.data() + bytes * i, bytes), Load(p, bytes) | c.alwaysSet) << i;
      if (i >= 4095) continue;
      std::uint8_t one[4] = {};
      EncodePixel(f, words[i], one);
      ASSERT_EQ(std::memcmp(raw.data() + bytes * i, one, bytes), 0) << i;
    }
    EXPECT_EQ(argb[count], kGuard);
    EXPECT_EQ(xrgb[count], kGuard);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + bytes * count, out.end()),
              std::vector<std::uint8_t>(bytes, 0xA5));
    EXPECT_EQ(std::vector<std::uint8_t>(raw.begin() + bytes * 4095, raw.end()),
              std::vector<std::uint8_t>(bytes, 0xA5));
  }
  for (const std::int32_t f : {D3DFMT_D16, D3DFMT_P8, D3DFMT_UNKNOWN}) {
    EXPECT_FALSE(FormatHasAlpha(f)) << f;
    std::uint32_t out = kGuard, stored = kGuard;
    EXPECT_FALSE(DecodeRow(f, noise.data(), &out, 1) ||
                 ConvertRowToXrgb(f, noise.data(), &out, 1) || EncodeRow(f, &out, &stored, 1))
        << f;
    EXPECT_EQ(out, kGuard) << f;
    EXPECT_EQ(stored, kGuard) << f;
  }
}

}  // namespace
