#include "d3dfront/state_keeping_device.h"

#include "d3dfront/fvf_layout.h"
#include "platform/d3d8_defaults.h"
#include "platform/d3dx8_math.h"

namespace d3dfront {

void ResetState(FrontState& state, const D3DPRESENT_PARAMETERS& params) {
  FillDefaultRenderStates(state.rs, params.EnableAutoDepthStencil);
  // Every vertex is processed in software.
  state.rs[D3DRS_SOFTWAREVERTEXPROCESSING] = 1;
  for (int s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s)
    FillDefaultTextureStageStates(state.tss[static_cast<std::size_t>(s)], static_cast<DWORD>(s));
  state.textured = {};
  D3DXMatrixIdentity(state.world);
  D3DXMatrixIdentity(state.view);
  D3DXMatrixIdentity(state.proj);
  state.viewport = {0, 0, params.BackBufferWidth, params.BackBufferHeight, 0.0f, 1.0f};
  state.fvf = 0;
  state.backBufferWidth = params.BackBufferWidth;
  state.backBufferHeight = params.BackBufferHeight;
  state.targetFormat = static_cast<D3DFORMAT>(params.BackBufferFormat);
  state.depthFormat = static_cast<D3DFORMAT>(
      params.EnableAutoDepthStencil ? params.AutoDepthStencilFormat : D3DFMT_UNKNOWN);
}

HRESULT SetRenderState(FrontState& s, D3DRENDERSTATETYPE state, DWORD value) {
  if (state < 0 || state >= D3DRS_MAX) return D3DERR_INVALIDCALL;
  s.rs[static_cast<std::size_t>(state)] = value;
  return D3D_OK;
}

HRESULT GetRenderState(const FrontState& s, D3DRENDERSTATETYPE state, DWORD& value) {
  if (state < 0 || state >= D3DRS_MAX) return D3DERR_INVALIDCALL;
  value = s.rs[static_cast<std::size_t>(state)];
  return D3D_OK;
}

HRESULT SetTextureStageState(FrontState& s, DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                             DWORD value) {
  if (stage >= D3D_MAX_TEXTURE_STAGES || type < 0 || type >= D3DTSS_MAX) return D3DERR_INVALIDCALL;
  s.tss[stage][static_cast<std::size_t>(type)] = value;
  return D3D_OK;
}

HRESULT GetTextureStageState(const FrontState& s, DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                             DWORD& value) {
  if (stage >= D3D_MAX_TEXTURE_STAGES || type < 0 || type >= D3DTSS_MAX) return D3DERR_INVALIDCALL;
  value = s.tss[stage][static_cast<std::size_t>(type)];
  return D3D_OK;
}

namespace {

// The matrix a transform state names, or null for the texture transforms
// (kept by no device) and for states that do not exist (`known` false).
template <class S>
auto* TransformOf(S& s, D3DTRANSFORMSTATETYPE state, bool& known) {
  known = true;
  switch (state) {
    case D3DTS_WORLD:
      return &s.world;
    case D3DTS_VIEW:
      return &s.view;
    case D3DTS_PROJECTION:
      return &s.proj;
    default:
      known = state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7;
      return static_cast<decltype(&s.world)>(nullptr);
  }
}

}  // namespace

HRESULT SetTransform(FrontState& s, D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) {
  bool known = false;
  D3DMATRIX* m = TransformOf(s, state, known);
  if (!known) return D3DERR_INVALIDCALL;
  if (m) *m = matrix;
  return D3D_OK;
}

HRESULT GetTransform(const FrontState& s, D3DTRANSFORMSTATETYPE state, D3DMATRIX& matrix) {
  bool known = false;
  const D3DMATRIX* m = TransformOf(s, state, known);
  if (!known) return D3DERR_INVALIDCALL;
  if (m)
    matrix = *m;
  else
    D3DXMatrixIdentity(matrix);
  return D3D_OK;
}

HRESULT SetViewport(FrontState& s, const D3DVIEWPORT8& vp) {
  const std::uint64_t right = static_cast<std::uint64_t>(vp.X) + vp.Width;
  const std::uint64_t bottom = static_cast<std::uint64_t>(vp.Y) + vp.Height;
  if (vp.Width == 0 || vp.Height == 0 || right > s.backBufferWidth || bottom > s.backBufferHeight)
    return D3DERR_INVALIDCALL;
  if (!(vp.MinZ >= 0.0f && vp.MinZ <= 1.0f && vp.MaxZ >= 0.0f && vp.MaxZ <= 1.0f))
    return D3DERR_INVALIDCALL;
  s.viewport = vp;
  return D3D_OK;
}

HRESULT SetVertexShader(FrontState& s, DWORD handle) {
  if (!DecodeFvf(handle).valid) return D3DERR_INVALIDCALL;
  s.fvf = handle;
  return D3D_OK;
}

HRESULT SetInScene(bool& inScene, bool begin) {
  if (inScene == begin) return D3DERR_INVALIDCALL;
  inScene = begin;
  return D3D_OK;
}

}  // namespace d3dfront
