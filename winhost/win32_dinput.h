// The system's DirectInput 8 in plain C++ types, for the keyboard only. Only
// win32_dinput.cpp sees <dinput.h>.
#pragma once

#include <cstdint>

#include "winhost/win32_d3d8.h"

namespace win32 {

// DirectInput8Create for this process; the status as it came back.
Status DirectInput8Create(ComObject& directInput);
// The system keyboard (GUID_SysKeyboard).
Status CreateSystemKeyboard(ComObject directInput, ComObject& device);
// c_dfDIKeyboard.
Status SetKeyboardDataFormat(ComObject device);
Status SetCooperativeLevel(ComObject device, std::intptr_t window, std::uint32_t flags);
Status Acquire(ComObject device);
Status Unacquire(ComObject device);
// Fills the 256 key bytes.
Status KeyboardState(ComObject device, std::uint8_t* keys);

}  // namespace win32
