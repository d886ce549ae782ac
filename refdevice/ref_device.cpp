#include "refdevice/ref_device.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "d3dfront/argument_checks.h"
#include "formats/pixel_format.h"
#include "platform/d3d8_defaults.h"
#include "refdevice/front/pipeline.h"
#include "refdevice/pixel/pixel_stage.h"
#include "refdevice/ref_direct3d.h"
#include "refdevice/front/vertex_stage.h"

namespace refdev {

void DepthBuffer::Allocate(std::int32_t fmt, std::int32_t w, std::int32_t h) {
  stamp = NewStamp();
  format = fmt;
  width = w;
  height = h;
  const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  d16.clear();
  d32.clear();
  stencil.clear();
  hasStencil = fmt == D3DFMT_D24S8;
  if (fmt == D3DFMT_D16 || fmt == D3DFMT_D16_LOCKABLE) {
    d16.assign(n, 0xFFFF);
  } else if (fmt != D3DFMT_UNKNOWN) {
    d32.assign(n, static_cast<std::uint32_t>(Scale()));
  }
  if (hasStencil) stencil.assign(n, 0);
}

double DepthBuffer::Scale() const {
  switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
      return 65535.0;
    case D3DFMT_D32:
      return 4294967295.0;
    default:
      return 16777215.0;
  }
}

}  // namespace refdev

RefDevice::RefDevice(DisplayHost* host, D3DDEVTYPE type, const D3DPRESENT_PARAMETERS& params,
                     const D3DDISPLAYMODE& displayMode, refdev::RasterizerKind rasterizer,
                     const refdev::RasterizerOptions& options)
    : StateKeepingDevice(params, displayMode),
      host_(host),
      type_(type),
      rasterizer_(refdev::MakeRasterizer(rasterizer, options)),
      pipeline_(std::make_unique<refdev::Pipeline>(*rasterizer_)) {
  const auto w = static_cast<std::int32_t>(params_.BackBufferWidth);
  const auto h = static_cast<std::int32_t>(params_.BackBufferHeight);
  colour_.resize(1 + params_.BackBufferCount);
  for (auto& s : colour_) s.Allocate(params_.BackBufferFormat, w, h);
  if (params_.EnableAutoDepthStencil) depth_.Allocate(params_.AutoDepthStencilFormat, w, h);
}

RefDevice::~RefDevice() {
  rasterizer_->Finish();
  if (host_) host_->DetachDevice();
}

HRESULT RefDevice::GetDeviceCaps(D3DCAPS8& caps) {
  RefDirect3D8::FillCaps(type_, caps);
  return D3D_OK;
}

void RefDevice::SceneEnded() { rasterizer_->Finish(); }

HRESULT RefDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                         DWORD stencil) {
  if (const HRESULT hr = d3dfront::CheckClear(state_, count, rects, flags, z); hr != D3D_OK)
    return hr;

  const D3DVIEWPORT8& vp = state_.viewport;
  const std::int32_t vx0 = static_cast<std::int32_t>(vp.X);
  const std::int32_t vy0 = static_cast<std::int32_t>(vp.Y);
  const std::int32_t vx1 = vx0 + static_cast<std::int32_t>(vp.Width);
  const std::int32_t vy1 = vy0 + static_cast<std::int32_t>(vp.Height);

  refdev::ClearCommand clear;
  clear.target = &colour_[1];
  clear.depth = &depth_;
  clear.flags = flags;
  clear.colour = color;
  clear.depthValue = refdev::QuantizeDepth(depth_.Scale(), z);
  clear.stencil = static_cast<std::uint8_t>(stencil);
  auto clearRect = [&](std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    clear.rect.x0 = std::max(x0, vx0);
    clear.rect.y0 = std::max(y0, vy0);
    clear.rect.x1 = std::min(x1, vx1);
    clear.rect.y1 = std::min(y1, vy1);
    if (clear.rect.x0 < clear.rect.x1 && clear.rect.y0 < clear.rect.y1) rasterizer_->Clear(clear);
  };

  if (count == 0) {
    clearRect(vx0, vy0, vx1, vy1);
  } else {
    for (DWORD i = 0; i < count; ++i) clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
  }
  return D3D_OK;
}

HRESULT RefDevice::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                           const void* dirtyRegion) {
  if (sourceRect != nullptr || destRect != nullptr || dirtyRegion != nullptr)
    return D3DERR_INVALIDCALL;
  rasterizer_->Finish();
  if (params_.SwapEffect == D3DSWAPEFFECT_COPY || params_.SwapEffect == D3DSWAPEFFECT_COPY_VSYNC) {
    // The back buffer is copied and keeps its contents.
    colour_[0].bytes = colour_[1].bytes;
    colour_[0].stamp = refdev::NewStamp();
  } else {
    // Flip (and discard, whose back buffer contents are undefined afterwards):
    // the first back buffer becomes the front buffer, the old front buffer the
    // last back buffer.
    std::rotate(colour_.begin(), colour_.begin() + 1, colour_.end());
  }
  if (host_) return host_->Present(PresentedFrame(), destWindow);
  return D3D_OK;
}

FrameView RefDevice::PresentedFrame() const {
  rasterizer_->Finish();
  const refdev::Surface& s = colour_[0];
  return FrameView{s.bytes.data(), s.width, s.height, s.pitch, static_cast<D3DFORMAT>(s.format)};
}

FrameView RefDevice::BackBuffer() const {
  rasterizer_->Finish();
  const refdev::Surface& s = colour_[1];
  return FrameView{s.bytes.data(), s.width, s.height, s.pitch, static_cast<D3DFORMAT>(s.format)};
}

const refdev::DepthBuffer& RefDevice::DepthStencil() const {
  rasterizer_->Finish();
  return depth_;
}

HRESULT RefDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                      Ref<Direct3DVertexBuffer8>& buffer) {
  if (const HRESULT hr = d3dfront::CheckCreateVertexBuffer(length, fvf, pool); hr != D3D_OK)
    return hr;
  buffer = std::allocate_shared<refdev::RefVertexBuffer>(
      refdev::RecyclingAllocator<refdev::RefVertexBuffer>(recycler_), length, usage, fvf, pool,
      recycler_);
  return D3D_OK;
}

HRESULT RefDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                 D3DFORMAT format, D3DPOOL pool, Ref<Direct3DTexture8>& texture) {
  if (const HRESULT hr = d3dfront::CheckCreateTexture(width, height, levels, usage, format, pool);
      hr != D3D_OK)
    return hr;
  texture = std::make_shared<refdev::RefTexture>(width, height, levels, usage, format, pool);
  return D3D_OK;
}

void RefDevice::TextureChanging(DWORD stage, const Ref<Direct3DBaseTexture8>& texture,
                                refdev::RefTexture* ours) {
  // Draws handed over may still read the texture being replaced.
  if (textures_[stage] && textures_[stage] != texture) rasterizer_->Finish();
  state_.texture[stage] = ours;
}

HRESULT RefDevice::DrawFromBuffer(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                  refdev::RefVertexBuffer& buffer, std::uint64_t start,
                                  UINT stride) {
  return DrawFromMemory(type, primitiveCount, buffer.Data() + start, stride);
}

HRESULT RefDevice::DrawFromMemory(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                  const std::uint8_t* data, UINT stride) {
  state_.target = &colour_[1];
  state_.depth = &depth_;
  pipeline_->Draw(state_, type, primitiveCount, data, stride);
  return D3D_OK;
}

void RefDevice::SetThreadCount(int threads) { rasterizer_->SetThreads(threads); }
int RefDevice::ThreadCount() const { return rasterizer_->Threads(); }
