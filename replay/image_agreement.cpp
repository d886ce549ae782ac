#include "replay/image_agreement.h"

#include <algorithm>
#include <cstdlib>

namespace {

int ChannelDifference(std::uint32_t a, std::uint32_t b) {
  int most = 0;
  for (int shift = 0; shift < 24; shift += 8)
    most = std::max(most, std::abs(static_cast<int>((a >> shift) & 255u) -
                                   static_cast<int>((b >> shift) & 255u)));
  return most;
}

bool NearEdge(const Image& image, int x, int y, int step) {
  const std::uint32_t centre = image.At(x, y);
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const int nx = x + dx, ny = y + dy;
      if (nx < 0 || ny < 0 || nx >= image.width || ny >= image.height) continue;
      if (ChannelDifference(centre, image.At(nx, ny)) > step) return true;
    }
  return false;
}

}  // namespace

Agreement CompareAgreement(const Image& reference, const Image& other, int edgeStep, int rounding) {
  Agreement a;
  if (reference.width != other.width || reference.height != other.height) {
    a.sameSize = false;
    a.differingPercent = 100.0;
    a.anyDifferencePercent = 100.0;
    a.maxAwayFromEdges = 255;
    return a;
  }
  std::int64_t differing = 0, any = 0;
  for (int y = 0; y < reference.height; ++y)
    for (int x = 0; x < reference.width; ++x) {
      const int d = ChannelDifference(reference.At(x, y), other.At(x, y));
      if (d == 0) continue;
      ++any;
      if (d > rounding) ++differing;
      if (NearEdge(reference, x, y, edgeStep) || NearEdge(other, x, y, edgeStep)) {
        ++a.edgePixels;
        continue;
      }
      a.maxAwayFromEdges = std::max(a.maxAwayFromEdges, d);
    }
  const double total = static_cast<double>(reference.width) * reference.height;
  a.differingPercent = total > 0 ? 100.0 * static_cast<double>(differing) / total : 0.0;
  a.anyDifferencePercent = total > 0 ? 100.0 * static_cast<double>(any) / total : 0.0;
  return a;
}
