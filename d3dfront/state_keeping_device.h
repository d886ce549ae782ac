// The device calls that keep state, with the published checks: render and
// texture-stage states, transforms, the viewport, the vertex format, the
// scene brackets, the stream and the textures; and the draws' checks. Both
// devices keep their state by these rules, and the recording platform
// refuses by them.
#pragma once

#include <array>
#include <cstdint>
#include <type_traits>

#include "d3dfront/argument_checks.h"
#include "d3dfront/front_state.h"
#include "platform/d3d8.h"

namespace d3dfront {

HRESULT SetRenderState(FrontState& s, D3DRENDERSTATETYPE state, DWORD value);
HRESULT GetRenderState(const FrontState& s, D3DRENDERSTATETYPE state, DWORD& value);
HRESULT SetTextureStageState(FrontState& s, DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                             DWORD value);
HRESULT GetTextureStageState(const FrontState& s, DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                             DWORD& value);
// Texture transforms are accepted and not used.
HRESULT SetTransform(FrontState& s, D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix);
HRESULT GetTransform(const FrontState& s, D3DTRANSFORMSTATETYPE state, D3DMATRIX& matrix);
HRESULT SetViewport(FrontState& s, const D3DVIEWPORT8& viewport);
HRESULT SetVertexShader(FrontState& s, DWORD handle);
// Opens (`begin`) or closes the scene.
HRESULT SetInScene(bool& inScene, bool begin);

// A device that keeps its state in `State` (a FrontState, or a device's own
// extension of it) by the rules above, and draws from vertex buffers of type
// `Buffer` (with a Length()) and textures of type `Texture`, its own: those
// of another device are refused.
template <class State, class Buffer, class Texture>
class StateKeepingDevice : public Direct3DDevice8 {
  static_assert(std::is_base_of_v<FrontState, State>);

 public:
  HRESULT GetDisplayMode(D3DDISPLAYMODE& mode) override {
    mode = displayMode_;
    return D3D_OK;
  }
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
    return d3dfront::SetRenderState(state_, state, value);
  }
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD& value) override {
    return d3dfront::GetRenderState(state_, state, value);
  }
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override {
    return d3dfront::SetTextureStageState(state_, stage, type, value);
  }
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD& value) override {
    return d3dfront::GetTextureStageState(state_, stage, type, value);
  }
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) override {
    return d3dfront::SetTransform(state_, state, matrix);
  }
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX& matrix) override {
    return d3dfront::GetTransform(state_, state, matrix);
  }
  HRESULT SetViewport(const D3DVIEWPORT8& viewport) override {
    return d3dfront::SetViewport(state_, viewport);
  }
  HRESULT GetViewport(D3DVIEWPORT8& viewport) override {
    viewport = state_.viewport;
    return D3D_OK;
  }
  HRESULT SetVertexShader(DWORD handle) override {
    return d3dfront::SetVertexShader(state_, handle);
  }
  HRESULT GetVertexShader(DWORD& handle) override {
    handle = state_.fvf;
    return D3D_OK;
  }
  HRESULT SetStreamSource(UINT stream, const Ref<Direct3DVertexBuffer8>& buffer,
                          UINT stride) override {
    auto* ours = dynamic_cast<Buffer*>(buffer.get());
    if (const HRESULT hr = CheckSetStreamSource(stream, buffer && !ours); hr != D3D_OK) return hr;
    stream0_ = buffer;
    stream0Buffer_ = ours;
    stream0Stride_ = stride;
    return D3D_OK;
  }
  HRESULT SetTexture(DWORD stage, const Ref<Direct3DBaseTexture8>& texture) override {
    auto* ours = dynamic_cast<Texture*>(texture.get());
    if (const HRESULT hr = CheckSetTexture(stage, texture && !ours); hr != D3D_OK) return hr;
    TextureChanging(stage, texture, ours);
    textures_[stage] = texture;
    bound_[stage] = ours;
    state_.textured[stage] = ours != nullptr;
    return D3D_OK;
  }
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override {
    const UINT length = stream0Buffer_ ? stream0Buffer_->Length() : 0;
    if (const HRESULT hr = CheckDrawPrimitive(state_, inScene_, type, startVertex, primitiveCount,
                                              stream0Stride_, stream0Buffer_ ? &length : nullptr);
        hr != D3D_OK || primitiveCount == 0)
      return hr;
    return DrawFromBuffer(type, primitiveCount, *stream0Buffer_,
                          static_cast<std::uint64_t>(startVertex) * stream0Stride_, stream0Stride_);
  }
  // Resets stream 0 to nothing afterwards, as the published interface does.
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                          UINT stride) override {
    if (const HRESULT hr =
            CheckDrawPrimitiveUP(state_, inScene_, type, primitiveCount, vertexData, stride);
        hr != D3D_OK)
      return hr;
    if (primitiveCount > 0) {
      const HRESULT hr = DrawFromMemory(type, primitiveCount,
                                        static_cast<const std::uint8_t*>(vertexData), stride);
      if (hr != D3D_OK) return hr;
    }
    stream0_.reset();
    stream0Buffer_ = nullptr;
    stream0Stride_ = 0;
    return D3D_OK;
  }
  HRESULT BeginScene() override { return SetInScene(inScene_, true); }
  // Calls SceneEnded once the scene is closed.
  HRESULT EndScene() override {
    const HRESULT hr = SetInScene(inScene_, false);
    if (hr == D3D_OK) SceneEnded();
    return hr;
  }

 protected:
  // `params` must already be validated; the states start at their defaults.
  StateKeepingDevice(const D3DPRESENT_PARAMETERS& params, const D3DDISPLAYMODE& displayMode)
      : params_(params), displayMode_(displayMode) {
    ResetState(state_, params_);
  }

  // What the device does when a scene ends (finish its pending drawing).
  virtual void SceneEnded() {}
  // Draw what the checks let through: from `buffer`, its vertices from byte
  // `start` on, or from `data`.
  virtual HRESULT DrawFromBuffer(D3DPRIMITIVETYPE type, UINT primitiveCount, Buffer& buffer,
                                 std::uint64_t start, UINT stride) = 0;
  virtual HRESULT DrawFromMemory(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                 const std::uint8_t* data, UINT stride) = 0;
  // `texture` (`ours`, or null) is about to be set on `stage`, where
  // textures_[stage] still holds the one it replaces.
  virtual void TextureChanging(DWORD stage, const Ref<Direct3DBaseTexture8>& texture,
                               Texture* ours) {
    (void)stage, (void)texture, (void)ours;
  }

  D3DPRESENT_PARAMETERS params_;
  D3DDISPLAYMODE displayMode_;
  State state_;
  bool inScene_ = false;
  std::array<Ref<Direct3DBaseTexture8>, D3D_MAX_TEXTURE_STAGES> textures_{};
  std::array<Texture*, D3D_MAX_TEXTURE_STAGES> bound_{};  // textures_, as this device's

 private:
  Ref<Direct3DVertexBuffer8> stream0_;
  Buffer* stream0Buffer_ = nullptr;  // stream0_, as this device's
  UINT stream0Stride_ = 0;
};

}  // namespace d3dfront
