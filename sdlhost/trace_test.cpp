#include "sdlhost/trace.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/d3d8_defaults.h"
#include "scene/test_folder.h"

namespace {

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

TEST(TraceRecorder, EachFrameStartsWithTheStateGivenBefore) {
  scene::TestFolder dir;
  TraceRecorder r(dir / "t.scene", 2);
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

  const std::string first = dir.Read("t.scene");
  EXPECT_NE(first.find("fvf 834\nrs 137 0x00000000\nworld 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n"
                       "clear 3 0xFF0000FF 1 0\nvb 24 4 1000 t-vb0.bin\n"),
            std::string::npos)
      << first;
  EXPECT_EQ(dir.Read("t-vb0.bin"), std::string("\1\2\3\4\5\6", 6));

  const std::string second = dir.Read("t-2.scene");
  // The preamble holds frame 1's state; the frame's own calls follow.
  auto preamble =
      second.find("rs 137 0x00000000\nworld 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\nfvf 834\n");
  auto own = second.find("rs 137 0x00000001\nrs 27 0xFFFFFFFF\nup 2 1 3 t-2-vb0.bin\n");
  EXPECT_NE(preamble, std::string::npos) << second;
  EXPECT_NE(own, std::string::npos) << second;
  EXPECT_LT(preamble, own);
  EXPECT_FALSE(std::filesystem::exists(dir / "t-3.scene"));
}

TEST(TraceRecorder, MakesItsFolderAndStopsAtTheFirstUnwritableFrame) {
  scene::TestFolder dir;
  {
    TraceRecorder r(dir / "new/deeper/t.scene", 1);
    r.Clear(0, nullptr, 1, 0, 1.0f, 0);
    EXPECT_TRUE(r.EndFrame()) << r.LastError();
    EXPECT_TRUE(std::filesystem::exists(dir / "new/deeper/t.scene"));
  }
  // A trace named after a folder cannot be written: one failure with the
  // system's reason, and no more frames are tried.
  std::filesystem::create_directories(dir / "taken");
  TraceRecorder r(dir / "taken", 5);
  r.Clear(0, nullptr, 1, 0, 1.0f, 0);
  EXPECT_FALSE(r.EndFrame());
  EXPECT_NE(r.LastError().find("cannot write"), std::string::npos);
  EXPECT_NE(r.LastError().find("Is a directory"), std::string::npos) << r.LastError();
  EXPECT_FALSE(r.Active());
}
