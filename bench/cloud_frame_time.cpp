// The reference device's frame of the spinning cloud at the start (eye at -5)
// and inside the cloud (-1.2), on the tiled rasterizer: one program for
// Linux and for the browser (which has no benchmark library), so that the
// two builds run side by side. Each line gives the median frame time and a
// hash of the frame's bytes, which must be the same in both.
//
//   cloud_frame_time [THREADS [FRAMES [128]]]   (defaults: 2 threads, 40 frames)
//
// 128 (Linux): the device's vector code limited to 128-bit vectors, the
// browser's width, so that the two are also compared lane for lane.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#ifndef __EMSCRIPTEN__
#include <hwy/targets.h>
#endif

#include "platform/d3dx8.h"
#include "refdevice/ref_device.h"
#include "refdevice/ref_direct3d.h"
#include "replay/program_scenes.h"
#include "scene/scene.h"

namespace {

using program_scenes::CloudView;

// FNV-1a over the frame's rows.
std::uint32_t Hash(const FrameView& f) {
  std::uint32_t h = 2166136261u;
  const auto* bytes = static_cast<const std::uint8_t*>(f.pixels);
  for (std::int32_t y = 0; y < f.height; ++y)
    for (std::int32_t x = 0; x < f.width * 4; ++x) h = (h ^ bytes[y * f.pitch + x]) * 16777619u;
  return h;
}

// Draws `frames` frames as the program does (clear, a fresh vertex buffer
// filled and drawn with blending, present) and prints their median time.
bool Run(float eyeZ, int threads, int frames) {
  RefDirect3D8 d3d;
  d3d.SetRasterizerKind(refdev::RasterizerKind::kTiled);
  Ref<Direct3DDevice8> device;
  if (scene::CreateSceneDevice(d3d, D3DDEVTYPE_REF, device) != D3D_OK) return false;
  Direct3DDevice8& dev = *device;
  auto& ref = dynamic_cast<RefDevice&>(dev);
  ref.SetThreadCount(threads);
  CloudView view;
  view.eyeZ = eyeZ;
  const std::vector<std::uint8_t> cloud = program_scenes::CloudVertices();
  const auto size = static_cast<UINT>(cloud.size());
  dev.SetVertexShader(program_scenes::kCloudFvf);
  dev.SetRenderState(D3DRS_LIGHTING, 0);
  dev.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  dev.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  dev.SetTransform(D3DTS_PROJECTION, CloudView::Projection());
  dev.SetTransform(D3DTS_VIEW, view.View());
  dev.SetTransform(D3DTS_WORLD, view.World());
  std::vector<double> ms;
  for (int i = 0; i < frames + 3; ++i) {  // three to warm up
    const auto start = std::chrono::steady_clock::now();
    Ref<Direct3DVertexBuffer8> vb;
    bool ok = dev.BeginScene() == D3D_OK;
    ok &= dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0) == D3D_OK;
    ok &= dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 1) == D3D_OK;
    ok &= dev.CreateVertexBuffer(size, 0, program_scenes::kCloudFvf, D3DPOOL_DEFAULT, vb) == D3D_OK;
    ok &= D3DVertexBuffer8SetData(vb, 0, size, 0, cloud.data()) == D3D_OK;
    ok &= dev.SetStreamSource(0, vb, program_scenes::kCloudStride) == D3D_OK;
    ok &= dev.DrawPrimitive(D3DPT_TRIANGLELIST, 0, program_scenes::kCloudTriangles) == D3D_OK;
    ok &= dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 0) == D3D_OK;
    ok &= dev.EndScene() == D3D_OK;
    // The frame before it is shown; hashing it byte by byte takes about as
    // long as drawing it at the start, so the clock leaves it out.
    const auto drawn = std::chrono::steady_clock::now();
    const std::uint32_t hash = Hash(ref.BackBuffer());
    const auto presenting = std::chrono::steady_clock::now();
    ok &= dev.Present(nullptr, nullptr, 0, nullptr) == D3D_OK;
    if (!ok) return false;
    const std::chrono::duration<double, std::milli> took =
        (drawn - start) + (std::chrono::steady_clock::now() - presenting);
    if (i >= 3) ms.push_back(took.count());
    if (i == frames + 2) {
      std::sort(ms.begin(), ms.end());
      // The fastest frame too: on a busy machine the median takes others' time.
      std::printf(
          "eye %.1f, %d threads: %.2f ms a frame (median of %d, fastest %.2f), frame %08x\n", eyeZ,
          threads, ms[ms.size() / 2], frames, ms.front(), hash);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int threads = argc > 1 ? std::atoi(argv[1]) : 2;
  const int frames = argc > 2 ? std::max(1, std::atoi(argv[2])) : 40;
  if (argc > 3 && std::string_view(argv[3]) == "128") {
#ifdef __EMSCRIPTEN__
    std::fprintf(stderr, "cloud_frame_time: the browser's vectors are 128 bits already\n");
#else
    hwy::DisableTargets(HWY_AVX2 | HWY_AVX3 | HWY_AVX3_DL);
#endif
  }
  for (const float eye : {-5.0f, -1.2f})
    if (!Run(eye, threads, frames)) {
      std::fprintf(stderr, "cloud_frame_time: a device call failed\n");
      return 1;
    }
  return 0;
}
