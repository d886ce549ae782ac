// The host as the program gets it (SdlPlatform) on SDL's offscreen driver, for
// what the end-to-end tests (tests/e2e/) cannot reach: signals, the keyboard
// device's rules, the cursor's count, the display's refusals and scaling, the
// screenshot folder.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "pictures/picture_files.h"
#include "sdlhost/sdl_platform.h"

namespace fs = std::filesystem;

namespace {

class OffscreenHost : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ::unsetenv("DISPLAY");
    dir_ = fs::temp_directory_path() /
           ("quillon-host-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ::setenv("QUILLON_DRIVE_C", dir_.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // These tests look at the window's surface as a screen would show it.
  void Start(HostConfig config = {}) {
    config.drawUnseen = true;
    std::string error;
    ASSERT_TRUE(platform_.Start(config, error)) << error;
  }
  SDL_Window* Window() { return platform_.Host().Window(); }
  std::int32_t WindowHandle() { return platform_.Host().WindowHandle(); }

  fs::path dir_;
  SdlPlatform platform_;
};

D3DPRESENT_PARAMETERS Params(UINT width, UINT height, D3DFORMAT format, bool windowed = false) {
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = format;
  pp.Windowed = windowed;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  return pp;
}

// A 640x480 frame with a red left half and a green right half.
FrameView Halves() {
  static const std::vector<std::uint32_t> pixels = [] {
    std::vector<std::uint32_t> p(640 * 480);
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = i % 640 < 320 ? 0xFFFF0000u : 0xFF00FF00u;
    return p;
  }();
  return {pixels.data(), 640, 480, 640 * 4, D3DFMT_X8R8G8B8};
}

// The colour on the screen (the window's surface) at x, y.
std::uint32_t At(SDL_Surface* s, int x, int y) {
  return *reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(s->pixels) +
                                                 y * s->pitch + x * 4) &
         0xFFFFFFu;
}

}  // namespace

// nohup(1) and background shells hand the program ignored signals; those stay
// ignored, the others are caught. (Each check puts the default back.)
TEST_F(OffscreenHost, SignalsIgnoredByTheParentStayIgnored) {
  std::signal(SIGHUP, SIG_IGN);
  std::signal(SIGTERM, SIG_DFL);
  Start();
  EXPECT_EQ(std::signal(SIGHUP, SIG_DFL), SIG_IGN);
  const auto term = std::signal(SIGTERM, SIG_DFL);
  EXPECT_TRUE(term != SIG_DFL && term != SIG_IGN);
  platform_.Host().Shutdown();
}

TEST_F(OffscreenHost, KeyboardDeviceFollowsTheDirectInputRules) {
  std::ofstream(dir_ / "k.keys") << "1 UP\n";
  HostConfig config;
  config.keysPath = (dir_ / "k.keys").string();
  Start(config);
  Ref<DirectX8> dx;
  Ref<DirectInput8> di;
  Ref<DirectInputDevice8> kb;
  ASSERT_EQ(platform_.GetPlatform().objects->NewDirectX8(dx), 0);
  ASSERT_EQ(dx->DirectInputCreate(di), 0);
  EXPECT_EQ(di->CreateDevice("GUID_SysMouse", kb), DIERR_DEVICENOTREG);
  ASSERT_EQ(di->CreateDevice("GUID_SysKeyboard", kb), 0);

  DIKEYBOARDSTATE state{};
  EXPECT_EQ(kb->GetDeviceStateKeyboard(state), DIERR_NOTACQUIRED);
  EXPECT_EQ(kb->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
  EXPECT_EQ(kb->SetCommonDataFormat(2), DIERR_INVALIDPARAM);
  ASSERT_EQ(kb->SetCommonDataFormat(DIFORMAT_KEYBOARD), 0);
  const std::int32_t hWnd = WindowHandle(), shared = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
  // clang-format off
  const struct { std::int32_t window, flags; HRESULT result; } levels[] = {
      {hWnd, DISCL_NONEXCLUSIVE, DIERR_INVALIDPARAM}, {hWnd, shared | DISCL_EXCLUSIVE, DIERR_INVALIDPARAM},
      {hWnd, DISCL_EXCLUSIVE | DISCL_BACKGROUND, E_NOTIMPL}, {hWnd + 1, shared, DIERR_INVALIDPARAM},
      {hWnd, shared, 0}};
  // clang-format on
  for (const auto& l : levels) EXPECT_EQ(kb->SetCooperativeLevel(l.window, l.flags), l.result);
  ASSERT_EQ(kb->Acquire(), 0);

  ASSERT_EQ(kb->GetDeviceStateKeyboard(state), 0);
  EXPECT_EQ(state[DIK_UP], 0x80);  // the script's poll by poll: KeyScript's tests
  EXPECT_EQ(kb->Unacquire(), 0);
  EXPECT_EQ(kb->Unacquire(), 0);  // "no effect" is a success
  EXPECT_EQ(kb->GetDeviceStateKeyboard(state), DIERR_NOTACQUIRED);
}

// Each press of the host's keys is one action however quickly they come
// (F12 a picture, Alt+Enter a switch, each taken at a present of its own);
// a key's repeat is no press, Enter alone no switch.
TEST_F(OffscreenHost, EachPressOfTheHostsKeysIsOneRequest) {
  Start();
  // clang-format off
  const struct { SDL_Keycode key; Uint16 mod; bool repeat; int times; } presses[] = {
      {SDLK_F12, 0, false, 20}, {SDLK_F12, 0, true, 3}, {SDLK_RETURN, KMOD_LALT, false, 2},
      {SDLK_KP_ENTER, KMOD_RALT, false, 1}, {SDLK_RETURN, 0, false, 1}};
  // clang-format on
  for (const auto& p : presses)
    for (int i = 0; i < p.times; ++i) {
      SDL_Event e{};
      e.key = {SDL_KEYDOWN, 0, SDL_GetWindowID(Window()), SDL_PRESSED, p.repeat, 0, 0, {}};
      e.key.keysym.sym = p.key;
      e.key.keysym.mod = p.mod;
      ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
  int pictures = 0, switches = 0;
  while (platform_.Host().TakeScreenshotRequest()) ++pictures;
  while (platform_.Host().TakeFullScreenToggle()) ++switches;
  EXPECT_EQ(pictures, 20);
  EXPECT_EQ(switches, 3);
}

// The count moves by one per call; SDL's cursor changes only when zero is
// crossed, and any non-zero argument shows.
TEST_F(OffscreenHost, CursorCounterDrivesSdlsCursor) {
  Start();
  WindowSystem& ws = *platform_.GetPlatform().windows;
  // clang-format off
  const struct { std::int32_t show, count; int sdl; } steps[] = {
      {1, 1, SDL_ENABLE}, {0, 0, SDL_ENABLE}, {0, -1, SDL_DISABLE}, {0, -2, SDL_DISABLE},
      {1, -1, SDL_DISABLE}, {1, 0, SDL_ENABLE}, {-1, 1, SDL_ENABLE}, {7, 2, SDL_ENABLE},
  };
  // clang-format on
  for (const auto& s : steps) {
    EXPECT_EQ(ws.ShowCursor(s.show), s.count) << s.show;
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), s.sdl) << s.count;
  }
}

// On a screen the frame is scaled into the window with its aspect kept; with
// none nothing is drawn for nobody. Either way other windows, unlisted modes
// and unknown formats are refused. (The modes and the captures:
// tests/e2e/xvfb_fullscreen.sh and headless_script.sh.)
TEST_F(OffscreenHost, FullScreenFramesAreScaledOnAScreenAndBadOnesRefused) {
  for (const bool screen : {true, false}) {
    SCOPED_TRACE(screen ? "screen" : "no screen");
    SdlPlatform platform;
    std::string error;
    HostConfig c;
    c.drawUnseen = screen;
    ASSERT_TRUE(platform.Start(c, error)) << error;
    SdlDisplayHost& display = platform.Display();
    const std::int32_t window = platform.Host().WindowHandle();
    EXPECT_EQ(display.DesktopMode().Width, 1024u);  // SDL's, not the 640x480 of a failure
    EXPECT_EQ(display.AttachDevice(window + 7, Params(640, 480, D3DFMT_X8R8G8B8)),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(display.AttachDevice(window, Params(641, 480, D3DFMT_X8R8G8B8)), D3DERR_INVALIDCALL);
    ASSERT_EQ(display.AttachDevice(window, Params(640, 480, D3DFMT_X8R8G8B8)), D3D_OK);
    EXPECT_TRUE(display.FullScreen());
    ASSERT_EQ(display.Present(Halves(), 0), D3D_OK);

    SDL_Surface* s = SDL_GetWindowSurface(platform.Host().Window());
    ASSERT_NE(s, nullptr);
    const Placement p = FitWithAspect(640, 480, s->w, s->h);
    // Every row of the placement shows the frame, repeated rows included.
    for (int y = p.y; y < p.y + p.height; ++y) {
      ASSERT_EQ(At(s, p.x, y), screen ? 0xFF0000u : 0u) << y;
      ASSERT_EQ(At(s, p.x + p.width - 1, y), screen ? 0x00FF00u : 0u) << y;
    }
    FrameView bad = Halves();
    bad.format = D3DFMT_P8;
    EXPECT_EQ(display.Present(bad, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(display.Present(Halves(), window + 7), D3DERR_INVALIDCALL);
    display.DetachDevice();
    EXPECT_FALSE(display.FullScreen());
  }
}

TEST_F(OffscreenHost, WindowedDeviceStretchesIntoTheForm) {
  Start();
  SdlDisplayHost& display = platform_.Display();
  UINT w = 0, h = 0;
  ASSERT_TRUE(display.WindowClientSize(WindowHandle(), w, h));
  EXPECT_EQ(w, 640u);
  EXPECT_EQ(h, 480u);
  ASSERT_EQ(display.AttachDevice(WindowHandle(), Params(320, 240, D3DFMT_R5G6B5, true)), D3D_OK);
  EXPECT_FALSE(display.FullScreen());
  std::vector<std::uint16_t> pixels(320 * 240, 0x001F);  // blue
  ASSERT_EQ(display.Present({pixels.data(), 320, 240, 640, D3DFMT_R5G6B5}, 0), D3D_OK);
  SDL_Surface* s = SDL_GetWindowSurface(Window());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(At(s, 0, 0), 0x0000FFu);
  EXPECT_EQ(At(s, s->w - 1, s->h - 1), 0x0000FFu);
}

// F12's folder: XDG_PICTURES_DIR (tests/e2e/xvfb_fullscreen.sh), else the user's
// user-dirs.dirs (in XDG_CONFIG_HOME, else ~/.config), else ~/Pictures;
// "quillon" inside; without HOME the home is the password database's, as
// for drive C. One that cannot be made or looked into gives one line with
// the reason and what to do, and the program goes on.
TEST_F(OffscreenHost, F12sFolderFollowsTheUsersDirectoriesOrSaysWhy) {
  const std::string home = dir_.string(), savedHome = ::getenv("HOME");
  const std::string userHome = ::getpwuid(::getuid())->pw_dir;
  fs::create_directories(home + "/config");
  std::ofstream(home + "/config/user-dirs.dirs") << "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
  std::ofstream(home + "/file").flush();
  fs::create_directories(home + "/locked");
  fs::permissions(home + "/locked", fs::perms::owner_read | fs::perms::owner_exec);
  ::setenv("HOME", home.c_str(), 1);
  Start();
  // clang-format off
  const struct { std::string pictures, config, said; bool noHome = false; } cases[] = {
      {"", home + "/config", home + "/Bilder/quillon"}, {"", "relative", home + "/Pictures/quillon"},
      {"", home + "/config", userHome + "/Bilder/quillon", true},
      {home + "/file/pics", "", "Not a directory"},
      {home + "/locked", "", "Permission denied"},  // its quillon folder cannot be made
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    ::setenv("XDG_PICTURES_DIR", c.pictures.c_str(), 1);  // "" is not a folder: unset
    ::setenv("XDG_CONFIG_HOME", c.config.c_str(), 1);
    if (c.noHome)
      ::unsetenv("HOME");
    else
      ::setenv("HOME", home.c_str(), 1);
    if (c.said.starts_with("/")) {
      EXPECT_EQ(ScreenshotFolder(), c.said);
      continue;
    }
    if (c.said == "Permission denied" && ::geteuid() == 0) continue;
    ::testing::internal::CaptureStderr();
    platform_.Display().SaveScreenshot(Image{1, 1, {0}});
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(said, ::testing::StartsWith("quillon: cannot "));
    EXPECT_THAT(said, ::testing::HasSubstr(c.said));
    EXPECT_THAT(said, ::testing::EndsWith("set XDG_PICTURES_DIR to a folder you can write\n"));
  }
  // A FIFO in its place is not opened: a writer finds no reader to take its line.
  fs::create_directories(home + "/fifo");
  ::mkfifo((home + "/fifo/user-dirs.dirs").c_str(), 0600);
  ::unsetenv("XDG_PICTURES_DIR");
  ::setenv("XDG_CONFIG_HOME", (home + "/fifo").c_str(), 1);
  std::thread writer([&] {
    for (int i = 0; i < 50; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
      if (const int fd = ::open((home + "/fifo/user-dirs.dirs").c_str(), O_WRONLY | O_NONBLOCK);
          fd >= 0) {
        EXPECT_EQ(::write(fd, "XDG_PICTURES_DIR=/x\n", 20), 20);
        ::close(fd);
      }
  });
  EXPECT_EQ(ScreenshotFolder(), home + "/Pictures/quillon");
  writer.join();
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", savedHome.c_str(), 1);
  fs::permissions(home + "/locked", fs::perms::owner_all);
}

// A full-screen device shown in the form's window (QUILLON_WINDOWED), resized
// by the user to 1000x500, shows the whole frame with its aspect, bars at the
// sides (tests/e2e/xvfb_fullscreen.sh); linear scaling mixes the halves where
// they meet, and stays inside the frame's corners.
TEST_F(OffscreenHost, LinearScalingBlendsInsideThePicture) {
  HostConfig c;
  c.windowed = c.linearScaling = true;
  Start(c);
  ASSERT_EQ(platform_.Display().AttachDevice(WindowHandle(), Params(640, 480, D3DFMT_X8R8G8B8)),
            D3D_OK);
  SDL_SetWindowSize(Window(), 1000, 500);
  ASSERT_EQ(platform_.Display().Present(Halves(), 0), D3D_OK);
  SDL_Surface* s = SDL_GetWindowSurface(Window());
  ASSERT_EQ(s->w, 1000);
  const Placement p = FitWithAspect(640, 480, 1000, 500);
  const int right = p.x + p.width - 1;
  EXPECT_EQ(At(s, p.x - 1, 250), 0u);
  EXPECT_EQ(At(s, p.x, 0), 0xFF0000u);
  EXPECT_EQ(At(s, right, 499), 0x00FF00u);
  int blended = 0;
  for (int x = p.x; x <= right; ++x)
    blended += At(s, x, 250) != 0xFF0000u && At(s, x, 250) != 0x00FF00u;
  EXPECT_GT(blended, 0);
}
