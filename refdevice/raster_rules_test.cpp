// Rasterization rules of the reference device, checked by counting how often
// each pixel is written: every triangle adds 0x40 to each channel with
// ONE/ONE blending, so a pixel drawn twice shows 0x80.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "refdevice/draw/setup_primitives.h"
#include "refdevice/program_scenes.h"
#include "refdevice/test_support.h"

namespace {

constexpr std::uint32_t kOnce = 0x404040;

struct Tl {
  float x, y, z, rhw;
  std::uint32_t colour;
};

class Coverage : public ::testing::Test {
 protected:
  void SetUp() override {
    Direct3DDevice8& dev = *d_.device;
    ASSERT_EQ(dev.SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), D3D_OK);
    dev.SetRenderState(D3DRS_ZENABLE, 0);
    dev.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    dev.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    ASSERT_EQ(dev.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    ASSERT_EQ(dev.BeginScene(), D3D_OK);
  }

  Image Draw(D3DPRIMITIVETYPE type, const std::vector<Tl>& v, UINT primitives) {
    EXPECT_EQ(d_.device->DrawPrimitiveUP(type, primitives, v.data(), sizeof(Tl)), D3D_OK);
    EXPECT_EQ(d_.device->EndScene(), D3D_OK);
    return d_.Picture();
  }

  test_support::SceneDevice d_;
};

// Exactly the pixels [x0, x1) x [y0, y1) once, nothing else.
void ExpectRectangleOnce(const Image& image, int x0, int y0, int x1, int y1) {
  ASSERT_EQ(image.pixels.size(), 640u * 480u);
  int wrong = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
      const std::uint32_t want = inside ? kOnce : 0;
      if (image.At(x, y) != want && ++wrong <= 5)
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is 0x" << std::hex << image.At(x, y)
                      << ", want 0x" << want;
    }
  EXPECT_EQ(wrong, 0);
}

// Snapping rounds through integer conversion; it must agree with the
// library's ceiling and floor on every coordinate set-up lets through, the
// half steps (where the two directions differ) and negatives included.
TEST(Snapping, AgreesWithTheLibrarysCeilingAndFloor) {
  auto check = [](float v) {
    ASSERT_EQ(refdev::SnapX(v),
              static_cast<std::int64_t>(std::ceil(static_cast<double>(v) * 256.0 - 0.5)))
        << v;
    ASSERT_EQ(refdev::SnapY(v),
              static_cast<std::int64_t>(std::floor(static_cast<double>(v) * 256.0 + 0.5)))
        << v;
  };
  for (int k = -5000; k <= 5000; ++k) {
    const float half = static_cast<float>(k) / 512.0f;  // on and between the steps
    check(half);
    check(std::nextafter(half, 1e7f));
    check(std::nextafter(half, -1e7f));
  }
  std::uint32_t state = 12345u;
  for (int i = 0; i < 200000; ++i) {
    state = state * 1664525u + 1013904223u;
    const float v = (static_cast<float>(state >> 8) / 16777216.0f - 0.5f) * 2e6f;
    check(v);
    check(v / 4096.0f);
  }
  check(1e6f);
  check(-1e6f);
  check(0.0f);
  check(-0.0f);
}

TEST_F(Coverage, SharedEdgesCoverEachPixelOnce) {
  // A grid of cells from (40, 30) to (600, 450), each split into two
  // triangles. Inner vertices are moved by sub-pixel amounts, some by none
  // (edges through pixel centres), some by exact halves and sixteenths,
  // some by odd fractions, so the edges take every slope.
  constexpr int kCols = 14, kRows = 12;
  constexpr float kX0 = 40, kY0 = 30, kW = 40, kH = 35;
  const float offsets[] = {0.0f, 0.5f, -0.5f, 0.0625f, -0.3125f, 0.37f, -3.71f, 4.2f, 2.0f};
  auto vertex = [&](int i, int j) {
    float x = kX0 + kW * static_cast<float>(i), y = kY0 + kH * static_cast<float>(j);
    if (i > 0 && i < kCols && j > 0 && j < kRows) {
      x += offsets[(i * 7 + j * 3) % 9];
      y += offsets[(i * 5 + j * 2 + 4) % 9];
    }
    return Tl{x, y, 0.0f, 1.0f, kOnce};
  };
  std::vector<Tl> list;
  for (int j = 0; j < kRows; ++j)
    for (int i = 0; i < kCols; ++i) {
      const Tl a = vertex(i, j), b = vertex(i + 1, j), c = vertex(i, j + 1),
               e = vertex(i + 1, j + 1);
      // Alternate the diagonal so that both directions are shared.
      if ((i + j) % 2 == 0) {
        list.insert(list.end(), {a, b, e, a, e, c});
      } else {
        list.insert(list.end(), {a, b, c, b, e, c});
      }
    }
  const int x1 = static_cast<int>(kX0 + kW * kCols), y1 = static_cast<int>(kY0 + kH * kRows);
  ExpectRectangleOnce(Draw(D3DPT_TRIANGLELIST, list, static_cast<UINT>(list.size() / 3)), 40, 30,
                      x1, y1);
}

bool Passes(D3DCMPFUNC f, std::uint16_t incoming, std::uint16_t stored) {
  switch (f) {
    case D3DCMP_NEVER:
      return false;
    case D3DCMP_LESS:
      return incoming < stored;
    case D3DCMP_EQUAL:
      return incoming == stored;
    case D3DCMP_LESSEQUAL:
      return incoming <= stored;
    case D3DCMP_GREATER:
      return incoming > stored;
    case D3DCMP_NOTEQUAL:
      return incoming != stored;
    case D3DCMP_GREATEREQUAL:
      return incoming >= stored;
    case D3DCMP_ALWAYS:
      return true;
  }
  return false;
}

// A triangle's depth at pixel centre (x, y): the plane through its unsnapped
// vertices, from the first, in single precision, stored in 16 bits as
// floor(clamp(z, 0, 1) * 65535 + 1/2).
std::uint16_t PlaneDepth16(const Tl* v, int x, int y) {
  const float dx1 = v[1].x - v[0].x, dy1 = v[1].y - v[0].y, dz1 = v[1].z - v[0].z;
  const float dx2 = v[2].x - v[0].x, dy2 = v[2].y - v[0].y, dz2 = v[2].z - v[0].z;
  const float det = dx1 * dy2 - dx2 * dy1;
  const float dzdx = (dz1 * dy2 - dz2 * dy1) / det;
  const float dzdy = (dx1 * dz2 - dx2 * dz1) / det;
  const float z =
      v[0].z + dzdx * (static_cast<float>(x) - v[0].x) + dzdy * (static_cast<float>(y) - v[0].y);
  return static_cast<std::uint16_t>(
      std::floor(static_cast<double>(std::clamp(z, 0.0f, 1.0f)) * 65535.0 + 0.5));
}

// Draws `draws` (triangle lists, one draw each; the first with ALWAYS and
// depth writes as `writeFirst` says, the others with `func`) and returns the
// picture and the depth buffer.
struct Drawn {
  Image image;
  std::vector<std::uint16_t> depth;
};
Drawn DrawDepth(const std::vector<std::vector<Tl>>& draws, D3DCMPFUNC func,
                bool writeFirst = true) {
  test_support::SceneDevice d;
  Direct3DDevice8& dev = *d.device;
  dev.SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  dev.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  dev.BeginScene();
  for (std::size_t i = 0; i < draws.size(); ++i) {
    dev.SetRenderState(D3DRS_ZFUNC, static_cast<DWORD>(i == 0 ? D3DCMP_ALWAYS : func));
    dev.SetRenderState(D3DRS_ZWRITEENABLE, i > 0 || writeFirst);
    EXPECT_EQ(dev.DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(draws[i].size() / 3),
                                  draws[i].data(), sizeof(Tl)),
              D3D_OK);
  }
  dev.EndScene();
  const auto& d16 = d.Device().DepthStencil().d16;
  return {d.Picture(), std::vector<std::uint16_t>(d16.begin(), d16.end())};
}

TEST(DepthRule, AConstantDepthQuadStoresOneValue) {
  // Slanted, at sub-pixel positions; z 0.5 is 32767.5 before rounding.
  const Tl a{13.3f, 17.1f, 0.5f, 1, 0xFFFFFF}, b{301.7f, 40.2f, 0.5f, 1, 0xFFFFFF},
      c{40.9f, 260.6f, 0.5f, 1, 0xFFFFFF}, e{350.2f, 300.4f, 0.5f, 1, 0xFFFFFF};
  const Drawn drawn = DrawDepth({{a, b, c, b, e, c}}, D3DCMP_ALWAYS);
  std::int64_t covered = 0, other = 0;
  for (std::size_t i = 0; i < drawn.depth.size(); ++i) {
    if (drawn.image.pixels[i] == 0) continue;
    ++covered;
    other += drawn.depth[i] != 32768;
  }
  EXPECT_GT(covered, 50000);
  EXPECT_EQ(other, 0);
}

TEST(DepthRule, StoredDepthIsThePlaneAtThePixelCentre) {
  // Slanted triangles with three different depths, in both windings and with
  // each vertex first.
  const Tl p{21.37f, 33.91f, 0.1234f, 1, 0xFFFFFF}, q{611.05f, 97.5f, 0.7771f, 0.5f, 0xFFFFFF},
      r{140.26f, 466.63f, 0.4242f, 0.25f, 0xFFFFFF};
  for (const std::vector<Tl>& tri : {std::vector<Tl>{p, q, r}, std::vector<Tl>{q, r, p},
                                     std::vector<Tl>{r, p, q}, std::vector<Tl>{p, r, q}}) {
    const Drawn drawn = DrawDepth({tri}, D3DCMP_ALWAYS);
    std::int64_t covered = 0, wrong = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        const std::size_t i = static_cast<std::size_t>(y) * 640 + static_cast<std::size_t>(x);
        if (drawn.image.pixels[i] == 0) continue;
        ++covered;
        if (drawn.depth[i] != PlaneDepth16(tri.data(), x, y) && ++wrong <= 3)
          ADD_FAILURE() << "(" << x << ", " << y << ") stores " << drawn.depth[i] << ", want "
                        << PlaneDepth16(tri.data(), x, y);
      }
    EXPECT_GT(covered, 100000);
    EXPECT_EQ(wrong, 0);
  }
}

TEST(DepthRule, CrossingTrianglesAreDecidedByTheirPlanes) {
  // Two slanted triangles whose depths cross along a line; under every
  // compare function the second wins exactly where its stored value passes
  // against the first's, ties included. Their depths differ by about one
  // 16-bit step per pixel near the crossing (around x = 300), so many pixels
  // there store equal values. Without the first's depth writes, the second
  // covers it everywhere.
  const std::vector<Tl> first = {{30.2f, 40.7f, 0.40042f, 1, 0xFF0000},
                                 {600.4f, 60.1f, 0.40618f, 1, 0xFF0000},
                                 {90.6f, 450.3f, 0.40226f, 1, 0xFF0000}};
  const std::vector<Tl> second = {{20.9f, 420.2f, 0.40705f, 1, 0x00FF00},
                                  {580.3f, 20.8f, 0.40026f, 1, 0x00FF00},
                                  {610.1f, 440.6f, 0.40122f, 1, 0x00FF00}};
  const Image firstAlone = DrawDepth({first}, D3DCMP_ALWAYS).image;
  const Image secondAlone = DrawDepth({second}, D3DCMP_ALWAYS).image;
  for (int fn = D3DCMP_NEVER; fn <= D3DCMP_ALWAYS + 1; ++fn) {
    const bool writeFirst = fn <= D3DCMP_ALWAYS;  // the last round: LESS without
    const auto func = static_cast<D3DCMPFUNC>(writeFirst ? fn : D3DCMP_LESS);
    const Image both = DrawDepth({first, second}, func, writeFirst).image;
    std::int64_t shared = 0, ties = 0, wrong = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        if (firstAlone.At(x, y) == 0 || secondAlone.At(x, y) == 0) continue;
        ++shared;
        const std::uint16_t z1 = writeFirst ? PlaneDepth16(first.data(), x, y) : 65535;
        const std::uint16_t z2 = PlaneDepth16(second.data(), x, y);
        ties += z1 == z2;
        wrong += both.At(x, y) != (Passes(func, z2, z1) ? 0x00FF00u : 0xFF0000u);
      }
    EXPECT_GT(shared, 10000) << fn;
    if (writeFirst) {
      EXPECT_GT(ties, 20) << fn;
    }
    EXPECT_EQ(wrong, 0) << "ZFUNC " << fn << (writeFirst ? "" : " without the first's writes");
  }
}

}  // namespace
