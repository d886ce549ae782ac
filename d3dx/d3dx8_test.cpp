#include "d3dx/d3dx8_object.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

D3DXTextureRequest Adjust(const D3DCAPS8& caps, std::int32_t w, std::int32_t h, std::int32_t levels,
                          std::int32_t format = D3DFMT_UNKNOWN) {
  D3DXTextureRequest r;
  EXPECT_EQ(D3DXAdjustTextureRequest(caps, w, h, levels, format, r), D3D_OK);
  return r;
}

TEST(D3DXTextureRequest, DefaultsSizesLevelsAndFormat) {
  const D3DCAPS8 any = Caps(0);
  D3DXTextureRequest r = Adjust(any, 256, 128, D3DX_DEFAULT);
  EXPECT_EQ(r.width, 256u);
  EXPECT_EQ(r.height, 128u);
  EXPECT_EQ(r.levels, 9u);  // 256 down to 1 along the longer side
  EXPECT_EQ(r.format, D3DFMT_A8R8G8B8);

  r = Adjust(any, 0, D3DX_DEFAULT, 0, D3DFMT_R5G6B5);
  EXPECT_EQ(r.width, 256u);
  EXPECT_EQ(r.height, 256u);
  EXPECT_EQ(r.levels, 9u);
  EXPECT_EQ(r.format, D3DFMT_R5G6B5);

  EXPECT_EQ(Adjust(any, 1, 1, D3DX_DEFAULT).levels, 1u);
  EXPECT_EQ(Adjust(any, 16, 16, 3).levels, 3u);
  EXPECT_EQ(Adjust(any, 16, 16, 40).levels, 5u);  // cut to the chain

  D3DXTextureRequest bad;
  EXPECT_EQ(D3DXAdjustTextureRequest(any, -2, 4, 1, 0, bad), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXAdjustTextureRequest(any, 4, 4, -3, 0, bad), D3DERR_INVALIDCALL);
}

TEST(D3DXTextureRequest, FollowsTheDevicesSizeRules) {
  // Without POW2 the program's 640 x 480 picture keeps its size.
  D3DXTextureRequest r = Adjust(Caps(0), 640, 480, D3DX_DEFAULT);
  EXPECT_EQ(r.width, 640u);
  EXPECT_EQ(r.height, 480u);
  EXPECT_EQ(r.levels, 10u);  // 640 320 160 80 40 20 10 5 2 1

  r = Adjust(Caps(kTextureCapsPow2), 640, 480, D3DX_DEFAULT);
  EXPECT_EQ(r.width, 1024u);
  EXPECT_EQ(r.height, 512u);
  EXPECT_EQ(r.levels, 11u);

  // Conditional non-powers of two: allowed for one level only.
  const D3DCAPS8 conditional = Caps(kTextureCapsPow2 | kTextureCapsNonPow2Conditional);
  EXPECT_EQ(Adjust(conditional, 640, 480, 1).width, 640u);
  EXPECT_EQ(Adjust(conditional, 640, 480, 2).width, 1024u);

  r = Adjust(Caps(kTextureCapsPow2 | kTextureCapsSquareOnly), 100, 20, 1);
  EXPECT_EQ(r.width, 128u);
  EXPECT_EQ(r.height, 128u);

  r = Adjust(Caps(kTextureCapsPow2, 512), 640, 480, D3DX_DEFAULT);
  EXPECT_EQ(r.width, 512u);
  EXPECT_EQ(r.height, 512u);
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
