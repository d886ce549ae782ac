#include "replay/ref_replay.h"

#include "refdevice/ref_device.h"
#include "refdevice/ref_direct3d.h"
#include "scene/format.h"

namespace scene {

bool ReplayToImage(const Scene& scene, D3DDEVTYPE type, Image& image, std::string* error) {
  RefDirect3D8 d3d;
  Ref<Direct3DDevice8> device;
  const HRESULT hr = CreateSceneDevice(d3d, type, device);
  if (hr != D3D_OK) {
    if (error) {
      *error = type == D3DDEVTYPE_HAL && hr == D3DERR_NOTAVAILABLE
                   ? "no hardware device is available on this system (D3DERR_NOTAVAILABLE)"
                   : "CreateDevice failed (" + HexWord(static_cast<DWORD>(hr)) + ")";
    }
    return false;
  }
  if (RunScene(*device, scene, error) != D3D_OK) return false;
  const auto* ref = dynamic_cast<const RefDevice*>(device.get());
  if (!ref) {
    if (error) *error = "this device's back buffer cannot be read";
    return false;
  }
  image = ImageFromFrame(ref->BackBuffer());
  if (image.pixels.empty()) {
    if (error) *error = "the back buffer is in a format that cannot be written as an image";
    return false;
  }
  return true;
}

}  // namespace scene
