// What the Windows host adds to the program's presents on the system's
// Direct3D 8: the overlay, drawn into the back buffer as the last thing
// before the present (so captures and F12's picture, read before it, never
// hold it), and F12's pictures in the user's Pictures\Quillon.
#pragma once

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
};

class WinOverlay {
 public:
  WinOverlay(OverlayItems items, std::string deviceName);
  bool Enabled() const { return model_.Enabled(); }
  // Fills the overlay's shapes into `device`'s render target, a frame being
  // shown now: fills as cleared rectangles, texts as the runs of their lit
  // pixels.
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
  void Flush(win32::ComObject device, std::uint32_t rgb);

  OverlayModel model_;
  std::vector<Text> texts_;
  std::vector<D3DRECT> rects_;  // of one colour, cleared together
  std::vector<D3DRECT> glyphs_;
};

// F12's picture: saved under a free time-stamped name in the user's
// Pictures\Quillon, made when missing; one line says where, or why not.
void SaveScreenshot(const Image& image);
