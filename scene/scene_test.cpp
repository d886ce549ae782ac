// The scene reader: every command with its operands, and the refusals; the
// runner's end of a failing run; the writer's files: named after the scene
// and beside it, names that read back as written, and failures that say why
// and leave nothing behind.
#include "scene/scene.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "scene/format.h"
#include "scene/test_folder.h"
#include "scene/writer.h"
#include "testplatform/test_platform.h"
#include "tests/harness/file_size_limit.h"

namespace {

using ::testing::HasSubstr;

// A scratch folder for one test's scene files.
class SceneFiles : public ::testing::Test {
 protected:
  std::string Folder() const { return folder_.Path().string(); }
  scene::Scene Parse(const std::string& text, std::uint64_t limit = scene::kMaxSceneMemoryBytes) {
    scene::Scene s;
    std::string error;
    EXPECT_TRUE(scene::ParseScene(text, Folder(), s, &error, limit)) << error;
    return s;
  }
  // Parses `text` expecting a refusal; returns the message.
  std::string Refusal(const std::string& text, std::uint64_t limit = scene::kMaxSceneMemoryBytes) {
    scene::Scene s;
    std::string error;
    EXPECT_FALSE(scene::ParseScene(text, Folder(), s, &error, limit)) << text;
    return error;
  }

  scene::TestFolder folder_;
};

// What the writer writes reads back to the same calls, with values a careless
// format would lose (the top bit, odd floats, extremes, subnormals); hand-written lines
// may add comments, blanks, tabs, CR LF, a hex float's bit pattern, a default
// stencil and no final newline.
TEST_F(SceneFiles, EveryLineReadsBackToItsCall) {
  folder_.Write("v.bin", std::string(72, 'v'));
  D3DMATRIX m{};
  const float odd[5] = {0.1f, -1.0f / 3.0f, 3.4028235e38f, 1.17549435e-38f, 1e-40f};
  for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = odd[i % 5] * static_cast<float>(i + 1);
  const std::string text =
      scene::CommentLine("written by a test") + scene::ClearLine(7, 0x80FF00FFu, 0.1f, ~0u) +
      scene::RenderStateLine(27, ~0u) + scene::TextureStageStateLine(1, 4, 0x80000000u) +
      scene::FvfLine(834) + scene::TransformLine(D3DTS_PROJECTION, m) +
      scene::TransformLine(D3DTS_VIEW, m) + scene::TransformLine(D3DTS_WORLD, m) +
      scene::VertexBufferLine(24, D3DPT_TRIANGLELIST, 1, "v.bin") +
      scene::UserPointerLine(24, D3DPT_TRIANGLESTRIP, 1, "v.bin") +
      "\n# by hand\nclear 0x4 0 0.5\t\t# trailing comment\r\nrsf 36 0.5\nrsf 37 0x3F800000";
  const scene::Scene s = Parse(text);
  ASSERT_EQ(s.commands.size(), 12u) << text;
  using scene::Op;
  // clang-format off
  const struct { Op op; std::array<DWORD, 4> args; } want[12] = {
      {Op::Clear, {7, 0x80FF00FFu, ~0u}}, {Op::RenderState, {27, ~0u}},
      {Op::TextureStageState, {1, 4, 0x80000000u}}, {Op::Fvf, {834}},
      {Op::Transform, {}}, {Op::Transform, {}}, {Op::Transform, {}},
      {Op::VertexBuffer, {24, D3DPT_TRIANGLELIST, 1}}, {Op::UserPointer, {24, D3DPT_TRIANGLESTRIP, 1}},
      {Op::Clear, {4, 0, 0}}, {Op::RenderState, {36, 0x3F000000u}}, {Op::RenderState, {37, 0x3F800000u}}};
  // clang-format on
  for (std::size_t i = 0; i < 12; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(s.commands[i].op, want[i].op);
    if (want[i].op != Op::Transform) {
      EXPECT_EQ(s.commands[i].args, want[i].args);
    }
  }
  EXPECT_EQ(s.commands[0].z, 0.1f);
  EXPECT_EQ(s.commands[9].z, 0.5f);
  EXPECT_EQ(s.commands[9].line, 13);
  EXPECT_EQ(s.commands[11].line, 15);
  const D3DTRANSFORMSTATETYPE order[3] = {D3DTS_PROJECTION, D3DTS_VIEW, D3DTS_WORLD};
  for (std::size_t t = 0; t < 3; ++t) {
    EXPECT_EQ(s.commands[4 + t].transform, order[t]);
    EXPECT_EQ(std::memcmp(&s.commands[4 + t].matrix, &m, sizeof m), 0);
  }
  EXPECT_EQ(s.commands[8].data.size(), 72u);
  // A transform the format has no word for has no line.
  EXPECT_EQ(scene::TransformLine(static_cast<D3DTRANSFORMSTATETYPE>(16), m), "");
}

// Each refusal names its line; a NUL cannot cut a message, and a hostile
// file's bytes reach the terminal only as visible escapes. Vertex files that
// are not plain files of a bounded size are refused by name before they are
// read whole.
TEST_F(SceneFiles, MalformedLinesAreRefusedWithTheirLineNumber) {
  folder_.Write("small.bin", std::string(59, 'v'));
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
  folder_.Write("v.bin", std::string(1000, 'v'));
  std::string text;
  for (int i = 0; i < 100; ++i) text += "up 1 1 1 v.bin\nfvf 2\n";
  Parse(text, 200000);
  EXPECT_THAT(Refusal(text, 100000),
              ::testing::MatchesRegex("[0-9]+: the scene and the vertex files its draws "
                                      "read take more than 100000 bytes in all"));
}

// A failing call ends the run: nothing after it but the closing of the scene
// bracket, and the message names its line. A scene without draws has no
// bracket at all. (That a traced frame replays to the same picture is the
// headless end-to-end test's.)
TEST_F(SceneFiles, AFailingCallStopsTheRunAndNamesItsLine) {
  folder_.Write("v.bin", std::string(60, '\0'));
  TestPlatform tp;
  const Ref<Direct3DDevice8> device = tp.NewDevice();
  tp.Fail("Device.DrawPrimitiveUP", D3DERR_INVALIDCALL, 2);
  std::string error;
  EXPECT_EQ(scene::RunScene(
                *device, Parse("fvf 0x44\nup 20 4 1 v.bin\n\nup 20 4 1 v.bin\nrs 7 0\n"), &error),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(error, "4: DrawPrimitiveUP failed (0x8876086C)");
  const std::string draw = "Device.DrawPrimitiveUP(4, 1, <60 bytes>, 20)";
  EXPECT_EQ(tp.Calls(),
            (std::vector<std::string>{"Device.SetVertexShader(68)", "Device.BeginScene", draw,
                                      draw + " -> -2005530516", "Device.EndScene"}));
  tp.ClearCalls();
  EXPECT_EQ(scene::RunScene(*device, Parse("rs 7 0\n"), &error), D3D_OK);
  EXPECT_EQ(tp.Calls(), std::vector<std::string>{"Device.SetRenderState(7, 0)"});
}

}  // namespace

// A scene file is read as vertex files are (above); its own name and bytes
// are escaped like its lines'.
TEST_F(SceneFiles, SceneNamesAreQuotedLikeTheirLines) {
  scene::Scene s;
  std::string error;
  folder_.Write(std::string("s\x1b.scene", 8), std::string("rs 1 1\nrs\0 1 1\n", 15));
  EXPECT_FALSE(scene::LoadScene(Folder() + "/s\x1b.scene", s, &error));
  EXPECT_EQ(error, Folder() + "/s\\x1b.scene:2: unknown command 'rs\\x00'");
}

// The scenes shown to users in docs/scene-format.md (its code blocks without
// a language) stay valid as the format changes.
TEST(SceneReader, TheDocumentedScenesAreRead) {
  const char* source = std::getenv("QUILLON_SOURCE_DIR");
  if (!source) GTEST_SKIP() << "QUILLON_SOURCE_DIR is not set";
  std::ifstream in(std::string(source) + "/docs/scene-format.md");
  ASSERT_TRUE(in) << "docs/scene-format.md";
  std::vector<std::string> scenes;
  int block = 0;  // 0 outside, 1 in a scene, 2 in another block
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("```")) block = block != 0 ? 0 : line == "```" ? 1 : 2;
    if (block == 1 && line == "```")
      scenes.emplace_back();
    else if (block == 1)
      scenes.back() += line + "\n";
  }
  ASSERT_FALSE(scenes.empty());
  for (const std::string& text : scenes) {
    scene::TestFolder folder;
    // Any vertex file will do for reading: each draw names its own.
    std::istringstream words(text);
    for (std::string word; words >> word;)
      if (word.ends_with(".bin")) folder.Write(word, std::string(4096, '\0'));
    scene::Scene s;
    std::string error;
    EXPECT_TRUE(scene::ParseScene(text, folder.Path().string(), s, &error)) << error << text;
    EXPECT_FALSE(s.commands.empty());
  }
}

TEST(SceneWriter, VertexFilesAreNamedAfterTheSceneBesideIt) {
  scene::TestFolder folder;
  scene::SceneFileWriter writer(folder / "frame.scene");
  std::string error;
  EXPECT_EQ(writer.WriteVertexFile("abc", 3, &error), "frame-vb0.bin");
  EXPECT_EQ(writer.WriteVertexFile("de", 2, &error), "frame-vb1.bin");
  ASSERT_TRUE(
      writer.WriteScene(scene::UserPointerLine(1, D3DPT_POINTLIST, 3, "frame-vb0.bin"), &error));
  EXPECT_EQ(error, "");
  scene::Scene s;
  ASSERT_TRUE(scene::LoadScene(folder / "frame.scene", s, &error)) << error;
  EXPECT_EQ(s.commands.at(0).data, (std::vector<std::uint8_t>{'a', 'b', 'c'}));

  // The extension is the file name's last dot, never a folder's.
  EXPECT_EQ(scene::SplitExtension("out.d/trace"),
            (std::pair<std::string, std::string>{"out.d/trace", ""}));
}

// Every name a trace may be given reads back from its draw line, and what
// was written unquoted before still reads.
TEST(SceneWriter, FileNamesReadBackAsWritten) {
  scene::TestFolder folder;
  const std::string names[] = {"v.bin",        "a b.bin",       "a#b.bin",  "\"q\".bin",
                               "back\\sl.bin", "tab\tcr\r.bin", "nl\n.bin", "\xc3\xbc\x7f.bin"};
  for (const std::string& name : names) {
    folder.Write(name, std::string(12, 'v'));
    for (const std::string& line : {scene::UserPointerLine(12, D3DPT_POINTLIST, 1, name),
                                    scene::VertexBufferLine(12, D3DPT_POINTLIST, 1, name)}) {
      scene::Scene s;
      std::string error;
      ASSERT_TRUE(scene::ParseScene(line, folder.Path().string(), s, &error)) << error << line;
      EXPECT_EQ(s.commands.at(0).file, name) << line;
    }
  }
  folder.Write("back\\x41.bin", std::string(12, 'v'));
  scene::Scene s;
  std::string error;
  EXPECT_TRUE(scene::ParseScene("up 12 1 1 back\\x41.bin # unquoted: as it stands\n",
                                folder.Path().string(), s, &error))
      << error;
}

// A frame that cannot be written whole is reported with the file that failed
// and the system's reason, and leaves no file behind; a FIFO does not block,
// and a planted link is not followed.
TEST(SceneWriter, FailedFilesSayWhyAndAreRemoved) {
  scene::TestFolder folder;
  ASSERT_EQ(::mkfifo((folder / "fifo.scene").c_str(), 0600), 0);
  folder.Write("victim", "precious");
  std::filesystem::create_symlink(folder / "victim", folder / "link-vb0.bin");
  struct Case {
    const char* scene;
    std::size_t vertexBytes, sceneBytes;
    rlim_t limit;
    const char* error;  // after the folder
  } cases[] = {
      {"missing/frame.scene", 10, 10, 4096, "/missing/frame-vb0.bin: No such file or directory"},
      {"full.scene", 5000, 10, 4096, "/full-vb0.bin: File too large"},
      {"full.scene", 10, 5000, 4096, "/full.scene: File too large"},
      {"fifo.scene", 10, 10, 4096, "/fifo.scene: it is not a regular file"},
      {"link.scene", 10, 10, 4096, "/link-vb0.bin: it is a symbolic link, which is never followed"},
  };
  for (const Case& c : cases) {
    const std::string out = test_helpers::UnderFileSizeLimit(c.limit, [&] {
      scene::SceneFileWriter writer(folder / c.scene);
      std::string error;
      writer.WriteVertexFile(std::string(c.vertexBytes, 'v').data(), c.vertexBytes, &error);
      if (error.empty() && writer.WriteScene(std::string(c.sceneBytes, '#'), &error)) return error;
      writer.RemoveFiles();
      return error;
    });
    EXPECT_EQ(out, "cannot write " + folder.Path().string() + c.error);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
      left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"fifo.scene", "link-vb0.bin", "victim"})) << c.error;
  }
  EXPECT_EQ(std::filesystem::file_size(folder.Path() / "victim"), 8u);  // "precious", whole
}
