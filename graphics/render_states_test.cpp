// SetDefaultRenderStates: all four settings are always tried. Each row: which
// setting fails (none: 0), and the result and pending error afterwards.
#include <gtest/gtest.h>

#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"
#include "tests/harness/test_helpers.h"

using namespace moduleDX8;

namespace {

TEST(DefaultRenderStates, EverySettingIsTriedAndAnyFailureIsAnInvalidCall) {
  const std::vector<std::string> all = {
      "Device.SetVertexShader(388)", "Device.SetRenderState(137, 0)",
      "Device.SetRenderState(19, 5)", "Device.SetRenderState(20, 6)"};
  for (std::size_t failing = 0; failing <= all.size(); ++failing) {
    SCOPED_TRACE(failing);
    ProgramPlatform tp;
    test_helpers::MakeDevice(tp);
    VertexFormat = 388;
    Err().Number = E_NOTIMPL;  // from before: does not count
    std::vector<std::string> calls = all;
    if (failing > 0) {
      std::string& step = calls[failing - 1];
      tp.Fail(step.substr(0, step.find('(')), E_FAIL,
              failing < 2 ? 1 : static_cast<int>(failing) - 1);
      step += " -> " + std::to_string(E_FAIL);
    }
    EXPECT_EQ(SetDefaultRenderStates(), failing ? D3DERR_INVALIDCALL : 0);
    EXPECT_EQ(Err().Number, failing ? E_FAIL : 0);  // the device's, not the result
    EXPECT_EQ(tp.Calls(), calls);
  }
  // Without a device nothing is reached.
  ProgramPlatform tp;
  EXPECT_EQ(SetDefaultRenderStates(), D3DERR_INVALIDCALL);
  EXPECT_EQ(Err().Number, ErrObjectNotSet);
  EXPECT_TRUE(tp.Calls().empty());
}

}  // namespace
