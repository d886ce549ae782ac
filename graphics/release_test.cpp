// TerminateD3D and TerminateDX at any point of start-up (the order of a full
// shutdown is checked on every path of the load event).
#include <gtest/gtest.h>

#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

TEST(Release, IsHarmlessWhenStartUpStoppedEarlyAndWhenRepeated) {
  ProgramPlatform tp;
  ASSERT_EQ(InitDX(), 0);
  TerminateD3D();
  EXPECT_TRUE(tp.CallsStartingWith("release ").empty());
  TerminateDX();
  TerminateD3D();
  TerminateDX();
  EXPECT_EQ(tp.CallsStartingWith("release "), std::vector<std::string>{"release DX"});
}

}  // namespace
