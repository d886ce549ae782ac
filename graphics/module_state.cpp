// moduleDX8's Direct3D state: zero or unset at program start, and the reset
// that puts it back there. The keyboard and the frame-rate counter keep their
// own state beside their routines.
#include "graphics/moduleDX8.h"

namespace moduleDX8 {

Ref<DirectX8> DX;
Ref<Direct3D8> D3D;
Ref<Direct3DDevice8> D3DDevice;
Ref<D3DX8> D3DX;
D3DPRESENT_PARAMETERS D3DPP{};
D3DCAPS8 D3DCaps{};
D3DDISPLAYMODE DispMode{};
std::int32_t DevType = 0;
std::int32_t VertexFormat = 0;

void ResetGraphicsState() {
  // Objects go in the order the program itself releases them: from the newest
  // to the root.
  D3DX = nullptr;
  D3DDevice = nullptr;
  D3D = nullptr;
  DX = nullptr;
  D3DPP = {};
  D3DCaps = {};
  DispMode = {};
  DevType = 0;
  VertexFormat = 0;
}

}  // namespace moduleDX8
