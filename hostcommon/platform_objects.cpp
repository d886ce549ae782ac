#include "hostcommon/platform_objects.h"

#include "d3dx/d3dx8_object.h"

namespace {

class HostDirectX8 final : public DirectX8 {
 public:
  explicit HostDirectX8(DirectXMakers makers) : makers_(std::move(makers)) {}
  HRESULT Direct3DCreate(Ref<Direct3D8>& d3d) override { return makers_.direct3d(d3d); }
  HRESULT DirectInputCreate(Ref<DirectInput8>& di) override { return makers_.directInput(di); }

 private:
  DirectXMakers makers_;
};

class HostPlatformObjects final : public PlatformObjects {
 public:
  explicit HostPlatformObjects(DirectXMakers makers) : makers_(std::move(makers)) {}
  HRESULT NewDirectX8(Ref<DirectX8>& dx) override {
    dx = std::make_shared<HostDirectX8>(makers_);
    return 0;
  }
  HRESULT NewD3DX8(Ref<D3DX8>& d3dx) override {
    d3dx = std::make_shared<RuntimeD3DX8>();
    return 0;
  }

 private:
  DirectXMakers makers_;
};

}  // namespace

std::unique_ptr<PlatformObjects> MakePlatformObjects(DirectXMakers makers) {
  return std::make_unique<HostPlatformObjects>(std::move(makers));
}
