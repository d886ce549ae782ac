// One frame of the program's spinning cloud on the reference device, as the
// program draws it: clear, blending on, a fresh 72000-byte vertex buffer
// filled and drawn as 1000 triangles, blending off, present. Arguments: the
// camera distance in tenths (50 = 5, the start; 12 = 1.2, inside the cloud
// where near-plane clipping fills the screen) and the rasterizing threads.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/d3dx8.h"
#include "refdevice/program_scenes.h"
#include "refdevice/ref_device.h"
#include "refdevice/ref_direct3d.h"
#include "scene/scene.h"

namespace {

using program_scenes::CloudView;

// Peak resident memory of the process so far, in KiB (0 if unknown).
double PeakResidentKiB() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  double kib = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) {
      kib = std::atof(line + 6);
      break;
    }
  }
  std::fclose(f);
  return kib;
}

void CloudFrame(benchmark::State& state) {
  RefDirect3D8 d3d;
  Ref<Direct3DDevice8> device;
  if (scene::CreateSceneDevice(d3d, D3DDEVTYPE_REF, device) != D3D_OK) {
    state.SkipWithError("CreateDevice failed");
    return;
  }
  dynamic_cast<RefDevice&>(*device).SetThreadCount(static_cast<int>(state.range(1)));
  Direct3DDevice8& dev = *device;

  CloudView view;
  view.eyeZ = -static_cast<float>(state.range(0)) / 10.0f;
  const std::vector<std::uint8_t> cloud = program_scenes::CloudVertices();
  dev.SetVertexShader(program_scenes::kCloudFvf);
  dev.SetRenderState(D3DRS_LIGHTING, 0);
  dev.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  dev.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  dev.SetTransform(D3DTS_PROJECTION, CloudView::Projection());
  dev.SetTransform(D3DTS_VIEW, view.View());
  dev.SetTransform(D3DTS_WORLD, view.World());

  for (auto _ : state) {
    bool ok = dev.BeginScene() == D3D_OK;
    ok &= dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0) == D3D_OK;
    ok &= dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 0xFFFFFFFF) == D3D_OK;
    Ref<Direct3DVertexBuffer8> vb;
    ok &= dev.CreateVertexBuffer(program_scenes::kCloudBytes, 0, program_scenes::kCloudFvf,
                                 D3DPOOL_DEFAULT, vb) == D3D_OK;
    ok &= D3DVertexBuffer8SetData(vb, 0, program_scenes::kCloudBytes, 0, cloud.data()) == D3D_OK;
    ok &= dev.SetStreamSource(0, vb, program_scenes::kCloudStride) == D3D_OK;
    ok &= dev.DrawPrimitive(D3DPT_TRIANGLELIST, 0, program_scenes::kCloudTriangles) == D3D_OK;
    ok &= dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 0) == D3D_OK;
    ok &= dev.EndScene() == D3D_OK;
    ok &= dev.Present(nullptr, nullptr, 0, nullptr) == D3D_OK;
    if (!ok) {
      state.SkipWithError("a device call failed");
      break;
    }
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["peak_RSS_KiB"] = PeakResidentKiB();
}

BENCHMARK(CloudFrame)
    ->ArgNames({"distance_x10", "threads"})
    ->Args({50, 1})
    ->Args({50, 2})
    ->Args({12, 1})
    ->Args({12, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
