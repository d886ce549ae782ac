// The state every scene starts from: the scene's vertex format, no lighting,
// ordinary alpha-blend factors (blending itself stays off).
#include "graphics/moduleDX8.h"
#include "graphics/platform_access.h"
#include "platform/resume_next.h"

namespace moduleDX8 {

std::int32_t SetDefaultRenderStates() {
  ResumeNext rn;
  Ref<Direct3DDevice8> device = D3DDevice;
  const char* const kName = "Direct3DDevice8";
  // Every setting is tried, whatever the one before it did.
  rn.Step(
      [&] { Check(Use(device, kName).SetVertexShader(static_cast<DWORD>(VertexFormat)), kName); });
  rn.Step([&] { Check(Use(device, kName).SetRenderState(D3DRS_LIGHTING, 0), kName); });
  rn.Step(
      [&] { Check(Use(device, kName).SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), kName); });
  rn.Step([&] {
    Check(Use(device, kName).SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), kName);
  });
  device = nullptr;
  return ResumeNext::ErrorPending() ? D3DERR_INVALIDCALL : 0;
}

}  // namespace moduleDX8
