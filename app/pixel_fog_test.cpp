// frmTest::SetupPixelFog: the render states of each fog mode, in order.
#include <gtest/gtest.h>

#include <memory>

#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "tests/harness/test_helpers.h"
#include "tests/harness/program_platform.h"

namespace {

using namespace moduleDX8;
using Lines = std::vector<std::string>;

class PixelFog : public ::testing::Test {
 protected:
  void SetUp() override { test_helpers::MakeDevice(tp); }

  HRESULT Fog(D3DCOLOR color, std::int32_t mode) { return form->SetupPixelFog(color, mode); }

  ProgramPlatform tp;
  std::unique_ptr<frmTest> form = std::make_unique<frmTest>();
};

// 0.5, 0.8 and 0.66 as single-precision bit patterns, in decimal.
const std::string kStart = "Device.SetRenderState(36, 1056964608)";    // 0x3F000000
const std::string kEnd = "Device.SetRenderState(37, 1061997773)";      // 0x3F4CCCCD
const std::string kDensity = "Device.SetRenderState(38, 1059648963)";  // 0x3F28F5C3

TEST_F(PixelFog, LinearSetsStartAndEndButNotDensity) {
  EXPECT_EQ(Fog(0xAB123456, D3DFOG_LINEAR), 0);
  EXPECT_EQ(tp.Calls(), (Lines{"Device.SetRenderState(28, 4294967295)",
                               "Device.SetRenderState(34, " + std::to_string(0xAB123456u) + ")", "Device.SetRenderState(35, 3)",
                               kStart, kEnd}));
  // The colour arrives bit for bit, alpha byte included.
  EXPECT_EQ(tp.Device()->RenderStatesSet.at(D3DRS_FOGCOLOR), 0xAB123456u);
}

TEST_F(PixelFog, EveryOtherModeGoesThroughUnchangedWithTheDensity) {
  for (std::int32_t mode : {1, 2, 0, 7, -1}) {  // exp, exp2, none, out of range
    SCOPED_TRACE(mode);
    tp.ClearCalls();
    EXPECT_EQ(Fog(0x00FF8000, mode), 0);
    EXPECT_EQ(tp.Calls(),
              (Lines{"Device.SetRenderState(28, 4294967295)", "Device.SetRenderState(34, 16744448)",
                     "Device.SetRenderState(35, " + std::to_string(static_cast<DWORD>(mode)) + ")",
                     kDensity}));
  }
  // Start and end were never touched.
  EXPECT_EQ(tp.Device()->RenderStatesSet.count(D3DRS_FOGSTART), 0u);
  EXPECT_EQ(tp.Device()->RenderStatesSet.count(D3DRS_FOGEND), 0u);
}

TEST_F(PixelFog, AFailingCallIsHandedBackAndStopsTheRest) {
  const DWORD densityBefore = tp.Device()->RenderState(D3DRS_FOGDENSITY);
  tp.Fail("Device.SetRenderState", D3DERR_INVALIDCALL, 2);
  EXPECT_EQ(Fog(0x11223344, D3DFOG_EXP), D3DERR_INVALIDCALL);
  EXPECT_EQ(tp.Calls().size(), 2u);
  const auto& set = tp.Device()->RenderStatesSet;
  EXPECT_EQ(set.at(D3DRS_FOGENABLE), 0xFFFFFFFFu);  // fog stays switched on
  for (int state : {D3DRS_FOGCOLOR, D3DRS_FOGTABLEMODE, D3DRS_FOGSTART, D3DRS_FOGEND,
                    D3DRS_FOGDENSITY})
    EXPECT_EQ(set.count(state), 0u) << state;
  EXPECT_EQ(tp.Device()->RenderState(D3DRS_FOGDENSITY), densityBefore);

  // Without a device the call through nothing comes back as error 91.
  D3DDevice = nullptr;
  EXPECT_EQ(Fog(0, D3DFOG_LINEAR), ErrObjectNotSet);
}

}  // namespace
