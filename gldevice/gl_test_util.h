// The OpenGL 3.3 context tests draw the hardware device with: surfaceless
// (llvmpipe in CI), made once; null on a machine without one.
#pragma once

#include <memory>
#include <string>

#include "gldevice/gl_context.h"

inline std::shared_ptr<GlContext> Context() {
  static std::shared_ptr<GlContext> context = [] {
    std::string why;
    std::shared_ptr<GlContext> c = MakeSurfacelessContext(&why);
    return c && DescribeCurrentContext().core33 ? c : nullptr;
  }();
  return context;
}
