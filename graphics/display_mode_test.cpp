// FindDisplayMode over scripted adapter mode lists: each row a list, a depth,
// and what the search returns, finds and reads.
#include <gtest/gtest.h>

#include "graphics/moduleDX8.h"
#include "tests/harness/program_platform.h"

using namespace moduleDX8;

namespace {

constexpr std::int32_t kUntouched = -7;

struct Row {
  const char* what;
  std::vector<D3DDISPLAYMODE> modes;
  std::int32_t depth;
  std::int32_t result, format;
  int reads;                       // modes enumerated
  std::int32_t pendingBefore = 0;  // an error pending at entry
  int failingRead = 0;             // the enumeration that fails, if any
};

const std::vector<D3DDISPLAYMODE> kNoFit = {
    {640, 400, 60, D3DFMT_R5G6B5}, {480, 640, 60, D3DFMT_R5G6B5}, {640, 480, 60, D3DFMT_R5G6B5}};

// clang-format off
const Row kRows[] = {
    {"16 bits: the first mode of the size, whatever its format",
     {{800, 600, 60, D3DFMT_R5G6B5}, {640, 480, 60, D3DFMT_X8R8G8B8}, {640, 480, 60, D3DFMT_R5G6B5}},
     16, 0, D3DFMT_X8R8G8B8, 2},
    {"16 bits: of two refresh rates the lower index",
     {{640, 480, 60, D3DFMT_R5G6B5}, {640, 480, 85, D3DFMT_X1R5G5B5}}, 16, 0, D3DFMT_R5G6B5, 1},
    {"32 bits pass over 16-bit modes",
     {{640, 480, 60, D3DFMT_R5G6B5}, {640, 480, 75, D3DFMT_X1R5G5B5},
      {640, 480, 60, D3DFMT_A8R8G8B8}, {640, 480, 60, D3DFMT_X8R8G8B8}},
     32, 0, D3DFMT_A8R8G8B8, 3},
    {"32 bits take R8G8B8", {{640, 480, 60, D3DFMT_A8R3G3B2}, {640, 480, 60, D3DFMT_R8G8B8}}, 32,
     0, D3DFMT_R8G8B8, 2},
    {"32 bits take X8R8G8B8", {{640, 480, 60, D3DFMT_A8R3G3B2}, {640, 480, 60, D3DFMT_X8R8G8B8}},
     32, 0, D3DFMT_X8R8G8B8, 2},
    {"no fit: every mode read once", kNoFit, 32, D3DERR_INVALIDDEVICE, kUntouched, 3},
    {"no other depth fits", kNoFit, 24, D3DERR_INVALIDDEVICE, kUntouched, 3},
    {"nor depth 8", kNoFit, 8, D3DERR_INVALIDDEVICE, kUntouched, 3},
    {"nor depth 0", kNoFit, 0, D3DERR_INVALIDDEVICE, kUntouched, 3},
    {"an empty list", {}, 16, D3DERR_INVALIDDEVICE, kUntouched, 0},
    {"an error pending at entry: invalid call, no mode read", kNoFit, 16, D3DERR_INVALIDCALL,
     kUntouched, 0, E_FAIL},
    {"a failed read returns its number and reads no further",
     {{800, 600, 60, D3DFMT_R5G6B5}, {800, 600, 60, D3DFMT_X8R8G8B8}, {640, 480, 60, D3DFMT_R5G6B5}},
     16, D3DERR_DRIVERINTERNALERROR, kUntouched, 2, 0, 2},
};
// clang-format on

TEST(DisplayMode, FindsTheFirstModeOfTheSizeAndDepth) {
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.what);
    ProgramPlatform tp;
    ASSERT_EQ(InitDX(), 0);
    ASSERT_EQ(DX->Direct3DCreate(D3D), 0);
    tp.script.modes = r.modes;
    if (r.failingRead) tp.Fail("D3D.EnumAdapterModes", D3DERR_DRIVERINTERNALERROR, r.failingRead);
    Err().Number = r.pendingBefore;
    std::int32_t format = kUntouched;
    EXPECT_EQ(FindDisplayMode(640, 480, r.depth, format), r.result);
    EXPECT_EQ(format, r.format);
    EXPECT_EQ(tp.Count("D3D.EnumAdapterModes"), r.reads);
    EXPECT_LE(tp.Count("D3D.GetAdapterModeCount"), 1);
    // Its own refusals leave nothing pending; a pending error stays.
    EXPECT_EQ(Err().Number, r.failingRead ? D3DERR_DRIVERINTERNALERROR : r.pendingBefore);
  }
}

}  // namespace
