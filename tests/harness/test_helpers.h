// Helpers shared by the program's tests: a device made straight on the
// recording platform (and the matrix helpers).
#pragma once

#include <gtest/gtest.h>

#include "graphics/moduleDX8.h"
#include "tests/harness/matrix_test_util.h"
#include "tests/harness/program_platform.h"

namespace test_helpers {

// The root, Direct3D and a 640x480 full-screen HAL device in moduleDX8's
// variables, without the start-up; with `withD3DX` also the D3DX object and
// an open scene, as pictures are drawn. The calls made so far are cleared.
inline void MakeDevice(ProgramPlatform& tp, bool withD3DX = false) {
  using namespace moduleDX8;
  ASSERT_EQ(tp.NewDirectX8(DX), D3D_OK);
  ASSERT_EQ(DX->Direct3DCreate(D3D), D3D_OK);
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 640;
  pp.BackBufferHeight = 480;
  pp.BackBufferFormat = D3DFMT_R5G6B5;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_FLIP;
  pp.hDeviceWindow = tp.script.hWnd;
  pp.EnableAutoDepthStencil = 1;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  ASSERT_EQ(D3D->CreateDevice(0, D3DDEVTYPE_HAL, tp.script.hWnd,
                              D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp, D3DDevice),
            D3D_OK);
  if (withD3DX) {
    ASSERT_EQ(tp.NewD3DX8(D3DX), D3D_OK);
    ASSERT_EQ(D3DDevice->BeginScene(), D3D_OK);
  }
  tp.ClearCalls();
}

}  // namespace test_helpers
