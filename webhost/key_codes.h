// The page's key events as DirectInput's keyboard sees them: a key event's
// `code` (the physical key, whatever the layout) to the key's DirectInput
// code, the scan code of the same key on a PC keyboard.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Nothing for a key DirectInput's keyboard has no code for.
std::optional<std::uint8_t> DikFromKeyCode(std::string_view code);
