// Pixel formats the device reads and writes: conversion between a stored
// pixel and 8-bit-per-channel ARGB. Narrow channels are truncated on the way
// in and widened by bit replication on the way out.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/d3d8types.h"

namespace refdev {

// Bytes per pixel of a colour format the device stores (0 if not storable).
inline int BytesPerPixel(std::int32_t format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
      return 2;
    default:
      return 0;
  }
}

inline bool FormatHasAlpha(std::int32_t format) {
  return format == D3DFMT_A8R8G8B8 || format == D3DFMT_A1R5G5B5 || format == D3DFMT_A4R4G4B4;
}

inline std::uint32_t Widen5(std::uint32_t v) { return (v << 3) | (v >> 2); }
inline std::uint32_t Widen6(std::uint32_t v) { return (v << 2) | (v >> 4); }
inline std::uint32_t Widen4(std::uint32_t v) { return (v << 4) | v; }

// 0xAARRGGBB from a stored pixel; formats without alpha read as opaque.
inline std::uint32_t DecodePixel(std::int32_t format, const std::uint8_t* p) {
  switch (format) {
    case D3DFMT_A8R8G8B8: {
      std::uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    case D3DFMT_X8R8G8B8: {
      std::uint32_t v;
      std::memcpy(&v, p, 4);
      return v | 0xFF000000u;
    }
    default:
      break;
  }
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  std::uint32_t a = 255, r, g, b;
  switch (format) {
    case D3DFMT_R5G6B5:
      r = Widen5((v >> 11) & 31u);
      g = Widen6((v >> 5) & 63u);
      b = Widen5(v & 31u);
      break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      r = Widen5((v >> 10) & 31u);
      g = Widen5((v >> 5) & 31u);
      b = Widen5(v & 31u);
      if (format == D3DFMT_A1R5G5B5) a = (v & 0x8000u) ? 255u : 0u;
      break;
    case D3DFMT_A4R4G4B4:
      a = Widen4((v >> 12) & 15u);
      r = Widen4((v >> 8) & 15u);
      g = Widen4((v >> 4) & 15u);
      b = Widen4(v & 15u);
      break;
    default:
      return 0xFF000000u;
  }
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// Stores 0xAARRGGBB in `format`. X formats keep their unused bits set.
inline void EncodePixel(std::int32_t format, std::uint32_t argb, std::uint8_t* p) {
  const std::uint32_t a = argb >> 24, r = (argb >> 16) & 255u, g = (argb >> 8) & 255u,
                      b = argb & 255u;
  std::uint16_t v = 0;
  switch (format) {
    case D3DFMT_A8R8G8B8:
      std::memcpy(p, &argb, 4);
      return;
    case D3DFMT_X8R8G8B8: {
      const std::uint32_t x = argb | 0xFF000000u;
      std::memcpy(p, &x, 4);
      return;
    }
    case D3DFMT_R5G6B5:
      v = static_cast<std::uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
      break;
    case D3DFMT_X1R5G5B5:
      v = static_cast<std::uint16_t>(0x8000u | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
      break;
    case D3DFMT_A1R5G5B5:
      v = static_cast<std::uint16_t>(((a >= 128) ? 0x8000u : 0u) | ((r >> 3) << 10) |
                                     ((g >> 3) << 5) | (b >> 3));
      break;
    case D3DFMT_A4R4G4B4:
      v = static_cast<std::uint16_t>(((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) |
                                     (b >> 4));
      break;
    default:
      return;
  }
  std::memcpy(p, &v, 2);
}

}  // namespace refdev
