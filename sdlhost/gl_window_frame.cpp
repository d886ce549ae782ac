#include "sdlhost/gl_window_frame.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <array>

#include "sdlhost/sdl_display.h"

namespace {

// The pixel-transfer state this file changes, put back as found: the device
// keeps its own expectations of it.
class PixelStoreScope {
 public:
  PixelStoreScope() {
    for (std::size_t i = 0; i < kNames.size(); ++i) glGetIntegerv(kNames[i], &saved_[i]);
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      const bool alignment = kNames[i] == GL_PACK_ALIGNMENT || kNames[i] == GL_UNPACK_ALIGNMENT;
      if (kNames[i] == GL_PIXEL_PACK_BUFFER_BINDING)
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
      else if (kNames[i] == GL_PIXEL_UNPACK_BUFFER_BINDING)
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
      else if (kNames[i] != GL_TEXTURE_BINDING_2D && kNames[i] != GL_READ_FRAMEBUFFER_BINDING &&
               kNames[i] != GL_DRAW_FRAMEBUFFER_BINDING)
        glPixelStorei(kNames[i], alignment ? 4 : 0);
    }
  }
  ~PixelStoreScope() {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      const auto v = saved_[i];
      switch (kNames[i]) {
        case GL_PIXEL_PACK_BUFFER_BINDING:
          glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(v));
          break;
        case GL_PIXEL_UNPACK_BUFFER_BINDING:
          glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(v));
          break;
        case GL_TEXTURE_BINDING_2D:
          glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(v));
          break;
        case GL_READ_FRAMEBUFFER_BINDING:
          glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(v));
          break;
        case GL_DRAW_FRAMEBUFFER_BINDING:
          glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(v));
          break;
        default:
          glPixelStorei(kNames[i], v);
      }
    }
  }
  PixelStoreScope(const PixelStoreScope&) = delete;
  PixelStoreScope& operator=(const PixelStoreScope&) = delete;

 private:
  static constexpr std::array<GLenum, 13> kNames{GL_PACK_ALIGNMENT,
                                                 GL_PACK_ROW_LENGTH,
                                                 GL_PACK_SKIP_ROWS,
                                                 GL_PACK_SKIP_PIXELS,
                                                 GL_UNPACK_ALIGNMENT,
                                                 GL_UNPACK_ROW_LENGTH,
                                                 GL_UNPACK_SKIP_ROWS,
                                                 GL_UNPACK_SKIP_PIXELS,
                                                 GL_PIXEL_PACK_BUFFER_BINDING,
                                                 GL_PIXEL_UNPACK_BUFFER_BINDING,
                                                 GL_TEXTURE_BINDING_2D,
                                                 GL_READ_FRAMEBUFFER_BINDING,
                                                 GL_DRAW_FRAMEBUFFER_BINDING};
  std::array<GLint, kNames.size()> saved_{};
};

// A rectangle of the window's back buffer, top row first, as 0xAARRGGBB.
void ReadWindow(int x, int top, int width, int height, int windowHeight,
                std::vector<std::uint32_t>& out) {
  out.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  glReadPixels(x, windowHeight - top - height, width, height, GL_BGRA, GL_UNSIGNED_BYTE,
               out.data());
  // OpenGL's rows go up the window.
  const auto w = static_cast<std::size_t>(width);
  for (int y = 0; y < height / 2; ++y)
    std::swap_ranges(
        out.begin() + static_cast<std::ptrdiff_t>(w * static_cast<std::size_t>(y)),
        out.begin() + static_cast<std::ptrdiff_t>(w * static_cast<std::size_t>(y + 1)),
        out.begin() + static_cast<std::ptrdiff_t>(w * static_cast<std::size_t>(height - 1 - y)));
}

}  // namespace

void GlWindowFrame::BeforeSwap(SdlDisplayHost& display, SDL_Window* window) {
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(window, &width, &height);
  if (width <= 0 || height <= 0) return;
  const bool screenshot = display.TakeScreenshotRequest();
  Hud& hud = display.Overlay();
  if (!screenshot && !hud.Enabled()) return;
  PixelStoreScope scope;
  if (screenshot) {
    Image image;
    ReadWindow(0, 0, width, height, height, image.pixels);
    image.width = width;
    image.height = height;
    for (auto& p : image.pixels) p &= 0x00FFFFFFu;
    display.SaveScreenshot(image);
  }
  if (hud.Enabled()) DrawOverlay(display, width, height);
}

void GlWindowFrame::DrawOverlay(SdlDisplayHost& display, int width, int height) {
  Hud& hud = display.Overlay();
  hud.FrameShown(Hud::Clock::now());
  if (!layer_ || layer_->w != width || layer_->h != height) {
    SDL_FreeSurface(layer_);
    layer_ = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!layer_) return;
    lastCovered_ = {};
  }
  // Only what the last frame's overlay covered needs clearing.
  SDL_FillRect(layer_, &lastCovered_, 0);
  SDL_Rect covered = hud.Draw(layer_);
  const SDL_Rect whole{0, 0, width, height};
  if (!SDL_IntersectRect(&covered, &whole, &covered)) return;
  lastCovered_ = covered;

  // The window's pixels under the overlay, with the overlay's opaque pixels
  // put over them (it draws nothing translucent).
  ReadWindow(covered.x, covered.y, covered.w, covered.h, height, pixels_);
  for (int y = 0; y < covered.h; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(
        static_cast<const std::uint8_t*>(layer_->pixels) +
        static_cast<std::ptrdiff_t>(covered.y + y) * layer_->pitch);
    for (int x = 0; x < covered.w; ++x) {
      const std::uint32_t p = row[covered.x + x];
      if (p >> 24) pixels_[static_cast<std::size_t>(y * covered.w + x)] = p;
    }
  }
  if (!texture_) {
    glGenTextures(1, &texture_);
    glGenFramebuffers(1, &framebuffer_);
  }
  glBindTexture(GL_TEXTURE_2D, texture_);
  if (textureWidth_ < covered.w || textureHeight_ < covered.h) {
    textureWidth_ = std::max(textureWidth_, covered.w);
    textureHeight_ = std::max(textureHeight_, covered.h);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, textureWidth_, textureHeight_, 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
  }
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, covered.w, covered.h, GL_BGRA, GL_UNSIGNED_BYTE,
                  pixels_.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  // The texture's row 0 is the overlay's top row: flipped into the window.
  const int bottom = height - covered.y - covered.h;
  glBlitFramebuffer(0, 0, covered.w, covered.h, covered.x, bottom + covered.h,
                    covered.x + covered.w, bottom, GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

void GlWindowFrame::Release(bool current) {
  if (current && texture_) glDeleteTextures(1, &texture_);
  if (current && framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
  texture_ = framebuffer_ = 0;
  SDL_FreeSurface(layer_);
  layer_ = nullptr;
}
