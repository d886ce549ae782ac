// The D3DX 8 object's textures made on the reference device, as the
// program's picture record asks for them.
#include <gtest/gtest.h>

#include "refdevice/test_support.h"
#include "d3dx/d3dx8_object.h"

namespace {

TEST(D3DXOnReferenceDevice, PictureTextureGetsTheFullChainInTheDefaultFormat) {
  test_support::SceneDevice d;
  RuntimeD3DX8 d3dx;
  Ref<Direct3DTexture8> texture;
  ASSERT_EQ(d3dx.CreateTexture(d.device, 640, 480, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                               texture),
            D3D_OK);
  ASSERT_NE(texture, nullptr);
  D3DCAPS8 caps{};
  ASSERT_EQ(d.device->GetDeviceCaps(caps), D3D_OK);
  // The device decides whether sizes must be powers of two.
  const bool pow2 = (caps.TextureCaps & kTextureCapsPow2) != 0;
  D3DSURFACE_DESC top{};
  ASSERT_EQ(texture->GetLevelDesc(0, top), D3D_OK);
  EXPECT_EQ(top.Width, pow2 ? 1024u : 640u);
  EXPECT_EQ(top.Height, pow2 ? 512u : 480u);
  EXPECT_EQ(top.Format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(top.Pool, D3DPOOL_MANAGED);
  const DWORD levels = texture->GetLevelCount();
  EXPECT_EQ(levels, pow2 ? 11u : 10u);
  D3DSURFACE_DESC last{};
  ASSERT_EQ(texture->GetLevelDesc(levels - 1, last), D3D_OK);
  EXPECT_EQ(last.Width, 1u);
  EXPECT_EQ(last.Height, 1u);
}

}  // namespace
