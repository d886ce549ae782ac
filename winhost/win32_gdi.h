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
// Draws a frame of 32-bit pixels (top row first, `width` pixels a row, none
// between rows) into the rectangle at (x, y) of `window`'s client area,
// scaled to `drawWidth` x `drawHeight`; the rest of the client area is
// black. False when the window cannot be drawn into.
bool DrawFrame(Handle window, const std::uint32_t* pixels, int width, int height, int x, int y,
               int drawWidth, int drawHeight);

}  // namespace win32
