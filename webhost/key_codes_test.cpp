#include "webhost/key_codes.h"

#include <gtest/gtest.h>

namespace {

// The keys the program reads, the extended ones (whose codes have the high
// bit), the keypad's twins of the main keys, and what has no code.
TEST(KeyCodes, PageKeysGiveTheirDirectInputCodes) {
  const struct {
    const char* code;
    std::optional<std::uint8_t> dik;
  } rows[] = {
      {"Escape", 0x01},       {"ArrowUp", 0xC8},
      {"ArrowDown", 0xD0},    {"ArrowLeft", 0xCB},
      {"ArrowRight", 0xCD},   {"KeyA", 0x1E},
      {"KeyZ", 0x2C},         {"Digit0", 0x0B},
      {"F12", 0x58},          {"Enter", 0x1C},
      {"NumpadEnter", 0x9C},  {"ControlLeft", 0x1D},
      {"ControlRight", 0x9D}, {"Slash", 0x35},
      {"NumpadDivide", 0xB5}, {"Numpad8", 0x48},
      {"WakeUp", 0xE3},       {"AltLeft", 0x38},
      {"", std::nullopt},     {"escape", std::nullopt},
      {"Fn", std::nullopt},   {"Unidentified", std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(DikFromKeyCode(r.code), r.dik) << r.code;
}

}  // namespace
