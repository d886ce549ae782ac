// What the Windows host does around the system's presents, in plain C++
// types: the form's window placed for a windowed device, the overlay's texts
// drawn by GDI, and the user's Pictures folder. Only win32_present.cpp sees
// <windows.h>.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace win32 {

// The largest client area a form window can have inside the desktop's work
// area (the screen less the task bar), its frame and caption around it.
bool FormClientRoom(std::intptr_t window, int& width, int& height);
// Moves the form's window so that its client area is `width` x `height`,
// centred in the work area, and shows it with its frame.
bool PlaceFormWindow(std::intptr_t window, int width, int height);

// `text` drawn in the overlay's font: its size and one byte a pixel, row
// after row, 1 where the glyphs are. False when GDI draws nothing.
bool DrawOverlayText(const std::string& text, int& width, int& height,
                     std::vector<std::uint8_t>& lit);

// The user's Pictures folder (the known folder), UTF-8; empty with the
// reason when the system names none.
std::string PicturesFolder(std::string& error);
// Makes `folder` and the folders above it that are missing; false with the
// system's reason.
bool MakeFolders(const std::string& folder, std::string& error);

}  // namespace win32
