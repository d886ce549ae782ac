#include "refdevice/raster/rasterizer.h"

#include "refdevice/raster/band_rasterizer.h"
#include "refdevice/raster/tile_rasterizer.h"

namespace refdev {

RasterizerKind DefaultRasterizerKind() { return RasterizerKind::kTiled; }

std::unique_ptr<Rasterizer> MakeRasterizer(RasterizerKind kind) {
  switch (kind) {
    case RasterizerKind::kBand:
      break;
    case RasterizerKind::kTiled:
      return std::make_unique<TileRasterizer>();
  }
  return std::make_unique<BandRasterizer>();
}

}  // namespace refdev
