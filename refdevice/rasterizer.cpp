#include "refdevice/rasterizer.h"

#include "refdevice/band_rasterizer.h"
#include "refdevice/tile_rasterizer.h"

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
