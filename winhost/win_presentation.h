// What the Windows host adds to the program's presents, on the system's
// Direct3D 8 and on the reference device shown through GDI: the overlay,
// drawn over the shown picture as the last thing before it is shown (so
// captures and F12's picture, taken before it, never hold it), F12's
// pictures in the user's Pictures\Quillon, and the form's window for a
// full-screen device shown in a window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pictures/image.h"
#include "platform/d3d8types.h"
#include "presentation/overlay.h"
#include "winhost/win32_d3d8.h"

// What the settings ask of the presentation.
struct WinPresentOptions {
  bool windowed = false;  // a full-screen device is shown in a window
  bool vsync = true;      // full-screen presents wait for the retrace
  OverlayItems hud;
  bool smoothScaling = false;  // a picture the host scales is smoothed, not repeated
};

// Where the overlay's rectangles are filled, each set in one colour
// (0x00RRGGBB).
class OverlayCanvas {
 public:
  virtual void Fill(std::uint32_t rgb, const D3DRECT* rects, std::size_t count) = 0;

 protected:
  ~OverlayCanvas() = default;
};

// A picture in memory as the canvas: 0x00RRGGBB pixels, top row first,
// `width` a row; what falls outside it is left out.
class PixelCanvas final : public OverlayCanvas {
 public:
  PixelCanvas(std::uint32_t* pixels, int width, int height)
      : pixels_(pixels), width_(width), height_(height) {}
  void Fill(std::uint32_t rgb, const D3DRECT* rects, std::size_t count) override;

 private:
  std::uint32_t* pixels_;
  int width_, height_;
};

class WinOverlay {
 public:
  WinOverlay(OverlayItems items, std::string deviceName);
  bool Enabled() const { return model_.Enabled(); }
  // Fills the overlay's shapes onto `canvas`, a frame being shown now:
  // fills as rectangles, texts as the runs of their lit pixels.
  void Draw(OverlayCanvas& canvas);
  // The same into `device`'s render target, with cleared rectangles.
  void Draw(win32::ComObject device);

 private:
  struct Text {
    std::string drawn;  // the text the pixels are of
    int width = 0, height = 0;
    std::vector<std::uint8_t> lit;
    bool ok = false;
  };
  // The slot's text drawn, kept while it stays the same.
  const Text& TextOf(int slot, const std::string& text);
  void Flush(OverlayCanvas& canvas, std::uint32_t rgb);

  OverlayModel model_;
  std::vector<Text> texts_;
  std::vector<D3DRECT> rects_;  // of one colour, cleared together
  std::vector<D3DRECT> glyphs_;
};

// F12's picture: saved under a free time-stamped name in the user's
// Pictures\Quillon, made when missing; one line says where, or why not.
void SaveScreenshot(const Image& image);

// A full-screen device's `width` x `height` frames shown in the form's
// window instead: its client area that size where the desktop's work area
// holds it, else the largest of the frame's shape it holds, centred and
// framed. False when the window cannot be placed.
bool PlaceInWindow(std::intptr_t window, int width, int height);
