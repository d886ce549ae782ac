#include "refdevice/rasterizer.h"

#include "refdevice/band_rasterizer.h"

namespace refdev {

RasterizerKind DefaultRasterizerKind() { return RasterizerKind::kBand; }

std::unique_ptr<Rasterizer> MakeRasterizer(RasterizerKind kind) {
  switch (kind) {
    case RasterizerKind::kBand:
      break;
  }
  return std::make_unique<BandRasterizer>();
}

}  // namespace refdev
