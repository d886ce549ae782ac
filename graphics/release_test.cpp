// TerminateD3D and TerminateDX: the order objects go, at any point of start-up.
#include <gtest/gtest.h>

#include "graphics/moduleDX8.h"
#include "testplatform/test_platform.h"

using namespace moduleDX8;

namespace {

TEST(Release, AfterAFullStartTheObjectsGoNewestFirstAndTheRootLast) {
  TestPlatform tp;
  ASSERT_EQ(InitDX(), 0);
  ASSERT_EQ(InitD3D(1, 640, 480, 16, 1, D3DFMT_D16), 0);
  InitD3DX();
  TerminateD3D();
  TerminateDX();
  EXPECT_FALSE(DX || D3D || D3DDevice || D3DX);
  EXPECT_EQ(
      tp.CallsStartingWith("release "),
      (std::vector<std::string>{"release D3DX", "release Device", "release D3D", "release DX"}));
}

TEST(Release, IsHarmlessWhenStartUpStoppedEarlyAndWhenRepeated) {
  TestPlatform tp;
  ASSERT_EQ(InitDX(), 0);
  TerminateD3D();
  EXPECT_TRUE(tp.CallsStartingWith("release ").empty());
  TerminateDX();
  TerminateD3D();
  TerminateDX();
  EXPECT_EQ(tp.CallsStartingWith("release "), std::vector<std::string>{"release DX"});
}

TEST(Release, LeavesTheRecordsOfDeviceCreationAlone) {
  TestPlatform tp;
  ASSERT_EQ(InitDX(), 0);
  ASSERT_EQ(InitD3D(1, 640, 480, 16, 1, D3DFMT_D16), 0);
  TerminateD3D();
  EXPECT_EQ(DevType, D3DDEVTYPE_HAL);
  EXPECT_EQ(D3DPP.BackBufferWidth, 640u);
  EXPECT_EQ(DispMode.Format, D3DFMT_X8R8G8B8);
}

}  // namespace
