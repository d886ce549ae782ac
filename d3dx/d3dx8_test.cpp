#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "d3dx/d3dx8_object.h"
#include "testplatform/mock_device.h"

namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::Return;
using ::testing::SetArgReferee;

class FakeTexture : public Direct3DTexture8 {
 public:
  DWORD GetLevelCount() const override { return 1; }
  HRESULT GetLevelDesc(UINT, D3DSURFACE_DESC&) override { return D3D_OK; }
  HRESULT LockRect(UINT, D3DLOCKED_RECT&, const RECT*, DWORD) override { return D3D_OK; }
  HRESULT UnlockRect(UINT) override { return D3D_OK; }
};

D3DCAPS8 Caps(DWORD textureCaps, DWORD maxSize = 4096) {
  D3DCAPS8 caps{};
  caps.TextureCaps = textureCaps;
  caps.MaxTextureWidth = caps.MaxTextureHeight = maxSize;
  return caps;
}

// Each row: the device's texture caps and largest size, the request, and the
// texture D3DX asks the device for.
TEST(D3DXTextureRequest, DefaultsAndTheDevicesSizeRules) {
  constexpr DWORD kPow2 = kTextureCapsPow2;
  // clang-format off
  const struct {
    DWORD caps, maxSize;
    std::int32_t w, h, levels, format;
    UINT width, height, levelsMade;
    D3DFORMAT formatMade;
  } rows[] = {
      {0, 4096, 256, 128, D3DX_DEFAULT, 0, 256, 128, 9, D3DFMT_A8R8G8B8},
      {0, 4096, 0, D3DX_DEFAULT, 0, D3DFMT_R5G6B5, 256, 256, 9, D3DFMT_R5G6B5},
      {0, 4096, 1, 1, D3DX_DEFAULT, 0, 1, 1, 1, D3DFMT_A8R8G8B8},
      {0, 4096, 16, 16, 3, 0, 16, 16, 3, D3DFMT_A8R8G8B8},
      {0, 4096, 16, 16, 40, 0, 16, 16, 5, D3DFMT_A8R8G8B8},  // cut to the chain
      {0, 4096, 640, 480, D3DX_DEFAULT, 0, 640, 480, 10, D3DFMT_A8R8G8B8},
      {kPow2, 4096, 640, 480, D3DX_DEFAULT, 0, 1024, 512, 11, D3DFMT_A8R8G8B8},
      // Conditional non-powers of two: for one level only.
      {kPow2 | kTextureCapsNonPow2Conditional, 4096, 640, 480, 1, 0, 640, 480, 1, D3DFMT_A8R8G8B8},
      {kPow2 | kTextureCapsNonPow2Conditional, 4096, 640, 480, 2, 0, 1024, 512, 2,
       D3DFMT_A8R8G8B8},
      {kPow2 | kTextureCapsSquareOnly, 4096, 100, 20, 1, 0, 128, 128, 1, D3DFMT_A8R8G8B8},
      {kPow2, 512, 640, 480, D3DX_DEFAULT, 0, 512, 512, 10, D3DFMT_A8R8G8B8},
  };
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.w) + "x" + std::to_string(r.h) + " caps " +
                 std::to_string(r.caps));
    D3DXTextureRequest made;
    ASSERT_EQ(D3DXAdjustTextureRequest(Caps(r.caps, r.maxSize), r.w, r.h, r.levels, r.format, made),
              D3D_OK);
    EXPECT_EQ(made.width, r.width);
    EXPECT_EQ(made.height, r.height);
    EXPECT_EQ(made.levels, r.levelsMade);
    EXPECT_EQ(made.format, r.formatMade);
  }
  D3DXTextureRequest bad;
  EXPECT_EQ(D3DXAdjustTextureRequest(Caps(0), -2, 4, 1, 0, bad), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXAdjustTextureRequest(Caps(0), 4, 4, -3, 0, bad), D3DERR_INVALIDCALL);
}

TEST(RuntimeD3DX8, CreateTexturePassesTheAdjustedRequestToTheDevice) {
  auto device = std::make_shared<MockDevice>();
  auto made = std::make_shared<FakeTexture>();
  EXPECT_CALL(*device, GetDeviceCaps(_))
      .WillOnce(DoAll(SetArgReferee<0>(Caps(kTextureCapsPow2)), Return(D3D_OK)));
  EXPECT_CALL(*device, CreateTexture(1024u, 512u, 11u, 0u, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, _))
      .WillOnce(DoAll(SetArgReferee<6>(made), Return(D3D_OK)));
  RuntimeD3DX8 d3dx;
  Ref<Direct3DTexture8> texture;
  ASSERT_EQ(d3dx.CreateTexture(device, 640, 480, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                               texture),
            D3D_OK);
  EXPECT_EQ(texture, made);
}

TEST(RuntimeD3DX8, CreateTextureFailuresLeaveTheTargetAlone) {
  RuntimeD3DX8 d3dx;
  auto previous = std::make_shared<FakeTexture>();
  Ref<Direct3DTexture8> texture = previous;
  EXPECT_EQ(d3dx.CreateTexture(nullptr, 4, 4, 1, 0, 0, 1, texture), D3DERR_INVALIDCALL);

  auto device = std::make_shared<MockDevice>();
  EXPECT_CALL(*device, GetDeviceCaps(_)).WillOnce(Return(D3DERR_DEVICELOST));
  EXPECT_EQ(d3dx.CreateTexture(device, 4, 4, 1, 0, 0, 1, texture), D3DERR_DEVICELOST);

  EXPECT_CALL(*device, GetDeviceCaps(_)).WillRepeatedly(Return(D3D_OK));
  EXPECT_CALL(*device, CreateTexture(_, _, _, _, _, _, _)).WillOnce(Return(E_OUTOFMEMORY));
  EXPECT_EQ(d3dx.CreateTexture(device, 4, 4, 1, 0, 0, 1, texture), E_OUTOFMEMORY);
  EXPECT_EQ(d3dx.CreateTexture(device, -5, 4, 1, 0, 0, 1, texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture, previous);
}

TEST(RuntimeD3DX8, FontNeedsAHandleAndKeepsItsDevice) {
  RuntimeD3DX8 d3dx;
  auto device = std::make_shared<MockDevice>();
  Ref<D3DXFont> font;
  EXPECT_EQ(d3dx.CreateFont(device, 0, font), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3dx.CreateFont(nullptr, 7, font), D3DERR_INVALIDCALL);
  EXPECT_EQ(font, nullptr);

  ASSERT_EQ(d3dx.CreateFont(device, 7, font), D3D_OK);
  auto* made = dynamic_cast<RuntimeD3DXFont*>(font.get());
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->FontHandle(), 7);
  std::weak_ptr<Direct3DDevice8> watch = device;
  device.reset();
  EXPECT_FALSE(watch.expired());  // the font holds it
  font.reset();
  EXPECT_TRUE(watch.expired());
}

}  // namespace
