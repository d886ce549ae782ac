// The D3DX 8 utility object over any Direct3D 8 device: texture creation with
// the published D3DX request rules, and fonts.
#pragma once

#include "platform/d3dx8.h"

// Texture-capability bits that decide how D3DX adjusts a texture request.
constexpr DWORD kTextureCapsPow2 = 0x00000002;                // sizes must be powers of two
constexpr DWORD kTextureCapsSquareOnly = 0x00000020;          // width must equal height
constexpr DWORD kTextureCapsNonPow2Conditional = 0x00000100;  // POW2 waived for 1-level textures

// A texture request after D3DX's adjustment: what is asked of the device.
struct D3DXTextureRequest {
  UINT width = 0;
  UINT height = 0;
  UINT levels = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
};

// Adjusts a request as D3DX does: a width or height of 0 or D3DX_DEFAULT
// becomes 256; sizes are rounded up to powers of two (and made square) where
// the caps demand it and clamped to the largest size the device takes;
// levels of 0 or D3DX_DEFAULT give the whole mip chain down to 1x1, and more
// levels than the chain has are cut to the chain; D3DFMT_UNKNOWN becomes
// A8R8G8B8. Returns D3DERR_INVALIDCALL for negative sizes or levels other
// than D3DX_DEFAULT.
HRESULT D3DXAdjustTextureRequest(const D3DCAPS8& caps, std::int32_t width, std::int32_t height,
                                 std::int32_t levels, std::int32_t format, D3DXTextureRequest& out);

// The font D3DX makes from a font handle. Nothing is drawn with it; it keeps
// its device alive as long as it exists, as D3DX fonts do.
class RuntimeD3DXFont : public D3DXFont {
 public:
  RuntimeD3DXFont(Ref<Direct3DDevice8> device, std::int32_t hFont)
      : device_(std::move(device)), hFont_(hFont) {}
  const Ref<Direct3DDevice8>& Device() const { return device_; }
  std::int32_t FontHandle() const { return hFont_; }

 private:
  Ref<Direct3DDevice8> device_;
  std::int32_t hFont_;
};

class RuntimeD3DX8 : public D3DX8 {
 public:
  // D3DERR_INVALIDCALL without a device or with font handle 0.
  HRESULT CreateFont(const Ref<Direct3DDevice8>& device, std::int32_t hFont,
                     Ref<D3DXFont>& font) override;
  // Reads the device's caps, adjusts the request (D3DXAdjustTextureRequest)
  // and creates the texture on the device; a failure there is returned as is.
  HRESULT CreateTexture(const Ref<Direct3DDevice8>& device, std::int32_t width, std::int32_t height,
                        std::int32_t levels, std::int32_t usage, std::int32_t format,
                        std::int32_t pool, Ref<Direct3DTexture8>& texture) override;
};
