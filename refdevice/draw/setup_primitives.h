// The primitives triangle set-up hands to a rasterizer: triangles as edge
// equations in fixed point and plane equations for everything interpolated,
// lines and points as screen-space vertices. The records are plain values; a
// rasterizer may copy them, and every back end must read them by the same
// arithmetic (PlaneAt, EdgeAt) so that all of them produce the same bytes.
#pragma once

#include <cmath>
#include <cstdint>

#include "refdevice/draw/attributes.h"

namespace refdev {

// Coverage is decided on positions snapped to 1/256 pixel. A position half
// way between two steps goes towards minus infinity in x and towards plus
// infinity in y. Pixel centres lie on integer coordinates.
constexpr int kSubPixelBits = 8;
constexpr int kSubPixel = 1 << kSubPixelBits;

// The ceiling and floor of `t` as integers, for |t| < 2^53: the conversion
// truncates towards zero and one comparison corrects it, without the library
// call std::ceil and std::floor cost on the baseline instruction set.
inline std::int64_t CeilToInt(double t) {
  const auto i = static_cast<std::int64_t>(t);
  return i + (static_cast<double>(i) < t ? 1 : 0);
}
inline std::int64_t FloorToInt(double t) {
  const auto i = static_cast<std::int64_t>(t);
  return i - (static_cast<double>(i) > t ? 1 : 0);
}

// Snapped coordinates in 1/256 pixel. Exact for |v| < 2^20: 256 v and the
// half step are exact in double precision.
inline std::int64_t SnapX(float x) { return CeilToInt(static_cast<double>(x) * kSubPixel - 0.5); }
inline std::int64_t SnapY(float y) { return FloorToInt(static_cast<double>(y) * kSubPixel + 0.5); }

// The pixel a point at screen coordinate `c` falls in, on either axis. A
// point covers the pixel square centred on it, [c - 0.5, c + 0.5), whose left
// and top edges belong to it like a triangle's: the centre it holds. Lines
// step from pixel to pixel by the same rule.
inline int PointPixel(float c) { return static_cast<int>(std::ceil(c - 0.5f)); }

// Half-open rectangle of pixels [x0, x1) x [y0, y1).
struct PixelRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// A quantity linear on the screen: `at0` at the triangle's reference point,
// changing by `ddx` per pixel to the right and `ddy` per pixel down.
struct Plane {
  float at0 = 0, ddx = 0, ddy = 0;
};

// The plane's value at offset (dx, dy) from the reference point, where dx and
// dy are the pixel centre's coordinates minus the reference point's, each
// formed as a float subtraction. Single precision, evaluated left to right,
// with no fused multiply-add: every back end must use exactly this.
inline float PlaneAt(const Plane& p, float dx, float dy) { return p.at0 + p.ddx * dx + p.ddy * dy; }

// An edge function in units of 1/65536 pixel squared (products of snapped
// coordinates): its value at the bounding box's first pixel centre (minX,
// minY) and its change per pixel step in x and in y. A pixel centre is
// inside the edge when the value there is >= 0; the top-left rule is already
// folded into `at0`, so no back end needs to know which edges are top or left.
struct Edge {
  std::int64_t at0 = 0, stepX = 0, stepY = 0;
};

// A triangle after culling, ready to rasterize.
struct SetupTriangle {
  // Edge k is opposite vertex k; a pixel centre is covered when all three
  // edge functions are >= 0 there.
  Edge edge[3];
  // Pixel centres the triangle can cover, inclusive, already inside the
  // viewport; never empty.
  int minX = 0, minY = 0, maxX = 0, maxY = 0;
  // The reference point of the planes: the first vertex as given, unsnapped.
  float refX = 0, refY = 0;
  // Depth after the viewport's depth range, linear on the screen (not
  // perspective-corrected), through the unsnapped vertices.
  Plane z;
  // 1/w, for perspective-correct attributes.
  Plane rhw;
  // Plane j belongs to attribute DrawDescription::interp[j]. For a slot the
  // description marks perspective it holds attribute * rhw, and the value at
  // a pixel is PlaneAt(attr) * (1.0f / PlaneAt(rhw)), 0 where that 1/w is not
  // positive; otherwise it holds the attribute itself (flat shading: a
  // constant). Slots from interpCount on are unused.
  Plane attr[kMaxAttrs];
};

// Edge function `e` of a triangle whose first pixel centre is (minX, minY),
// at pixel centre (x, y).
inline std::int64_t EdgeAt(const Edge& e, int minX, int minY, int x, int y) {
  return e.at0 + e.stepX * (x - minX) + e.stepY * (y - minY);
}

// A vertex in screen space: x, y in pixels, z in 0..1 after the depth range,
// rhw, and the attributes multiplied by rhw so that they interpolate linearly
// on the screen. Lines and points are handed over as these.
struct ScreenVertex {
  float x, y, z, rhw;
  float attr[kMaxAttrs];
};

// A line from v[0] towards v[1]; `flat` holds the diffuse and specular colour
// of its first vertex, for flat shading.
struct SetupLine {
  ScreenVertex v[2];
  float flat[8];
};

// A point: the pixel (px, py) it covers, inside the viewport, and its vertex.
struct SetupPoint {
  ScreenVertex v;
  int px, py;
};

}  // namespace refdev
