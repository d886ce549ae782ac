// The scene reader: every command with its operands, and the refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "scene/format.h"
#include "scene/scene.h"
#include "scene/test_folder.h"

namespace {

using ::testing::HasSubstr;

// A scratch folder for one test's scene files.
class SceneFiles : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& bytes) { folder_.Write(name, bytes); }
  std::string Folder() const { return folder_.Path().string(); }
  // Parses `text` expecting a refusal; returns the message.
  std::string Refusal(const std::string& text) {
    scene::Scene s;
    std::string error;
    EXPECT_FALSE(scene::ParseScene(text, Folder(), s, &error)) << text;
    return error;
  }

  scene::TestFolder folder_;
};

TEST_F(SceneFiles, ParsesEveryCommandWithItsOperands) {
  Write("tri.bin", std::string(60, 'v'));
  const std::string text =
      "# a comment line\n"
      "\n"
      "clear 3 0xFF0000FF 1.0\t\t# trailing comment\n"
      "clear 0x4 0 0.5 7\r\n"
      "rs 27 0xFFFFFFFF\n"
      "rsf 36 0.5\n"
      "rsf 37 0x3F800000\n"
      "ts 0 1 2\n"
      "fvf 834\n"
      "world 1 0 0 0  0 1 0 0  0 0 1 0  0 0 5 1\n"
      "vb 20 4 1 tri.bin\n"
      "up 20 4 1 tri.bin";  // no final newline
  scene::Scene s;
  std::string error;
  ASSERT_TRUE(scene::ParseScene(text, Folder(), s, &error)) << error;
  ASSERT_EQ(s.commands.size(), 10u);

  const auto& c0 = s.commands[0];
  EXPECT_EQ(c0.op, scene::Op::Clear);
  EXPECT_EQ(c0.line, 3);
  EXPECT_EQ(c0.args[0], 3u);
  EXPECT_EQ(c0.args[1], 0xFF0000FFu);
  EXPECT_EQ(c0.z, 1.0f);
  EXPECT_EQ(c0.args[2], 0u);  // stencil defaults to 0
  EXPECT_EQ(s.commands[1].args[2], 7u);
  EXPECT_EQ(s.commands[1].z, 0.5f);

  float f;
  std::memcpy(&f, &s.commands[3].args[1], 4);
  EXPECT_EQ(f, 0.5f);
  EXPECT_EQ(s.commands[4].args[1], 0x3F800000u);  // hex floats are bit patterns
  EXPECT_EQ(s.commands[7].matrix.m[3][2], 5.0f);
  EXPECT_EQ(s.commands[8].data.size(), 60u);
  EXPECT_EQ(s.commands[9].line, 12);
}

// Each refusal names its line; a NUL cannot cut a message, and a hostile
// file's bytes reach the terminal only as visible escapes. Vertex files that
// are not plain files of a bounded size are refused by name before they are
// read whole.
TEST_F(SceneFiles, MalformedLinesAreRefusedWithTheirLineNumber) {
  Write("small.bin", std::string(59, 'v'));
  std::filesystem::create_directory(folder_.Path() / "dir.bin");
  ASSERT_EQ(::mkfifo((folder_.Path() / "pipe.bin").c_str(), 0600), 0);
  {
    std::ofstream big(folder_.Path() / "big.bin", std::ios::binary);
    big.seekp(static_cast<std::streamoff>(scene::kMaxVertexFileBytes));
    big.put('v');  // one byte past the limit, the rest a hole
  }
  // clang-format off
  const std::pair<std::string, const char*> cases[] = {
      {"rs 7 1\nbogus 1 2\n", "2: unknown command 'bogus'"},
      {"\n\nrs 7\n", "3: expected: rs STATE VALUE"},
      {"rs 7 1 2\n", "1: expected"},
      {"rs 7 0x100000000\n", "not a 32-bit integer"},
      {"rs 7 -1\n", "not a 32-bit integer"},
      {"rs 7 12abc\n", "'12abc'"},
      {"rs 7 0x\n", "not a 32-bit integer"},
      {"rsf 36 zero\n", "not a number"},
      {"clear 1 0\n", "clear FLAGS COLOR Z [STENCIL]"},
      {"view 1 0 0 0\n", "1: view takes 16 numbers"},
      {"RS 7 1\n", "unknown command"},  // names are lower case
      {"up 20 7 1 small.bin\n", "primitive type 7"},
      {"vb 20 4 1 missing.bin\n", "cannot read"},
      // Three vertices of 20 bytes need 60.
      {"up 20 4 1 small.bin\n", "small.bin holds 59 bytes; the draw reads 3 vertices of 20 bytes"},
      {"up 20 5 0xFFFFFFFF small.bin\n", "the draw reads"},
      // Vertices times stride is 2^64 + 4: no wrap lets 59 bytes pass.
      {"up 4294836226 2 2147549185 small.bin\n", "reads 4295098370 vertices of 4294836226 bytes"},
      {"up 20 4 1 \"small.bin\n", "1: a quoted name has no closing"},
      {"up 20 4 1 \"s\\q\"\n", "1: a quoted name may hold only"},
      {"up 20 4 1 \"s\"x\n", "followed by a blank"},
      {"up 20 4 1 \"small.bin\\x00x\"\n", "small.bin\\x00x holds a NUL byte"},
      {std::string("bo\0gus 1\n", 9), "1: unknown command 'bo\\x00gus'"},
      {"rs 7 \x1b[2J\x9b\n", "1: '\\x1b[2J\\x9b' is not a 32-bit integer"},
      {"vb 24 4 1 no\x07ne.bin\n", "no\\x07ne.bin"},
      {"vb 24 4 1 dir.bin\n", "dir.bin is a directory, not a file"},
      {"up 24 4 1 dir.bin\n", "dir.bin is a directory"},
      {"vb 24 4 1 /dev/zero\n", "/dev/zero is not a regular file"},
      {"vb 24 4 1 pipe.bin\n", "pipe.bin is not a regular file"},
      {"vb 24 4 1 big.bin\n", "big.bin is larger than 268435456 bytes"},
  };
  // clang-format on
  for (const auto& [text, said] : cases) {
    const std::string error = Refusal(text);
    const std::size_t at = error.find(said);
    // A line number, where the row gives one, starts the message.
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(*said)) ? at == 0 : at != std::string::npos)
        << error;
  }
}

// The whole scene in memory is bounded, however its lines name their files:
// one line too many is refused by its number.
TEST_F(SceneFiles, TheScenesMemoryIsBounded) {
  Write("v.bin", std::string(1000, 'v'));
  std::string text;
  for (int i = 0; i < 100; ++i) text += "up 1 1 1 v.bin\nfvf 2\n";
  scene::Scene s;
  std::string error;
  EXPECT_TRUE(scene::ParseScene(text, Folder(), s, &error, 200000)) << error;
  EXPECT_FALSE(scene::ParseScene(text, Folder(), s, &error, 100000));
  EXPECT_THAT(error, ::testing::MatchesRegex("[0-9]+: the scene and the vertex files its draws "
                                             "read take more than 100000 bytes in all"));
}

}  // namespace

// A scene that is not a plain file is refused by name, and its own name and
// bytes are escaped like its lines'.
TEST_F(SceneFiles, ScenesMustBeRegularFilesAndTheirNamesAreQuoted) {
  scene::Scene s;
  std::string error;
  EXPECT_FALSE(scene::LoadScene(Folder(), s, &error));
  EXPECT_THAT(error, HasSubstr("is a directory, not a file"));
  EXPECT_FALSE(scene::LoadScene("/dev/zero", s, &error));
  EXPECT_THAT(error, HasSubstr("/dev/zero is not a regular file"));
  Write(std::string("s\x1b.scene", 8), std::string("rs 1 1\nrs\0 1 1\n", 15));
  EXPECT_FALSE(scene::LoadScene(Folder() + "/s\x1b.scene", s, &error));
  EXPECT_EQ(error, Folder() + "/s\\x1b.scene:2: unknown command 'rs\\x00'");
}

// The scenes shown to users in docs/scene-format.md stay valid as the format
// changes.
TEST(SceneReader, TheDocumentedScenesAreRead) {
  const char* source = std::getenv("QUILLON_SOURCE_DIR");
  if (!source) GTEST_SKIP() << "QUILLON_SOURCE_DIR is not set";
  std::ifstream in(std::string(source) + "/docs/scene-format.md");
  ASSERT_TRUE(in) << "docs/scene-format.md";
  // The page's scenes are its code blocks without a language.
  std::vector<std::string> scenes;
  bool inScene = false, inOther = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("```")) {
      if (inScene || inOther) {
        inScene = inOther = false;
      } else {
        (line == "```" ? inScene : inOther) = true;
        if (inScene) scenes.emplace_back();
      }
    } else if (inScene) {
      scenes.back() += line + "\n";
    }
  }
  ASSERT_FALSE(scenes.empty());
  for (const std::string& text : scenes) {
    scene::TestFolder folder;
    // Any vertex file will do for reading: each draw names its own.
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      std::istringstream words(line);
      std::string command, stride, type, count, file;
      if (words >> command >> stride >> type >> count >> file &&
          (command == "vb" || command == "up"))
        folder.Write(file, std::string(4096, '\0'));
    }
    scene::Scene s;
    std::string error;
    EXPECT_TRUE(scene::ParseScene(text, folder.Path().string(), s, &error)) << error << "\n"
                                                                            << text;
    EXPECT_FALSE(s.commands.empty());
  }
}
