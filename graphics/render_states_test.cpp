// SetDefaultRenderStates: all four settings are always tried.
#include <gtest/gtest.h>

#include "graphics/moduleDX8.h"
#include "testplatform/test_platform.h"

using namespace moduleDX8;

namespace {

void MakeDevice() {
  ASSERT_EQ(InitDX(), 0);
  ASSERT_EQ(DX->Direct3DCreate(D3D), 0);
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = 1;
  ASSERT_EQ(D3D->CreateDevice(0, D3DDEVTYPE_HAL, 1, 0x20, pp, D3DDevice), 0);
}

TEST(DefaultRenderStates, AWorkingDeviceGetsFormatNoLightingAndBlendFactorsButNoBlending) {
  TestPlatform tp;
  MakeDevice();
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
    TestPlatform tp;
    MakeDevice();
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
  TestPlatform tp;
  EXPECT_EQ(SetDefaultRenderStates(), D3DERR_INVALIDCALL);
  EXPECT_EQ(Err().Number, ErrObjectNotSet);
  EXPECT_TRUE(tp.CallsStartingWith("Device.").empty());
}

TEST(DefaultRenderStates, AnErrorPendingFromBeforeDoesNotCount) {
  TestPlatform tp;
  MakeDevice();
  Err().Number = E_FAIL;
  EXPECT_EQ(SetDefaultRenderStates(), 0);
  EXPECT_EQ(Err().Number, 0);
}

}  // namespace
