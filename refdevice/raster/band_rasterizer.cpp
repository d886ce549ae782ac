#include "refdevice/raster/band_rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/pixel_format.h"
#include "refdevice/pixel/pixel_stage.h"
#include "refdevice/raster/thread_pool.h"

namespace refdev {

void RasterTriangle(const DrawDescription& d, const SetupTriangle& t, const PixelRect& clip,
                    float* scratch) {
  const int minX = std::max(t.minX, clip.x0), maxX = std::min(t.maxX, clip.x1 - 1);
  const int minY = std::max(t.minY, clip.y0), maxY = std::min(t.maxY, clip.y1 - 1);
  if (minX > maxX || minY > maxY) return;
  std::int64_t row[3];
  for (int k = 0; k < 3; ++k) row[k] = EdgeAt(t.edge[k], t.minX, t.minY, minX, minY);
  for (int y = minY; y <= maxY; ++y) {
    std::int64_t e0 = row[0], e1 = row[1], e2 = row[2];
    for (int x = minX; x <= maxX; ++x) {
      if ((e0 | e1 | e2) >= 0) ShadeTrianglePixel(d, t, x, y, scratch);
      e0 += t.edge[0].stepX;
      e1 += t.edge[1].stepX;
      e2 += t.edge[2].stepX;
    }
    row[0] += t.edge[0].stepY;
    row[1] += t.edge[1].stepY;
    row[2] += t.edge[2].stepY;
  }
}

void RasterLine(const DrawDescription& d, const SetupLine& l, const PixelRect& clip,
                float* scratch) {
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
  const int count = std::abs(last - first) + (d.lastPixel ? 1 : 0);
  for (int i = 0; i < count; ++i) {
    const int m = first + dir * i;
    float t = dMajor != 0.0f ? (static_cast<float>(m) - major0) / dMajor : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    const float minor = xMajor ? a.y + dy * t : a.x + dx * t;
    const int n = PointPixel(minor);
    const int x = xMajor ? m : n, y = xMajor ? n : m;
    if (x < clip.x0 || x >= clip.x1 || y < clip.y0 || y >= clip.y1) continue;
    const float w[2] = {1.0f - t, t};
    ShadeVertexPixel(d, l.v, w, 2, l.flat, x, y, scratch);
  }
}

void RasterPoint(const DrawDescription& d, const SetupPoint& p, const PixelRect& clip,
                 float* scratch) {
  if (p.px < clip.x0 || p.px >= clip.x1 || p.py < clip.y0 || p.py >= clip.y1) return;
  const float w = 1.0f;
  ShadeVertexPixel(d, &p.v, &w, 1, nullptr, p.px, p.py, scratch);
}

void ClearRect(const ClearCommand& c, const PixelRect& clip) {
  const int x0 = std::max(c.rect.x0, clip.x0), x1 = std::min(c.rect.x1, clip.x1);
  const int y0 = std::max(c.rect.y0, clip.y0), y1 = std::min(c.rect.y1, clip.y1);
  if (x0 >= x1 || y0 >= y1) return;
  Surface& target = *c.target;
  std::uint8_t pixel[4] = {};
  EncodePixel(target.format, c.colour, pixel);
  const int bpp = BytesPerPixel(target.format);
  DepthBuffer* depth = c.depth;
  // The first row is filled pixel by pixel, the others copy it.
  const std::size_t spanBytes = static_cast<std::size_t>(x1 - x0) * bpp;
  const std::uint8_t* firstSpan = target.Row(y0) + static_cast<std::size_t>(x0) * bpp;
  for (int y = y0; y < y1; ++y) {
    if (c.flags & D3DCLEAR_TARGET) {
      std::uint8_t* span = target.Row(y) + static_cast<std::size_t>(x0) * bpp;
      if (y == y0)
        for (std::size_t i = 0; i < spanBytes; i += bpp) std::memcpy(span + i, pixel, bpp);
      else
        std::memcpy(span, firstSpan, spanBytes);
    }
    if (!(c.flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))) continue;
    const auto from = static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * depth->width + x0);
    const auto to = from + (x1 - x0);
    if (c.flags & D3DCLEAR_ZBUFFER) {
      if (!depth->d16.empty())
        std::fill(depth->d16.begin() + from, depth->d16.begin() + to,
                  static_cast<std::uint16_t>(c.depthValue));
      else
        std::fill(depth->d32.begin() + from, depth->d32.begin() + to, c.depthValue);
    }
    if (c.flags & D3DCLEAR_STENCIL)
      std::fill(depth->stencil.begin() + from, depth->stencil.begin() + to, c.stencil);
  }
}

struct BandRasterizer::Impl {
  DrawDescription draw;
  // The batch being drawn; only one kind is set at a time.
  const SetupTriangle* triangles = nullptr;
  const SetupLine* lines = nullptr;
  const SetupPoint* points = nullptr;
  std::size_t count = 0;
  explicit Impl(int n) : pool(n > 0 ? n : DefaultThreadCount()), threads(pool.Size()) {}

  ThreadPool pool;
  int threads;

  void DrawBand(const PixelRect& clip) {
    float scratch[kPixelAttrs] = {};
    for (std::size_t i = 0; i < count; ++i) {
      if (triangles) RasterTriangle(draw, triangles[i], clip, scratch);
      if (lines) RasterLine(draw, lines[i], clip, scratch);
      if (points) RasterPoint(draw, points[i], clip, scratch);
    }
  }

  // Draws the batch set above, one band of the viewport's rows per thread.
  void DrawBatch() {
    const PixelRect& vp = draw.viewport;
    const int height = vp.y1 - vp.y0;
    const int bands = std::clamp(height, 1, threads);
    pool.Run(bands, bands, [&](int band, int) {
      DrawBand({vp.x0, vp.y0 + height * band / bands, vp.x1, vp.y0 + height * (band + 1) / bands});
    });
    triangles = nullptr;
    lines = nullptr;
    points = nullptr;
    count = 0;
  }
};

BandRasterizer::BandRasterizer(int threads) : impl_(std::make_unique<Impl>(threads)) {}
BandRasterizer::~BandRasterizer() = default;

void BandRasterizer::Clear(const ClearCommand& clear) { ClearRect(clear, clear.rect); }

void BandRasterizer::BeginDraw(const DrawDescription& draw) { impl_->draw = draw; }

void BandRasterizer::Triangles(const SetupTriangle* triangles, std::size_t count) {
  impl_->triangles = triangles;
  impl_->count = count;
  impl_->DrawBatch();
}

void BandRasterizer::Lines(const SetupLine* lines, std::size_t count) {
  impl_->lines = lines;
  impl_->count = count;
  impl_->DrawBatch();
}

void BandRasterizer::Points(const SetupPoint* points, std::size_t count) {
  impl_->points = points;
  impl_->count = count;
  impl_->DrawBatch();
}

void BandRasterizer::SetThreads(int threads) {
  impl_->threads = std::clamp(threads, 1, impl_->pool.Size());
}

int BandRasterizer::Threads() const { return impl_->threads; }

}  // namespace refdev
