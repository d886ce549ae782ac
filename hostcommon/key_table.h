// The DirectInput keyboard's key codes (the published scan codes) with the
// names key scripts use.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

struct KeyName {
  std::string_view name;  // without the "DIK_" prefix, upper case
  std::uint8_t dik;       // DirectInput key code
};

// Every key of a PC keyboard (and the common extra keys), one entry per code.
std::span<const KeyName> KeyNameTable();

// "UP", "dik_up", "Up" and "0xC8" all give 0xC8.
std::optional<std::uint8_t> DikFromName(std::string_view name);
