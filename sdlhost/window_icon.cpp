#include "sdlhost/window_icon.h"

#include <cstdint>
#include <memory>
#include <span>

#include "pictures/picture_files.h"

// The PNG's bytes, written into the build by CMake (sdlhost/CMakeLists.txt).
extern const unsigned char kWindowIconPng[];
extern const std::size_t kWindowIconPngSize;

void SetWindowIcon(SDL_Window* window) {
  Image icon;
  if (!DecodePng(std::span(kWindowIconPng, kWindowIconPngSize), icon, nullptr, Alpha::kKept))
    return;
  // 0xAARRGGBB words are SDL's ARGB8888.
  std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> surface(
      SDL_CreateRGBSurfaceWithFormatFrom(icon.pixels.data(), icon.width, icon.height, 32,
                                         icon.width * 4, SDL_PIXELFORMAT_ARGB8888),
      SDL_FreeSurface);
  if (surface) SDL_SetWindowIcon(window, surface.get());
}
