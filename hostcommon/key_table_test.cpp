#include "hostcommon/key_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/dinput8.h"

// The published scan codes by name; names take a DIK_ prefix, any case and
// hex; others are no key (-1). The table holds the 104 keys of a PC keyboard
// at least, each name and code once.
TEST(KeyTable, NamesGiveThePublishedCodes) {
  // clang-format off
  const struct { const char* name; int dik; } names[] = {
      {"ESCAPE", 0x01},   {"1", 0x02},        {"0", 0x0B},        {"BACK", 0x0E},
      {"Q", 0x10},        {"RETURN", 0x1C},   {"LCONTROL", 0x1D}, {"A", 0x1E},
      {"Z", 0x2C},        {"SPACE", 0x39},    {"F1", 0x3B},       {"F10", 0x44},
      {"F11", 0x57},      {"F12", 0x58},      {"NUMPAD0", 0x52},  {"NUMPADENTER", 0x9C},
      {"RCONTROL", 0x9D}, {"DIVIDE", 0xB5},   {"RMENU", 0xB8},    {"HOME", 0xC7},
      {"UP", DIK_UP},     {"PRIOR", 0xC9},    {"LEFT", DIK_LEFT}, {"RIGHT", DIK_RIGHT},
      {"END", 0xCF},      {"DOWN", DIK_DOWN}, {"NEXT", 0xD1},     {"INSERT", 0xD2},
      {"DELETE", 0xD3},   {"LWIN", 0xDB},     {"APPS", 0xDD},     {"dik_up", DIK_UP},
      {"Escape", DIK_ESCAPE}, {"0xD0", DIK_DOWN}, {"UPP", -1},    {"0x100", -1},
      {"0x", -1},         {"", -1}};
  // clang-format on
  for (const auto& n : names) {
    const auto dik = DikFromName(n.name);
    EXPECT_EQ(dik ? int{*dik} : -1, n.dik) << n.name;
  }
  std::set<int> codes;
  std::set<std::string_view> known;
  for (const auto& k : KeyNameTable())
    EXPECT_TRUE(k.dik != 0 && codes.insert(k.dik).second && known.insert(k.name).second) << k.name;
  EXPECT_GE(codes.size(), 104u);
}
