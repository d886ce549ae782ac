// Reads pictures for the end-to-end tests.
//
//   picture_tool stats FILE      width height blue cloud cx cy
//       blue: pixels of the background blue (0x0000FF); cloud: pixels that
//       are neither that blue nor black; cx cy: the centre of the cloud's
//       bounding box (-1 -1 without cloud)
//   picture_tool same A B        exit status 0 when the pixels are identical
//   picture_tool agree A B       differing% max-off-edge of B against A (see
//       image_agreement.h); exit status 0 within 0.5% and 8 levels
//   picture_tool match A B       foreground close percent: the pixels not of
//       the clear blue in A or B, those within 4 levels a channel in both;
//       exit status 0 from 99%
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gldevice/image_agreement.h"
#include "refdevice/image_io.h"

namespace {

bool Load(const char* path, Image& image) {
  std::string error;
  if (ReadPng(path, image, &error)) return true;
  std::fprintf(stderr, "picture_tool: %s: %s\n", path, error.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "stats") == 0) {
    Image image;
    if (!Load(argv[2], image)) return 2;
    long blue = 0, cloud = 0;
    int minX = image.width, minY = image.height, maxX = -1, maxY = -1;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) {
        const std::uint32_t p = image.At(x, y) & 0xFFFFFFu;
        if (p == 0x0000FFu) {
          ++blue;
        } else if (p != 0) {
          ++cloud;
          if (x < minX) minX = x;
          if (x > maxX) maxX = x;
          if (y < minY) minY = y;
          if (y > maxY) maxY = y;
        }
      }
    std::printf("%d %d %ld %ld %d %d\n", image.width, image.height, blue, cloud,
                maxX < 0 ? -1 : (minX + maxX) / 2, maxY < 0 ? -1 : (minY + maxY) / 2);
    return 0;
  }
  // pixel FILE X Y -> RRGGBB in hex
  if (argc == 5 && std::strcmp(argv[1], "pixel") == 0) {
    Image image;
    if (!Load(argv[2], image)) return 2;
    const int x = std::atoi(argv[3]), y = std::atoi(argv[4]);
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return 2;
    std::printf("%06X\n", image.At(x, y) & 0xFFFFFFu);
    return 0;
  }
  // notblue FILE X Y W H -> how many pixels of the rectangle are not pure blue
  if (argc == 7 && std::strcmp(argv[1], "notblue") == 0) {
    Image image;
    if (!Load(argv[2], image)) return 2;
    const int x0 = std::atoi(argv[3]), y0 = std::atoi(argv[4]);
    const int x1 = std::min(image.width, x0 + std::atoi(argv[5]));
    const int y1 = std::min(image.height, y0 + std::atoi(argv[6]));
    long count = 0;
    for (int y = std::max(y0, 0); y < y1; ++y)
      for (int x = std::max(x0, 0); x < x1; ++x) count += (image.At(x, y) & 0xFFFFFFu) != 0x0000FFu;
    std::printf("%ld\n", count);
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "same") == 0) {
    Image a, b;
    if (!Load(argv[2], a) || !Load(argv[3], b)) return 2;
    if (a.width != b.width || a.height != b.height) {
      std::fprintf(stderr, "picture_tool: sizes differ: %dx%d and %dx%d\n", a.width, a.height,
                   b.width, b.height);
      return 1;
    }
    const auto differing = CompareImages(a, b, nullptr);
    if (differing != 0) {
      std::fprintf(stderr, "picture_tool: %lld pixels differ\n", static_cast<long long>(differing));
      return 1;
    }
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "agree") == 0) {
    Image a, b;
    if (!Load(argv[2], a) || !Load(argv[3], b)) return 2;
    const Agreement agreement = CompareAgreement(a, b);
    std::printf("%.3f %d\n", agreement.differingPercent, agreement.maxAwayFromEdges);
    return agreement.differingPercent <= 0.5 && agreement.maxAwayFromEdges <= 8 ? 0 : 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "match") == 0) {
    Image a, b;
    if (!Load(argv[2], a) || !Load(argv[3], b)) return 2;
    if (a.width != b.width || a.height != b.height) return 1;
    long foreground = 0, close = 0;
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x) {
        const std::uint32_t p = a.At(x, y) & 0xFFFFFFu, q = b.At(x, y) & 0xFFFFFFu;
        if (p == 0x0000FFu && q == 0x0000FFu) continue;
        ++foreground;
        bool near = true;
        for (int shift = 0; shift < 24; shift += 8)
          near = near && std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)) <= 4;
        close += near;
      }
    const double percent = foreground > 0 ? 100.0 * close / foreground : 0.0;
    std::printf("%ld %ld %.2f\n", foreground, close, percent);
    return percent >= 99.0 ? 0 : 1;
  }
  std::fprintf(stderr, "usage: picture_tool stats FILE | picture_tool same|agree|match A B\n");
  return 2;
}
