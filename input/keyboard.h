// moduleDX8, the DirectInput side: the system keyboard, polled every frame.
#pragma once

#include <cstdint>

#include "platform/dinput8.h"

namespace moduleDX8 {

extern Ref<DirectInput8> DI;
extern Ref<DirectInputDevice8> DIKeyboard;
extern DIKEYBOARDSTATE KeyState;
// Puts the keyboard's variables back to their start (the device before
// DirectInput, as the program releases them).
void ResetKeyboardState();

std::int32_t InitDI();
void InitKeyboard(std::int32_t hWnd);
void ReadKeyboard();
void UnacquireKeyboard();
void TerminateDI();

}  // namespace moduleDX8
