// The reference device: a software rasterizer for the fixed-function subset
// of Direct3D 8 with its published defaults and rules.
//
// Drawing runs as separate stages over buffers that are kept between draws: a
// front end (vertex fetch and transform, clipping, triangle set-up) and a
// rasterizer back end that takes the clears and set-up primitives in order.
// The back end can be chosen; every back end gives the same pixels whatever
// its thread count.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "d3dfront/state_keeping_device.h"
#include "platform/d3d8.h"
#include "platform/display_host.h"
#include "refdevice/resources/device_state.h"
#include "refdevice/raster/rasterizer.h"
#include "refdevice/resources/resources.h"

namespace refdev {
class Pipeline;
}

class RefDevice final
    : public d3dfront::StateKeepingDevice<refdev::DeviceState, refdev::RefVertexBuffer,
                                          refdev::RefTexture> {
 public:
  // `params` must already be validated (RefDirect3D8::CreateDevice does so).
  RefDevice(DisplayHost* host, D3DDEVTYPE type, const D3DPRESENT_PARAMETERS& params,
            const D3DDISPLAYMODE& displayMode,
            refdev::RasterizerKind rasterizer = refdev::DefaultRasterizerKind(),
            const refdev::RasterizerOptions& options = {});
  ~RefDevice() override;
  RefDevice(const RefDevice&) = delete;
  RefDevice& operator=(const RefDevice&) = delete;

  HRESULT GetDeviceCaps(D3DCAPS8& caps) override;
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                DWORD stencil) override;
  HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                  const void* dirtyRegion) override;

  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             Ref<Direct3DVertexBuffer8>& buffer) override;
  // `levels` 0 makes the full mip chain.
  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, Ref<Direct3DTexture8>& texture) override;

  // The frame shown by the last Present (all zero before the first).
  FrameView PresentedFrame() const;
  // The back buffer being drawn into now.
  FrameView BackBuffer() const;
  // The depth and stencil buffer (no format when the device has none).
  const refdev::DepthBuffer& DepthStencil() const;
  // The presentation parameters the device was made with (defaults filled in).
  const D3DPRESENT_PARAMETERS& PresentParameters() const { return params_; }

  // Threads that rasterize (the back end clamps it). Results do not depend on it.
  void SetThreadCount(int threads);
  int ThreadCount() const;

 private:
  HRESULT DrawFromBuffer(D3DPRIMITIVETYPE type, UINT primitiveCount,
                         refdev::RefVertexBuffer& buffer, std::uint64_t start,
                         UINT stride) override;
  HRESULT DrawFromMemory(D3DPRIMITIVETYPE type, UINT primitiveCount, const std::uint8_t* data,
                         UINT stride) override;
  void TextureChanging(DWORD stage, const Ref<Direct3DBaseTexture8>& texture,
                       refdev::RefTexture* ours) override;
  void SceneEnded() override;

  DisplayHost* host_;
  D3DDEVTYPE type_;
  // Colour buffers: [0] is the front buffer, [1..] the back buffers in flip order.
  std::vector<refdev::Surface> colour_;
  refdev::DepthBuffer depth_;

  // Storage of dropped vertex buffers, for the next ones.
  std::shared_ptr<refdev::BufferRecycler> recycler_ = std::make_shared<refdev::BufferRecycler>();

  // Declared after the buffers it draws into, and before the front end that
  // feeds it, so that it finishes before they go.
  std::unique_ptr<refdev::Rasterizer> rasterizer_;
  std::unique_ptr<refdev::Pipeline> pipeline_;
};
