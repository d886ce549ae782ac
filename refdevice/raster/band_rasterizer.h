// The straightforward rasterizer: every primitive is drawn as soon as it is
// handed over, pixel by pixel over its bounding box, by the plain per-pixel
// code. With several threads (a pool's) the viewport is split into bands of
// rows and each thread draws every primitive's part in its own band, so each
// pixel still sees the primitives in order. It is the oracle the other back ends are
// compared with, so it stays simple.
#pragma once

#include <memory>

#include "refdevice/raster/rasterizer.h"

namespace refdev {

// Draw the part of one primitive that lies inside `clip` (which must lie
// inside the draw's viewport). Another back end may call these for the cases
// it has no faster code for. `scratch` holds kPixelAttrs floats.
void RasterTriangle(const DrawDescription& d, const SetupTriangle& t, const PixelRect& clip,
                    float* scratch);
void RasterLine(const DrawDescription& d, const SetupLine& l, const PixelRect& clip,
                float* scratch);
void RasterPoint(const DrawDescription& d, const SetupPoint& p, const PixelRect& clip,
                 float* scratch);
// The part of `clear` inside `clip`.
void ClearRect(const ClearCommand& clear, const PixelRect& clip);

class BandRasterizer final : public Rasterizer {
 public:
  // `threads` 0: DefaultThreadCount().
  explicit BandRasterizer(int threads = 0);
  ~BandRasterizer() override;
  BandRasterizer(const BandRasterizer&) = delete;
  BandRasterizer& operator=(const BandRasterizer&) = delete;

  void Clear(const ClearCommand& clear) override;
  void BeginDraw(const DrawDescription& draw) override;
  void Triangles(const SetupTriangle* triangles, std::size_t count) override;
  void Lines(const SetupLine* lines, std::size_t count) override;
  void Points(const SetupPoint* points, std::size_t count) override;
  void Finish() override {}
  void SetThreads(int threads) override;  // at most the pool's size, at least 1
  int Threads() const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace refdev
