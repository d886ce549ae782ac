// Warm frames of the spinning cloud take nothing from the heap. The program
// itself runs, as main runs it, on the platform the SDL host gives it
// (offscreen, on the reference device), steered by a key script. It reads the
// tick count once a frame: every operator new of the process (the device's
// worker threads included) between its 20th and its 80th reading is counted,
// so this binary replaces operator new and holds nothing else. The program
// ends the process itself, so each case runs in a child.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <tuple>

#include "app/frmTest.h"
#include "sdlhost/sdl_platform.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void* Allocate(std::size_t size, std::size_t alignment) {
  if (g_counting.load(std::memory_order_relaxed))
    g_allocations.fetch_add(1, std::memory_order_relaxed);
  // aligned_alloc takes only whole multiples of the alignment.
  size = std::max(alignment, (size + alignment - 1) / alignment * alignment);
  void* p = alignment > 1 ? std::aligned_alloc(alignment, size) : std::malloc(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size, 1); }
void* operator new(std::size_t size, std::align_val_t a) {
  return Allocate(size, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace {

namespace fs = std::filesystem;

// The host's window system, counting from the 20th tick reading to the 80th.
class CountingWindows final : public WindowSystem {
 public:
  explicit CountingWindows(WindowSystem& host) : host_(host) {}
  std::int32_t ShowCursor(std::int32_t bShow) override { return host_.ShowCursor(bShow); }
  std::uint32_t GetTickCount() override {
    if (++readings_ == 20) {
      g_allocations = 0;
      g_counting = true;
    } else if (readings_ == 80) {
      g_counting = false;
      std::fprintf(stderr, "allocations in 60 warm frames: %ld\n", g_allocations.load());
    }
    return host_.GetTickCount();
  }

 private:
  WindowSystem& host_;
  int readings_ = 0;
};

// The program for 100 frames with Up held, then Escape; ends the process.
// The time of day seeds the cloud: fixed, every run draws the same one. (The
// reference device keeps its per-draw lists at their high-water mark, so a
// cloud turning into more clipped triangles than before still grows them; the
// eye moving away keeps each frame's work within the last one's.)
void RunProgram(int threads, bool drawUnseen, const fs::path& dir) {
  std::ofstream(dir / "k.keys") << "100 UP\n1 ESCAPE\n";
  HostConfig config;
  config.keysPath = (dir / "k.keys").string();
  config.vsync = false;
  config.device = DeviceChoice::Ref;
  config.threads = threads;
  config.drawUnseen = drawUnseen;
  config.fixedTime = 45296.25;
  SdlPlatform host;
  std::string error;
  if (!host.Start(config, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::_Exit(2);
  }
  Platform platform = host.GetPlatform();
  CountingWindows windows(*platform.windows);
  platform.windows = &windows;
  InstallPlatform(platform);
  frmTest form;
  form.Form_Load();
}

// The drawing threads, and whether the window's surface is drawn as a screen
// would show it.
class WarmFrame : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(WarmFrame, AllocatesNothing) {
  ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
  ::unsetenv("DISPLAY");
  const fs::path dir = fs::temp_directory_path() / ("quillon-alloc-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  ::setenv("QUILLON_DRIVE_C", dir.c_str(), 1);
  EXPECT_EXIT(RunProgram(std::get<0>(GetParam()), std::get<1>(GetParam()), dir),
              ::testing::ExitedWithCode(0), "allocations in 60 warm frames: 0\n");
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Frames, WarmFrame,
                         ::testing::Combine(::testing::Values(1, 2), ::testing::Bool()));

}  // namespace
