// Helpers shared by the reference device's tests: scenes replayed from text
// with their files in a scratch folder, direct device access, and exact
// comparison with golden images.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "refdevice/image_io.h"
#include "refdevice/ref_device.h"
#include "refdevice/ref_direct3d.h"
#include "refdevice/scene_replay.h"
#include "scene/test_folder.h"

namespace test_support {

namespace fs = std::filesystem;

// Where the committed scenes and golden images live.
inline fs::path TestDataDir() {
  if (const char* source = std::getenv("QUILLON_SOURCE_DIR"))
    return fs::path(source) / "refdevice" / "testdata";
#ifdef QUILLON_REFDEVICE_TESTDATA
  return fs::path(QUILLON_REFDEVICE_TESTDATA);
#else
  return fs::path("refdevice") / "testdata";
#endif
}

// A scratch folder named after the running test, removed afterwards.
using ScratchFolder = scene::TestFolder;

// Replays scene text whose files are in `folder` on the reference device.
inline Image Replay(const std::string& text, const ScratchFolder& folder) {
  scene::Scene s;
  std::string error;
  Image image;
  if (!scene::ParseScene(text, folder.Path().string(), s, &error)) {
    ADD_FAILURE() << "scene refused: " << error;
    return image;
  }
  if (!scene::ReplayToImage(s, D3DDEVTYPE_REF, image, &error))
    ADD_FAILURE() << "replay failed: " << error;
  return image;
}

// The device every scene starts on, for tests that drive it directly.
struct SceneDevice {
  RefDirect3D8 d3d;
  Ref<Direct3DDevice8> device;

  SceneDevice() { EXPECT_EQ(scene::CreateSceneDevice(d3d, D3DDEVTYPE_REF, device), D3D_OK); }
  RefDevice& Device() { return dynamic_cast<RefDevice&>(*device); }
  Image Picture() { return ImageFromFrame(Device().BackBuffer()); }
};

inline std::int64_t CountPixels(const Image& image, std::uint32_t rgb) {
  std::int64_t n = 0;
  for (std::uint32_t p : image.pixels) n += p == rgb;
  return n;
}

// Compares `actual` with the golden image `name` in the test data; on a
// mismatch writes the actual picture and a difference picture into the
// working directory and says where.
inline void ExpectMatchesGolden(const Image& actual, const std::string& name) {
  const fs::path golden = TestDataDir() / name;
  Image expected;
  std::string error;
  const bool loaded = ReadPng(golden.string(), expected, &error);
  Image diff;
  const std::int64_t differing = loaded ? CompareImages(expected, actual, &diff) : -1;
  if (differing == 0) return;
  const fs::path stem = fs::absolute(fs::path(name).stem());
  const std::string actualPath = stem.string() + ".actual.png";
  const std::string diffPath = stem.string() + ".diff.png";
  WritePng(actualPath, actual, nullptr);
  if (loaded) WritePng(diffPath, diff, nullptr);
  if (!loaded) {
    ADD_FAILURE() << "golden image unreadable: " << error << "; actual picture written to "
                  << actualPath;
  } else {
    ADD_FAILURE() << name << ": " << differing << " pixels differ (golden " << expected.width << "x"
                  << expected.height << ", actual " << actual.width << "x" << actual.height
                  << "); actual picture: " << actualPath << ", differences: " << diffPath;
  }
}

}  // namespace test_support
