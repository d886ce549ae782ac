// The scene writer: what it writes the reader reads back to the same calls,
// and its files land beside the scene.
#include "scene/writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "scene/scene.h"
#include "scene/test_folder.h"
#include "tests/harness/file_size_limit.h"

TEST(SceneWriter, EveryLineReadsBackToItsCall) {
  scene::TestFolder folder;
  folder.Write("v.bin", std::string(72, 'v'));
  // Values a careless format would lose: the top bit, odd floats, extremes.
  D3DMATRIX m{};
  const float odd[4] = {0.1f, -1.0f / 3.0f, 3.4028235e38f, 1.17549435e-38f};
  for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = odd[i % 4] * static_cast<float>(i + 1);
  const std::string text =
      scene::CommentLine("written by a test") +
      scene::ClearLine(7, 0x80FF00FFu, 0.1f, 0xFFFFFFFFu) +
      scene::RenderStateLine(27, 0xFFFFFFFFu) + scene::TextureStageStateLine(1, 4, 0x80000000u) +
      scene::FvfLine(834) + scene::TransformLine(D3DTS_PROJECTION, m) +
      scene::TransformLine(D3DTS_VIEW, m) + scene::TransformLine(D3DTS_WORLD, m) +
      scene::VertexBufferLine(24, D3DPT_TRIANGLELIST, 1, "v.bin") +
      scene::UserPointerLine(24, D3DPT_TRIANGLESTRIP, 1, "v.bin");
  scene::Scene s;
  std::string error;
  ASSERT_TRUE(scene::ParseScene(text, folder.Path().string(), s, &error)) << error << "\n" << text;
  ASSERT_EQ(s.commands.size(), 9u);

  const auto& clear = s.commands[0];
  EXPECT_EQ(clear.op, scene::Op::Clear);
  EXPECT_EQ(clear.args[0], 7u);
  EXPECT_EQ(clear.args[1], 0x80FF00FFu);
  EXPECT_EQ(clear.z, 0.1f);
  EXPECT_EQ(clear.args[2], 0xFFFFFFFFu);
  EXPECT_EQ(s.commands[1].args[1], 0xFFFFFFFFu);
  EXPECT_EQ(s.commands[2].op, scene::Op::TextureStageState);
  EXPECT_EQ(s.commands[2].args[2], 0x80000000u);
  EXPECT_EQ(s.commands[3].args[0], 834u);
  const D3DTRANSFORMSTATETYPE order[3] = {D3DTS_PROJECTION, D3DTS_VIEW, D3DTS_WORLD};
  for (int t = 0; t < 3; ++t) {
    const auto& c = s.commands[static_cast<std::size_t>(4 + t)];
    EXPECT_EQ(c.transform, order[t]);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(c.matrix.m[i / 4][i % 4], m.m[i / 4][i % 4]) << i;
  }
  EXPECT_EQ(s.commands[7].op, scene::Op::VertexBuffer);
  EXPECT_EQ(s.commands[8].op, scene::Op::UserPointer);
  EXPECT_EQ(s.commands[8].args[1], static_cast<DWORD>(D3DPT_TRIANGLESTRIP));
  EXPECT_EQ(s.commands[8].data.size(), 72u);

  // A transform the format has no word for has no line.
  EXPECT_EQ(scene::TransformLine(static_cast<D3DTRANSFORMSTATETYPE>(16), m), "");
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
  EXPECT_EQ(folder.Read("frame-vb1.bin"), "de");
  scene::Scene s;
  ASSERT_TRUE(scene::LoadScene(folder / "frame.scene", s, &error)) << error;
  EXPECT_EQ(s.commands.at(0).data, (std::vector<std::uint8_t>{'a', 'b', 'c'}));

  scene::SceneFileWriter nowhere(folder / "missing/frame.scene");
  nowhere.WriteVertexFile("abc", 3, &error);
  // The system's reason follows the name.
  EXPECT_EQ(error, "cannot write " + folder / "missing/frame-vb0.bin: No such file or directory");
  EXPECT_FALSE(nowhere.WriteScene("", &error));
  EXPECT_EQ(error, "cannot write " + folder / "missing/frame.scene: No such file or directory");
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
  EXPECT_EQ(folder.Read("victim"), "precious");
}

TEST(SceneWriter, ExtensionIsTheLastDotOfTheFileName) {
  EXPECT_EQ(scene::SplitExtension("out/cloud.scene"),
            (std::pair<std::string, std::string>{"out/cloud", ".scene"}));
  EXPECT_EQ(scene::SplitExtension("out.d/trace"),
            (std::pair<std::string, std::string>{"out.d/trace", ""}));
}
