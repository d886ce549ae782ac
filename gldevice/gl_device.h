// The hardware device: the fixed-function subset of Direct3D 8 that the
// reference device offers, drawn through an OpenGL 3.3 core context.
//
// The back buffer is a framebuffer object whose row 0 is the top row, so
// reading it back needs no flip; Present either blits it to the window and
// swaps, or (headless) hands the read-back pixels to the display host.
#pragma once

#include <epoxy/gl.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "d3dfront/fixed_function.h"
#include "d3dfront/state_keeping_device.h"
#include "gldevice/gl_context.h"
#include "gldevice/gl_programs.h"
#include "platform/d3d8.h"
#include "platform/display_host.h"
#include "refdevice/resources/resources.h"

namespace gldev {

// The context, and the storage that vertex buffers hand back when they go
// (the program makes a buffer of the same size every frame): shared by the
// device and its resources, which may outlive it.
class SharedContext {
 public:
  explicit SharedContext(std::shared_ptr<GlContext> context) : context_(std::move(context)) {}
  ~SharedContext();
  SharedContext(const SharedContext&) = delete;
  SharedContext& operator=(const SharedContext&) = delete;

  bool MakeCurrent() { return context_->MakeCurrent(); }
  GlContext& Context() { return *context_; }

  // A buffer object and its shadow copy of `length` bytes, recycled when
  // one of that size was handed back.
  void TakeBuffer(UINT length, GLuint& name, std::vector<std::uint8_t>& bytes);
  void GiveBack(GLuint name, std::vector<std::uint8_t>&& bytes);

 private:
  struct Spare {
    GLuint name;
    std::vector<std::uint8_t> bytes;
  };
  std::shared_ptr<GlContext> context_;
  std::vector<Spare> spares_;
};

struct SamplerState {
  GLint wrapS = 0, wrapT = 0, minFilter = 0, magFilter = 0;
  float lodBias = 0.0f;
  DWORD border = 0;
};

class GlVertexBuffer final : public Direct3DVertexBuffer8 {
 public:
  GlVertexBuffer(std::shared_ptr<SharedContext> shared, UINT length, DWORD usage, DWORD fvf,
                 D3DPOOL pool);
  ~GlVertexBuffer() override;
  HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC& desc) override;

  UINT Length() const { return length_; }
  const std::uint8_t* Data() const { return bytes_.data(); }
  // The buffer object with the current contents (uploaded when they changed).
  GLuint Upload();

 private:
  std::shared_ptr<SharedContext> shared_;
  UINT length_;
  DWORD usage_, fvf_;
  D3DPOOL pool_;
  GLuint name_ = 0;
  std::vector<std::uint8_t> bytes_;
  bool dirty_ = true;
  int locks_ = 0;
};

class GlTexture final : public Direct3DTexture8 {
 public:
  GlTexture(std::shared_ptr<SharedContext> shared, UINT width, UINT height, UINT levels,
            DWORD usage, D3DFORMAT format, D3DPOOL pool);
  ~GlTexture() override;
  DWORD GetLevelCount() const override { return store_.GetLevelCount(); }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC& desc) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT& locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;

  const refdev::RefTexture& Store() const { return store_; }
  // Binds the texture to the active unit, uploading changed levels.
  void Bind(std::vector<std::uint32_t>& scratch, GLint baseLevel);

 private:
  std::shared_ptr<SharedContext> shared_;
  refdev::RefTexture store_;
  GLuint name_ = 0;
  std::vector<bool> dirty_;
  bool anyDirty_ = true;
  GLint baseLevel_ = -1;
};

}  // namespace gldev

class GlDevice final
    : public d3dfront::StateKeepingDevice<d3dfront::FrontState, gldev::GlVertexBuffer,
                                          gldev::GlTexture> {
 public:
  // `params` must already be validated (RefDirect3D8::CheckDeviceParameters).
  // Check Ready() before use.
  GlDevice(std::shared_ptr<gldev::SharedContext> shared, DisplayHost* host, HWND window,
           const D3DPRESENT_PARAMETERS& params, const D3DDISPLAYMODE& displayMode);
  ~GlDevice() override;
  GlDevice(const GlDevice&) = delete;
  GlDevice& operator=(const GlDevice&) = delete;

  // False when the render target could not be made (the reason in `error`).
  bool Ready(std::string* error) const;

  HRESULT GetDeviceCaps(D3DCAPS8& caps) override;
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                DWORD stencil) override;
  HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                  const void* dirtyRegion) override;

  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             Ref<Direct3DVertexBuffer8>& buffer) override;
  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, Ref<Direct3DTexture8>& texture) override;

  // The back buffer read back now, as 32-bit pixels, top row first.
  FrameView ReadBackBuffer();

 private:
  HRESULT DrawFromBuffer(D3DPRIMITIVETYPE type, UINT primitiveCount, gldev::GlVertexBuffer& buffer,
                         std::uint64_t start, UINT stride) override;
  HRESULT DrawFromMemory(D3DPRIMITIVETYPE type, UINT primitiveCount, const std::uint8_t* data,
                         UINT stride) override;
  // Draws from `vb` (its vertices from byte `start`) or, with `vb` null,
  // from `user`.
  HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, gldev::GlVertexBuffer* vb,
               std::uint64_t start, const std::uint8_t* user, UINT stride);
  // The OpenGL side of the draw's decoded state `ff_`.
  void BuildKey(gldev::ProgramKey& key) const;
  void ApplyFixedState();
  void ApplyUniforms(const gldev::Program& program);
  void BindTextures();
  void SetAttributes(std::uintptr_t base, UINT stride);
  bool Current();

  std::shared_ptr<gldev::SharedContext> shared_;
  DisplayHost* host_;
  HWND window_;
  bool alphaStored_ = false;  // the back buffer keeps alpha
  std::string error_;

  GLuint fbo_ = 0, colour_ = 0, depth_ = 0, vao_ = 0, stream_ = 0;
  GLsizeiptr streamSize_ = 0, streamOffset_ = 0;
  GLuint samplers_[D3D_MAX_TEXTURE_STAGES] = {};
  gldev::SamplerState samplerState_[D3D_MAX_TEXTURE_STAGES] = {};
  GLsync inFlight_ = nullptr;
  bool depthHasStencil_ = false;
  bool hasDepth_ = false;

  int swapInterval_ = 0;

  d3dfront::FixedFunction ff_;  // the state of the draw being made
  gldev::ProgramCache programs_;
  std::vector<std::uint32_t> readback_;
  std::vector<std::uint32_t> scratch_;
};
