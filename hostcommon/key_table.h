// The DirectInput keyboard's key codes (the published scan codes) with the
// names scripts use and the codes the host's key sources report: Linux evdev
// codes (X keycodes are these plus 8) and SDL scancodes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

struct KeyCodeEntry {
  std::string_view name;   // without the "DIK_" prefix, upper case
  std::uint8_t dik;        // DirectInput key code
  std::uint16_t evdev;     // Linux input event code, 0 when none
  std::int32_t sdl;        // SDL_Scancode, 0 when none
};

// Every key of a PC keyboard (and the common extra keys), one entry per code.
std::span<const KeyCodeEntry> KeyCodeTable();

// "UP", "dik_up", "Up" and "0xC8" all give 0xC8.
std::optional<std::uint8_t> DikFromName(std::string_view name);
// The DirectInput code of an X keycode, or 0 for a key it has none for.
std::uint8_t DikFromXKeycode(unsigned xKeycode);
// The DirectInput code of an SDL scancode, or 0.
std::uint8_t DikFromSdlScancode(std::int32_t scancode);
