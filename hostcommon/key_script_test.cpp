#include "hostcommon/key_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

KeyScript Parse(const std::string& text) {
  KeyScript script;
  std::string error;
  EXPECT_TRUE(ParseKeyScript(text, script, error)) << error;
  return script;
}

std::string ParseError(const std::string& text) {
  KeyScript script;
  std::string error;
  EXPECT_FALSE(ParseKeyScript(text, script, error));
  return error;
}

}  // namespace

TEST(KeyScript, ParsesStepsCommentsAndCaptures) {
  auto s = Parse(
      "# demo\n\ncapture first.png\n120\n30 UP  # hold\n10 up dik_left\n"
      "capture moved.png\ncapture again.png\n1 ESCAPE\n");
  ASSERT_EQ(s.initialCaptures.size(), 1u);
  EXPECT_EQ(s.initialCaptures[0], "first.png");
  ASSERT_EQ(s.steps.size(), 4u);
  EXPECT_EQ(s.steps[0].polls, 120);
  EXPECT_TRUE(s.steps[0].keys.empty());
  EXPECT_EQ(s.steps[1].keys, std::vector<std::uint8_t>{DIK_UP});
  EXPECT_EQ(s.steps[2].keys, (std::vector<std::uint8_t>{DIK_UP, DIK_LEFT}));
  EXPECT_EQ(s.steps[2].captures, (std::vector<std::string>{"moved.png", "again.png"}));
  EXPECT_EQ(s.steps[3].keys, std::vector<std::uint8_t>{DIK_ESCAPE});
}

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
      {"\x07\n", "line 1: '\\x07' is not a count of polls"},
      {std::string("capture a\0b.png\n", 16), "line 1: the file name 'a\\x00b.png' holds a control character"},
  };
  // clang-format on
  for (const auto& [text, said] : cases) EXPECT_EQ(ParseError(text), said);
}

// Poll by poll: the keys down (every other byte written 0) and the captures
// due once the polls before them are made, each handed out once; after the
// last step nothing is down.
TEST(KeyScript, PlaysPollByPoll) {
  KeyScriptPlayer player(Parse(
      "capture start.png\n2\n1 UP LEFT\n0 DOWN\ncapture after.png\n2 ESCAPE\ncapture end.png\n"));
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

TEST(KeyScript, LoadsShortFilesAndRefusesDirectoriesAndEndlessOnes) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(::testing::TempDir()) / "quillon_key_script_load";
  fs::remove_all(dir);
  fs::create_directories(dir);
  { std::ofstream(dir / "ok.keys") << "2 UP\n1 ESCAPE\n"; }
  KeyScript script;
  std::string error;
  ASSERT_TRUE(ReadKeyScript((dir / "ok.keys").string(), script, error)) << error;
  EXPECT_EQ(script.steps.size(), 2u);

  // A directory is not an empty script (a run would never end).
  EXPECT_FALSE(ReadKeyScript(dir.string(), script, error));
  EXPECT_NE(error.find(dir.string()), std::string::npos) << error;
#ifndef _WIN32  // no such device on Windows
  // An endless device is refused at the limit, not read until memory runs out.
  EXPECT_FALSE(ReadKeyScript("/dev/zero", script, error));
  EXPECT_NE(error.find("/dev/zero is not a regular file"), std::string::npos) << error;
#endif
  // A huge file is refused by its size, before any of it is read.
  {
    std::ofstream big(dir / "big.keys");
    big.seekp(std::streamoff{1} << 31);
    big.put('\n');
  }
  EXPECT_FALSE(ReadKeyScript((dir / "big.keys").string(), script, error));
  EXPECT_NE(error.find("larger than"), std::string::npos) << error;
  EXPECT_FALSE(ReadKeyScript((dir / "missing.keys").string(), script, error));
  EXPECT_NE(error.find("missing.keys"), std::string::npos) << error;
  fs::remove_all(dir);
}
