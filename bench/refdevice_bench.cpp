// The reference device's frames, for the straightforward band rasterizer
// (back end 0) and the tiled one (back end 1), on 1 thread and on all of
// them (threads 0): the program's spinning cloud at the start (distance 50,
// in tenths) and inside it (12), the picture frame, a frame that only clears
// and presents beside a plain memset and memcpy of the same bytes, and a
// fill-rate sweep of triangle sizes. Frames are as the program draws them:
// clear, a fresh vertex buffer filled and drawn, present.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/d3dx8.h"
#include "refdevice/ref_device.h"
#include "refdevice/ref_direct3d.h"
#include "replay/program_scenes.h"
#include "scene/scene.h"

namespace {

using program_scenes::CloudView;

constexpr double kFramePixels = 640.0 * 480.0;

// A scene device with the back end and thread count of the benchmark's
// arguments `kindArg` and `threadsArg`.
struct BenchDevice {
  RefDirect3D8 d3d;
  Ref<Direct3DDevice8> device;

  BenchDevice(benchmark::State& state, int kindArg, int threadsArg) {
    d3d.SetRasterizerKind(state.range(kindArg) ? refdev::RasterizerKind::kTiled
                                               : refdev::RasterizerKind::kBand);
    if (scene::CreateSceneDevice(d3d, D3DDEVTYPE_REF, device) != D3D_OK) {
      state.SkipWithError("CreateDevice failed");
      return;
    }
    const auto threads = static_cast<int>(state.range(threadsArg));
    dynamic_cast<RefDevice&>(*device).SetThreadCount(
        threads > 0 ? threads : static_cast<int>(std::thread::hardware_concurrency()));
  }
};

// Draws `bytes` as `count` primitives of `type` from a buffer made, filled and
// dropped in the frame, as the program does.
bool DrawFromNewBuffer(Direct3DDevice8& dev, DWORD fvf, const std::vector<std::uint8_t>& bytes,
                       UINT stride, D3DPRIMITIVETYPE type, UINT count) {
  Ref<Direct3DVertexBuffer8> vb;
  const auto size = static_cast<UINT>(bytes.size());
  bool ok = dev.CreateVertexBuffer(size, 0, fvf, D3DPOOL_DEFAULT, vb) == D3D_OK;
  ok = ok && D3DVertexBuffer8SetData(vb, 0, size, 0, bytes.data()) == D3D_OK;
  ok = ok && dev.SetStreamSource(0, vb, stride) == D3D_OK;
  return ok && dev.DrawPrimitive(type, 0, count) == D3D_OK;
}

// Frames as the program makes them: begin, clear with `clearFlags` to
// `colour` (depth to 1), `draw`, end and present; stops the benchmark at the
// first failed call.
template <typename Draw>
void RunFrames(benchmark::State& state, Direct3DDevice8& dev, DWORD clearFlags, D3DCOLOR colour,
               Draw draw) {
  for (auto _ : state) {
    bool ok = dev.BeginScene() == D3D_OK;
    ok &= dev.Clear(0, nullptr, clearFlags, colour, 1.0f, 0) == D3D_OK;
    ok &= draw();
    ok &= dev.EndScene() == D3D_OK;
    ok &= dev.Present(nullptr, nullptr, 0, nullptr) == D3D_OK;
    if (!ok) {
      state.SkipWithError("a device call failed");
      break;
    }
  }
}

void ReportFrames(benchmark::State& state, double pixelsPerFrame) {
  const auto frames = static_cast<double>(state.iterations());
  state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["pixels/s"] =
      benchmark::Counter(frames * pixelsPerFrame, benchmark::Counter::kIsRate);
}

// Arguments: back end, distance in tenths, threads.
void CloudFrame(benchmark::State& state) {
  BenchDevice b(state, 0, 2);
  if (!b.device) return;
  Direct3DDevice8& dev = *b.device;
  CloudView view;
  view.eyeZ = -static_cast<float>(state.range(1)) / 10.0f;
  const std::vector<std::uint8_t> cloud = program_scenes::CloudVertices();
  dev.SetVertexShader(program_scenes::kCloudFvf);
  dev.SetRenderState(D3DRS_LIGHTING, 0);
  dev.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  dev.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  dev.SetTransform(D3DTS_PROJECTION, CloudView::Projection());
  dev.SetTransform(D3DTS_VIEW, view.View());
  dev.SetTransform(D3DTS_WORLD, view.World());
  RunFrames(state, dev, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, [&] {
    bool ok = dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 0xFFFFFFFF) == D3D_OK;
    ok &= DrawFromNewBuffer(dev, program_scenes::kCloudFvf, cloud, program_scenes::kCloudStride,
                            D3DPT_TRIANGLELIST, program_scenes::kCloudTriangles);
    return ok && dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 0) == D3D_OK;
  });
  ReportFrames(state, kFramePixels);
}

// Arguments: back end, threads.
void PictureFrame(benchmark::State& state) {
  BenchDevice b(state, 0, 1);
  if (!b.device) return;
  Direct3DDevice8& dev = *b.device;
  const std::vector<std::uint8_t> quad = program_scenes::PictureVertices();
  constexpr DWORD kFvf = 452;  // XYZRHW, DIFFUSE, SPECULAR, TEX1: 32 bytes
  dev.SetVertexShader(kFvf);
  dev.SetRenderState(D3DRS_LIGHTING, 0);
  RunFrames(state, dev, D3DCLEAR_TARGET, 0,
            [&] { return DrawFromNewBuffer(dev, kFvf, quad, 32, D3DPT_TRIANGLESTRIP, 2); });
  ReportFrames(state, kFramePixels);
}

// Arguments: back end, threads.
// Arguments: back end, threads, whether the clear's colour and depth change
// from frame to frame (a clear that repeats what the buffer held writes only
// where something was drawn since). Three values in turn, so that each of
// the two flipped colour buffers sees a new one every time.
void ClearAndPresent(benchmark::State& state) {
  BenchDevice b(state, 0, 1);
  if (!b.device) return;
  Direct3DDevice8& dev = *b.device;
  const bool changing = state.range(2) != 0;
  int round = 0;
  for (auto _ : state) {
    const int k = changing ? round++ % 3 : 0;
    bool ok = dev.BeginScene() == D3D_OK;
    ok &= dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FFu - k,
                    1.0f - 0.25f * static_cast<float>(k), 0) == D3D_OK;
    ok &= dev.EndScene() == D3D_OK;
    ok &= dev.Present(nullptr, nullptr, 0, nullptr) == D3D_OK;
    if (!ok) {
      state.SkipWithError("a device call failed");
      break;
    }
  }
  ReportFrames(state, kFramePixels);
}

// What a clear and present cannot beat: set the colour and depth bytes of a
// 640x480 frame with memset and copy the colour bytes once with memcpy.
void MemsetMemcpy(benchmark::State& state) {
  std::vector<std::uint8_t> colour(640 * 480 * 4), depth(640 * 480 * 2), shown(640 * 480 * 4);
  int round = 0;
  for (auto _ : state) {
    std::memset(colour.data(), 0x40 + (round & 1), colour.size());
    std::memset(depth.data(), 0xFF, depth.size());
    std::memcpy(shown.data(), colour.data(), colour.size());
    benchmark::DoNotOptimize(shown.data());
    ++round;
  }
  ReportFrames(state, kFramePixels);
}

// Arguments: back end, triangle size in pixels (the horizontal leg of a
// right triangle whose vertical leg is 3/4 of it, so that 500 fits), threads.
// Opaque Gouraud triangles at scattered places, all passing the depth test,
// as many as make about two screens of pixels.
void FillRate(benchmark::State& state) {
  BenchDevice b(state, 0, 2);
  if (!b.device) return;
  Direct3DDevice8& dev = *b.device;
  const auto w = static_cast<float>(state.range(1)), h = w * 0.75f;
  struct V {
    float x, y, z, rhw;
    std::uint32_t colour;
  };
  std::vector<V> v;
  const double each = w * h / 2;
  const auto count = static_cast<int>(2 * kFramePixels / each) + 1;
  std::uint32_t r = 12345;
  for (int i = 0; i < count; ++i) {
    r = r * 1664525u + 1013904223u;
    const float x = static_cast<float>(r >> 8 & 0xFFFF) / 65536.0f * (640 - w);
    const float y = static_cast<float>(r >> 16 & 0xFFFF) / 65536.0f * (480 - h);
    const std::uint32_t c = 0xFF000000u | r;
    v.push_back({x, y, 0.5f, 1, c});
    v.push_back({x + w, y, 0.5f, 1, c ^ 0xFF});
    v.push_back({x, y + h, 0.5f, 1, c ^ 0xFF00});
  }
  const double pixels = each * count;
  std::vector<std::uint8_t> bytes(v.size() * sizeof(V));
  std::memcpy(bytes.data(), v.data(), bytes.size());
  constexpr DWORD kFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
  dev.SetVertexShader(kFvf);
  dev.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  RunFrames(state, dev, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, [&] {
    return DrawFromNewBuffer(dev, kFvf, bytes, sizeof(V), D3DPT_TRIANGLELIST,
                             static_cast<UINT>(v.size() / 3));
  });
  ReportFrames(state, pixels);
}

BENCHMARK(CloudFrame)
    ->ArgNames({"backend", "distance_x10", "threads"})
    ->ArgsProduct({{0, 1}, {50, 12}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(PictureFrame)
    ->ArgNames({"backend", "threads"})
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(ClearAndPresent)
    ->ArgNames({"backend", "threads", "changing"})
    ->ArgsProduct({{0, 1}, {1, 0}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(MemsetMemcpy)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(FillRate)
    ->ArgNames({"backend", "size", "threads"})
    ->ArgsProduct({{0, 1}, {10, 30, 100, 250, 500}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
