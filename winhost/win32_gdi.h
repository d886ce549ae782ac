// The GDI calls a device that draws its frames itself presents them by, in
// plain types (only win32_gdi.cpp sees <windows.h>).
#pragma once

#include <cstdint>

#include "winhost/win32_calls.h"

namespace win32 {

// The primary screen's size in pixels.
void ScreenSize(int& width, int& height);
// The client area's size of `window`; false when it is no window.
bool ClientSize(Handle window, int& width, int& height);
// Makes `window` a borderless top-most window covering the primary screen,
// shown and in front: full screen without a change of mode.
bool CoverScreen(Handle window);
// Gives `window` back its frame and a client area of `width` x `height`.
void RestoreWindow(Handle window, int width, int height);
// Shows the window (a windowed device's).
void ShowWindow(Handle window);

// A picture of a window's client area, composed in memory and then shown
// whole, so the window never shows it half drawn. Its pixels are 0x00RRGGBB,
// top row first, `Width()` a row with none between rows.
class ShownPicture {
 public:
  ShownPicture() = default;
  ~ShownPicture();
  ShownPicture(const ShownPicture&) = delete;
  ShownPicture& operator=(const ShownPicture&) = delete;

  // Makes it `width` x `height` (kept while the size stays the same); false
  // when GDI has no room for it.
  bool Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Valid after a Resize that succeeded, and once GDI's drawing is done.
  std::uint32_t* Pixels() { return pixels_; }
  // Draws a frame of 32-bit pixels (top row first, `width` pixels a row, none
  // between rows) scaled into the rectangle at (x, y), `drawWidth` x
  // `drawHeight`: its pixels repeated, or smoothed (`smooth`). The rest is
  // black. False when GDI draws nothing.
  bool DrawFrame(const std::uint32_t* pixels, int width, int height, int x, int y, int drawWidth,
                 int drawHeight, bool smooth);
  // Copies the picture into `window`'s client area, from its top left
  // corner; false when the window cannot be drawn into.
  bool ShowIn(Handle window);

 private:
  void Free();

  void* dc_ = nullptr;      // a memory device context holding bitmap_
  void* bitmap_ = nullptr;  // the DIB section of pixels_
  void* selected_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
  int width_ = 0, height_ = 0;
};

}  // namespace win32
