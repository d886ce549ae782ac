#include "d3dx/d3dx8_object.h"

namespace {

constexpr UINT kDefaultTextureSize = 256;

UINT NextPow2(UINT v) {
  UINT p = 1;
  while (p < v && p < 0x80000000u) p <<= 1;
  return p;
}

// The number of levels from w x h halving down to 1x1.
UINT FullChain(UINT w, UINT h) {
  UINT levels = 1;
  while (w > 1 || h > 1) {
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
    ++levels;
  }
  return levels;
}

}  // namespace

HRESULT D3DXAdjustTextureRequest(const D3DCAPS8& caps, std::int32_t width, std::int32_t height,
                                 std::int32_t levels, std::int32_t format,
                                 D3DXTextureRequest& out) {
  if ((width < 0 && width != D3DX_DEFAULT) || (height < 0 && height != D3DX_DEFAULT) ||
      (levels < 0 && levels != D3DX_DEFAULT))
    return D3DERR_INVALIDCALL;
  UINT w = (width == 0 || width == D3DX_DEFAULT) ? kDefaultTextureSize : static_cast<UINT>(width);
  UINT h =
      (height == 0 || height == D3DX_DEFAULT) ? kDefaultTextureSize : static_cast<UINT>(height);
  const bool wantsChain = levels == 0 || levels == D3DX_DEFAULT;

  // A device that takes other sizes only for single-level textures still
  // needs powers of two for a mip chain.
  const bool pow2 = (caps.TextureCaps & kTextureCapsPow2) != 0 &&
                    ((caps.TextureCaps & kTextureCapsNonPow2Conditional) == 0 || levels != 1);
  if (pow2) {
    w = NextPow2(w);
    h = NextPow2(h);
  }
  if (caps.TextureCaps & kTextureCapsSquareOnly) w = h = (w > h ? w : h);
  if (caps.MaxTextureWidth != 0 && w > caps.MaxTextureWidth) w = caps.MaxTextureWidth;
  if (caps.MaxTextureHeight != 0 && h > caps.MaxTextureHeight) h = caps.MaxTextureHeight;

  const UINT chain = FullChain(w, h);
  UINT n = wantsChain ? chain : static_cast<UINT>(levels);
  if (n > chain) n = chain;

  out.width = w;
  out.height = h;
  out.levels = n;
  out.format = format == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : static_cast<D3DFORMAT>(format);
  return D3D_OK;
}

HRESULT RuntimeD3DX8::CreateFont(const Ref<Direct3DDevice8>& device, std::int32_t hFont,
                                 Ref<D3DXFont>& font) {
  if (!device || hFont == 0) return D3DERR_INVALIDCALL;
  font = std::make_shared<RuntimeD3DXFont>(device, hFont);
  return D3D_OK;
}

HRESULT RuntimeD3DX8::CreateTexture(const Ref<Direct3DDevice8>& device, std::int32_t width,
                                    std::int32_t height, std::int32_t levels, std::int32_t usage,
                                    std::int32_t format, std::int32_t pool,
                                    Ref<Direct3DTexture8>& texture) {
  if (!device) return D3DERR_INVALIDCALL;
  D3DCAPS8 caps{};
  HRESULT hr = device->GetDeviceCaps(caps);
  if (hr != D3D_OK) return hr;
  D3DXTextureRequest request;
  hr = D3DXAdjustTextureRequest(caps, width, height, levels, format, request);
  if (hr != D3D_OK) return hr;
  Ref<Direct3DTexture8> created;
  hr = device->CreateTexture(request.width, request.height, request.levels,
                             static_cast<DWORD>(usage), request.format, static_cast<D3DPOOL>(pool),
                             created);
  if (hr != D3D_OK) return hr;
  texture = std::move(created);
  return D3D_OK;
}
