// FindDisplayMode over scripted adapter mode lists.
#include <gtest/gtest.h>

#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

class DisplayMode : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(InitDX(), 0);
    ASSERT_EQ(DX->Direct3DCreate(D3D), 0);
    tp.ClearCalls();
  }
  std::int32_t Find(std::int32_t depth) { return FindDisplayMode(640, 480, depth, format); }

  ProgramPlatform tp;
  std::int32_t format = -7;  // "untouched" marker
};

TEST_F(DisplayMode, DepthSixteenTakesTheFirstModeOfTheSizeWhateverItsFormat) {
  tp.script.modes = {{800, 600, 60, D3DFMT_R5G6B5},
                     {640, 480, 60, D3DFMT_X8R8G8B8},
                     {640, 480, 60, D3DFMT_R5G6B5}};
  EXPECT_EQ(Find(16), 0);
  EXPECT_EQ(format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(tp.Count("D3D.EnumAdapterModes"), 2);  // stops at the first fit
  // Modes differing only in refresh rate: the lower index wins too.
  tp.script.modes = {{640, 480, 60, D3DFMT_R5G6B5}, {640, 480, 85, D3DFMT_X1R5G5B5}};
  EXPECT_EQ(Find(16), 0);
  EXPECT_EQ(format, D3DFMT_R5G6B5);
}

TEST_F(DisplayMode, DepthThirtyTwoPassesOverSixteenBitModes) {
  tp.script.modes = {{640, 480, 60, D3DFMT_R5G6B5},
                     {640, 480, 75, D3DFMT_X1R5G5B5},
                     {640, 480, 60, D3DFMT_A8R8G8B8},
                     {640, 480, 60, D3DFMT_X8R8G8B8}};
  EXPECT_EQ(Find(32), 0);
  EXPECT_EQ(format, D3DFMT_A8R8G8B8);
  for (std::int32_t f : {D3DFMT_R8G8B8, D3DFMT_X8R8G8B8}) {
    tp.script.modes = {{640, 480, 60, D3DFMT_A8R3G3B2}, {640, 480, 60, f}};
    EXPECT_EQ(Find(32), 0);
    EXPECT_EQ(format, f);
  }
}

TEST_F(DisplayMode, NoFitOrAnEmptyListIsInvalidDeviceAfterReadingEveryModeOnce) {
  tp.script.modes = {
      {640, 400, 60, D3DFMT_R5G6B5}, {480, 640, 60, D3DFMT_R5G6B5}, {640, 480, 60, D3DFMT_R5G6B5}};
  EXPECT_EQ(Find(32), D3DERR_INVALIDDEVICE);
  EXPECT_EQ(tp.Count("D3D.EnumAdapterModes"), 3);
  EXPECT_EQ(tp.Count("D3D.GetAdapterModeCount"), 1);
  EXPECT_EQ(format, -7);
  EXPECT_EQ(Err().Number, 0);
  for (std::int32_t depth : {24, 8, 15, 0}) {
    EXPECT_EQ(Find(depth), D3DERR_INVALIDDEVICE) << depth;
    EXPECT_EQ(format, -7);
  }
  tp.script.modes = {};
  tp.ClearCalls();
  EXPECT_EQ(Find(16), D3DERR_INVALIDDEVICE);
  EXPECT_EQ(tp.Count("D3D.EnumAdapterModes"), 0);
}

TEST_F(DisplayMode, AnErrorPendingAtEntryIsInvalidCallWithoutLookingAtModes) {
  Err().Number = E_FAIL;
  EXPECT_EQ(Find(16), D3DERR_INVALIDCALL);
  EXPECT_EQ(format, -7);
  EXPECT_EQ(tp.Count("D3D.EnumAdapterModes"), 0);
  EXPECT_EQ(Err().Number, E_FAIL);  // not cleared
}

TEST_F(DisplayMode, AFailedEnumerationReturnsItsNumberAndReadsNoFurther) {
  tp.script.modes = {{800, 600, 60, D3DFMT_R5G6B5},
                     {800, 600, 60, D3DFMT_X8R8G8B8},
                     {640, 480, 60, D3DFMT_R5G6B5}};
  tp.Fail("D3D.EnumAdapterModes", D3DERR_DRIVERINTERNALERROR, 2);
  EXPECT_EQ(Find(16), D3DERR_DRIVERINTERNALERROR);
  EXPECT_EQ(Err().Number, D3DERR_DRIVERINTERNALERROR);
  EXPECT_EQ(tp.Count("D3D.EnumAdapterModes"), 2);
  EXPECT_EQ(format, -7);
}

}  // namespace
