// The D3DX 8 utility object and the DirectX 8 root object.
#pragma once

#include <string>

#include "platform/d3d8.h"

class DirectInput8;

// A font for text drawing; the program makes one and never draws with it.
class D3DXFont {
 public:
  virtual ~D3DXFont() = default;
};

class D3DX8 {
 public:
  virtual ~D3DX8() = default;
  // `hFont` is a font handle from the windowing runtime (IFont::get_hFont).
  virtual HRESULT CreateFont(const Ref<Direct3DDevice8>& device, std::int32_t hFont,
                             Ref<D3DXFont>& font) = 0;
  // D3DX_DEFAULT (-1) for `levels` asks for the whole mip chain; D3DFMT_UNKNOWN
  // for `format` asks for the default texture format.
  virtual HRESULT CreateTexture(const Ref<Direct3DDevice8>& device, std::int32_t width,
                                std::int32_t height, std::int32_t levels, std::int32_t usage,
                                std::int32_t format, std::int32_t pool,
                                Ref<Direct3DTexture8>& texture) = 0;
};

// The DirectX 8 root: source of Direct3D and of DirectInput.
class DirectX8 {
 public:
  virtual ~DirectX8() = default;
  virtual HRESULT Direct3DCreate(Ref<Direct3D8>& d3d) = 0;
  virtual HRESULT DirectInputCreate(Ref<DirectInput8>& di) = 0;
};

// The vertex-buffer fill: copies `size` bytes from `data` into `buffer` at
// `offset`. Returns the status directly (0 = done); never raises.
HRESULT D3DVertexBuffer8SetData(const Ref<Direct3DVertexBuffer8>& buffer, std::int32_t offset,
                                std::int32_t size, std::int32_t flags, const void* data);

// The four-component colour packer: alpha, red, green, blue (each 0 to 255).
D3DCOLOR D3DColorARGB(std::int16_t a, std::int16_t r, std::int16_t g, std::int16_t b);
