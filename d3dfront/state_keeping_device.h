// The device calls that only keep state, with the published checks: render
// and texture-stage states, transforms, the viewport, the vertex format and
// the scene brackets. The reference and the hardware device both draw from
// this state, so they keep it by the same rules.
#pragma once

#include "platform/d3d8.h"
#include "refdevice/device_state.h"

namespace refdev {

class StateKeepingDevice : public Direct3DDevice8 {
 public:
  HRESULT GetDisplayMode(D3DDISPLAYMODE& mode) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD& value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD& value) override;
  // Texture transforms are accepted and not used.
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX& matrix) override;
  HRESULT SetViewport(const D3DVIEWPORT8& viewport) override;
  HRESULT GetViewport(D3DVIEWPORT8& viewport) override;
  HRESULT SetVertexShader(DWORD handle) override;
  HRESULT GetVertexShader(DWORD& handle) override;
  HRESULT BeginScene() override;
  // Calls SceneEnded once the scene is closed.
  HRESULT EndScene() override;

 protected:
  // The largest vertex buffer a device makes, in bytes.
  static constexpr UINT kMaxVertexBufferBytes = 1u << 28;

  // The published checks of CreateVertexBuffer's arguments: a size within
  // the limit that holds at least one vertex of `fvf` (when given), and a
  // pool a vertex buffer may live in.
  static HRESULT CheckVertexBufferRequest(UINT length, DWORD fvf, D3DPOOL pool);

  // `params` must already be validated; the states start at their defaults.
  StateKeepingDevice(const D3DPRESENT_PARAMETERS& params, const D3DDISPLAYMODE& displayMode);

  // What the device does when a scene ends (finish its pending drawing).
  virtual void SceneEnded() {}

  D3DPRESENT_PARAMETERS params_;
  D3DDISPLAYMODE displayMode_;
  DeviceState state_;
  bool inScene_ = false;
};

}  // namespace refdev
