#include "sdlhost/trace.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/d3d8_defaults.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class TraceDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quillon-trace-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

D3DMATRIX Identity() {
  D3DMATRIX m{};
  m.m[0][0] = m.m[1][1] = m.m[2][2] = m.m[3][3] = 1.0f;
  return m;
}

}  // namespace

TEST(TraceNames, LaterFramesGetANumberBeforeTheExtension) {
  TraceRecorder r("out/cloud.scene", 3);
  EXPECT_EQ(r.ScenePath(1), "out/cloud.scene");
  EXPECT_EQ(r.ScenePath(2), "out/cloud-2.scene");
  TraceRecorder plain("out.d/trace", 3);
  EXPECT_EQ(plain.ScenePath(3), "out.d/trace-3");
}

TEST(TraceNames, VertexCounts) {
  EXPECT_EQ(PrimitiveVertexCount(D3DPT_TRIANGLELIST, 1000), 3000u);
  EXPECT_EQ(PrimitiveVertexCount(D3DPT_TRIANGLESTRIP, 2), 4u);
  EXPECT_EQ(PrimitiveVertexCount(D3DPT_TRIANGLEFAN, 0), 0u);
  EXPECT_EQ(PrimitiveVertexCount(D3DPT_LINESTRIP, 3), 4u);
  EXPECT_EQ(PrimitiveVertexCount(D3DPT_LINELIST, 3), 6u);
  EXPECT_EQ(PrimitiveVertexCount(D3DPT_POINTLIST, 5), 5u);
}

TEST_F(TraceDir, EachFrameStartsWithTheStateGivenBefore) {
  TraceRecorder r((dir_ / "t.scene").string(), 2);
  r.VertexShader(834);
  r.RenderState(137, 0);
  r.Transform(D3DTS_WORLD, Identity());
  r.Clear(0, nullptr, 3, 0xFF0000FFu, 1.0f, 0);
  const unsigned char bytes[6] = {1, 2, 3, 4, 5, 6};
  r.DrawFromBuffer(24, D3DPT_TRIANGLELIST, 1000, bytes, sizeof bytes);
  ASSERT_TRUE(r.EndFrame());

  r.RenderState(137, 1);  // a change in frame 2
  r.RenderState(27, 0xFFFFFFFFu);
  r.DrawUser(2, D3DPT_POINTLIST, 3, bytes, sizeof bytes);
  ASSERT_TRUE(r.EndFrame());
  EXPECT_FALSE(r.Active());
  r.RenderState(1, 1);  // after the traced frames: nothing is written
  EXPECT_TRUE(r.EndFrame());
  EXPECT_EQ(r.FramesWritten(), 2);

  const std::string first = ReadAll(dir_ / "t.scene");
  EXPECT_NE(first.find("fvf 834\nrs 137 0x00000000\nworld 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n"
                       "clear 3 0xFF0000FF 1 0\nvb 24 4 1000 t-vb0.bin\n"),
            std::string::npos)
      << first;
  EXPECT_EQ(ReadAll(dir_ / "t-vb0.bin"), std::string("\1\2\3\4\5\6", 6));

  const std::string second = ReadAll(dir_ / "t-2.scene");
  // The preamble holds frame 1's state; the frame's own calls follow.
  auto preamble = second.find("rs 137 0x00000000\nworld 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\nfvf 834\n");
  auto own = second.find("rs 137 0x00000001\nrs 27 0xFFFFFFFF\nup 2 1 3 t-2-vb0.bin\n");
  EXPECT_NE(preamble, std::string::npos) << second;
  EXPECT_NE(own, std::string::npos) << second;
  EXPECT_LT(preamble, own);
  EXPECT_FALSE(fs::exists(dir_ / "t-3.scene"));
}

TEST_F(TraceDir, FloatsSurviveTheTextExactly) {
  TraceRecorder r((dir_ / "f.scene").string(), 1);
  D3DMATRIX m{};
  const float odd[4] = {0.1f, -1.0f / 3.0f, 3.4028235e38f, 1.17549435e-38f};
  for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = odd[i % 4] * static_cast<float>(i + 1);
  r.Transform(D3DTS_PROJECTION, m);
  ASSERT_TRUE(r.EndFrame());
  std::istringstream in(ReadAll(dir_ / "f.scene"));
  std::string line;
  while (std::getline(in, line) && line.rfind("proj ", 0) != 0) {
  }
  std::istringstream words(line.substr(5));
  for (int i = 0; i < 16; ++i) {
    std::string w;
    words >> w;
    EXPECT_EQ(std::strtof(w.c_str(), nullptr), m.m[i / 4][i % 4]) << w;
  }
}

TEST_F(TraceDir, UnwritableFolderIsReported) {
  TraceRecorder r((dir_ / "missing" / "t.scene").string(), 1);
  r.Clear(0, nullptr, 1, 0, 1.0f, 0);
  EXPECT_FALSE(r.EndFrame());
  EXPECT_NE(r.LastError().find("cannot write"), std::string::npos);
}
