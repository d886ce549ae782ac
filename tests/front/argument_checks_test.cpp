// The calls of the subset with bad (and a few good) arguments, on the
// reference device, the hardware device and the recording platform: all
// three answer every row alike, as the row says, so that the program's tests
// on the recording platform meet the devices' own rules.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gldevice/gl_direct3d.h"
#include "gldevice/gl_test_util.h"
#include "refdevice/ref_direct3d.h"
#include "testplatform/test_platform.h"

namespace {

// Pre-transformed vertices with a colour: four floats and a DWORD.
constexpr DWORD kTlFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr UINT kStride = 20;

// A vertex buffer and a texture no device made.
struct ForeignBuffer final : Direct3DVertexBuffer8 {
  HRESULT Lock(UINT, UINT, BYTE**, DWORD) override { return D3DERR_INVALIDCALL; }
  HRESULT Unlock() override { return D3DERR_INVALIDCALL; }
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC&) override { return D3DERR_INVALIDCALL; }
};
struct ForeignTexture final : Direct3DTexture8 {
  DWORD GetLevelCount() const override { return 1; }
  HRESULT GetLevelDesc(UINT, D3DSURFACE_DESC&) override { return D3DERR_INVALIDCALL; }
  HRESULT LockRect(UINT, D3DLOCKED_RECT&, const RECT*, DWORD) override { return E_FAIL; }
  HRESULT UnlockRect(UINT) override { return D3DERR_INVALIDCALL; }
};

enum Kind { kReference, kHardware, kRecording };
const char* const kNames[] = {"reference", "hardware", "recording"};

// A device with a D16 depth buffer, in a scene, drawing pre-transformed
// vertices from a buffer of three, with a managed 16x16 texture at hand.
struct Bench {
  std::unique_ptr<TestPlatform> platform;
  Ref<DirectX8> dx;
  Ref<Direct3D8> d3d;
  Ref<Direct3DDevice8> dev;
  Ref<Direct3DVertexBuffer8> vb;
  Ref<Direct3DTexture8> tex;
  float tri[15] = {};  // three vertices
  BYTE* bytes = nullptr;
  D3DLOCKED_RECT locked{};

  explicit Bench(Kind kind) {
    D3DPRESENT_PARAMETERS pp{
        64, 48, D3DFMT_X8R8G8B8, 1, 0, D3DSWAPEFFECT_DISCARD, 0, 1, 1, D3DFMT_D16, 0, 0, 0};
    D3DDEVTYPE type = D3DDEVTYPE_HAL;
    if (kind == kRecording) {
      platform = std::make_unique<TestPlatform>();
      EXPECT_EQ(platform->NewDirectX8(dx), 0);
      EXPECT_EQ(dx->Direct3DCreate(d3d), 0);
    } else if (kind == kHardware) {
      d3d = std::make_shared<GlDirect3D8>(nullptr, Context());
    } else {
      d3d = std::make_shared<RefDirect3D8>();
      type = D3DDEVTYPE_REF;
    }
    EXPECT_EQ(d3d->CreateDevice(0, type, 1, D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp, dev), 0);
    if (!dev) return;
    EXPECT_EQ(dev->CreateVertexBuffer(3 * kStride, 0, kTlFvf, D3DPOOL_MANAGED, vb), 0);
    EXPECT_EQ(dev->CreateTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex), 0);
    EXPECT_EQ(dev->SetStreamSource(0, vb, kStride), 0);
    EXPECT_EQ(dev->SetVertexShader(kTlFvf), 0);
    EXPECT_EQ(dev->BeginScene(), 0);
  }
  // The calls the rows make, short.
  HRESULT Clear(DWORD n, DWORD flags, float z = 1) {
    return dev->Clear(n, nullptr, flags, 0, z, 0);
  }
  HRESULT Buffer(UINT length, DWORD fvf, D3DPOOL pool = D3DPOOL_DEFAULT) {
    return dev->CreateVertexBuffer(length, 0, fvf, pool, vb);
  }
  HRESULT Texture(UINT w, UINT h, UINT levels, DWORD usage = 0, D3DFORMAT f = D3DFMT_X8R8G8B8,
                  D3DPOOL pool = D3DPOOL_MANAGED) {
    return dev->CreateTexture(w, h, levels, usage, f, pool, tex);
  }
  HRESULT Lock(UINT offset, UINT size) { return vb->Lock(offset, size, &bytes, 0); }
  HRESULT LockRect(UINT level, const RECT* r = nullptr) {
    return tex->LockRect(level, locked, r, 0);
  }
  HRESULT DrawUP(UINT count, const void* data, UINT stride) {
    return dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, count, data, stride);
  }
  // A triangle of format 834 (three coordinate sets) at stride 24, where
  // only the first set fits in the last vertex, its texture reading `set`.
  HRESULT Draw834(DWORD set) {
    const float v[18] = {};
    return dev->SetTexture(0, tex) | dev->SetVertexShader(834) |
           dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, set) | DrawUP(1, v, 24);
  }
};

struct Row {
  const char* what;
  HRESULT want;
  std::function<HRESULT(Bench&)> call;
};

constexpr HRESULT kBad = D3DERR_INVALIDCALL;
constexpr RECT kOutside{0, 0, 17, 1};

// A row's call on bench `b`.
#define ON(call) [](Bench& b) -> HRESULT { return call; }

// clang-format off
const Row kRows[] = {
    {"clear target and depth", D3D_OK, ON(b.Clear(0, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER))},
    {"clear nothing", kBad, ON(b.Clear(0, 0))},
    {"clear an unknown flag", kBad, ON(b.Clear(0, 0x10))},
    {"clear rectangles not given", kBad, ON(b.Clear(1, D3DCLEAR_TARGET))},
    {"clear stencil of D16", kBad, ON(b.Clear(0, D3DCLEAR_STENCIL))},
    {"clear depth to 1.5", kBad, ON(b.Clear(0, D3DCLEAR_ZBUFFER, 1.5f))},
    {"vertex buffer of 0 bytes", kBad, ON(b.Buffer(0, 0))},
    {"vertex buffer shorter than its vertex", kBad, ON(b.Buffer(10, 322))},
    {"vertex buffer in no pool", kBad, ON(b.Buffer(64, 0, static_cast<D3DPOOL>(7)))},
    {"vertex buffer over the limit", kBad, ON(b.Buffer((1u << 28) + 1, 0))},
    {"texture 0 wide", kBad, ON(b.Texture(0, 16, 1))},
    {"texture 8192 high", kBad, ON(b.Texture(4, 8192, 1))},
    {"texture of six levels at 16x16", kBad, ON(b.Texture(16, 16, 6))},
    {"texture of a palette format", kBad, ON(b.Texture(16, 16, 1, 0, D3DFMT_P8))},
    {"texture as a render target", kBad, ON(b.Texture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT))},
    {"dynamic texture in the managed pool", kBad, ON(b.Texture(16, 16, 1, D3DUSAGE_DYNAMIC))},
    {"lock the whole buffer, twice", D3D_OK, ON(b.Lock(0, 0) | b.Lock(0, kStride))},
    {"lock past the end", kBad, ON(b.Lock(2 * kStride, kStride + 1))},
    {"lock from past the end", kBad, ON(b.Lock(3 * kStride + 1, 0))},
    {"lock round the end of the numbers", kBad, ON(b.Lock(0xFFFFFFF0u, 0x20))},
    {"lock into nowhere", kBad, ON(b.vb->Lock(0, 0, nullptr, 0))},
    {"unlock what is not locked", kBad, ON(b.vb->Unlock())},
    {"lock a level twice", kBad, ON(b.LockRect(1) == D3D_OK ? b.LockRect(1) : 0)},
    {"lock two levels", D3D_OK, ON(b.LockRect(0) | b.LockRect(1))},
    {"lock a level past the chain", kBad, ON(b.LockRect(5))},
    {"lock a rectangle outside the level", kBad, ON(b.LockRect(0, &kOutside))},
    {"unlock a level not locked", kBad, ON(b.tex->UnlockRect(0))},
    {"lock a default-pool texture", kBad, ON(b.Texture(16, 16, 1, 0, D3DFMT_R5G6B5, D3DPOOL_DEFAULT) | b.LockRect(0))},
    {"stream 1", kBad, ON(b.dev->SetStreamSource(1, b.vb, kStride))},
    {"a buffer no device made", kBad, ON(b.dev->SetStreamSource(0, std::make_shared<ForeignBuffer>(), kStride))},
    {"texture stage 8", kBad, ON(b.dev->SetTexture(8, b.tex))},
    {"a texture no device made", kBad, ON(b.dev->SetTexture(0, std::make_shared<ForeignTexture>()))},
    {"render state past the last", kBad, ON(b.dev->SetRenderState(static_cast<D3DRENDERSTATETYPE>(D3DRS_MAX), 0))},
    {"texture stage state of stage 8", kBad, ON(b.dev->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_MODULATE))},
    {"transform of no kind", kBad, ON(b.dev->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(1000), {}))},
    {"viewport wider than the back buffer", kBad, ON(b.dev->SetViewport({0, 0, 65, 48, 0, 1}))},
    {"vertex format with RHW and a normal", kBad, ON(b.dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_NORMAL))},
    {"a scene begun twice", kBad, ON(b.dev->BeginScene())},
    {"a scene ended twice", kBad, ON(b.dev->EndScene() | b.dev->EndScene())},
    {"clear outside a scene", D3D_OK, ON(b.dev->EndScene() | b.Clear(0, D3DCLEAR_TARGET))},
    {"draw the buffer's triangle", D3D_OK, ON(b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1))},
    {"draw nothing", D3D_OK, ON(b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0))},
    {"draw from a locked buffer", D3D_OK, ON(b.Lock(0, 0) | b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1))},
    {"draw outside a scene", kBad, ON(b.dev->EndScene() | b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1))},
    {"draw without a stream", kBad, ON(b.dev->SetStreamSource(0, nullptr, 0) | b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1))},
    {"draw without a vertex format", kBad, ON(b.dev->SetVertexShader(0) | b.dev->DrawPrimitive(D3DPT_POINTLIST, 0, 1))},
    {"draw at stride 0", kBad, ON(b.dev->SetStreamSource(0, b.vb, 0) | b.dev->DrawPrimitive(D3DPT_POINTLIST, 0, 1))},
    {"draw from past the buffer", kBad, ON(b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1))},
    {"draw more than the buffer holds", kBad, ON(b.dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2))},
    {"draw round the end of the numbers", kBad, ON(b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0xFFFFFFFFu, 0xFFFFFFFFu))},
    {"draw a primitive of no type", kBad, ON(b.dev->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(9), 0, 1))},
    {"draw at a stride past the last vertex's end", kBad, ON(b.dev->SetStreamSource(0, b.vb, 2 * kStride) | b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1))},
    {"draw a triangle from memory", D3D_OK, ON(b.DrawUP(1, b.tri, kStride))},
    {"draw from the buffer after a draw from memory, which unsets it", kBad, ON(b.DrawUP(1, b.tri, kStride) | b.dev->DrawPrimitive(D3DPT_POINTLIST, 0, 1))},
    {"draw from no memory", kBad, ON(b.DrawUP(1, nullptr, kStride))},
    {"draw from memory at stride 0", kBad, ON(b.DrawUP(1, b.tri, 0))},
    {"draw more primitives than the caps allow", kBad, ON(b.DrawUP(0xFFFFF + 1, b.tri, 4))},
    // Count x stride bytes are handed over, no more: at a stride shorter
    // than the vertex, the last vertex's colour lies past them.
    {"draw from memory that falls short", kBad, ON(b.DrawUP(1, b.tri, 16))},
    {"draw reading a coordinate set in the stride", D3D_OK, ON(b.Draw834(0))},
    {"draw reading a coordinate set past the stride", kBad, ON(b.Draw834(2))},
};
// clang-format on

TEST(ArgumentChecks, EveryDeviceRefusesAlike) {
  std::vector<Kind> kinds = {kReference, kRecording};
  if (Context()) kinds.push_back(kHardware);
  for (const Row& row : kRows)
    for (Kind kind : kinds) {
      Bench bench(kind);
      ASSERT_TRUE(bench.dev) << kNames[kind];
      EXPECT_EQ(row.call(bench), row.want) << row.what << ", on the " << kNames[kind] << " device";
    }
}

}  // namespace
