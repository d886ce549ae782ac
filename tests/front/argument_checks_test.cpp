// The calls of the subset with bad (and a few good) arguments, on the
// reference device, the hardware device and the recording platform: all
// three answer every row alike, as the row says, so that the program's tests
// on the recording platform meet the devices' own rules.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gldevice/gl_context.h"
#include "gldevice/gl_direct3d.h"
#include "refdevice/ref_direct3d.h"
#include "testplatform/test_platform.h"

namespace {

struct TlVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
};
constexpr DWORD kTlFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr UINT kStride = sizeof(TlVertex);

std::shared_ptr<GlContext> Context() {
  static std::shared_ptr<GlContext> context = [] {
    std::string why;
    std::shared_ptr<GlContext> c = MakeSurfacelessContext(&why);
    return c && DescribeCurrentContext().core33 ? c : nullptr;
  }();
  return context;
}

// A vertex buffer and a texture no device made.
class ForeignBuffer final : public Direct3DVertexBuffer8 {
 public:
  HRESULT Lock(UINT, UINT, BYTE**, DWORD) override { return D3DERR_INVALIDCALL; }
  HRESULT Unlock() override { return D3DERR_INVALIDCALL; }
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC&) override { return D3DERR_INVALIDCALL; }
};
class ForeignTexture final : public Direct3DTexture8 {
 public:
  DWORD GetLevelCount() const override { return 1; }
  HRESULT GetLevelDesc(UINT, D3DSURFACE_DESC&) override { return D3DERR_INVALIDCALL; }
  HRESULT LockRect(UINT, D3DLOCKED_RECT&, const RECT*, DWORD) override {
    return D3DERR_INVALIDCALL;
  }
  HRESULT UnlockRect(UINT) override { return D3DERR_INVALIDCALL; }
};

enum class Kind { Reference, Hardware, Recording };
const char* Name(Kind k) {
  return k == Kind::Reference ? "reference" : k == Kind::Hardware ? "hardware" : "recording";
}

// A device with a D16 depth buffer, in a scene, drawing pre-transformed
// vertices from a buffer of three, with a managed 16x16 texture at hand.
struct Bench {
  std::unique_ptr<TestPlatform> platform;
  Ref<DirectX8> dx;
  Ref<Direct3D8> d3d;
  Ref<Direct3DDevice8> dev;
  Ref<Direct3DVertexBuffer8> vb;
  Ref<Direct3DTexture8> tex;
  TlVertex tri[3] = {};

  explicit Bench(Kind kind) {
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 64;
    pp.BackBufferHeight = 48;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = 1;
    pp.EnableAutoDepthStencil = 1;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    D3DDEVTYPE type = D3DDEVTYPE_HAL;
    if (kind == Kind::Recording) {
      platform = std::make_unique<TestPlatform>();
      EXPECT_EQ(platform->NewDirectX8(dx), 0);
      EXPECT_EQ(dx->Direct3DCreate(d3d), 0);
    } else if (kind == Kind::Hardware) {
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
  HRESULT Lock(UINT offset, UINT size) {
    BYTE* p = nullptr;
    return vb->Lock(offset, size, &p, 0);
  }
  HRESULT LockRect(UINT level, const RECT* rect = nullptr) {
    D3DLOCKED_RECT r{};
    return tex->LockRect(level, r, rect, 0);
  }
};

struct Row {
  const char* what;
  HRESULT want;
  std::function<HRESULT(Bench&)> call;
};

constexpr HRESULT kBad = D3DERR_INVALIDCALL;

const std::vector<Row>& Rows() {
  using B = Bench;
  static const std::vector<Row> rows = {
      // Clear.
      {"clear target and depth", D3D_OK,
       [](B& b) { return b.dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1, 0); }},
      {"clear nothing", kBad, [](B& b) { return b.dev->Clear(0, nullptr, 0, 0, 1, 0); }},
      {"clear an unknown flag", kBad, [](B& b) { return b.dev->Clear(0, nullptr, 0x10, 0, 1, 0); }},
      {"clear rectangles not given", kBad,
       [](B& b) { return b.dev->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1, 0); }},
      {"clear stencil of D16", kBad,
       [](B& b) { return b.dev->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1, 0); }},
      {"clear depth to 1.5", kBad,
       [](B& b) { return b.dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.5f, 0); }},
      // Resources.
      {"vertex buffer of 0 bytes", kBad,
       [](B& b) { return b.dev->CreateVertexBuffer(0, 0, 0, D3DPOOL_DEFAULT, b.vb); }},
      {"vertex buffer shorter than its vertex", kBad,
       [](B& b) { return b.dev->CreateVertexBuffer(10, 0, 322, D3DPOOL_DEFAULT, b.vb); }},
      {"vertex buffer in no pool", kBad,
       [](B& b) { return b.dev->CreateVertexBuffer(64, 0, 0, static_cast<D3DPOOL>(7), b.vb); }},
      {"vertex buffer over the limit", kBad,
       [](B& b) { return b.dev->CreateVertexBuffer((1u << 28) + 1, 0, 0, D3DPOOL_DEFAULT, b.vb); }},
      {"texture 0 wide", kBad,
       [](B& b) {
         return b.dev->CreateTexture(0, 16, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, b.tex);
       }},
      {"texture 8192 high", kBad,
       [](B& b) {
         return b.dev->CreateTexture(4, 8192, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, b.tex);
       }},
      {"texture of six levels at 16x16", kBad,
       [](B& b) {
         return b.dev->CreateTexture(16, 16, 6, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, b.tex);
       }},
      {"texture of a palette format", kBad,
       [](B& b) { return b.dev->CreateTexture(16, 16, 1, 0, D3DFMT_P8, D3DPOOL_MANAGED, b.tex); }},
      {"texture as a render target", kBad,
       [](B& b) {
         return b.dev->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8,
                                     D3DPOOL_DEFAULT, b.tex);
       }},
      {"dynamic texture in the managed pool", kBad,
       [](B& b) {
         return b.dev->CreateTexture(16, 16, 1, D3DUSAGE_DYNAMIC, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED,
                                     b.tex);
       }},
      // Locks.
      {"lock the whole buffer, twice", D3D_OK,
       [](B& b) { return b.Lock(0, 0) | b.Lock(0, kStride); }},
      {"lock past the end", kBad, [](B& b) { return b.Lock(2 * kStride, kStride + 1); }},
      {"lock from past the end", kBad, [](B& b) { return b.Lock(3 * kStride + 1, 0); }},
      {"lock round the end of the numbers", kBad, [](B& b) { return b.Lock(0xFFFFFFF0u, 0x20); }},
      {"lock into nowhere", kBad, [](B& b) { return b.vb->Lock(0, 0, nullptr, 0); }},
      {"unlock what is not locked", kBad, [](B& b) { return b.vb->Unlock(); }},
      {"lock a level twice", kBad,
       [](B& b) { return b.LockRect(1) == D3D_OK ? b.LockRect(1) : 0; }},
      {"lock two levels", D3D_OK, [](B& b) { return b.LockRect(0) | b.LockRect(1); }},
      {"lock a level past the chain", kBad, [](B& b) { return b.LockRect(5); }},
      {"lock a rectangle outside the level", kBad,
       [](B& b) {
         const RECT outside{0, 0, 17, 1};
         return b.LockRect(0, &outside);
       }},
      {"unlock a level not locked", kBad, [](B& b) { return b.tex->UnlockRect(0); }},
      {"lock a default-pool texture", kBad,
       [](B& b) {
         b.dev->CreateTexture(16, 16, 1, 0, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, b.tex);
         return b.LockRect(0);
       }},
      // Binding.
      {"stream 1", kBad, [](B& b) { return b.dev->SetStreamSource(1, b.vb, kStride); }},
      {"a buffer no device made", kBad,
       [](B& b) { return b.dev->SetStreamSource(0, std::make_shared<ForeignBuffer>(), kStride); }},
      {"texture stage 8", kBad, [](B& b) { return b.dev->SetTexture(8, b.tex); }},
      {"a texture no device made", kBad,
       [](B& b) { return b.dev->SetTexture(0, std::make_shared<ForeignTexture>()); }},
      // State.
      {"render state past the last", kBad,
       [](B& b) { return b.dev->SetRenderState(static_cast<D3DRENDERSTATETYPE>(D3DRS_MAX), 0); }},
      {"texture stage state of stage 8", kBad,
       [](B& b) { return b.dev->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_MODULATE); }},
      {"transform of no kind", kBad,
       [](B& b) { return b.dev->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(1000), {}); }},
      {"viewport wider than the back buffer", kBad,
       [](B& b) {
         return b.dev->SetViewport({0, 0, 65, 48, 0.0f, 1.0f});
       }},
      {"vertex format with RHW and a normal", kBad,
       [](B& b) { return b.dev->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_NORMAL); }},
      {"a scene begun twice", kBad, [](B& b) { return b.dev->BeginScene(); }},
      {"a scene ended twice", kBad, [](B& b) { return b.dev->EndScene() | b.dev->EndScene(); }},
      {"clear outside a scene", D3D_OK,
       [](B& b) { return b.dev->EndScene() | b.dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0); }},
      // Draws from the buffer.
      {"draw the buffer's triangle", D3D_OK,
       [](B& b) { return b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1); }},
      {"draw nothing", D3D_OK, [](B& b) { return b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0); }},
      {"draw from a locked buffer", D3D_OK,
       [](B& b) { return b.Lock(0, 0) | b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1); }},
      {"draw outside a scene", kBad,
       [](B& b) { return b.dev->EndScene() | b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1); }},
      {"draw without a stream", kBad,
       [](B& b) {
         b.dev->SetStreamSource(0, nullptr, 0);
         return b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
       }},
      {"draw without a vertex format", kBad,
       [](B& b) {
         return b.dev->SetVertexShader(0) | b.dev->DrawPrimitive(D3DPT_POINTLIST, 0, 1);
       }},
      {"draw at stride 0", kBad,
       [](B& b) {
         return b.dev->SetStreamSource(0, b.vb, 0) | b.dev->DrawPrimitive(D3DPT_POINTLIST, 0, 1);
       }},
      {"draw from past the buffer", kBad,
       [](B& b) { return b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1); }},
      {"draw more than the buffer holds", kBad,
       [](B& b) { return b.dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2); }},
      {"draw round the end of the numbers", kBad,
       [](B& b) { return b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0xFFFFFFFFu, 0xFFFFFFFFu); }},
      {"draw a primitive of no type", kBad,
       [](B& b) { return b.dev->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(9), 0, 1); }},
      {"draw at a stride past the last vertex's end", kBad,
       [](B& b) {
         return b.dev->SetStreamSource(0, b.vb, 2 * kStride) |
                b.dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
       }},
      // Draws from memory.
      {"draw a triangle from memory", D3D_OK,
       [](B& b) { return b.dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, b.tri, kStride); }},
      {"draw from the buffer after a draw from memory, which unsets it", kBad,
       [](B& b) {
         return b.dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, b.tri, kStride) |
                b.dev->DrawPrimitive(D3DPT_POINTLIST, 0, 1);
       }},
      {"draw from no memory", kBad,
       [](B& b) { return b.dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, kStride); }},
      {"draw from memory at stride 0", kBad,
       [](B& b) { return b.dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, b.tri, 0); }},
      {"draw more primitives than the caps allow", kBad,
       [](B& b) { return b.dev->DrawPrimitiveUP(D3DPT_POINTLIST, 0xFFFFF + 1, b.tri, 4); }},
      // Count x stride bytes are handed over, no more: the last vertex's
      // colour lies past them at a stride shorter than the vertex.
      {"draw from memory that falls short", kBad,
       [](B& b) { return b.dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, b.tri, 16); }},
      // Format 834 declares three coordinate sets; at stride 24 only the
      // first fits in the last vertex.
      {"draw reading a coordinate set in the stride", D3D_OK,
       [](B& b) {
         const float v[18] = {};
         return b.dev->SetTexture(0, b.tex) | b.dev->SetVertexShader(834) |
                b.dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 24);
       }},
      {"draw reading a coordinate set past the stride", kBad,
       [](B& b) {
         const float v[18] = {};
         return b.dev->SetTexture(0, b.tex) | b.dev->SetVertexShader(834) |
                b.dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 2) |
                b.dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 24);
       }},
  };
  return rows;
}

TEST(ArgumentChecks, EveryDeviceRefusesAlike) {
  std::vector<Kind> kinds = {Kind::Reference, Kind::Recording};
  if (Context()) kinds.push_back(Kind::Hardware);
  for (const Row& row : Rows())
    for (Kind kind : kinds) {
      Bench bench(kind);
      ASSERT_TRUE(bench.dev) << Name(kind);
      EXPECT_EQ(row.call(bench), row.want) << row.what << ", on the " << Name(kind) << " device";
    }
}

}  // namespace
