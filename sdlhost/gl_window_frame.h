// What the host adds to a frame the hardware device shows in the window
// itself, between the device's copy into the window's back buffer and the
// swap: F12's picture of it, then the overlay. The device's own buffers,
// captures and traces never see either.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

class SdlDisplayHost;

class GlWindowFrame {
 public:
  GlWindowFrame() = default;
  GlWindowFrame(const GlWindowFrame&) = delete;
  GlWindowFrame& operator=(const GlWindowFrame&) = delete;

  // With the window's context current and its back buffer holding the frame.
  void BeforeSwap(SdlDisplayHost& display, SDL_Window* window);
  // Gives back what the overlay holds (its texture only when the context is
  // `current`: a context that is gone took it along).
  void Release(bool current);

 private:
  void DrawOverlay(SdlDisplayHost& display, int width, int height);

  unsigned texture_ = 0, framebuffer_ = 0;  // the overlay's pixels, read by a blit
  int textureWidth_ = 0, textureHeight_ = 0;
  // The overlay drawn on transparent pixels, the size of the window.
  SDL_Surface* layer_ = nullptr;
  SDL_Rect lastCovered_{};
  std::vector<std::uint32_t> pixels_;
};
