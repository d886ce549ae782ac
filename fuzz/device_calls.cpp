// A device fed a random stream of device calls decoded from the input
// (vertex data and formats, strides, states, transforms, textures, draws of
// any count): it must refuse or draw, never touch memory outside what it was
// handed; user-memory draws get exactly their bytes, on the heap. Built as
// two targets: the reference device headless, and with QUILLON_FUZZ_HARDWARE
// the hardware device (OpenGL through EGL without a surface, llvmpipe where
// there is no GPU; one context for the whole run, shared with its tests).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/d3d8_defaults.h"
#include "platform/d3dx8.h"
#ifdef QUILLON_FUZZ_HARDWARE
#include "gldevice/gl_direct3d.h"
#include "gldevice/gl_test_util.h"
#else
#include "refdevice/ref_direct3d.h"
#endif

namespace {

// The input as bytes, little-endian words and floats; zeros once it ends.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  bool Empty() const { return p_ >= end_; }
  std::uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
  std::uint32_t Dword() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return v;
  }
  float Float() {
    const std::uint32_t bits = Dword();
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  // Up to 256 bytes of the input, repeated to fill `out`.
  void Fill(std::vector<std::uint8_t>& out) {
    const std::size_t have = static_cast<std::size_t>(end_ - p_);
    const std::size_t take = have < 256 ? have : 256;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = take ? p_[i % take] : 0;
    p_ += take;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

// Vertex formats worth reaching often; any other code is also tried.
constexpr DWORD kFormats[] = {0x002, 0x042, 0x142, 0x342, 0x044, 0x144, 0x1C4, 0x152,
                              0x112, 0x0C2, 0x242, 0x802, 0x004, 0x012, 0x252, 0x182};
constexpr D3DRENDERSTATETYPE kStates[] = {
    D3DRS_ZENABLE,         D3DRS_FILLMODE,       D3DRS_SHADEMODE,  D3DRS_ZWRITEENABLE,
    D3DRS_ALPHATESTENABLE, D3DRS_SRCBLEND,       D3DRS_DESTBLEND,  D3DRS_CULLMODE,
    D3DRS_ZFUNC,           D3DRS_ALPHAREF,       D3DRS_ALPHAFUNC,  D3DRS_ALPHABLENDENABLE,
    D3DRS_FOGENABLE,       D3DRS_SPECULARENABLE, D3DRS_FOGCOLOR,   D3DRS_FOGTABLEMODE,
    D3DRS_FOGSTART,        D3DRS_FOGEND,         D3DRS_FOGDENSITY, D3DRS_STENCILENABLE,
    D3DRS_TEXTUREFACTOR,   D3DRS_LIGHTING,       D3DRS_AMBIENT,    D3DRS_FOGVERTEXMODE,
    D3DRS_COLORVERTEX,     D3DRS_POINTSIZE,      D3DRS_CLIPPING,   D3DRS_COLORWRITEENABLE,
    D3DRS_BLENDOP,         D3DRS_DITHERENABLE,   D3DRS_LASTPIXEL,  D3DRS_ZBIAS};

D3DPRESENT_PARAMETERS PresentParameters(Input& in) {
  D3DPRESENT_PARAMETERS pp{};
  // A small back buffer keeps each input quick.
  pp.BackBufferWidth = 32 + in.Byte() % 33;
  pp.BackBufferHeight = 32 + in.Byte() % 33;
  pp.BackBufferFormat = (in.Byte() & 1) ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = 1;
  if (in.Byte() & 1) {
    pp.EnableAutoDepthStencil = 1;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
  }
  return pp;
}

void PlayDeviceCalls(Input& in, Direct3DDevice8& dev) {
  dev.BeginScene();
  int ops = 0;
  while (!in.Empty() && ++ops < 64) {
    switch (in.Byte() % 12) {
      case 0: {
        const std::uint8_t pick = in.Byte();
        const auto state = pick < 128 ? kStates[pick % std::size(kStates)]
                                      : static_cast<D3DRENDERSTATETYPE>(in.Byte());
        dev.SetRenderState(state, in.Dword());
        break;
      }
      case 1:
        dev.SetTextureStageState(in.Byte() % 9,
                                 static_cast<D3DTEXTURESTAGESTATETYPE>(in.Byte() % 30), in.Dword());
        break;
      case 2: {
        const std::uint8_t pick = in.Byte();
        dev.SetVertexShader(pick < 200 ? kFormats[pick % std::size(kFormats)] : in.Dword());
        break;
      }
      case 3: {
        D3DMATRIX m;
        for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = in.Float();
        const D3DTRANSFORMSTATETYPE which[] = {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION,
                                               D3DTS_TEXTURE0};
        dev.SetTransform(which[in.Byte() % 4], m);
        break;
      }
      case 4: {
        // A vertex buffer of any length, filled and bound with any stride.
        const UINT length = in.Dword() % 4097;
        const DWORD fvf = kFormats[in.Byte() % std::size(kFormats)];
        Ref<Direct3DVertexBuffer8> vb;
        if (dev.CreateVertexBuffer(length, 0, fvf, D3DPOOL_DEFAULT, vb) != D3D_OK) break;
        std::vector<std::uint8_t> bytes(length);
        in.Fill(bytes);
        D3DVertexBuffer8SetData(vb, 0, static_cast<std::int32_t>(length), 0, bytes.data());
        dev.SetStreamSource(0, vb, in.Byte() % 80);
        break;
      }
      case 5:
        dev.DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(in.Byte() % 8), in.Dword() % 70000,
                          in.Dword());
        break;
      case 6: {
        // Exactly the bytes the count and stride describe, on the heap so a
        // read past them is caught.
        const auto type = static_cast<D3DPRIMITIVETYPE>(1 + in.Byte() % 6);
        const UINT count = in.Dword() % 300;
        const UINT stride = in.Byte() % 80;
        const std::uint64_t bytes = PrimitiveVertexCount(type, count) * stride;
        if (bytes == 0 || bytes > (1u << 20)) break;
        std::vector<std::uint8_t> vertices(static_cast<std::size_t>(bytes));
        in.Fill(vertices);
        dev.DrawPrimitiveUP(type, count, vertices.data(), stride);
        break;
      }
      case 7: {
        Ref<Direct3DTexture8> texture;
        const D3DFORMAT formats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,
                                     D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_UNKNOWN};
        if (dev.CreateTexture(1 + in.Byte() % 64, 1 + in.Byte() % 64, in.Byte() % 8, 0,
                              formats[in.Byte() % 6], D3DPOOL_MANAGED, texture) == D3D_OK) {
          D3DLOCKED_RECT locked{};
          if (texture->LockRect(0, locked, nullptr, 0) == D3D_OK) {
            D3DSURFACE_DESC desc{};
            texture->GetLevelDesc(0, desc);
            std::vector<std::uint8_t> row(static_cast<std::size_t>(locked.Pitch));
            in.Fill(row);
            for (UINT y = 0; y < desc.Height; ++y)
              std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch, row.data(),
                          row.size());
            texture->UnlockRect(0);
          }
        }
        dev.SetTexture(in.Byte() % 9, texture);
        break;
      }
      case 8:
        dev.Clear(0, nullptr, in.Byte() % 8, in.Dword(), in.Float(), in.Dword());
        break;
      case 9: {
        D3DVIEWPORT8 v{in.Dword() % 80, in.Dword() % 80, in.Dword() % 90,
                       in.Dword() % 90, in.Float(),      in.Float()};
        dev.SetViewport(v);
        break;
      }
      case 10:
        if (in.Byte() & 1) {
          dev.EndScene();
          dev.Present(nullptr, nullptr, 0, nullptr);
        } else {
          dev.BeginScene();
        }
        break;
      default: {
        D3DCAPS8 caps;
        dev.GetDeviceCaps(caps);
        DWORD v;
        dev.GetRenderState(static_cast<D3DRENDERSTATETYPE>(in.Byte()), v);
        break;
      }
    }
  }
  dev.EndScene();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
#ifdef QUILLON_FUZZ_HARDWARE
  if (!Context()) {
    // A target that cannot reach its device would pass every input.
    std::fprintf(stderr, "fuzz_gldevice: no OpenGL 3.3 context\n");
    std::exit(1);
  }
  GlDirect3D8 d3d(nullptr, Context());
  constexpr D3DDEVTYPE kType = D3DDEVTYPE_HAL;
#else
  RefDirect3D8 d3d;  // headless
  constexpr D3DDEVTYPE kType = D3DDEVTYPE_REF;
#endif
  // A small back buffer, its format and whether it has a depth buffer from
  // the first four bytes; up to 64 calls from the rest.
  Input in(data, size);
  D3DPRESENT_PARAMETERS pp = PresentParameters(in);
  Ref<Direct3DDevice8> device;
  if (d3d.CreateDevice(0, kType, 1, D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp, device) == D3D_OK)
    PlayDeviceCalls(in, *device);
  return 0;
}
