// The reference device's work around the rasterizer in one frame of the
// spinning cloud: the 72000-byte vertex buffer the program makes, fills and
// drops (through the device, which recycles its memory, beside a buffer made
// afresh each time as before) and the front end (vertex stage, clipping,
// set-up) of the 1000-triangle draw, with a rasterizer that only takes the
// primitives, at the start position and inside the cloud.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/d3d8_defaults.h"
#include "platform/d3dx8.h"
#include "refdevice/front/pipeline.h"
#include "refdevice/raster/rasterizer.h"
#include "refdevice/ref_device.h"
#include "refdevice/ref_direct3d.h"
#include "replay/program_scenes.h"
#include "scene/scene.h"

namespace {

using program_scenes::CloudView;

bool Fill(Direct3DVertexBuffer8& vb, const std::vector<std::uint8_t>& bytes) {
  BYTE* p = nullptr;
  if (vb.Lock(0, static_cast<UINT>(bytes.size()), &p, 0) != D3D_OK) return false;
  std::memcpy(p, bytes.data(), bytes.size());
  return vb.Unlock() == D3D_OK;
}

// Argument: 1 through the device (recycled), 0 a buffer made afresh.
void VertexBufferCycle(benchmark::State& state) {
  RefDirect3D8 d3d;
  Ref<Direct3DDevice8> device;
  if (scene::CreateSceneDevice(d3d, D3DDEVTYPE_REF, device) != D3D_OK) {
    state.SkipWithError("CreateDevice failed");
    return;
  }
  const std::vector<std::uint8_t> cloud = program_scenes::CloudVertices();
  const bool recycled = state.range(0) != 0;
  // As in the program, last frame's buffer is still held when the next is made.
  Ref<Direct3DVertexBuffer8> previous;
  for (auto _ : state) {
    Ref<Direct3DVertexBuffer8> vb;
    if (recycled) {
      if (device->CreateVertexBuffer(program_scenes::kCloudBytes, 0, program_scenes::kCloudFvf,
                                     D3DPOOL_DEFAULT, vb) != D3D_OK) {
        state.SkipWithError("CreateVertexBuffer failed");
        break;
      }
    } else {
      vb = std::make_shared<refdev::RefVertexBuffer>(program_scenes::kCloudBytes, 0,
                                                     program_scenes::kCloudFvf, D3DPOOL_DEFAULT);
    }
    if (!Fill(*vb, cloud)) {
      state.SkipWithError("Lock failed");
      break;
    }
    benchmark::DoNotOptimize(vb.get());
    previous = std::move(vb);
  }
}

// Takes primitives and does nothing with them.
class NullRasterizer final : public refdev::Rasterizer {
 public:
  void Clear(const refdev::ClearCommand&) override {}
  void BeginDraw(const refdev::DrawDescription&) override {}
  void Triangles(const refdev::SetupTriangle* t, std::size_t count) override {
    benchmark::DoNotOptimize(t);
    triangles += count;
  }
  void Lines(const refdev::SetupLine*, std::size_t) override {}
  void Points(const refdev::SetupPoint*, std::size_t) override {}
  void Finish() override {}
  void SetThreads(int) override {}
  int Threads() const override { return 1; }

  std::size_t triangles = 0;
};

// Argument: the eye's distance in tenths.
void FrontEnd(benchmark::State& state) {
  refdev::Surface target;
  target.Allocate(D3DFMT_X8R8G8B8, 640, 480);
  refdev::DepthBuffer depth;
  depth.Allocate(D3DFMT_D16, 640, 480);
  refdev::DeviceState s;
  FillDefaultRenderStates(s.rs, true);
  for (DWORD stage = 0; stage < D3D_MAX_TEXTURE_STAGES; ++stage)
    FillDefaultTextureStageStates(s.tss[stage], stage);
  s.rs[D3DRS_LIGHTING] = 0;
  s.rs[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
  s.rs[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
  s.rs[D3DRS_ALPHABLENDENABLE] = 0xFFFFFFFF;
  CloudView view;
  view.eyeZ = -static_cast<float>(state.range(0)) / 10.0f;
  s.world = view.World();
  s.view = view.View();
  s.proj = CloudView::Projection();
  s.viewport = {0, 0, 640, 480, 0.0f, 1.0f};
  s.fvf = program_scenes::kCloudFvf;
  s.target = &target;
  s.depth = &depth;

  const std::vector<std::uint8_t> cloud = program_scenes::CloudVertices();
  NullRasterizer out;
  refdev::Pipeline pipeline(out);
  for (auto _ : state)
    pipeline.Draw(s, D3DPT_TRIANGLELIST, program_scenes::kCloudTriangles, cloud.data(),
                  program_scenes::kCloudStride);
  state.counters["triangles set up"] =
      static_cast<double>(out.triangles) / static_cast<double>(state.iterations());
}

BENCHMARK(VertexBufferCycle)
    ->ArgName("recycled")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(FrontEnd)
    ->ArgName("distance_x10")
    ->Arg(50)
    ->Arg(12)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
