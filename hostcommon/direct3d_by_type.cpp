#include "hostcommon/direct3d_by_type.h"

Direct3DByDeviceType::Direct3DByDeviceType(std::vector<DeviceType> types)
    : types_(std::move(types)) {}

Direct3D8& Direct3DByDeviceType::For(D3DDEVTYPE type) {
  for (auto& [t, object] : types_)
    if (t == type) return *object;
  return First();
}
