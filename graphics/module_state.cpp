// moduleDX8's module-level state: every variable of the module, zero or unset
// at program start, and the reset that puts them back there.
#include "graphics/moduleDX8.h"
#include "input/keyboard.h"
#include "runtime/error.h"
#include "timing/fps.h"

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

Ref<DirectInput8> DI;
Ref<DirectInputDevice8> DIKeyboard;
DIKEYBOARDSTATE KeyState{};

float TickNow = 0.0f;
float TickLast = 0.0f;
float FrameCount = 0.0f;
float FPS = 0.0f;

void ResetModuleDX8() {
  // Objects go in the order the program itself releases them: the keyboard
  // before DirectInput, the graphics objects from the newest to the root.
  DIKeyboard = nullptr;
  DI = nullptr;
  D3DX = nullptr;
  D3DDevice = nullptr;
  D3D = nullptr;
  DX = nullptr;
  D3DPP = {};
  D3DCaps = {};
  DispMode = {};
  DevType = 0;
  VertexFormat = 0;
  KeyState.fill(0);
  TickNow = 0.0f;
  TickLast = 0.0f;
  FrameCount = 0.0f;
  FPS = 0.0f;
}

}  // namespace moduleDX8
