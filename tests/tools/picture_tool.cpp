// Reads pictures for the end-to-end tests.
//
//   picture_tool stats FILE      width height blue cloud cx cy
//       blue: pixels of the background blue (0x0000FF); cloud: pixels that
//       are neither that blue nor black; cx cy: the centre of the cloud's
//       bounding box (-1 -1 without cloud)
//   picture_tool pixel FILE X Y  the pixel as RRGGBB; exit status 2 outside
//   picture_tool notblue FILE X Y W H   pixels of the rectangle not of the blue
//   picture_tool same A B        exit status 0 when the pixels are identical
//   picture_tool agree A B       differing% max-off-edge of B against A (see
//       replay/image_agreement.h); exit status 0 within its limits
//   picture_tool match A B       foreground close percent: the pixels not of
//       the clear blue in A or B, those within 4 levels a channel in both;
//       exit status 0 from 99%
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "pictures/picture_files.h"
#include "replay/image_agreement.h"

namespace {

constexpr std::uint32_t kBlue = 0x0000FFu;

bool Load(const char* path, Image& image) {
  std::string error;
  if (ReadPng(path, image, &error)) return true;
  std::fprintf(stderr, "picture_tool: %s: %s\n", path, error.c_str());
  return false;
}

std::uint32_t Rgb(const Image& image, int x, int y) { return image.At(x, y) & 0xFFFFFFu; }

int Stats(const Image& image) {
  long blue = 0, cloud = 0;
  int minX = image.width, minY = image.height, maxX = -1, maxY = -1;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t p = Rgb(image, x, y);
      blue += p == kBlue;
      if (p == kBlue || p == 0) continue;
      ++cloud;
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  std::printf("%d %d %ld %ld %d %d\n", image.width, image.height, blue, cloud,
              maxX < 0 ? -1 : (minX + maxX) / 2, maxY < 0 ? -1 : (minY + maxY) / 2);
  return 0;
}

int Match(const Image& a, const Image& b) {
  if (a.width != b.width || a.height != b.height) return 1;
  long foreground = 0, close = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const std::uint32_t p = Rgb(a, x, y), q = Rgb(b, x, y);
      if (p == kBlue && q == kBlue) continue;
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

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc >= 3 ? argv[1] : "";
  const bool pair = argc == 4 && (mode == "same" || mode == "agree" || mode == "match");
  Image a, b;
  if (argc >= 3 && (!Load(argv[2], a) || (pair && !Load(argv[3], b)))) return 2;
  if (mode == "stats" && argc == 3) return Stats(a);
  if (mode == "pixel" && argc == 5) {
    const int x = std::atoi(argv[3]), y = std::atoi(argv[4]);
    if (x < 0 || y < 0 || x >= a.width || y >= a.height) return 2;
    std::printf("%06X\n", Rgb(a, x, y));
    return 0;
  }
  if (mode == "notblue" && argc == 7) {
    const int x0 = std::max(0, std::atoi(argv[3])), y0 = std::max(0, std::atoi(argv[4]));
    const int x1 = std::min(a.width, std::atoi(argv[3]) + std::atoi(argv[5]));
    const int y1 = std::min(a.height, std::atoi(argv[4]) + std::atoi(argv[6]));
    long count = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) count += Rgb(a, x, y) != kBlue;
    std::printf("%ld\n", count);
    return 0;
  }
  if (pair && mode == "match") return Match(a, b);
  if (pair) {
    const Agreement agreement = CompareAgreement(a, b, 8, mode == "same" ? 0 : kBlendRounding);
    if (mode == "same") {
      if (agreement.anyDifferencePercent != 0)
        std::fprintf(stderr, "picture_tool: %.3f%% of the pixels differ\n",
                     agreement.anyDifferencePercent);
      return agreement.anyDifferencePercent == 0 ? 0 : 1;
    }
    std::printf("%.3f %d\n", agreement.differingPercent, agreement.maxAwayFromEdges);
    return WithinLimits(agreement) ? 0 : 1;
  }
  std::fprintf(stderr, "usage: picture_tool stats|pixel|notblue FILE ... | same|agree|match A B\n");
  return 2;
}
