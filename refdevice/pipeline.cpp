#include "refdevice/pipeline.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "refdevice/pixel_stage.h"
#include "refdevice/vertex_stage.h"

namespace refdev {

namespace {

constexpr int kSubBits = 4;  // sub-pixel precision of vertex positions
constexpr int kSub = 1 << kSubBits;
// Clip-space guard band: x and y are clipped at this many times w, which keeps
// screen coordinates small enough for exact fixed-point edge functions.
constexpr float kGuard = 4.0f;
// Guard band of pre-transformed vertices, in pixels beyond the viewport.
constexpr float kScreenGuard = 16384.0f;
constexpr float kMinW = 1e-6f;
constexpr int kMaxClipVerts = 16;
// Primitives per pass through the stages (even, for strip parity).
constexpr UINT kChunk = 4096;

// A vertex in screen space: x, y in pixels, z in 0..1, rhw; attributes
// multiplied by rhw so that they interpolate linearly on the screen.
struct ScreenVertex {
  float x, y, z, rhw;
  float attr[kMaxAttrs];
};

struct Triangle {
  ScreenVertex v[3];
  std::int64_t fx[3], fy[3];
  std::int64_t area;  // twice the area in sub-pixel units squared, > 0
  float flat[8];      // diffuse and specular of the first vertex, for flat shading
  int minX, maxX, minY, maxY;
};

struct Line {
  ScreenVertex v[2];
  float flat[8];
};

struct Point {
  ScreenVertex v;
  int px, py;
};

// A point covers the pixel square centred on it, [x - 0.5, x + 0.5), whose
// left and top edges belong to it like a triangle's: the centre it holds.
int PointPixel(float c) { return static_cast<int>(std::ceil(c - 0.5f)); }

bool Finite4(const float* p) {
  return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]) && std::isfinite(p[3]);
}

}  // namespace

struct Pipeline::Impl {
  VertexStage vs;
  PixelContext px;
  std::vector<Vertex> vertices;
  Vertex hub{};  // first vertex of a fan
  std::vector<Triangle> triangles;
  std::vector<Line> lines;
  std::vector<Point> points;
  D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
  int attrCount = kTex0;
  bool lastPixel = true;
  DWORD fillMode = D3DFILL_SOLID;
  // Attributes the pixel stage reads; the others stay 0 in the scratch record.
  int interp[kMaxAttrs] = {};
  int interpCount = 0;
  // Viewport in pixels.
  int vx0 = 0, vy0 = 0, vx1 = 0, vy1 = 0;
  float vpX = 0, vpY = 0, vpW = 0, vpH = 0, minZ = 0, maxZ = 1;

  // The band worker.
  int threads = 1;
  std::thread worker;
  std::mutex mutex;
  std::condition_variable wake, finished;
  std::uint64_t posted = 0, completed = 0;
  bool stopping = false;
  int bandY0[2] = {}, bandY1[2] = {};

  Impl() {
    threads = std::thread::hardware_concurrency() >= 2 ? 2 : 1;
    if (threads == 2) StartWorker();
  }
  ~Impl() { StopWorker(); }

  void StartWorker() {
    if (worker.joinable()) return;
    stopping = false;
    worker = std::thread([this] { WorkerLoop(); });
  }
  void StopWorker() {
    if (!worker.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    wake.notify_one();
    worker.join();
  }
  void WorkerLoop() {
    std::uint64_t seen = 0;
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait(lock, [&] { return stopping || posted != seen; });
        if (stopping) return;
        seen = posted;
      }
      RasterBand(bandY0[1], bandY1[1]);
      {
        std::lock_guard<std::mutex> lock(mutex);
        completed = seen;
      }
      finished.notify_one();
    }
  }

  void Draw(const DeviceState& state, D3DPRIMITIVETYPE t, UINT count, const std::uint8_t* data,
            UINT vertexCount, UINT stride);
  void Assemble(const DeviceState& state, UINT count);
  void AddTriangle(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& flat,
                   DWORD cull);
  // `edges`: the triangle's edges that lie on its primitive's outline (bit 0
  // a-b, bit 1 b-c, bit 2 c-a), the ones a wireframe draws.
  void SetupTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                     const Vertex& flat, DWORD cull, unsigned edges = 7);
  void SetupFan(const ScreenVertex* s, int n, const Vertex& flat, DWORD cull);
  void AddLine(const Vertex& a, const Vertex& b);
  void AddPoint(const Vertex& a);
  void Project(const Vertex& in, ScreenVertex& out) const;
  void ScreenFromPretransformed(const Vertex& in, ScreenVertex& out) const;
  void Rasterize();
  void RasterBand(int y0, int y1);
  void RasterTriangle(const Triangle& t, int y0, int y1, float* scratch) const;
  void RasterLine(const Line& l, int y0, int y1, float* scratch) const;
  // `dwdx`, `dwdy`: how the weights change along screen x and y (null: not at all).
  void ShadeAt(int x, int y, const ScreenVertex* v, const float* w, int n, const float* flat,
               float* scratch, const float* dwdx = nullptr, const float* dwdy = nullptr) const;
};

Pipeline::Pipeline() : impl_(std::make_unique<Impl>()) {}
Pipeline::~Pipeline() = default;

void Pipeline::SetThreads(int threads) {
  impl_->threads = threads >= 2 ? 2 : 1;
  if (impl_->threads == 2)
    impl_->StartWorker();
  else
    impl_->StopWorker();
}

int Pipeline::Threads() const { return impl_->threads; }

void Pipeline::Draw(const DeviceState& state, D3DPRIMITIVETYPE type, UINT primitiveCount,
                    const std::uint8_t* data, UINT vertexCount, UINT stride) {
  impl_->Draw(state, type, primitiveCount, data, vertexCount, stride);
}

void Pipeline::Impl::Draw(const DeviceState& state, D3DPRIMITIVETYPE t, UINT count,
                          const std::uint8_t* data, UINT vertexCount, UINT stride) {
  type = t;
  vs.Begin(state);
  attrCount = vs.attrCount;
  BuildPixelContext(state, vs, px);
  lastPixel = state.rs[D3DRS_LASTPIXEL] != 0;
  fillMode = state.rs[D3DRS_FILLMODE];
  interpCount = 0;
  const bool specular = NeedsSpecular(px);
  for (int k = 0; k < attrCount; ++k) {
    if (k >= kSpecR && k <= kSpecA && !specular) continue;
    if (k == kFogDepth && !NeedsFogDepth(px)) continue;
    interp[interpCount++] = k;
  }
  const D3DVIEWPORT8& vp = state.viewport;
  vx0 = static_cast<int>(vp.X);
  vy0 = static_cast<int>(vp.Y);
  vx1 = std::min(vx0 + static_cast<int>(vp.Width), state.target->width);
  vy1 = std::min(vy0 + static_cast<int>(vp.Height), state.target->height);
  vpX = static_cast<float>(vp.X);
  vpY = static_cast<float>(vp.Y);
  vpW = static_cast<float>(vp.Width);
  vpH = static_cast<float>(vp.Height);
  minZ = vp.MinZ;
  maxZ = vp.MaxZ;

  // Primitives go through the stages in chunks, so that the buffers stay
  // small whatever the draw's size; pixels see the primitives in order.
  (void)vertexCount;
  const auto vertexAt = [&](UINT i) { return data + static_cast<std::size_t>(i) * stride; };
  if (type == D3DPT_TRIANGLEFAN) vs.Process(vertexAt(0), hub);
  for (UINT done = 0; done < count;) {
    const UINT n = std::min(kChunk, count - done);
    UINT first = 0, used = 0;
    switch (type) {
      case D3DPT_POINTLIST:
        first = done;
        used = n;
        break;
      case D3DPT_LINELIST:
        first = 2 * done;
        used = 2 * n;
        break;
      case D3DPT_LINESTRIP:
        first = done;
        used = n + 1;
        break;
      case D3DPT_TRIANGLELIST:
        first = 3 * done;
        used = 3 * n;
        break;
      case D3DPT_TRIANGLESTRIP:
        first = done;
        used = n + 2;
        break;
      default:
        first = done + 1;
        used = n + 1;
        break;  // fan: after the hub
    }
    if (vertices.size() < used) vertices.resize(used);
    for (UINT i = 0; i < used; ++i) vs.Process(vertexAt(first + i), vertices[i]);

    triangles.clear();
    lines.clear();
    points.clear();
    Assemble(state, n);
    Rasterize();
    done += n;
  }
}

void Pipeline::Impl::Assemble(const DeviceState& state, UINT count) {
  const DWORD cull = state.rs[D3DRS_CULLMODE];
  const Vertex* v = vertices.data();
  switch (type) {
    case D3DPT_TRIANGLELIST:
      for (UINT i = 0; i < count; ++i)
        AddTriangle(v[3 * i], v[3 * i + 1], v[3 * i + 2], v[3 * i], cull);
      break;
    case D3DPT_TRIANGLESTRIP:
      // Odd triangles are taken in reversed order so every triangle of the strip
      // keeps the winding of the first; the flat colour is still the first
      // vertex of each triangle. Chunks hold an even number of triangles, so
      // the parity here is the strip's.
      for (UINT i = 0; i < count; ++i) {
        if (i % 2 == 0)
          AddTriangle(v[i], v[i + 1], v[i + 2], v[i], cull);
        else
          AddTriangle(v[i + 1], v[i], v[i + 2], v[i], cull);
      }
      break;
    case D3DPT_TRIANGLEFAN:
      // The hub is kept apart; v holds the vertices after it.
      for (UINT i = 0; i < count; ++i) AddTriangle(hub, v[i], v[i + 1], v[i], cull);
      break;
    case D3DPT_LINELIST:
      for (UINT i = 0; i < count; ++i) AddLine(v[2 * i], v[2 * i + 1]);
      break;
    case D3DPT_LINESTRIP:
      for (UINT i = 0; i < count; ++i) AddLine(v[i], v[i + 1]);
      break;
    case D3DPT_POINTLIST:
      for (UINT i = 0; i < count; ++i) AddPoint(v[i]);
      break;
  }
}

void Pipeline::Impl::Project(const Vertex& in, ScreenVertex& out) const {
  const float rhw = 1.0f / in.pos[3];
  out.x = vpX + (1.0f + in.pos[0] * rhw) * vpW * 0.5f;
  out.y = vpY + (1.0f - in.pos[1] * rhw) * vpH * 0.5f;
  out.z = minZ + in.pos[2] * rhw * (maxZ - minZ);
  out.rhw = rhw;
  for (int i = 0; i < attrCount; ++i) out.attr[i] = in.attr[i] * rhw;
}

void Pipeline::Impl::ScreenFromPretransformed(const Vertex& in, ScreenVertex& out) const {
  out.x = in.pos[0];
  out.y = in.pos[1];
  out.z = in.pos[2];
  // An unusable rhw interpolates without perspective rather than failing.
  const float rhw = in.pos[3];
  out.rhw = (rhw > 0.0f && std::isfinite(rhw) && std::isfinite(1.0f / rhw)) ? rhw : 1.0f;
  for (int i = 0; i < attrCount; ++i) out.attr[i] = in.attr[i] * out.rhw;
}

namespace {

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

void Pipeline::Impl::AddTriangle(const Vertex& a, const Vertex& b, const Vertex& c,
                                 const Vertex& flat, DWORD cull) {
  if (!Finite4(a.pos) || !Finite4(b.pos) || !Finite4(c.pos)) return;
  if (vs.layout.pretransformed) {
    ScreenVertex s[3];
    ScreenFromPretransformed(a, s[0]);
    ScreenFromPretransformed(b, s[1]);
    ScreenFromPretransformed(c, s[2]);
    const float x0 = static_cast<float>(vx0) - kScreenGuard,
                x1 = static_cast<float>(vx1) + kScreenGuard;
    const float y0 = static_cast<float>(vy0) - kScreenGuard,
                y1 = static_cast<float>(vy1) + kScreenGuard;
    bool inside = true;
    for (const auto& v : s)
      for (int p = 0; p < 4; ++p) inside = inside && ScreenDistance(p, v, x0, y0, x1, y1) >= 0.0f;
    if (inside) {
      SetupTriangle(s[0], s[1], s[2], flat, cull);
      return;
    }
    ScreenVertex bufA[kMaxClipVerts], bufB[kMaxClipVerts];
    std::copy(s, s + 3, bufA);
    int n = 3;
    ScreenVertex* in = bufA;
    ScreenVertex* out = bufB;
    for (int p = 0; p < 4 && n >= 3; ++p) {
      n = ClipPolygon(in, n, out, attrCount,
                      [&](const ScreenVertex& v) { return ScreenDistance(p, v, x0, y0, x1, y1); });
      std::swap(in, out);
    }
    SetupFan(in, n, flat, cull);
    return;
  }

  const unsigned ca = Outcode(a.pos), cb = Outcode(b.pos), cc = Outcode(c.pos);
  if (ca & cb & cc) return;  // wholly outside one plane
  if ((ca | cb | cc) == 0) {
    ScreenVertex s[3];
    Project(a, s[0]);
    Project(b, s[1]);
    Project(c, s[2]);
    SetupTriangle(s[0], s[1], s[2], flat, cull);
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
    n = ClipPolygon(in, n, out, attrCount,
                    [p](const Vertex& v) { return PlaneDistance(p, v.pos); });
    std::swap(in, out);
  }
  if (n < 3) return;
  ScreenVertex s[kMaxClipVerts];
  for (int i = 0; i < n; ++i) Project(in[i], s[i]);
  SetupFan(s, n, flat, cull);
}

void Pipeline::Impl::SetupFan(const ScreenVertex* s, int n, const Vertex& flat, DWORD cull) {
  // A clipped polygon, as a fan; only its outline counts as edges.
  for (int i = 1; i + 1 < n; ++i) {
    const unsigned edges = 2u | (i == 1 ? 1u : 0u) | (i + 2 == n ? 4u : 0u);
    SetupTriangle(s[0], s[i], s[i + 1], flat, cull, edges);
  }
}

void Pipeline::Impl::SetupTriangle(const ScreenVertex& a, const ScreenVertex& b,
                                   const ScreenVertex& c, const Vertex& flat, DWORD cull,
                                   unsigned edges) {
  const ScreenVertex* v[3] = {&a, &b, &c};
  std::int64_t fx[3], fy[3];
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(v[i]->x) || !std::isfinite(v[i]->y) || !std::isfinite(v[i]->z)) return;
    // Clipping bounds the coordinates; this bound only guards against
    // rounding at the guard band.
    if (std::fabs(v[i]->x) > 1e6f || std::fabs(v[i]->y) > 1e6f) return;
    fx[i] = std::llrint(static_cast<double>(v[i]->x) * kSub);
    fy[i] = std::llrint(static_cast<double>(v[i]->y) * kSub);
  }
  // Positive area: clockwise on the screen (y grows downwards).
  std::int64_t area = (fx[1] - fx[0]) * (fy[2] - fy[0]) - (fx[2] - fx[0]) * (fy[1] - fy[0]);
  if (area == 0) return;
  if (cull == D3DCULL_CCW && area < 0) return;
  if (cull == D3DCULL_CW && area > 0) return;
  if (fillMode == D3DFILL_WIREFRAME || fillMode == D3DFILL_POINT) {
    // Faces that survive culling are drawn as their edges or their corners;
    // each outline edge brings its starting corner, so that the corners of a
    // clipped polygon are drawn once.
    for (int i = 0; i < 3; ++i) {
      if (!(edges & (1u << i))) continue;
      if (fillMode == D3DFILL_POINT) {
        Point& p = points.emplace_back();
        p.v = *v[i];
        p.px = PointPixel(v[i]->x);
        p.py = PointPixel(v[i]->y);
        if (p.px < vx0 || p.px >= vx1 || p.py < vy0 || p.py >= vy1) points.pop_back();
      } else {
        Line& l = lines.emplace_back();
        l.v[0] = *v[i];
        l.v[1] = *v[(i + 1) % 3];
        for (int k = 0; k < 8; ++k) l.flat[k] = flat.attr[kDiffR + k];
      }
    }
    return;
  }
  if (area < 0) {
    std::swap(v[1], v[2]);
    std::swap(fx[1], fx[2]);
    std::swap(fy[1], fy[2]);
    area = -area;
  }
  Triangle& t = triangles.emplace_back();
  for (int i = 0; i < 3; ++i) {
    t.v[i].x = v[i]->x;
    t.v[i].y = v[i]->y;
    t.v[i].z = v[i]->z;
    t.v[i].rhw = v[i]->rhw;
    std::memcpy(t.v[i].attr, v[i]->attr, sizeof(float) * static_cast<std::size_t>(attrCount));
    t.fx[i] = fx[i];
    t.fy[i] = fy[i];
  }
  t.area = area;
  for (int i = 0; i < 8; ++i) t.flat[i] = flat.attr[kDiffR + i];
  const std::int64_t minFx = std::min({fx[0], fx[1], fx[2]}),
                     maxFx = std::max({fx[0], fx[1], fx[2]});
  const std::int64_t minFy = std::min({fy[0], fy[1], fy[2]}),
                     maxFy = std::max({fy[0], fy[1], fy[2]});
  // Pixel centres on integer coordinates: the first centre at or after the
  // minimum, the last at or before the maximum.
  t.minX = static_cast<int>(std::max<std::int64_t>(vx0, (minFx + kSub - 1) >> kSubBits));
  t.maxX = static_cast<int>(std::min<std::int64_t>(vx1 - 1, maxFx >> kSubBits));
  t.minY = static_cast<int>(std::max<std::int64_t>(vy0, (minFy + kSub - 1) >> kSubBits));
  t.maxY = static_cast<int>(std::min<std::int64_t>(vy1 - 1, maxFy >> kSubBits));
  if (t.minX > t.maxX || t.minY > t.maxY) triangles.pop_back();
}

void Pipeline::Impl::AddLine(const Vertex& a, const Vertex& b) {
  if (!Finite4(a.pos) || !Finite4(b.pos)) return;
  Line l;
  for (int i = 0; i < 8; ++i) l.flat[i] = a.attr[kDiffR + i];
  if (vs.layout.pretransformed) {
    ScreenFromPretransformed(a, l.v[0]);
    ScreenFromPretransformed(b, l.v[1]);
    const float lim = static_cast<float>(std::max(vx1, vy1)) + kScreenGuard;
    // Too far to step exactly, or not a position at all (NaN fails both).
    for (const auto& v : l.v)
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
    Lerp(a, b, t0, attrCount, ca);
    Lerp(a, b, t1, attrCount, cb);
    Project(ca, l.v[0]);
    Project(cb, l.v[1]);
    // As for points: a w barely past the clip plane can still throw the ends
    // out of range (or make them NaN), where stepping would overflow.
    for (const auto& v : l.v)
      if (!(std::fabs(v.x) < 1e6f && std::fabs(v.y) < 1e6f)) return;
  }
  lines.push_back(l);
}

void Pipeline::Impl::AddPoint(const Vertex& a) {
  if (!Finite4(a.pos)) return;
  Point p;
  if (vs.layout.pretransformed) {
    ScreenFromPretransformed(a, p.v);
  } else {
    for (int i = 0; i < 3; ++i)
      if (PlaneDistance(i, a.pos) < 0.0f) return;  // near, far, w
    Project(a, p.v);
  }
  if (!(std::fabs(p.v.x) < 1e6f && std::fabs(p.v.y) < 1e6f)) return;
  p.px = PointPixel(p.v.x);
  p.py = PointPixel(p.v.y);
  if (p.px < vx0 || p.px >= vx1 || p.py < vy0 || p.py >= vy1) return;
  points.push_back(p);
}

void Pipeline::Impl::Rasterize() {
  if (triangles.empty() && lines.empty() && points.empty()) return;
  const int height = vy1 - vy0;
  if (threads < 2 || height < 2 || !worker.joinable()) {
    RasterBand(vy0, vy1);
    return;
  }
  const int mid = vy0 + height / 2;
  bandY0[0] = vy0;
  bandY1[0] = mid;
  bandY0[1] = mid;
  bandY1[1] = vy1;
  std::uint64_t ticket;
  {
    std::lock_guard<std::mutex> lock(mutex);
    ticket = ++posted;
  }
  wake.notify_one();
  RasterBand(bandY0[0], bandY1[0]);
  std::unique_lock<std::mutex> lock(mutex);
  finished.wait(lock, [&] { return completed == ticket; });
}

void Pipeline::Impl::RasterBand(int y0, int y1) {
  float scratch[kPixelAttrs] = {};
  for (const Triangle& t : triangles) RasterTriangle(t, y0, y1, scratch);
  for (const Line& l : lines) RasterLine(l, y0, y1, scratch);
  for (const Point& p : points) {
    if (p.py < y0 || p.py >= y1) continue;
    const float w = 1.0f;
    ShadeAt(p.px, p.py, &p.v, &w, 1, nullptr, scratch);
  }
}

void Pipeline::Impl::ShadeAt(int x, int y, const ScreenVertex* v, const float* w, int n,
                             const float* flat, float* scratch, const float* dwdx,
                             const float* dwdy) const {
  float z = 0.0f;
  for (int i = 0; i < n; ++i) z += w[i] * v[i].z;
  if (DepthRejects(px, x, y, z)) return;
  float rhw = 0.0f;
  for (int i = 0; i < n; ++i) rhw += w[i] * v[i].rhw;
  const float inv = rhw > 0.0f ? 1.0f / rhw : 0.0f;
  for (int j = 0; j < interpCount; ++j) {
    const int k = interp[j];
    float s = 0.0f;
    for (int i = 0; i < n; ++i) s += w[i] * v[i].attr[k];
    scratch[k] = s * inv;
  }
  if (px.needDerivatives) {
    // u = A / W with A and W linear on the screen: du = (dA - u dW) / W.
    float dWdx = 0.0f, dWdy = 0.0f;
    if (dwdx != nullptr)
      for (int i = 0; i < n; ++i) {
        dWdx += dwdx[i] * v[i].rhw;
        dWdy += dwdy[i] * v[i].rhw;
      }
    for (int k = kTex0; k < attrCount; ++k) {
      float dAdx = 0.0f, dAdy = 0.0f;
      if (dwdx != nullptr)
        for (int i = 0; i < n; ++i) {
          dAdx += dwdx[i] * v[i].attr[k];
          dAdy += dwdy[i] * v[i].attr[k];
        }
      scratch[DerivativeSlot(k)] = (dAdx - scratch[k] * dWdx) * inv;
      scratch[DerivativeSlot(k) + 1] = (dAdy - scratch[k] * dWdy) * inv;
    }
  }
  if (flat != nullptr && px.flat)
    for (int k = 0; k < 8; ++k) scratch[kDiffR + k] = flat[k];
  ShadePixel(px, x, y, z, scratch);
}

void Pipeline::Impl::RasterTriangle(const Triangle& t, int y0, int y1, float* scratch) const {
  const int minY = std::max(t.minY, y0), maxY = std::min(t.maxY, y1 - 1);
  if (minY > maxY) return;
  // Edge k is opposite vertex k: from vertex k+1 to vertex k+2.
  std::int64_t stepX[3], stepY[3], rowStart[3], bias[3];
  const std::int64_t sx = static_cast<std::int64_t>(t.minX) * kSub;
  const std::int64_t sy = static_cast<std::int64_t>(minY) * kSub;
  for (int k = 0; k < 3; ++k) {
    const int a = (k + 1) % 3, b = (k + 2) % 3;
    const std::int64_t dx = t.fx[b] - t.fx[a], dy = t.fy[b] - t.fy[a];
    // Top-left rule: pixels exactly on a top or left edge belong to the triangle.
    const bool topLeft = (dy == 0 && dx > 0) || dy < 0;
    bias[k] = topLeft ? 0 : 1;
    rowStart[k] = dx * (sy - t.fy[a]) - dy * (sx - t.fx[a]) - bias[k];
    stepX[k] = -dy * kSub;
    stepY[k] = dx * kSub;
  }
  const double invArea = 1.0 / static_cast<double>(t.area);
  // Weight changes per pixel step; the third weight is one minus the others.
  float dwdx[3], dwdy[3];
  for (int k = 0; k < 2; ++k) {
    dwdx[k] = static_cast<float>(static_cast<double>(stepX[k]) * invArea);
    dwdy[k] = static_cast<float>(static_cast<double>(stepY[k]) * invArea);
  }
  dwdx[2] = -dwdx[0] - dwdx[1];
  dwdy[2] = -dwdy[0] - dwdy[1];
  for (int y = minY; y <= maxY; ++y) {
    std::int64_t e0 = rowStart[0], e1 = rowStart[1], e2 = rowStart[2];
    for (int x = t.minX; x <= t.maxX; ++x) {
      if ((e0 | e1 | e2) >= 0) {
        // Undo the fill-rule bias for the weights.
        const float w0 = static_cast<float>(static_cast<double>(e0 + bias[0]) * invArea);
        const float w1 = static_cast<float>(static_cast<double>(e1 + bias[1]) * invArea);
        const float w[3] = {w0, w1, 1.0f - w0 - w1};
        ShadeAt(x, y, t.v, w, 3, t.flat, scratch, dwdx, dwdy);
      }
      e0 += stepX[0];
      e1 += stepX[1];
      e2 += stepX[2];
    }
    rowStart[0] += stepY[0];
    rowStart[1] += stepY[1];
    rowStart[2] += stepY[2];
  }
}

void Pipeline::Impl::RasterLine(const Line& l, int y0, int y1, float* scratch) const {
  const ScreenVertex& a = l.v[0];
  const ScreenVertex& b = l.v[1];
  const float dx = b.x - a.x, dy = b.y - a.y;
  const bool xMajor = std::fabs(dx) >= std::fabs(dy);
  const float major0 = xMajor ? a.x : a.y, major1 = xMajor ? b.x : b.y;
  const float dMajor = major1 - major0;
  // Pixel centres from the start (included) to the end (excluded), stepping
  // along the major axis; the end pixel is added when LASTPIXEL asks for it.
  const int first = PointPixel(major0);
  const int last = PointPixel(major1);
  const int dir = last >= first ? 1 : -1;
  const int count = std::abs(last - first) + (lastPixel ? 1 : 0);
  for (int i = 0; i < count; ++i) {
    const int m = first + dir * i;
    float t = dMajor != 0.0f ? (static_cast<float>(m) - major0) / dMajor : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    const float minor = xMajor ? a.y + dy * t : a.x + dx * t;
    const int n = PointPixel(minor);
    const int x = xMajor ? m : n, y = xMajor ? n : m;
    if (x < vx0 || x >= vx1 || y < std::max(vy0, y0) || y >= std::min(vy1, y1)) continue;
    const float w[2] = {1.0f - t, t};
    ShadeAt(x, y, l.v, w, 2, l.flat, scratch);
  }
}

}  // namespace refdev
