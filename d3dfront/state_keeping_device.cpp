#include "d3dfront/state_keeping_device.h"

#include "platform/d3d8_defaults.h"
#include "platform/d3dx8_math.h"
#include "refdevice/vertex_stage.h"

namespace refdev {

StateKeepingDevice::StateKeepingDevice(const D3DPRESENT_PARAMETERS& params,
                                       const D3DDISPLAYMODE& displayMode)
    : params_(params), displayMode_(displayMode) {
  FillDefaultRenderStates(state_.rs, params_.EnableAutoDepthStencil);
  // Every vertex is processed in software.
  state_.rs[D3DRS_SOFTWAREVERTEXPROCESSING] = 1;
  for (int s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s)
    FillDefaultTextureStageStates(state_.tss[static_cast<std::size_t>(s)], static_cast<DWORD>(s));
  D3DXMatrixIdentity(state_.world);
  D3DXMatrixIdentity(state_.view);
  D3DXMatrixIdentity(state_.proj);
  state_.viewport = {0, 0, params_.BackBufferWidth, params_.BackBufferHeight, 0.0f, 1.0f};
  state_.fvf = 0;
}

HRESULT StateKeepingDevice::CheckVertexBufferRequest(UINT length, DWORD fvf, D3DPOOL pool) {
  if (length == 0 || length > kMaxVertexBufferBytes) return D3DERR_INVALIDCALL;
  if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED && pool != D3DPOOL_SYSTEMMEM)
    return D3DERR_INVALIDCALL;
  if (fvf != 0) {
    const FvfLayout layout = DecodeFvf(fvf);
    if (!layout.valid || length < static_cast<UINT>(layout.size)) return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

HRESULT StateKeepingDevice::GetDisplayMode(D3DDISPLAYMODE& mode) {
  mode = displayMode_;
  return D3D_OK;
}

HRESULT StateKeepingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state < 0 || state >= D3DRS_MAX) return D3DERR_INVALIDCALL;
  state_.rs[static_cast<std::size_t>(state)] = value;
  return D3D_OK;
}

HRESULT StateKeepingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD& value) {
  if (state < 0 || state >= D3DRS_MAX) return D3DERR_INVALIDCALL;
  value = state_.rs[static_cast<std::size_t>(state)];
  return D3D_OK;
}

HRESULT StateKeepingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                 DWORD value) {
  if (stage >= D3D_MAX_TEXTURE_STAGES || type < 0 || type >= D3DTSS_MAX) return D3DERR_INVALIDCALL;
  state_.tss[stage][static_cast<std::size_t>(type)] = value;
  return D3D_OK;
}

HRESULT StateKeepingDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                 DWORD& value) {
  if (stage >= D3D_MAX_TEXTURE_STAGES || type < 0 || type >= D3DTSS_MAX) return D3DERR_INVALIDCALL;
  value = state_.tss[stage][static_cast<std::size_t>(type)];
  return D3D_OK;
}

HRESULT StateKeepingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) {
  switch (state) {
    case D3DTS_WORLD:
      state_.world = matrix;
      return D3D_OK;
    case D3DTS_VIEW:
      state_.view = matrix;
      return D3D_OK;
    case D3DTS_PROJECTION:
      state_.proj = matrix;
      return D3D_OK;
    default:
      if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) return D3D_OK;
      return D3DERR_INVALIDCALL;
  }
}

HRESULT StateKeepingDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX& matrix) {
  switch (state) {
    case D3DTS_WORLD:
      matrix = state_.world;
      return D3D_OK;
    case D3DTS_VIEW:
      matrix = state_.view;
      return D3D_OK;
    case D3DTS_PROJECTION:
      matrix = state_.proj;
      return D3D_OK;
    default:
      if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) {
        D3DXMatrixIdentity(matrix);
        return D3D_OK;
      }
      return D3DERR_INVALIDCALL;
  }
}

HRESULT StateKeepingDevice::SetViewport(const D3DVIEWPORT8& vp) {
  const std::uint64_t right = static_cast<std::uint64_t>(vp.X) + vp.Width;
  const std::uint64_t bottom = static_cast<std::uint64_t>(vp.Y) + vp.Height;
  if (vp.Width == 0 || vp.Height == 0 || right > params_.BackBufferWidth ||
      bottom > params_.BackBufferHeight)
    return D3DERR_INVALIDCALL;
  if (!(vp.MinZ >= 0.0f && vp.MinZ <= 1.0f && vp.MaxZ >= 0.0f && vp.MaxZ <= 1.0f))
    return D3DERR_INVALIDCALL;
  state_.viewport = vp;
  return D3D_OK;
}

HRESULT StateKeepingDevice::GetViewport(D3DVIEWPORT8& viewport) {
  viewport = state_.viewport;
  return D3D_OK;
}

HRESULT StateKeepingDevice::SetVertexShader(DWORD handle) {
  if (!DecodeFvf(handle).valid) return D3DERR_INVALIDCALL;
  state_.fvf = handle;
  return D3D_OK;
}

HRESULT StateKeepingDevice::GetVertexShader(DWORD& handle) {
  handle = state_.fvf;
  return D3D_OK;
}

HRESULT StateKeepingDevice::BeginScene() {
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

HRESULT StateKeepingDevice::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  SceneEnded();
  return D3D_OK;
}

}  // namespace refdev
