// The reference device fed a random stream of device calls (device_calls.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/device_calls.h"
#include "refdevice/ref_direct3d.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  RefDirect3D8 d3d;  // headless
  D3DPRESENT_PARAMETERS pp = fuzz::PresentParameters(in);
  Ref<Direct3DDevice8> device;
  if (d3d.CreateDevice(0, D3DDEVTYPE_REF, 1, D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp, device) !=
      D3D_OK)
    return 0;
  fuzz::PlayDeviceCalls(in, *device);
  return 0;
}
