// frmTest::SetupPixelFog: the render states of each fog mode, in order
// (the form offers it; the program itself never calls it).
#include <gtest/gtest.h>

#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"
#include "tests/harness/test_helpers.h"

namespace {

using namespace moduleDX8;
using Lines = std::vector<std::string>;

// 0.5, 0.8 and 0.66 as single-precision bit patterns, in decimal.
const std::string kStart = "Device.SetRenderState(36, 1056964608)";    // 0x3F000000
const std::string kEnd = "Device.SetRenderState(37, 1061997773)";      // 0x3F4CCCCD
const std::string kDensity = "Device.SetRenderState(38, 1059648963)";  // 0x3F28F5C3

// Each row: the mode, which render-state call fails (0: none) and the calls
// made. The colour goes through bit for bit, alpha byte included; a failure
// is handed back and stops the rest.
TEST(PixelFog, EachModeSetsItsStatesInOrder) {
  frmTest form;
  const std::string enable = "Device.SetRenderState(28, 4294967295)";
  const std::string colour = "Device.SetRenderState(34, 2870097012)";  // 0xAB123474
  const auto table = [](std::int32_t mode) {
    return "Device.SetRenderState(35, " + std::to_string(static_cast<DWORD>(mode)) + ")";
  };
  const std::string failed = " -> " + std::to_string(D3DERR_INVALIDCALL);
  // clang-format off
  const struct {
    std::int32_t mode;
    int failing;
    Lines calls;
  } rows[] = {
      {D3DFOG_LINEAR, 0, {enable, colour, table(3), kStart, kEnd}},
      {D3DFOG_EXP, 0, {enable, colour, table(1), kDensity}},
      {D3DFOG_EXP2, 0, {enable, colour, table(2), kDensity}},
      {D3DFOG_NONE, 0, {enable, colour, table(0), kDensity}},
      {7, 0, {enable, colour, table(7), kDensity}},
      {-1, 0, {enable, colour, table(-1), kDensity}},
      {D3DFOG_EXP, 2, {enable, colour + failed}},
      {D3DFOG_LINEAR, 5, {enable, colour, table(3), kStart, kEnd + failed}},
  };
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.mode) + " failing " + std::to_string(r.failing));
    ProgramPlatform tp;
    test_helpers::MakeDevice(tp);
    if (r.failing) tp.Fail("Device.SetRenderState", D3DERR_INVALIDCALL, r.failing);
    EXPECT_EQ(form.SetupPixelFog(0xAB123474, r.mode), r.failing ? D3DERR_INVALIDCALL : 0);
    EXPECT_EQ(tp.Calls(), r.calls);
  }
  // Without a device the call through nothing comes back as error 91.
  ProgramPlatform tp;
  EXPECT_EQ(form.SetupPixelFog(0, D3DFOG_LINEAR), ErrObjectNotSet);
}

}  // namespace
