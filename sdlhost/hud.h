// The overlay drawn over the shown picture (QUILLON_HUD): the frame rate, a
// graph of the last frames' times and the device in use. It is drawn into
// the window's surface after the frame was copied there (on the hardware
// device: into the window's back buffer before the swap), so the device's
// back buffer, captures, traces and F12's pictures never contain it.
#pragma once

#include <SDL.h>

#include <chrono>
#include <deque>
#include <string>

struct HudItems {
  bool fps = false;
  bool frameTime = false;
  bool device = false;
  bool Any() const { return fps || frameTime || device; }
};

class Hud {
 public:
  using Clock = std::chrono::steady_clock;

  Hud(HudItems items, std::string deviceName);
  ~Hud();
  Hud(const Hud&) = delete;
  Hud& operator=(const Hud&) = delete;

  bool Enabled() const { return items_.Any(); }
  // A frame is being shown at `now`.
  void FrameShown(Clock::time_point now);
  // Draws the overlay at the surface's top left corner; returns the part of
  // the surface it covers (empty when nothing was drawn).
  SDL_Rect Draw(SDL_Surface* target);

 private:
  SDL_Surface* Text(const std::string& text, SDL_Surface*& cache, std::string& cachedText);
  // Draws the graph of frame times at `y`, with its scale; returns its height.
  int DrawGraph(SDL_Surface* target, int y, SDL_Rect& covered);

  HudItems items_;
  std::string deviceName_;
  void* font_ = nullptr;                 // TTF_Font; null when no font could be opened
  std::deque<Clock::time_point> shown_;  // the last seconds' frames
  SDL_Surface* fpsText_ = nullptr;
  std::string fpsCached_;
  SDL_Surface* deviceText_ = nullptr;
  std::string deviceCached_;
  SDL_Surface* scaleTop_ = nullptr;   // the graph's scale: its full height
  SDL_Surface* scaleLine_ = nullptr;  // and the 60 Hz line
  std::string scaleTopCached_, scaleLineCached_;
};
