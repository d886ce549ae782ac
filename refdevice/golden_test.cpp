// The program's scenes replayed from the committed scene files and compared
// exactly with their golden images (the device is deterministic), by the
// library and by the quillon-replay executable.
//
// After a deliberate change of the device's output, write each picture again
// with `quillon-replay refdevice/testdata/NAME.scene refdevice/testdata/NAME.png`
// (new scenes come from the program's QUILLON_TRACE) and look at every
// picture before committing it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "pictures/picture_files.h"
#include "replay/ref_replay.h"
#include "scene/test_folder.h"

namespace {

using ::testing::HasSubstr;

// Where the committed scenes and golden images live.
std::filesystem::path TestDataDir() {
  if (const char* source = std::getenv("QUILLON_SOURCE_DIR"))
    return std::filesystem::path(source) / "refdevice" / "testdata";
  return QUILLON_REFDEVICE_TESTDATA;
}

class GoldenScene : public ::testing::TestWithParam<const char*> {};

TEST_P(GoldenScene, ReplaysExactlyAsItsGoldenImage) {
  const std::string name = GetParam();
  scene::Scene s;
  std::string error;
  ASSERT_TRUE(scene::LoadScene((TestDataDir() / (name + ".scene")).string(), s, &error)) << error;
  Image image;
  ASSERT_TRUE(scene::ReplayToImage(s, D3DDEVTYPE_REF, image, &error)) << error;
  Image golden;
  ASSERT_TRUE(ReadPng((TestDataDir() / (name + ".png")).string(), golden, &error)) << error;
  if (const std::int64_t differing = CompareImages(golden, image)) {
    const std::string actual = std::filesystem::absolute(name + ".actual.png").string();
    WritePng(actual, image, nullptr);
    ADD_FAILURE() << name << ": " << differing << " pixels differ; actual picture: " << actual;
  }
}

INSTANTIATE_TEST_SUITE_P(ProgramScenes, GoldenScene,
                         ::testing::Values("cloud_5", "cloud_1_2", "picture_388", "picture_452"));

#ifdef QUILLON_REPLAY_TOOL
// The tool's test reads what it wrote; builds without the tool (the web's)
// have no use for it.
std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// quillon-replay with `args`: its exit status and what it printed.
std::pair<int, std::string> Tool(const std::string& args) {
  std::string output;
  std::FILE* pipe = popen(("'" QUILLON_REPLAY_TOOL "' " + args + " 2>&1").c_str(), "r");
  if (!pipe) return {-1, ""};
  char buf[512];
  while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
  const int raw = pclose(pipe);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, output};
}

// Failures write nothing and say why; a success writes the frame's pixels
// (a PPM holds them as R, G, B).
TEST(ReplayTool, WritesTheBackBufferOrNothingAndSaysWhy) {
  scene::TestFolder dir;
  const std::string bad = (dir.Path() / "bad.scene").string();
  const std::string scene = (dir.Path() / "short.scene").string();
  const std::string out = (dir.Path() / "out.ppm").string();
  std::ofstream(bad) << "clear 1 0 1\n# fine so far\nrs 7\n";
  // A draw the devices refuse alike: a vertex buffer too short for the count.
  std::ofstream(dir.Path() / "short.bin", std::ios::binary) << std::string(40, '\0');
  std::ofstream(scene) << "fvf 0x44\n\nvb 20 4 1 short.bin\n";
  struct Row {
    std::string args;
    int status;
    std::string says;
  };
  const std::string refused = scene + ":3: DrawPrimitive failed (0x8876086C)";
  const Row rows[] = {
      {bad + " " + out, 1, "quillon-replay: " + bad + ":3: expected: rs"},
      {scene + " " + out, 1, refused},
      {"--device hal " + scene + " " + out, 1, refused},
      {"--device gpu a.scene b.png", 2, ""},
      {"only-one-argument", 2, ""},
      {(dir.Path() / "missing.scene").string() + " " + out, 1, ""},
      {"--device ref " + (TestDataDir() / "picture_452.scene").string() + " " + out, 0, ""},
  };
  for (const Row& r : rows) {
    const auto [status, output] = Tool(r.args);
    EXPECT_EQ(status, r.status) << r.args;
    EXPECT_THAT(output, HasSubstr(r.says)) << r.args;
    EXPECT_EQ(std::filesystem::exists(out), status == 0) << r.args;
  }
  const std::string bytes = ReadAll(out), header = "P6\n640 480\n255\n";
  ASSERT_EQ(bytes.size(), header.size() + 640u * 480u * 3u);
  EXPECT_EQ(bytes.substr(0, header.size()), header);
  EXPECT_EQ(bytes.substr(header.size(), 3), std::string("\0\0\xFF", 3));  // the blue corner
}
#endif

}  // namespace
