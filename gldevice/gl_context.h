// Where the hardware device's OpenGL context comes from: a window's context
// (the host makes it) or, with no display, an EGL context without any
// surface that draws into framebuffer objects only. Also the rules that
// decide whether a context counts as a hardware device.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/display_host.h"

class GlContext {
 public:
  virtual ~GlContext() = default;
  virtual bool MakeCurrent() = 0;

  // A window whose buffers Present swaps; without one, frames are read back
  // and handed to the display host.
  virtual bool HasWindow() const { return false; }
  // The window's drawable size in pixels.
  virtual void DrawableSize(int& width, int& height) {
    width = 0;
    height = 0;
  }
  // Frames between swaps (0: do not wait for the retrace). The host may
  // lower it (its own settings turn waiting off).
  virtual void SetSwapInterval(int interval) { (void)interval; }
  virtual void Swap() {}
  // The window or the display it is on has gone: frames can no longer be
  // shown, and Present says the device is lost.
  virtual bool Lost() const { return false; }
  // A frame shown in the window is wanted as pixels too (a key script's
  // capture is due); Present reads it back only then and hands it over.
  virtual bool WantsShownFrame() { return false; }
  virtual void ShownFrame(const FrameView& frame) { (void)frame; }
};

// A 3.3 core context on Mesa's surfaceless EGL platform (or the first EGL
// device), current on return. Null with a reason when none can be made.
std::unique_ptr<GlContext> MakeSurfacelessContext(std::string* error);

// What the current context is.
struct GlInfo {
  std::string renderer;
  std::string version;
  bool core33 = false;    // at least 3.3, core profile
  bool software = false;  // a software rasterizer
};
GlInfo DescribeCurrentContext();

// Mesa's software rasterizers (llvmpipe, softpipe, swrast) and other known
// CPU renderers.
bool IsSoftwareRenderer(std::string_view renderer);

// Whether a context described by `info` serves as the hardware device: a 3.3
// core one, and a software renderer only when `anyRenderer` (the hardware
// device was asked for by name).
bool AcceptsContext(const GlInfo& info, bool anyRenderer);
