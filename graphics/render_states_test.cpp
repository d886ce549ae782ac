// SetDefaultRenderStates: all four settings are always tried.
#include <gtest/gtest.h>

#include "graphics/moduleDX8.h"
#include "tests/harness/test_helpers.h"
#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

using test_helpers::MakeDevice;

TEST(DefaultRenderStates, AWorkingDeviceGetsFormatNoLightingAndBlendFactorsButNoBlending) {
  ProgramPlatform tp;
  MakeDevice(tp);
  VertexFormat = 388;
  EXPECT_EQ(SetDefaultRenderStates(), 0);
  const auto d = tp.Device();
  EXPECT_EQ(d->VertexShader, 388u);
  EXPECT_EQ(d->RenderState(D3DRS_LIGHTING), 0u);
  EXPECT_EQ(d->RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));
  EXPECT_EQ(d->RenderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
  EXPECT_EQ(d->RenderState(D3DRS_ALPHABLENDENABLE), 0u);
  EXPECT_EQ(d->RenderStatesSet.size(), 3u);
}

TEST(DefaultRenderStates, EachFailingSettingLeavesTheOthersMade) {
  const char* names[] = {"Device.SetVertexShader", "Device.SetRenderState", "Device.SetRenderState",
                         "Device.SetRenderState"};
  const int occurrence[] = {1, 1, 2, 3};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ProgramPlatform tp;
    MakeDevice(tp);
    VertexFormat = 834;
    tp.Fail(names[i], E_FAIL, occurrence[i]);
    EXPECT_EQ(SetDefaultRenderStates(), D3DERR_INVALIDCALL);
    EXPECT_EQ(Err().Number, E_FAIL);  // not the returned code
    EXPECT_EQ(tp.Count("Device.SetVertexShader") + tp.Count("Device.SetRenderState"), 4);
    const auto d = tp.Device();
    EXPECT_EQ(d->VertexShader, i == 0 ? 0u : 834u);
    EXPECT_EQ(d->RenderStatesSet.size(), i == 0 ? 3u : 2u);
  }
}

TEST(DefaultRenderStates, AnUnsetDeviceFailsWithoutReachingAnyDevice) {
  ProgramPlatform tp;
  EXPECT_EQ(SetDefaultRenderStates(), D3DERR_INVALIDCALL);
  EXPECT_EQ(Err().Number, ErrObjectNotSet);
  EXPECT_TRUE(tp.CallsStartingWith("Device.").empty());
}

TEST(DefaultRenderStates, AnErrorPendingFromBeforeDoesNotCount) {
  ProgramPlatform tp;
  MakeDevice(tp);
  Err().Number = E_FAIL;
  EXPECT_EQ(SetDefaultRenderStates(), 0);
  EXPECT_EQ(Err().Number, 0);
}

}  // namespace
