// The reference device fed a random stream of device calls (device_calls.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/device_calls.h"
#include "refdevice/ref_direct3d.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RefDirect3D8 d3d;  // headless
  fuzz::PlayOnNewDevice(data, size, d3d, D3DDEVTYPE_REF);
  return 0;
}
