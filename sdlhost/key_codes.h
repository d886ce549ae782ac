// The DirectInput key codes of the keys the SDL host's key sources report:
// Linux evdev codes (X keycodes are these plus 8) and SDL scancodes.
#pragma once

#include <cstdint>

// The DirectInput code of an X keycode, or 0 for a key it has none for.
std::uint8_t DikFromXKeycode(unsigned xKeycode);
// The DirectInput code of an SDL scancode, or 0.
std::uint8_t DikFromSdlScancode(std::int32_t scancode);
