// The program's scenes replayed from the committed scene files and compared
// exactly with their golden images (the device is deterministic).
//
// To regenerate after a deliberate change of the device's output:
//   refdevice_tests --gtest_also_run_disabled_tests
//       --gtest_filter='GoldenScenes.DISABLED_WriteSceneFiles'
//   quillon-replay refdevice/testdata/NAME.scene refdevice/testdata/NAME.png
// and look at every picture before committing it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "refdevice/program_scenes.h"
#include "refdevice/test_support.h"

namespace {

using program_scenes::CloudScene;
using program_scenes::CloudView;
using program_scenes::PictureScene;
using test_support::TestDataDir;

struct SceneFile {
  const char* name;
  std::string text;
};

std::vector<SceneFile> SceneFiles() {
  CloudView near;
  near.eyeZ = -1.2f;
  return {
      {"cloud_5.scene", CloudScene(CloudView{}, "cloud.vtx")},
      {"cloud_1_2.scene", CloudScene(near, "cloud.vtx")},
      {"picture_388.scene", PictureScene(388, "picture.vtx")},
      {"picture_452.scene", PictureScene(452, "picture.vtx")},
  };
}

std::vector<std::pair<const char*, std::vector<std::uint8_t>>> DataFiles() {
  return {{"cloud.vtx", program_scenes::CloudVertices()},
          {"picture.vtx", program_scenes::PictureVertices()}};
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(GoldenScenes, CommittedFilesAreTheProgramsScenes) {
  for (const auto& [name, bytes] : DataFiles())
    EXPECT_EQ(ReadAll(TestDataDir() / name), std::string(bytes.begin(), bytes.end())) << name;
  for (const SceneFile& s : SceneFiles())
    EXPECT_EQ(ReadAll(TestDataDir() / s.name), s.text) << s.name;
}

class GoldenScene : public ::testing::TestWithParam<const char*> {};

TEST_P(GoldenScene, ReplaysExactlyAsItsGoldenImage) {
  const std::string name = GetParam();
  scene::Scene s;
  std::string error;
  ASSERT_TRUE(scene::LoadScene((TestDataDir() / (name + ".scene")).string(), s, &error)) << error;
  Image image;
  ASSERT_TRUE(scene::ReplayToImage(s, D3DDEVTYPE_REF, image, &error)) << error;
  test_support::ExpectMatchesGolden(image, name + ".png");
}

INSTANTIATE_TEST_SUITE_P(ProgramScenes, GoldenScene,
                         ::testing::Values("cloud_5", "cloud_1_2", "picture_388", "picture_452"));

TEST(GoldenScenes, DISABLED_WriteSceneFiles) {
  for (const auto& [name, bytes] : DataFiles()) {
    std::ofstream out(TestDataDir() / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  for (const SceneFile& s : SceneFiles()) std::ofstream(TestDataDir() / s.name) << s.text;
}

}  // namespace
