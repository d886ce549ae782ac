// moduleDX8's picture records and their drawing as screen-space quads.
#include "graphics/picture.h"

#include <cstddef>

#include "graphics/moduleDX8.h"
#include "graphics/platform_access.h"
#include "platform/checked.h"

static_assert(sizeof(PictureVertex) == 32);
static_assert(offsetof(PictureVertex, X) == 0 && offsetof(PictureVertex, Y) == 4 &&
              offsetof(PictureVertex, Z) == 8 && offsetof(PictureVertex, RHW) == 12 &&
              offsetof(PictureVertex, Color) == 16 && offsetof(PictureVertex, Specular) == 20 &&
              offsetof(PictureVertex, tu) == 24 && offsetof(PictureVertex, tv) == 28);

namespace moduleDX8 {

namespace {
constexpr const char* kDevice = "Direct3DDevice8";
constexpr const char* kD3DX = "D3DX8";
}  // namespace

Picture CreatePicture(const std::string& FileName, std::int32_t Width, std::int32_t Height) {
  Picture pic;
  if (FileName.empty()) {
    // A blank texture of the requested size; nothing is drawn into it.
    Ref<Direct3DTexture8> texture;
    Check(Use(D3DX, kD3DX)
              .CreateTexture(D3DDevice, Width, Height, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                             D3DPOOL_MANAGED, texture),
          kD3DX);
    pic.Texture = std::move(texture);
  }
  // A named picture is never loaded, so it has no texture whose size could
  // stand in for a zero width or height: the record keeps the size it was
  // given in every case, and the name is never touched.
  pic.Width = static_cast<float>(Width);
  pic.Height = static_cast<float>(Height);
  return pic;
}

void DrawPicture(const Picture& Pic, float X1, float Y1, float X2, float Y2, float tu1, float tv1,
                 float tu2, float tv2, D3DCOLOR Color1, D3DCOLOR Color2, D3DCOLOR Color3,
                 D3DCOLOR Color4) {
  // Far edges: given outright only when both are non-zero, otherwise the
  // picture's own size from the near edges.
  float right = X2;
  float bottom = Y2;
  if (X2 == 0.0f || Y2 == 0.0f) {
    right = ToSingleChecked(static_cast<double>(X1) + Pic.Width);
    bottom = ToSingleChecked(static_cast<double>(Y1) + Pic.Height);
  }

  // Bottom-left, top-left, bottom-right, top-right: a strip of two triangles
  // with the same winding.
  const PictureVertex quad[4] = {
      {X1, bottom, 0.0f, 1.0f, Color3, 0, tu1, tv2},
      {X1, Y1, 0.0f, 1.0f, Color1, 0, tu1, tv1},
      {right, bottom, 0.0f, 1.0f, Color4, 0, tu2, tv2},
      {right, Y1, 0.0f, 1.0f, Color2, 0, tu2, tv1},
  };

  Direct3DDevice8& device = Use(D3DDevice, kDevice);
  Check(device.SetTexture(0, Pic.Texture), kDevice);
  Check(device.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(PictureVertex)), kDevice);
}

}  // namespace moduleDX8
