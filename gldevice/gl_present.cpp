// The hardware device's clears and presents: the back buffer cleared within
// the viewport, shown in the window or read back for the host.
#include <algorithm>
#include <cmath>

#include "d3dfront/argument_checks.h"
#include "formats/pixel_format.h"
#include "gldevice/gl_device.h"
#include "gldevice/gl_state.h"
#include "presentation/placement.h"

HRESULT GlDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil) {
  if (const HRESULT hr = d3dfront::CheckClear(state_, count, rects, flags, z); hr != D3D_OK)
    return hr;
  if (!Current()) return D3DERR_DRIVERINTERNALERROR;

  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    float c[4];
    gldev::Unpack(color, c);
    // Narrow formats keep the top bits of each channel, as the reference
    // device stores them; OpenGL would round instead.
    const int bits[3] = {5, params_.BackBufferFormat == D3DFMT_R5G6B5 ? 6 : 5, 5};
    if (BytesPerPixel(params_.BackBufferFormat) == 2)
      for (int i = 0; i < 3; ++i) {
        const int levels = (1 << bits[i]) - 1;
        const auto v = static_cast<int>(std::lround(c[i] * 255.0f)) >> (8 - bits[i]);
        c[i] = static_cast<float>(v) / static_cast<float>(levels);
      }
    // Formats without alpha read back as opaque.
    glClearColor(c[0], c[1], c[2], alphaStored_ ? c[3] : 1.0f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    glClearDepth(z);
    glDepthMask(GL_TRUE);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_STENCIL) {
    glClearStencil(static_cast<GLint>(stencil & 0xFFu));
    glStencilMask(0xFF);
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  // Only the viewport is cleared, and of it only the rectangles given.
  const D3DVIEWPORT8& vp = state_.viewport;
  const auto vx0 = static_cast<std::int32_t>(vp.X), vy0 = static_cast<std::int32_t>(vp.Y);
  const std::int32_t vx1 = vx0 + static_cast<std::int32_t>(vp.Width);
  const std::int32_t vy1 = vy0 + static_cast<std::int32_t>(vp.Height);
  glEnable(GL_SCISSOR_TEST);
  auto clearRect = [&](std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    x0 = std::max(x0, vx0);
    y0 = std::max(y0, vy0);
    x1 = std::min(x1, vx1);
    y1 = std::min(y1, vy1);
    if (x0 >= x1 || y0 >= y1) return;
    glScissor(x0, y0, x1 - x0, y1 - y0);  // rows count from the top here
    glClear(mask);
  };
  if (count == 0) {
    clearRect(vx0, vy0, vx1, vy1);
  } else {
    for (DWORD i = 0; i < count; ++i) clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
  }
  glDisable(GL_SCISSOR_TEST);
  return D3D_OK;
}

FrameView GlDevice::ReadBackBuffer() {
  const auto w = static_cast<GLsizei>(params_.BackBufferWidth);
  const auto h = static_cast<GLsizei>(params_.BackBufferHeight);
  readback_.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  if (!Current()) return {};
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, readback_.data());
  return FrameView{readback_.data(), w, h, w * 4, alphaStored_ ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8};
}

HRESULT GlDevice::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                          const void* dirtyRegion) {
  if (sourceRect != nullptr || destRect != nullptr || dirtyRegion != nullptr)
    return D3DERR_INVALIDCALL;
  GlContext& c = shared_->Context();
  if (c.Lost()) return D3DERR_DEVICELOST;
  if (!Current()) return D3DERR_DRIVERINTERNALERROR;
  if (c.HasWindow()) {
    if (destWindow != 0 && destWindow != window_) return D3DERR_INVALIDCALL;
    int sw = 0, sh = 0;
    c.DrawableSize(sw, sh);
    const int fw = static_cast<int>(params_.BackBufferWidth);
    const int fh = static_cast<int>(params_.BackBufferHeight);
    // The frame keeps its aspect on a screen or window of another size, the
    // rest is black: placed as the display host places frames drawn in
    // software, so both devices show a frame alike.
    const Placement p = FitWithAspect(fw, fh, sw, sh);
    const int dx = p.x, dy = p.y, dw = p.width, dh = p.height;
    if (c.WantsShownFrame()) c.ShownFrame(ReadBackBuffer());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    if (dw != sw || dh != sh) {
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    // The back buffer's top row is its row 0; the window's is its last.
    glBlitFramebuffer(0, 0, fw, fh, dx, sh - dy, dx + dw, sh - dy - dh, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    c.Swap();
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    if (c.Lost()) return D3DERR_DEVICELOST;  // the swap found the window gone
    return D3D_OK;
  }
  if (host_ && host_->WantsFramePixels()) return host_->Present(ReadBackBuffer(), destWindow);
  // No one looks at the frame: keep at most one frame in flight so that the
  // queue of unfinished frames stays short.
  if (inFlight_) {
    glClientWaitSync(inFlight_, GL_SYNC_FLUSH_COMMANDS_BIT, GLuint64{1000000000});
    glDeleteSync(inFlight_);
  }
  inFlight_ = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  glFlush();
  return D3D_OK;
}
