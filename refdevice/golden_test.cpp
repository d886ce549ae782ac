// The program's scenes replayed from the committed scene files and compared
// exactly with their golden images (the device is deterministic), by the
// library and by the quillon-replay executable; and the picture files.
//
// After a deliberate change of the device's output, write each picture again
// with `quillon-replay refdevice/testdata/NAME.scene refdevice/testdata/NAME.png`
// (new scenes come from the program's QUILLON_TRACE) and look at every
// picture before committing it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "refdevice/image_io.h"
#include "replay/ref_replay.h"
#include "scene/test_folder.h"
#include "tests/harness/file_size_limit.h"

namespace {

using ::testing::HasSubstr;

// Where the committed scenes and golden images live.
std::filesystem::path TestDataDir() {
  if (const char* source = std::getenv("QUILLON_SOURCE_DIR"))
    return std::filesystem::path(source) / "refdevice" / "testdata";
  return QUILLON_REFDEVICE_TESTDATA;
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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

// A frame becomes a picture row by row through its pitch (the formats
// convert their rows as tested beside them); a depth format gives none.
TEST(ImageFiles, FramesBecomePicturesRowByRow) {
  const std::uint16_t r565[2 * 4] = {0xF800, 0x07E0, 0xDEAD, 0xBEEF, 0x001F, 0xFFFF, 0, 0};
  EXPECT_EQ(ImageFromFrame({r565, 2, 2, 8, D3DFMT_R5G6B5}).pixels,
            (std::vector<std::uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
  EXPECT_TRUE(ImageFromFrame({r565, 2, 2, 8, D3DFMT_D16}).pixels.empty());
}

// Noise compresses badly, so the PNG is as large as the pixels.
Image Noise(std::int32_t w, std::int32_t h) {
  Image image{w, h, {}};
  std::uint32_t x = 12345;
  for (std::int32_t i = 0; i < w * h; ++i)
    image.pixels.push_back((x = x * 1664525u + 1013904223u) >> 8);
  return image;
}

TEST(ImageFiles, FailuresAreReportedAndKeepTheOldFile) {
  scene::TestFolder dir;
  std::string error;
  EXPECT_FALSE(WriteImage((dir.Path() / "x.bmp").string(), Noise(2, 2), &error));
  EXPECT_THAT(error, HasSubstr("unknown image type"));
  EXPECT_FALSE(WritePng((dir.Path() / "no" / "x.png").string(), Noise(2, 2), &error));
  EXPECT_FALSE(WritePng((dir.Path() / "empty.png").string(), Image{}, &error));

  // The disk fills part-way through a new picture: the old one stays, and
  // nothing is left beside it.
  const std::filesystem::path full = dir.Path() / "full";
  std::filesystem::create_directory(full);
  for (const char* name : {"out.png", "out.ppm"}) {
    const std::string path = (full / name).string();
    ASSERT_TRUE(WriteImage(path, Noise(4, 4), &error)) << error;
    const std::string before = ReadAll(path);
    error = test_helpers::UnderFileSizeLimit(before.size() + 100, [&] {
      std::string why;
      return WriteImage(path, Noise(64, 64), &why) ? std::string("written") : why;
    });
    EXPECT_EQ(error, path + ": " + std::strerror(EFBIG)) << name;
    EXPECT_EQ(ReadAll(path), before) << name;
  }
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(full))
    left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"out.png", "out.ppm"}));

  // Differences are counted, and sizes that differ count the missing pixels.
  Image a = Noise(8, 4), b = a;
  b.pixels[3] ^= 1;
  b.pixels[9] ^= 0xFFFFFF;
  EXPECT_EQ(CompareImages(a, b), 2);
  EXPECT_EQ(CompareImages(Noise(8, 2), a), 16);
}

}  // namespace
