// The scene writer's files: named after the scene and beside it, names that
// read back as written, and failures that say why and leave nothing behind.
#include "scene/writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "scene/scene.h"
#include "scene/test_folder.h"
#include "tests/harness/file_size_limit.h"

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
