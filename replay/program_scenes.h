// The program's scenes as device input, for the device's tests and its
// benchmarks: the spinning cloud (a fixed cloud from a local generator, so
// that results never depend on the program's random numbers) and the
// picture quad.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/d3d8types.h"
#include "platform/d3dx8_math.h"

namespace program_scenes {

constexpr int kCloudVertices = 3000;
constexpr int kCloudTriangles = 1000;
constexpr DWORD kCloudFvf = 834;   // XYZ, DIFFUSE, three texture sets (40 bytes)
constexpr UINT kCloudStride = 24;  // drawn at the size of the program's vertex
constexpr UINT kCloudBytes = kCloudVertices * kCloudStride;
// 3.14159 / 4 rounded to single precision, as the program computes it.
constexpr float kFovY = static_cast<float>(3.14159 / 4);

// The camera and turn of one frame of the spinning cloud, built with the
// D3DX helpers the program itself calls.
struct CloudView {
  float eyeZ = -5.0f;
  float angleX = 0.01f;  // the first frame's turn
  float angleY = 0.02f;

  D3DMATRIX World() const {
    D3DMATRIX x, y, world;
    D3DXMatrixRotationX(x, angleX);
    D3DXMatrixRotationY(y, angleY);
    D3DXMatrixMultiply(world, x, y);
    return world;
  }
  D3DMATRIX View() const {
    D3DMATRIX view;
    D3DXMatrixLookAtLH(view, {0.0f, 0.0f, eyeZ}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
    return view;
  }
  static D3DMATRIX Projection() {
    D3DMATRIX projection;
    D3DXMatrixPerspectiveFovLH(projection, kFovY, 1.0f, 1.0f, 1000.0f);
    return projection;
  }
};

// 3000 vertices of 24 bytes (x, y, z, colour, tu, tv): positions in
// [-0.5, 0.5)^3, colours of alpha 64 with random red, green and blue.
inline std::vector<std::uint8_t> CloudVertices() {
  std::uint32_t state = 20260101u;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.0f;  // exact, in [0, 1)
  };
  std::vector<std::uint8_t> bytes(kCloudBytes);
  for (int i = 0; i < kCloudVertices; ++i) {
    float r[8];
    for (float& v : r) v = next();
    const float pos[3] = {r[0] - 0.5f, r[1] - 0.5f, r[2] - 0.5f};
    auto channel = [](float v) {
      return static_cast<std::uint32_t>(std::nearbyint(static_cast<double>(v) * 255.0));
    };
    const std::uint32_t colour =
        (64u << 24) | (channel(r[3]) << 16) | (channel(r[4]) << 8) | channel(r[5]);
    std::uint8_t* p = bytes.data() + static_cast<std::size_t>(i) * kCloudStride;
    std::memcpy(p, pos, 12);
    std::memcpy(p + 12, &colour, 4);
    std::memcpy(p + 16, &r[6], 8);
  }
  return bytes;
}

// The picture quad as the program draws it: screen corners (0, 0) and
// (800, 600), corner colours top-left blue, top-right green, bottom-left red,
// bottom-right yellow, all of alpha 0; 32 bytes a vertex in the order
// bottom-left, top-left, bottom-right, top-right (a clockwise strip).
// `left`/`right` swapped mirrors it into a counter-clockwise strip.
inline std::vector<std::uint8_t> PictureVertices(float left = 0.0f, float top = 0.0f,
                                                 float right = 800.0f, float bottom = 600.0f) {
  struct V {
    float x, y, z, rhw;
    std::uint32_t colour, specular;
    float tu, tv;
  };
  static_assert(sizeof(V) == 32);
  const V v[4] = {
      {left, bottom, 0.0f, 1.0f, 0x00FF0000u, 0, 0.0f, 1.0f},
      {left, top, 0.0f, 1.0f, 0x000000FFu, 0, 0.0f, 0.0f},
      {right, bottom, 0.0f, 1.0f, 0x00FFFF00u, 0, 1.0f, 1.0f},
      {right, top, 0.0f, 1.0f, 0x0000FF00u, 0, 1.0f, 0.0f},
  };
  std::vector<std::uint8_t> bytes(sizeof v);
  std::memcpy(bytes.data(), v, sizeof v);
  return bytes;
}

}  // namespace program_scenes
