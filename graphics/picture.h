// Picture records and their drawing as screen-space quads.
#pragma once

#include <cstdint>
#include <string>

#include "platform/d3d8.h"

struct Picture {
  float Width = 0.0f;
  float Height = 0.0f;
  Ref<Direct3DTexture8> Texture;
};

// The 32-byte pre-transformed vertex a picture is drawn with.
struct PictureVertex {
  float X, Y, Z, RHW;
  D3DCOLOR Color;
  D3DCOLOR Specular;
  float tu, tv;
};

namespace moduleDX8 {

Picture CreatePicture(const std::string& FileName, std::int32_t Width, std::int32_t Height);
void DrawPicture(const Picture& Pic, float X1, float Y1, float X2, float Y2, float tu1, float tv1,
                 float tu2, float tv2, D3DCOLOR Color1, D3DCOLOR Color2, D3DCOLOR Color3,
                 D3DCOLOR Color4);

}  // namespace moduleDX8
