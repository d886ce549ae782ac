// The overlay (presentation/overlay.h) drawn with SDL: into the window's
// surface after the frame was copied there (on the hardware device: into the
// window's back buffer before the swap), its text with SDL_ttf.
#pragma once

#include <SDL.h>

#include <array>
#include <string>

#include "presentation/overlay.h"

class Hud {
 public:
  using Clock = OverlayModel::Clock;

  Hud(OverlayItems items, std::string deviceName);
  ~Hud();
  Hud(const Hud&) = delete;
  Hud& operator=(const Hud&) = delete;

  bool Enabled() const { return model_.Enabled(); }
  // A frame is being shown at `now`.
  void FrameShown(Clock::time_point now) { model_.FrameShown(now); }
  // Draws the overlay at the surface's top left corner; returns the part of
  // the surface it covers (empty when nothing was drawn).
  SDL_Rect Draw(SDL_Surface* target);

 private:
  // The slot's text rendered, kept while it stays the same; null without a font.
  SDL_Surface* Text(int slot, const std::string& text);

  OverlayModel model_;
  void* font_ = nullptr;  // TTF_Font; null when no font could be opened
  std::array<SDL_Surface*, OverlayModel::kTextSlots> texts_{};
  std::array<std::string, OverlayModel::kTextSlots> cached_;
};
