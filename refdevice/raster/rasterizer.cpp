#include "refdevice/raster/rasterizer.h"

#include "refdevice/raster/band_rasterizer.h"
#include "refdevice/raster/tile_rasterizer.h"

namespace refdev {

RasterizerKind DefaultRasterizerKind() { return RasterizerKind::kTiled; }

std::unique_ptr<Rasterizer> MakeRasterizer(RasterizerKind kind, const RasterizerOptions& options) {
  switch (kind) {
    case RasterizerKind::kBand:
      break;
    case RasterizerKind::kTiled:
      return std::make_unique<TileRasterizer>(options.threads, options.kernels);
  }
  return std::make_unique<BandRasterizer>(options.threads);
}

}  // namespace refdev
