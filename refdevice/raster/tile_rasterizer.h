// The tiled rasterizer: the fast back end. Clears, draws and primitives are
// kept until Finish and sorted into 64x64 tiles, each with its own list of
// commands in the order they were handed over. Finish runs the tiles on a
// pool of worker threads; a tile belongs to one thread at a time, so every
// pixel sees its clears and primitives in order and the bytes do not depend
// on the thread count. Draws whose key has a specialised kernel
// (z16_lessequal_srcalpha32_kernel) take it; every other draw runs the band
// rasterizer's per-pixel code on the tile's part of each primitive.
#pragma once

#include <memory>

#include "refdevice/raster/rasterizer.h"

namespace refdev {

class TileRasterizer final : public Rasterizer {
 public:
  // `threads` 0: DefaultThreadCount(). Without `kernels` every draw runs the
  // plain per-pixel code (the same pixels: for debugging the kernels).
  explicit TileRasterizer(int threads = 0, bool kernels = true);
  ~TileRasterizer() override;
  TileRasterizer(const TileRasterizer&) = delete;
  TileRasterizer& operator=(const TileRasterizer&) = delete;

  void Clear(const ClearCommand& clear) override;
  void BeginDraw(const DrawDescription& draw) override;
  void Triangles(const SetupTriangle* triangles, std::size_t count) override;
  void TriangleParts(const SetupTriangle* const* parts, const std::size_t* counts, int n) override;
  void Lines(const SetupLine* lines, std::size_t count) override;
  void Points(const SetupPoint* points, std::size_t count) override;
  void Finish() override;
  // At most the pool's size, at least 1.
  void SetThreads(int threads) override;
  int Threads() const override;
  ThreadPool* Pool() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace refdev
