// moduleDX8, the DirectInput side: the system keyboard, polled every frame.
#pragma once

#include <cstdint>

#include "input/dinput8.h"

namespace moduleDX8 {

extern Ref<DirectInput8> DI;
extern Ref<DirectInputDevice8> DIKeyboard;
extern DIKEYBOARDSTATE KeyState;

std::int32_t InitDI();
void InitKeyboard(std::int32_t hWnd);
void ReadKeyboard();
void UnacquireKeyboard();
void TerminateDI();

}  // namespace moduleDX8
