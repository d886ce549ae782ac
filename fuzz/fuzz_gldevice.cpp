// The hardware device fed a random stream of device calls (device_calls.h),
// headless: OpenGL through EGL without a surface (llvmpipe where there is no
// GPU), one context for the whole run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz/device_calls.h"
#include "gldevice/gl_context.h"
#include "gldevice/gl_direct3d.h"

namespace {

std::shared_ptr<GlContext> Context() {
  static const std::shared_ptr<GlContext> context = [] {
    std::string why;
    std::shared_ptr<GlContext> c = MakeSurfacelessContext(&why);
    if (!c || !DescribeCurrentContext().core33) {
      // A target that cannot reach its device would pass every input.
      std::fprintf(stderr, "fuzz_gldevice: no OpenGL 3.3 context: %s\n", why.c_str());
      std::exit(1);
    }
    return c;
  }();
  return context;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  GlDirect3D8 d3d(nullptr, Context());
  fuzz::PlayOnNewDevice(data, size, d3d, D3DDEVTYPE_HAL);
  return 0;
}
