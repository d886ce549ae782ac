#include "sdlhost/window_icon.h"

#include <png.h>

#include <cstdint>
#include <memory>
#include <vector>

// The PNG's bytes, written into the build by CMake (sdlhost/CMakeLists.txt).
extern const unsigned char kWindowIconPng[];
extern const std::size_t kWindowIconPngSize;

void SetWindowIcon(SDL_Window* window) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, kWindowIconPng, kWindowIconPngSize)) return;
  image.format = PNG_FORMAT_BGRA;  // ARGB8888 in the machine's order
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return;
  }
  std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> surface(
      SDL_CreateRGBSurfaceWithFormatFrom(
          pixels.data(), static_cast<int>(image.width), static_cast<int>(image.height), 32,
          static_cast<int>(image.width * 4), SDL_PIXELFORMAT_ARGB8888),
      SDL_FreeSurface);
  if (surface) SDL_SetWindowIcon(window, surface.get());
}
