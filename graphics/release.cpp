// Giving up the graphics objects, newest first, the root last.
#include "graphics/moduleDX8.h"

namespace moduleDX8 {

void TerminateD3D() {
  D3DX = nullptr;
  D3DDevice = nullptr;
  D3D = nullptr;
}

void TerminateDX() { DX = nullptr; }

}  // namespace moduleDX8
