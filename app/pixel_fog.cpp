// Table (pixel) fog on the device: a colour and a mode, with fixed distances
// for linear fog and a fixed density for the exponential modes.
#include <bit>

#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "graphics/platform_access.h"

namespace {

constexpr const char* kDevice = "Direct3DDevice8";

// Floating-point render states take the bit pattern of the single.
constexpr DWORD FloatState(float value) { return std::bit_cast<DWORD>(value); }

void SetState(D3DRENDERSTATETYPE state, DWORD value) {
  Check(Use(moduleDX8::D3DDevice, kDevice).SetRenderState(state, value), kDevice);
}

}  // namespace

HRESULT frmTest::SetupPixelFog(const D3DCOLOR& Color, const std::int32_t& mode) {
  try {
    SetState(D3DRS_FOGENABLE, static_cast<DWORD>(kTrue));
    SetState(D3DRS_FOGCOLOR, Color);
    if (mode == D3DFOG_LINEAR) {
      SetState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
      SetState(D3DRS_FOGSTART, FloatState(0.5f));
      SetState(D3DRS_FOGEND, FloatState(0.8f));
    } else {
      // Any other value goes to the device as it is.
      SetState(D3DRS_FOGTABLEMODE, static_cast<DWORD>(mode));
      SetState(D3DRS_FOGDENSITY, FloatState(0.66f));
    }
    return 0;
  } catch (const RuntimeError& e) {
    return e.Number;
  }
}
