#include "refdevice/front/setup_stage.h"

#include <algorithm>
#include <cmath>

namespace refdev {

namespace {

// The screen-space differences of a triangle's unsnapped vertices from its
// first, which every plane of the triangle shares.
struct PlaneBasis {
  float dx1, dy1, dx2, dy2, det;
};

// The plane through values v0, v1, v2 at the three vertices, in single
// precision: d/dx = (dv1 dy2 - dv2 dy1) / det, d/dy = (dx1 dv2 - dx2 dv1) / det.
Plane MakePlane(const PlaneBasis& b, float v0, float v1, float v2) {
  Plane p;
  p.at0 = v0;
  // A triangle whose snapped area is not zero can still have no area in
  // floats; it is then drawn with the first vertex's values.
  if (b.det == 0.0f) return p;
  const float d1 = v1 - v0, d2 = v2 - v0;
  p.ddx = (d1 * b.dy2 - d2 * b.dy1) / b.det;
  p.ddy = (b.dx1 * d2 - b.dx2 * d1) / b.det;
  return p;
}

}  // namespace

void SetupStage::Begin(const DrawDescription& d, DWORD cull, DWORD fillMode) {
  d_ = &d;
  cull_ = cull;
  fillMode_ = fillMode;
  Reset();
}

void SetupStage::Reset() {
  triangleCount_ = 0;
  lines_.clear();
  points_.clear();
}

void SetupStage::Triangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                          const float* flat, unsigned edges) {
  const ScreenVertex* v[3] = {&a, &b, &c};
  std::int64_t fx[3], fy[3];
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(v[i]->x) || !std::isfinite(v[i]->y) || !std::isfinite(v[i]->z)) return;
    // Clipping bounds the coordinates; this bound only guards against
    // rounding at the guard band, and keeps snapping exact.
    if (std::fabs(v[i]->x) > 1e6f || std::fabs(v[i]->y) > 1e6f) return;
    fx[i] = SnapX(v[i]->x);
    fy[i] = SnapY(v[i]->y);
  }
  // Positive area: clockwise on the screen (y grows downwards).
  std::int64_t area = (fx[1] - fx[0]) * (fy[2] - fy[0]) - (fx[2] - fx[0]) * (fy[1] - fy[0]);
  if (area == 0) return;
  if (cull_ == D3DCULL_CCW && area < 0) return;
  if (cull_ == D3DCULL_CW && area > 0) return;
  if (fillMode_ == D3DFILL_WIREFRAME || fillMode_ == D3DFILL_POINT) {
    // Faces that survive culling are drawn as their edges or their corners;
    // each outline edge brings its starting corner, so that the corners of a
    // clipped polygon are drawn once.
    for (int i = 0; i < 3; ++i) {
      if (!(edges & (1u << i))) continue;
      if (fillMode_ == D3DFILL_POINT)
        Point(*v[i]);
      else
        Line(*v[i], *v[(i + 1) % 3], flat);
    }
    return;
  }
  // Counter-clockwise triangles are turned round; the first vertex stays
  // first, and swapping the other two changes no plane.
  if (area < 0) {
    std::swap(v[1], v[2]);
    std::swap(fx[1], fx[2]);
    std::swap(fy[1], fy[2]);
  }

  const DrawDescription& d = *d_;
  const PixelRect& vp = d.viewport;
  const std::int64_t minFx = std::min({fx[0], fx[1], fx[2]});
  const std::int64_t maxFx = std::max({fx[0], fx[1], fx[2]});
  const std::int64_t minFy = std::min({fy[0], fy[1], fy[2]});
  const std::int64_t maxFy = std::max({fy[0], fy[1], fy[2]});
  // Pixel centres on integer coordinates: the first centre at or after the
  // minimum, the last at or before the maximum.
  const int minX =
      static_cast<int>(std::max<std::int64_t>(vp.x0, (minFx + kSubPixel - 1) >> kSubPixelBits));
  const int maxX = static_cast<int>(std::min<std::int64_t>(vp.x1 - 1, maxFx >> kSubPixelBits));
  const int minY =
      static_cast<int>(std::max<std::int64_t>(vp.y0, (minFy + kSubPixel - 1) >> kSubPixelBits));
  const int maxY = static_cast<int>(std::min<std::int64_t>(vp.y1 - 1, maxFy >> kSubPixelBits));
  if (minX > maxX || minY > maxY) return;

  if (triangleCount_ == triangles_.size()) triangles_.emplace_back();
  SetupTriangle& t = triangles_[triangleCount_++];
  t.minX = minX;
  t.maxX = maxX;
  t.minY = minY;
  t.maxY = maxY;
  const std::int64_t sx = static_cast<std::int64_t>(minX) * kSubPixel;
  const std::int64_t sy = static_cast<std::int64_t>(minY) * kSubPixel;
  for (int k = 0; k < 3; ++k) {
    // Edge k is opposite vertex k: from vertex k+1 to vertex k+2.
    const int from = (k + 1) % 3, to = (k + 2) % 3;
    const std::int64_t dx = fx[to] - fx[from], dy = fy[to] - fy[from];
    // Top-left rule: centres exactly on a top or left edge belong to the
    // triangle, those on the other edges do not.
    const bool topLeft = (dy == 0 && dx > 0) || dy < 0;
    t.edge[k].at0 = dx * (sy - fy[from]) - dy * (sx - fx[from]) - (topLeft ? 0 : 1);
    t.edge[k].stepX = -dy * kSubPixel;
    t.edge[k].stepY = dx * kSubPixel;
  }

  // Planes through the unsnapped vertices, from the first.
  const ScreenVertex& v0 = *v[0];
  const ScreenVertex& v1 = *v[1];
  const ScreenVertex& v2 = *v[2];
  t.refX = v0.x;
  t.refY = v0.y;
  PlaneBasis basis;
  basis.dx1 = v1.x - v0.x;
  basis.dy1 = v1.y - v0.y;
  basis.dx2 = v2.x - v0.x;
  basis.dy2 = v2.y - v0.y;
  basis.det = basis.dx1 * basis.dy2 - basis.dx2 * basis.dy1;
  t.z = MakePlane(basis, v0.z, v1.z, v2.z);
  t.rhw = MakePlane(basis, v0.rhw, v1.rhw, v2.rhw);
  for (int j = 0; j < d.interpCount; ++j) {
    const int k = d.interp[j];
    if (d.perspective[j])
      t.attr[j] = MakePlane(basis, v0.attr[k], v1.attr[k], v2.attr[k]);
    else
      t.attr[j] = Plane{flat[k - kDiffR], 0.0f, 0.0f};
  }
}

void SetupStage::Line(const ScreenVertex& a, const ScreenVertex& b, const float* flat) {
  SetupLine& l = lines_.emplace_back();
  l.v[0] = a;
  l.v[1] = b;
  std::copy(flat, flat + 8, l.flat);
}

void SetupStage::Point(const ScreenVertex& v) {
  if (!(std::fabs(v.x) < 1e6f && std::fabs(v.y) < 1e6f)) return;
  const int px = PointPixel(v.x), py = PointPixel(v.y);
  const PixelRect& vp = d_->viewport;
  if (px < vp.x0 || px >= vp.x1 || py < vp.y0 || py >= vp.y1) return;
  SetupPoint& p = points_.emplace_back();
  p.v = v;
  p.px = px;
  p.py = py;
}

}  // namespace refdev
