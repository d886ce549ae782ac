// The device calls that only keep state, with the published checks: render
// and texture-stage states, transforms, the viewport, the vertex format and
// the scene brackets. Both devices keep their state by these rules, and the
// recording platform refuses by them.
#pragma once

#include <type_traits>

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
// extension of it) by the rules above.
template <class State>
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

  D3DPRESENT_PARAMETERS params_;
  D3DDISPLAYMODE displayMode_;
  State state_;
  bool inScene_ = false;
};

}  // namespace d3dfront
