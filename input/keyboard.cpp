// The system keyboard through DirectInput: opened shared and readable in the
// background, polled whole into KeyState once per frame.
#include "input/keyboard.h"

#include "graphics/moduleDX8.h"
#include "graphics/platform_access.h"
#include "platform/resume_next.h"

namespace moduleDX8 {

Ref<DirectInput8> DI;
Ref<DirectInputDevice8> DIKeyboard;
DIKEYBOARDSTATE KeyState{};

void ResetKeyboardState() {
  DIKeyboard = nullptr;
  DI = nullptr;
  KeyState.fill(0);
}

namespace {
constexpr const char* kDevice = "DirectInputDevice8";
}

std::int32_t InitDI() {
  ResumeNext rn;
  rn.Step([] {
    Ref<DirectInput8> created;
    Check(Use(DX, "DirectX8").DirectInputCreate(created), "DirectX8");
    DI = created;
  });
  return Err().Number;
}

void InitKeyboard(std::int32_t hWnd) {
  Ref<DirectInputDevice8> created;
  Check(Use(DI, "DirectInput8").CreateDevice("GUID_SysKeyboard", created), "DirectInput8");
  DIKeyboard = created;
  Check(Use(DIKeyboard, kDevice).SetCommonDataFormat(DIFORMAT_KEYBOARD), kDevice);
  Check(Use(DIKeyboard, kDevice).SetCooperativeLevel(hWnd, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
        kDevice);
  Check(Use(DIKeyboard, kDevice).Acquire(), kDevice);
}

// A poll without a keyboard is a fault of the caller: it raises like any call
// on nothing, and the frame loop's handler reports it.
void ReadKeyboard() { Check(Use(DIKeyboard, kDevice).GetDeviceStateKeyboard(KeyState), kDevice); }

// Shutdown runs this after any start-up failure, also before the keyboard
// existed; with no device there is no access to give up.
void UnacquireKeyboard() {
  if (!DIKeyboard) return;
  Check(DIKeyboard->Unacquire(), kDevice);
}

void TerminateDI() {
  DIKeyboard = nullptr;
  DI = nullptr;
}

}  // namespace moduleDX8
