// The display-mode search: the first adapter mode of the wanted size whose
// format fits the wanted depth.
#include "graphics/moduleDX8.h"
#include "graphics/platform_access.h"
#include "platform/checked.h"

namespace moduleDX8 {

namespace {

bool FitsDepth(std::int32_t depth, std::int32_t format) {
  if (depth == 16) return true;  // the first mode of the size, whatever its format
  if (depth == 32)
    return format == D3DFMT_R8G8B8 || format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
  return false;
}

}  // namespace

std::int32_t FindDisplayMode(std::int32_t Width, std::int32_t Height, std::int32_t Depth,
                             std::int32_t& Format) {
  Direct3D8& d3d = Use(D3D, "Direct3D8");
  const auto count = static_cast<std::int32_t>(d3d.GetAdapterModeCount(0));
  // An error the caller left pending (a failed desktop-mode query) counts.
  if (Err().Number != 0) return D3DERR_INVALIDCALL;

  D3DDISPLAYMODE mode{};
  const std::int32_t last = SubChecked(count, 1);
  for (std::int32_t i = 0; i <= last; ++i) {
    try {
      Check(d3d.EnumAdapterModes(0, static_cast<UINT>(i), mode), "Direct3D8");
    } catch (const RuntimeError&) {
      return Err().Number;  // pending; later modes are not looked at
    }
    if (static_cast<std::int32_t>(mode.Width) == Width &&
        static_cast<std::int32_t>(mode.Height) == Height && FitsDepth(Depth, mode.Format)) {
      Format = mode.Format;
      return 0;
    }
  }
  return D3DERR_INVALIDDEVICE;
}

}  // namespace moduleDX8
