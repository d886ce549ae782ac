// The layouts of the Direct3D pixel formats: bytes per pixel of every format
// code, and conversion between a stored pixel and 8-bit-per-channel ARGB
// (0xAARRGGBB) for the colour formats the devices and hosts store, one pixel
// or one row at a time.
//
// Narrow channels are truncated on the way in and widened by bit replication
// on the way out, so that zero stays 0 and full intensity stays 255. Formats
// without alpha read as opaque; X formats store their unused bits set.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/d3d8types.h"

// Whether pixels of a colour format store an alpha channel.
constexpr bool FormatHasAlpha(std::int32_t format) {
  return format == D3DFMT_A8R8G8B8 || format == D3DFMT_A1R5G5B5 || format == D3DFMT_A4R4G4B4;
}

// Bytes one pixel of `format` takes, colour and depth formats alike; 0 for a
// code that is not a known format.
constexpr int BytesPerPixel(std::int32_t format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_D32:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
      return 4;
    case D3DFMT_R8G8B8:
      return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8P8:
    case D3DFMT_A8L8:
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
      return 2;
    case D3DFMT_R3G3B2:
    case D3DFMT_A8:
    case D3DFMT_P8:
    case D3DFMT_L8:
    case D3DFMT_A4L4:
      return 1;
    default:
      return 0;
  }
}

// An n-bit channel widened to 8 bits by repeating its top bits below it.
constexpr std::uint32_t Widen5(std::uint32_t v) { return (v << 3) | (v >> 2); }
constexpr std::uint32_t Widen6(std::uint32_t v) { return (v << 2) | (v >> 4); }
constexpr std::uint32_t Widen4(std::uint32_t v) { return (v << 4) | v; }

// One layout per colour format: its size and how one pixel reads and writes.
// The per-pixel and per-row conversions below are all built from these, so
// that a format's bits are written down once.
namespace pixel_layout {

inline std::uint16_t Load16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store16(std::uint32_t v, std::uint8_t* p) {
  const auto s = static_cast<std::uint16_t>(v);
  std::memcpy(p, &s, 2);
}
inline void Store32(std::uint32_t v, std::uint8_t* p) { std::memcpy(p, &v, 4); }

struct A8R8G8B8 {
  static constexpr std::int32_t kFormat = D3DFMT_A8R8G8B8;
  static constexpr int kBytes = 4;
  static std::uint32_t Decode(const std::uint8_t* p) { return Load32(p); }
  static void Encode(std::uint32_t argb, std::uint8_t* p) { Store32(argb, p); }
};

struct X8R8G8B8 {
  static constexpr std::int32_t kFormat = D3DFMT_X8R8G8B8;
  static constexpr int kBytes = 4;
  static std::uint32_t Decode(const std::uint8_t* p) { return Load32(p) | 0xFF000000u; }
  static void Encode(std::uint32_t argb, std::uint8_t* p) { Store32(argb | 0xFF000000u, p); }
};

// Stored blue, green, red from the lowest address up.
struct R8G8B8 {
  static constexpr std::int32_t kFormat = D3DFMT_R8G8B8;
  static constexpr int kBytes = 3;
  static std::uint32_t Decode(const std::uint8_t* p) {
    return 0xFF000000u | (static_cast<std::uint32_t>(p[2]) << 16) |
           (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
  }
  static void Encode(std::uint32_t argb, std::uint8_t* p) {
    p[0] = static_cast<std::uint8_t>(argb);
    p[1] = static_cast<std::uint8_t>(argb >> 8);
    p[2] = static_cast<std::uint8_t>(argb >> 16);
  }
};

struct R5G6B5 {
  static constexpr std::int32_t kFormat = D3DFMT_R5G6B5;
  static constexpr int kBytes = 2;
  static std::uint32_t Decode(const std::uint8_t* p) {
    const std::uint32_t v = Load16(p);
    return 0xFF000000u | (Widen5((v >> 11) & 31u) << 16) | (Widen6((v >> 5) & 63u) << 8) |
           Widen5(v & 31u);
  }
  static void Encode(std::uint32_t argb, std::uint8_t* p) {
    const std::uint32_t r = (argb >> 16) & 255u, g = (argb >> 8) & 255u, b = argb & 255u;
    Store16(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3), p);
  }
};

// X1R5G5B5 and A1R5G5B5 share their colour bits; only the top bit differs.
inline std::uint32_t Decode555(std::uint32_t v) {
  return (Widen5((v >> 10) & 31u) << 16) | (Widen5((v >> 5) & 31u) << 8) | Widen5(v & 31u);
}
inline std::uint32_t Encode555(std::uint32_t argb) {
  const std::uint32_t r = (argb >> 16) & 255u, g = (argb >> 8) & 255u, b = argb & 255u;
  return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
}

struct X1R5G5B5 {
  static constexpr std::int32_t kFormat = D3DFMT_X1R5G5B5;
  static constexpr int kBytes = 2;
  static std::uint32_t Decode(const std::uint8_t* p) { return 0xFF000000u | Decode555(Load16(p)); }
  static void Encode(std::uint32_t argb, std::uint8_t* p) { Store16(0x8000u | Encode555(argb), p); }
};

struct A1R5G5B5 {
  static constexpr std::int32_t kFormat = D3DFMT_A1R5G5B5;
  static constexpr int kBytes = 2;
  static std::uint32_t Decode(const std::uint8_t* p) {
    const std::uint32_t v = Load16(p);
    return ((v & 0x8000u) ? 0xFF000000u : 0u) | Decode555(v);
  }
  // Alpha of at least one half sets the bit.
  static void Encode(std::uint32_t argb, std::uint8_t* p) {
    Store16(((argb >> 24) >= 128 ? 0x8000u : 0u) | Encode555(argb), p);
  }
};

struct A4R4G4B4 {
  static constexpr std::int32_t kFormat = D3DFMT_A4R4G4B4;
  static constexpr int kBytes = 2;
  static std::uint32_t Decode(const std::uint8_t* p) {
    const std::uint32_t v = Load16(p);
    return (Widen4((v >> 12) & 15u) << 24) | (Widen4((v >> 8) & 15u) << 16) |
           (Widen4((v >> 4) & 15u) << 8) | Widen4(v & 15u);
  }
  static void Encode(std::uint32_t argb, std::uint8_t* p) {
    const std::uint32_t a = argb >> 24, r = (argb >> 16) & 255u, g = (argb >> 8) & 255u,
                        b = argb & 255u;
    Store16(((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4), p);
  }
};

// A row loop steps by a layout's size, a caller's pitch by BytesPerPixel.
template <class... Layout>
constexpr bool SizesAgree() {
  return ((BytesPerPixel(Layout::kFormat) == Layout::kBytes) && ...);
}
static_assert(SizesAgree<A8R8G8B8, X8R8G8B8, R8G8B8, R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4>());

// Calls `f` with the layout of `format` and returns true; false, without
// calling it, when the format has no colour layout here. A caller that loops
// puts its loop inside `f`, so the format is chosen once, not per pixel.
template <class F>
inline bool WithLayout(std::int32_t format, F&& f) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
      f(A8R8G8B8{});
      return true;
    case D3DFMT_X8R8G8B8:
      f(X8R8G8B8{});
      return true;
    case D3DFMT_R8G8B8:
      f(R8G8B8{});
      return true;
    case D3DFMT_R5G6B5:
      f(R5G6B5{});
      return true;
    case D3DFMT_X1R5G5B5:
      f(X1R5G5B5{});
      return true;
    case D3DFMT_A1R5G5B5:
      f(A1R5G5B5{});
      return true;
    case D3DFMT_A4R4G4B4:
      f(A4R4G4B4{});
      return true;
    default:
      return false;
  }
}

}  // namespace pixel_layout

// 0xAARRGGBB from a stored pixel; opaque black for a format without a layout.
inline std::uint32_t DecodePixel(std::int32_t format, const std::uint8_t* p) {
  std::uint32_t argb = 0xFF000000u;
  pixel_layout::WithLayout(format, [&](auto layout) { argb = layout.Decode(p); });
  return argb;
}

// Stores 0xAARRGGBB in `format`; writes nothing for a format without a layout.
inline void EncodePixel(std::int32_t format, std::uint32_t argb, std::uint8_t* p) {
  pixel_layout::WithLayout(format, [&](auto layout) { layout.Encode(argb, p); });
}

// Rows of `count` pixels, packed. Each returns false, touching nothing, for a
// format without a layout.
//
// To 0xAARRGGBB, as DecodePixel does per pixel.
bool DecodeRow(std::int32_t format, const void* source, std::uint32_t* argb, int count);
// From 0xAARRGGBB, as EncodePixel does per pixel.
bool EncodeRow(std::int32_t format, const std::uint32_t* argb, void* dest, int count);
// To 0x00RRGGBB, alpha dropped: what a screen or a picture file shows.
bool ConvertRowToXrgb(std::int32_t format, const void* source, std::uint32_t* dest, int count);
