// How closely two pictures of the same scene agree: the share of pixels that
// differ at all, and the largest channel difference away from triangle edges
// (where the two rasterizers may legitimately cover a pixel differently).
#pragma once

#include <cstdint>

#include "pictures/image.h"

struct Agreement {
  double differingPercent = 0.0;  // pixels with a channel off by more than the rounding, in %
  int maxAwayFromEdges = 0;       // largest channel difference off edges, 0..255
  std::int64_t edgePixels = 0;    // pixels counted as near an edge
  bool sameSize = true;
  double anyDifferencePercent = 0.0;  // pixels with a channel off at all, in %
};

// A pixel is near an edge when, in either picture, some pixel of its 3x3
// neighbourhood differs from it by more than `edgeStep` in a channel. Where
// the steps are smaller, covering a pixel or not cannot change it by more
// than the step either, so the off-edge bound holds there too.
// A pixel differs when a channel is off by more than `rounding` levels. The
// reference device rounds each blend product to 8 bits before adding them,
// OpenGL rounds the sum once, and a shader cannot see the destination to do
// otherwise: a blended pixel may come out one level apart.
constexpr int kBlendRounding = 1;
// What the hardware device must keep to on every scene.
constexpr double kMaxDifferingPercent = 0.5;
constexpr int kMaxOffEdge = 8;
Agreement CompareAgreement(const Image& reference, const Image& other, int edgeStep = 8,
                           int rounding = kBlendRounding);
inline bool WithinLimits(const Agreement& a) {
  return a.differingPercent <= kMaxDifferingPercent && a.maxAwayFromEdges <= kMaxOffEdge;
}
