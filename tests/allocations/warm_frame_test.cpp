// A warm frame of the spinning cloud takes nothing from the heap beyond what
// the program asks for. The frame is driven through the platform the program
// gets on the SDL host (offscreen), call for call as its loop makes them:
// keyboard poll, transforms, scene, clear, a new 72000-byte vertex buffer
// filled and drawn, the tick count, the log line, present. Every operator new
// of the process (the device's worker threads included) is counted while the
// frames run, so this binary replaces it and holds nothing else.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "platform/d3dx8.h"
#include "platform/d3dx8_math.h"
#include "refdevice/program_scenes.h"
#include "refdevice/ref_device.h"
#include "sdlhost/sdl_platform.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void* Allocate(std::size_t size, std::size_t alignment) {
  if (g_counting.load(std::memory_order_relaxed))
    g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (size == 0) size = 1;
  void* p = nullptr;
  if (alignment <= alignof(std::max_align_t)) {
    p = std::malloc(size);
  } else {
    size = (size + alignment - 1) / alignment * alignment;
    p = std::aligned_alloc(alignment, size);
  }
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) {
  return Allocate(size, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace {

namespace fs = std::filesystem;

struct Case {
  int threads;
  bool drawUnseen;  // the window's surface drawn as a screen would show it
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.threads << (c.threads == 1 ? " worker, " : " workers, ")
      << (c.drawUnseen ? "drawn" : "headless");
}

class WarmFrame : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ::unsetenv("DISPLAY");
    dir_ = fs::temp_directory_path() / ("quillon-alloc-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ::setenv("QUILLON_DRIVE_C", dir_.c_str(), 1);
    std::ofstream(dir_ / "k.keys") << "100000 UP\n";
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
};

TEST_P(WarmFrame, AllocatesNothing) {
  HostConfig config;
  config.keysPath = (dir_ / "k.keys").string();
  config.vsync = false;
  config.device = DeviceChoice::Ref;
  config.drawUnseen = GetParam().drawUnseen;
  SdlPlatform host;
  std::string error;
  ASSERT_TRUE(host.Start(config, error)) << error;
  const Platform platform = host.GetPlatform();
  Runtime& runtime = *platform.runtime;
  WindowSystem& windows = *platform.windows;

  Ref<DirectX8> dx;
  ASSERT_EQ(platform.objects->NewDirectX8(dx), 0);
  Ref<Direct3D8> d3d;
  ASSERT_EQ(dx->Direct3DCreate(d3d), 0);
  Ref<DirectInput8> di;
  ASSERT_EQ(dx->DirectInputCreate(di), 0);
  std::int32_t hWnd = 0;
  ASSERT_EQ(runtime.Form_hWnd(hWnd), 0);

  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 640;
  pp.BackBufferHeight = 480;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_FLIP;
  pp.EnableAutoDepthStencil = 1;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  Ref<Direct3DDevice8> device;
  ASSERT_EQ(
      d3d->CreateDevice(0, D3DDEVTYPE_REF, hWnd, D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp, device),
      D3D_OK);
  auto* ref = dynamic_cast<RefDevice*>(device.get());
  ASSERT_NE(ref, nullptr);
  ref->SetThreadCount(GetParam().threads);

  Ref<DirectInputDevice8> keyboard;
  ASSERT_EQ(di->CreateDevice("GUID_SysKeyboard", keyboard), 0);
  ASSERT_EQ(keyboard->SetCommonDataFormat(DIFORMAT_KEYBOARD), 0);
  ASSERT_EQ(keyboard->SetCooperativeLevel(hWnd, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), 0);
  ASSERT_EQ(keyboard->Acquire(), 0);

  Direct3DDevice8& dev = *device;
  dev.SetRenderState(D3DRS_LIGHTING, 0);
  dev.SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  dev.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  dev.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  dev.SetTransform(D3DTS_PROJECTION, program_scenes::CloudView::Projection());
  const std::vector<std::uint8_t> cloud = program_scenes::CloudVertices();
  std::int32_t log = 0;
  ASSERT_EQ(runtime.FileOpenForOutput("C:\\FPS.TXT", log), 0);

  program_scenes::CloudView view;
  Ref<Direct3DVertexBuffer8> buffer;
  auto frame = [&] {
    DIKEYBOARDSTATE keys{};
    bool ok = keyboard->GetDeviceStateKeyboard(keys) == DI_OK;
    view.angleX += 0.01f;
    view.angleY += 0.02f;
    if (keys[DIK_UP]) view.eyeZ -= 0.01f;  // away: the frames stay alike
    ok &= dev.SetTransform(D3DTS_VIEW, view.View()) == D3D_OK;
    ok &= dev.SetTransform(D3DTS_WORLD, view.World()) == D3D_OK;
    ok &= dev.BeginScene() == D3D_OK;
    ok &= dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0) == D3D_OK;
    ok &= dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 0xFFFFFFFF) == D3D_OK;
    Ref<Direct3DVertexBuffer8> fresh;
    ok &= dev.CreateVertexBuffer(program_scenes::kCloudBytes, 0, program_scenes::kCloudFvf,
                                 D3DPOOL_DEFAULT, fresh) == D3D_OK;
    buffer = std::move(fresh);
    ok &= D3DVertexBuffer8SetData(buffer, 0, program_scenes::kCloudBytes, 0, cloud.data()) == 0;
    ok &= dev.SetStreamSource(0, buffer, program_scenes::kCloudStride) == D3D_OK;
    ok &= dev.SetVertexShader(program_scenes::kCloudFvf) == D3D_OK;
    ok &= dev.DrawPrimitive(D3DPT_TRIANGLELIST, 0, program_scenes::kCloudTriangles) == D3D_OK;
    const std::string line = std::to_string(windows.GetTickCount() % 1000u);  // short: no heap
    ok &= runtime.FilePrintLine(log, line) == 0;
    ok &= dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 0) == D3D_OK;
    ok &= dev.EndScene() == D3D_OK;
    ok &= runtime.Form_hWnd(hWnd) == 0;
    ok &= dev.Present(nullptr, nullptr, hWnd, nullptr) == D3D_OK;
    return ok;
  };

  for (int i = 0; i < 20; ++i) ASSERT_TRUE(frame()) << "warm-up frame " << i;
  g_allocations = 0;
  g_counting = true;
  bool ok = true;
  for (int i = 0; i < 60; ++i) ok &= frame();
  g_counting = false;
  EXPECT_TRUE(ok);
  EXPECT_EQ(g_allocations.load(), 0) << "allocations in 60 warm frames";

  EXPECT_EQ(runtime.FileClose(log), 0);
  buffer.reset();
  keyboard->Unacquire();
}

INSTANTIATE_TEST_SUITE_P(Frames, WarmFrame,
                         ::testing::Values(Case{1, false}, Case{2, false}, Case{1, true},
                                           Case{2, true}),
                         [](const auto& info) {
                           return "Workers" + std::to_string(info.param.threads) +
                                  (info.param.drawUnseen ? "Drawn" : "Headless");
                         });

}  // namespace
