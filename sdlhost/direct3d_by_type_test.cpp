#include "sdlhost/direct3d_by_type.h"

#include <gtest/gtest.h>

namespace {

// Answers every question with its own mark, so a test sees who answered.
class Marked final : public Direct3D8 {
 public:
  explicit Marked(HRESULT mark) : mark_(mark) {}
  UINT GetAdapterCount() override { return static_cast<UINT>(mark_); }
  UINT GetAdapterModeCount(UINT) override { return static_cast<UINT>(mark_); }
  HRESULT EnumAdapterModes(UINT, UINT, D3DDISPLAYMODE&) override { return mark_; }
  HRESULT GetAdapterDisplayMode(UINT, D3DDISPLAYMODE&) override { return mark_; }
  HRESULT GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS8&) override { return mark_; }
  HRESULT CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE,
                            D3DFORMAT) override {
    return mark_;
  }
  HRESULT CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS&,
                       Ref<Direct3DDevice8>&) override {
    return mark_;
  }

 private:
  HRESULT mark_;
};

}  // namespace

TEST(Direct3DByDeviceType, EachTypeGoesToItsObjectAndTheRestToTheFirst) {
  Direct3DByDeviceType d3d({{D3DDEVTYPE_REF, std::make_shared<Marked>(1)},
                            {D3DDEVTYPE_HAL, std::make_shared<Marked>(2)}});
  D3DCAPS8 caps{};
  D3DDISPLAYMODE mode{};
  D3DPRESENT_PARAMETERS pp{};
  Ref<Direct3DDevice8> device;
  EXPECT_EQ(d3d.GetDeviceCaps(0, D3DDEVTYPE_REF, caps), 1);
  EXPECT_EQ(d3d.GetDeviceCaps(0, D3DDEVTYPE_HAL, caps), 2);
  EXPECT_EQ(d3d.CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE,
                                  D3DFMT_A8R8G8B8),
            2);
  EXPECT_EQ(d3d.CreateDevice(0, D3DDEVTYPE_HAL, 1, 0, pp, device), 2);
  EXPECT_EQ(d3d.CreateDevice(0, D3DDEVTYPE_SW, 1, 0, pp, device), 1);  // nobody's: the first
  EXPECT_EQ(d3d.GetAdapterModeCount(0), 1u);
  EXPECT_EQ(d3d.EnumAdapterModes(0, 0, mode), 1);
  EXPECT_EQ(d3d.GetAdapterDisplayMode(0, mode), 1);

  // With the reference type alone, the hardware type is the reference
  // object's to refuse.
  Direct3DByDeviceType refOnly({{D3DDEVTYPE_REF, std::make_shared<Marked>(1)}});
  EXPECT_EQ(refOnly.CreateDevice(0, D3DDEVTYPE_HAL, 1, 0, pp, device), 1);
}
