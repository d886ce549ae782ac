#include "refdevice/front/clip_stage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace refdev {

namespace {

// Clip-space guard band: x and y are clipped at this many times w, which keeps
// screen coordinates small enough for exact fixed-point edge functions.
constexpr float kGuard = 4.0f;
// Guard band of pre-transformed vertices, in pixels beyond the viewport.
constexpr float kScreenGuard = 16384.0f;
constexpr float kMinW = 1e-6f;
constexpr int kMaxClipVerts = 16;

bool Finite4(const float* p) {
  return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]) && std::isfinite(p[3]);
}

// Signed distances to the clip planes of a homogeneous position; inside >= 0.
constexpr int kPlaneCount = 7;
inline float PlaneDistance(int plane, const float* p) {
  switch (plane) {
    case 0:
      return p[2];  // near: z >= 0
    case 1:
      return p[3] - p[2];  // far: z <= w
    case 2:
      return p[3] - kMinW;  // w > 0
    case 3:
      return p[0] + kGuard * p[3];  // left
    case 4:
      return kGuard * p[3] - p[0];  // right
    case 5:
      return p[1] + kGuard * p[3];  // bottom
    default:
      return kGuard * p[3] - p[1];  // top
  }
}

inline unsigned Outcode(const float* p) {
  unsigned code = 0;
  for (int i = 0; i < kPlaneCount; ++i)
    if (PlaneDistance(i, p) < 0.0f) code |= 1u << i;
  return code;
}

// Screen planes of pre-transformed vertices (guard band around the viewport).
inline float ScreenDistance(int plane, const ScreenVertex& v, float x0, float y0, float x1,
                            float y1) {
  switch (plane) {
    case 0:
      return v.x - x0;
    case 1:
      return x1 - v.x;
    case 2:
      return v.y - y0;
    default:
      return y1 - v.y;
  }
}

void Lerp(const Vertex& a, const Vertex& b, float t, int attrs, Vertex& out) {
  for (int i = 0; i < 4; ++i) out.pos[i] = a.pos[i] + (b.pos[i] - a.pos[i]) * t;
  for (int i = 0; i < attrs; ++i) out.attr[i] = a.attr[i] + (b.attr[i] - a.attr[i]) * t;
}

void Lerp(const ScreenVertex& a, const ScreenVertex& b, float t, int attrs, ScreenVertex& out) {
  out.x = a.x + (b.x - a.x) * t;
  out.y = a.y + (b.y - a.y) * t;
  out.z = a.z + (b.z - a.z) * t;
  out.rhw = a.rhw + (b.rhw - a.rhw) * t;
  for (int i = 0; i < attrs; ++i) out.attr[i] = a.attr[i] + (b.attr[i] - a.attr[i]) * t;
}

// Sutherland-Hodgman against one plane; `dist` gives signed distances.
template <class V, class Dist>
int ClipPolygon(const V* in, int n, V* out, int attrs, Dist dist) {
  int m = 0;
  for (int i = 0; i < n; ++i) {
    const V& a = in[i];
    const V& b = in[(i + 1) % n];
    const float da = dist(a), db = dist(b);
    if (da >= 0.0f) out[m++] = a;
    if ((da >= 0.0f) != (db >= 0.0f) && m < kMaxClipVerts) {
      // Always interpolate from the inside vertex, so that an edge shared by
      // two triangles (walked in opposite directions) clips to the same point.
      if (da >= 0.0f)
        Lerp(a, b, da / (da - db), attrs, out[m++]);
      else
        Lerp(b, a, db / (db - da), attrs, out[m++]);
    }
    if (m >= kMaxClipVerts) break;
  }
  return m;
}

}  // namespace

void ClipStage::Begin(const DeviceState& state, const VertexStage& vs, const PixelRect& viewport,
                      SetupStage& out) {
  out_ = &out;
  pretransformed_ = vs.layout.pretransformed;
  attrCount_ = vs.attrCount;
  viewport_ = viewport;
  const D3DVIEWPORT8& vp = state.viewport;
  vpX_ = static_cast<float>(vp.X);
  vpY_ = static_cast<float>(vp.Y);
  vpW_ = static_cast<float>(vp.Width);
  vpH_ = static_cast<float>(vp.Height);
  minZ_ = vp.MinZ;
  maxZ_ = vp.MaxZ;
}

void ClipStage::Project(const Vertex& in, ScreenVertex& out) const {
  const float rhw = 1.0f / in.pos[3];
  out.x = vpX_ + (1.0f + in.pos[0] * rhw) * vpW_ * 0.5f;
  out.y = vpY_ + (1.0f - in.pos[1] * rhw) * vpH_ * 0.5f;
  out.z = minZ_ + in.pos[2] * rhw * (maxZ_ - minZ_);
  out.rhw = rhw;
  // The colours (always there) in a loop of fixed length through a local
  // copy, which the compiler turns into vector multiplies; then the rest.
  static_assert(kSpecA + 1 == 8 && kTex0 > kSpecA);
  float colours[8];
  for (int i = 0; i < 8; ++i) colours[i] = in.attr[i] * rhw;
  std::memcpy(out.attr, colours, sizeof colours);
  for (int i = 8; i < attrCount_; ++i) out.attr[i] = in.attr[i] * rhw;
}

void ClipStage::ScreenFromPretransformed(const Vertex& in, ScreenVertex& out) const {
  out.x = in.pos[0];
  out.y = in.pos[1];
  out.z = in.pos[2];
  // An unusable rhw interpolates without perspective rather than failing.
  const float rhw = in.pos[3];
  out.rhw = (rhw > 0.0f && std::isfinite(rhw) && std::isfinite(1.0f / rhw)) ? rhw : 1.0f;
  for (int i = 0; i < attrCount_; ++i) out.attr[i] = in.attr[i] * out.rhw;
}

void ClipStage::Triangle(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& flat) {
  if (!Finite4(a.pos) || !Finite4(b.pos) || !Finite4(c.pos)) return;
  const float* flatColours = flat.attr + kDiffR;
  if (pretransformed_) {
    ScreenVertex s[3];
    ScreenFromPretransformed(a, s[0]);
    ScreenFromPretransformed(b, s[1]);
    ScreenFromPretransformed(c, s[2]);
    const float x0 = static_cast<float>(viewport_.x0) - kScreenGuard,
                x1 = static_cast<float>(viewport_.x1) + kScreenGuard;
    const float y0 = static_cast<float>(viewport_.y0) - kScreenGuard,
                y1 = static_cast<float>(viewport_.y1) + kScreenGuard;
    bool inside = true;
    for (const auto& v : s)
      for (int p = 0; p < 4; ++p) inside = inside && ScreenDistance(p, v, x0, y0, x1, y1) >= 0.0f;
    if (inside) {
      out_->Triangle(s[0], s[1], s[2], flatColours);
      return;
    }
    ScreenVertex bufA[kMaxClipVerts], bufB[kMaxClipVerts];
    std::copy(s, s + 3, bufA);
    int n = 3;
    ScreenVertex* in = bufA;
    ScreenVertex* out = bufB;
    for (int p = 0; p < 4 && n >= 3; ++p) {
      n = ClipPolygon(in, n, out, attrCount_,
                      [&](const ScreenVertex& v) { return ScreenDistance(p, v, x0, y0, x1, y1); });
      std::swap(in, out);
    }
    Fan(in, n, flat);
    return;
  }

  const unsigned ca = Outcode(a.pos), cb = Outcode(b.pos), cc = Outcode(c.pos);
  if (ca & cb & cc) return;  // wholly outside one plane
  if ((ca | cb | cc) == 0) {
    ScreenVertex s[3];
    Project(a, s[0]);
    Project(b, s[1]);
    Project(c, s[2]);
    out_->Triangle(s[0], s[1], s[2], flatColours);
    return;
  }
  Vertex bufA[kMaxClipVerts], bufB[kMaxClipVerts];
  bufA[0] = a;
  bufA[1] = b;
  bufA[2] = c;
  int n = 3;
  Vertex* in = bufA;
  Vertex* out = bufB;
  const unsigned planes = ca | cb | cc;
  for (int p = 0; p < kPlaneCount && n >= 3; ++p) {
    if (!(planes & (1u << p))) continue;
    n = ClipPolygon(in, n, out, attrCount_,
                    [p](const Vertex& v) { return PlaneDistance(p, v.pos); });
    std::swap(in, out);
  }
  if (n < 3) return;
  ScreenVertex s[kMaxClipVerts];
  for (int i = 0; i < n; ++i) Project(in[i], s[i]);
  Fan(s, n, flat);
}

void ClipStage::Fan(const ScreenVertex* s, int n, const Vertex& flat) {
  // A clipped polygon, as a fan; only its outline counts as edges.
  for (int i = 1; i + 1 < n; ++i) {
    const unsigned edges = 2u | (i == 1 ? 1u : 0u) | (i + 2 == n ? 4u : 0u);
    out_->Triangle(s[0], s[i], s[i + 1], flat.attr + kDiffR, edges);
  }
}

void ClipStage::Line(const Vertex& a, const Vertex& b) {
  if (!Finite4(a.pos) || !Finite4(b.pos)) return;
  ScreenVertex s[2];
  if (pretransformed_) {
    ScreenFromPretransformed(a, s[0]);
    ScreenFromPretransformed(b, s[1]);
    const float lim = static_cast<float>(std::max(viewport_.x1, viewport_.y1)) + kScreenGuard;
    // Too far to step exactly, or not a position at all (NaN fails both).
    for (const auto& v : s)
      if (!(std::fabs(v.x) <= lim && std::fabs(v.y) <= lim)) return;
  } else {
    // Parametric clipping against every plane.
    float t0 = 0.0f, t1 = 1.0f;
    for (int p = 0; p < kPlaneCount; ++p) {
      const float da = PlaneDistance(p, a.pos), db = PlaneDistance(p, b.pos);
      if (da < 0.0f && db < 0.0f) return;
      if (da < 0.0f)
        t0 = std::max(t0, da / (da - db));
      else if (db < 0.0f)
        t1 = std::min(t1, da / (da - db));
    }
    if (t0 > t1) return;
    Vertex ca, cb;
    Lerp(a, b, t0, attrCount_, ca);
    Lerp(a, b, t1, attrCount_, cb);
    Project(ca, s[0]);
    Project(cb, s[1]);
    // As for points: a w barely past the clip plane can still throw the ends
    // out of range (or make them NaN), where stepping would overflow.
    for (const auto& v : s)
      if (!(std::fabs(v.x) < 1e6f && std::fabs(v.y) < 1e6f)) return;
  }
  out_->Line(s[0], s[1], a.attr + kDiffR);
}

void ClipStage::Point(const Vertex& a) {
  if (!Finite4(a.pos)) return;
  ScreenVertex s;
  if (pretransformed_) {
    ScreenFromPretransformed(a, s);
  } else {
    for (int i = 0; i < 3; ++i)
      if (PlaneDistance(i, a.pos) < 0.0f) return;  // near, far, w
    Project(a, s);
  }
  out_->Point(s);
}

}  // namespace refdev
