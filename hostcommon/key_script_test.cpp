// The key scripts' lines and playing, and the key names they use.
#include "hostcommon/key_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "hostcommon/key_table.h"
#include "platform/dinput8.h"

// A malformed line is named by its number; bytes of a hostile script are
// shown escaped, never passed to the terminal raw nor allowed to cut the
// message.
TEST(KeyScript, MalformedLinesNameTheirLine) {
  // clang-format off
  const std::pair<std::string, const char*> cases[] = {
      {"10\n5 UPP\n", "line 2: unknown key 'UPP'"},
      {"UP 10\n", "line 1: 'UP' is not a count of polls"},
      {"-3 UP\n", "line 1: '-3' is not a count of polls"},
      {"\n\ncapture\n", "line 3: capture takes one file name"},
      {"capture a.png b.png\n", "line 1: capture takes one file name"},
      {std::string("5 U\0P\x1b[2J\n", 10), "line 1: unknown key 'U\\x00P\\x1b[2J'"},
      {std::string("capture a\0b.png\n", 16), "line 1: the file name 'a\\x00b.png' holds a control character"},
  };
  // clang-format on
  for (const auto& [text, said] : cases) {
    KeyScript script;
    std::string error;
    EXPECT_FALSE(ParseKeyScript(text, script, error));
    EXPECT_EQ(error, said);
  }
}

// Poll by poll: the keys down (every other byte written 0) and the captures
// due once the polls before them are made, each handed out once; after the
// last step nothing is down. Comments, blank lines, any case and the mark
// some editors begin a UTF-8 file with are allowed.
TEST(KeyScript, PlaysPollByPoll) {
  KeyScript script;
  std::string error;
  ASSERT_TRUE(
      ParseKeyScript("\xEF\xBB\xBF# demo\n\ncapture start.png\n2\n1 up dik_left  # hold\n"
                     "0 DOWN\ncapture after.png\n2 ESCAPE\ncapture end.png\n",
                     script, error))
      << error;
  KeyScriptPlayer player(script);
  const struct {
    std::vector<int> down;
    std::vector<std::string> due;  // after the poll
  } polls[] = {{{}, {}},
               {{}, {}},
               {{DIK_UP, DIK_LEFT}, {"after.png"}},
               {{DIK_ESCAPE}, {}},
               {{DIK_ESCAPE}, {"end.png"}},
               {{}, {}}};
  EXPECT_EQ(player.TakeDueCaptures(), std::vector<std::string>{"start.png"});
  for (const auto& poll : polls) {
    EXPECT_EQ(player.CapturesAhead(), &poll != &polls[5]);  // end.png comes with the 5th
    DIKEYBOARDSTATE state;
    state.fill(0x11);
    player.Poll(state);
    std::vector<int> down;
    for (int k = 0; k < 256; ++k)
      if (state[k] == 0x80)
        down.push_back(k);
      else
        EXPECT_EQ(state[k], 0) << k;
    EXPECT_EQ(down, poll.down);
    EXPECT_EQ(player.TakeDueCaptures(), poll.due);
  }
  EXPECT_TRUE(player.Finished());
  EXPECT_FALSE(player.CapturesAhead());
}

TEST(KeyScript, RefusesDirectoriesEndlessHugeAndMissingFiles) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(::testing::TempDir()) / "quillon_key_script_load";
  fs::remove_all(dir);
  fs::create_directories(dir);
  KeyScript script;
  std::string error;
  // A directory is not an empty script (a run would never end); an endless
  // device is refused at the limit and a huge file by its size, before any of
  // them is read.
  {
    std::ofstream big(dir / "big.keys");
    big.seekp(std::streamoff{1} << 31);
    big.put('\n');
  }
  // clang-format off
  const std::pair<std::string, std::string> refused[] = {
      {dir.string(), dir.string()},
#ifndef _WIN32  // no such device on Windows
      {"/dev/zero", "/dev/zero is not a regular file"},
#endif
      {(dir / "big.keys").string(), "larger than"},
      {(dir / "missing.keys").string(), "missing.keys"},
  };
  // clang-format on
  for (const auto& [path, said] : refused) {
    EXPECT_FALSE(ReadKeyScript(path, script, error)) << path;
    EXPECT_NE(error.find(said), std::string::npos) << error;
  }
  // A UTF-8 name is the file's own on every system.
  const std::u8string cafe = (dir / fs::path(u8"caf\u00e9.keys")).u8string();
  std::ofstream(fs::path(cafe)) << "1 UP\n";
  EXPECT_TRUE(ReadKeyScript(std::string(cafe.begin(), cafe.end()), script, error)) << error;
  fs::remove_all(dir);
}

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
