// The hardware device fed a random stream of device calls (device_calls.h),
// headless: OpenGL through EGL without a surface (llvmpipe where there is no
// GPU), one context for the whole run, shared with the device's tests.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/device_calls.h"
#include "gldevice/gl_direct3d.h"
#include "gldevice/gl_test_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!Context()) {
    // A target that cannot reach its device would pass every input.
    std::fprintf(stderr, "fuzz_gldevice: no OpenGL 3.3 context\n");
    std::exit(1);
  }
  GlDirect3D8 d3d(nullptr, Context());
  fuzz::PlayOnNewDevice(data, size, d3d, D3DDEVTYPE_HAL);
  return 0;
}
