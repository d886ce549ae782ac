#include "sdlhost/sdl_host.h"

#include <SDL_syswm.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "sdlhost/sdl_input.h"

namespace {

volatile std::sig_atomic_t g_signal = 0;
volatile std::sig_atomic_t g_inMessageBox = 0;
// When the first signal came, in whole seconds of the monotonic clock.
volatile std::sig_atomic_t g_signalSecond = 0;

long MonotonicSecond() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
  return static_cast<long>(now.tv_sec);
}

// The program checks for a signal at its next poll or present. A message box
// blocks those, and a signal repeated well after the first means the program
// is not getting there: then the process ends at once. A repeat that follows
// at once is the same request again (a supervisor such as timeout(1) signals
// both the program and its process group) and must not skip giving the
// display's mode back.
void OnSignal(int sig) {
  if (g_inMessageBox) _exit(128 + sig);
  if (g_signal) {
    if (MonotonicSecond() - g_signalSecond >= 2) _exit(128 + sig);
    return;
  }
  g_signalSecond = static_cast<std::sig_atomic_t>(MonotonicSecond());
  g_signal = sig;
}

// Font handles are small numbers of our own; D3DX only needs them non-zero.
std::int32_t NextFontHandle() {
  static std::int32_t next = 0x0A00;
  return ++next;
}

// A message as one line: line breaks become blanks.
std::string OneLine(const std::string& text) {
  std::string line = text;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  return line;
}

}  // namespace

// ---- the form's font ----

HRESULT SdlFont::get_Name(std::string& name) {
  name = name_;
  return 0;
}
HRESULT SdlFont::put_Name(const std::string& name) {
  name_ = name;
  return 0;
}
HRESULT SdlFont::get_hFont(std::int32_t& handle) {
  handle = handle_;
  return 0;
}

// ---- the windowing runtime ----

SdlRuntime::SdlRuntime(SdlHost& host)
    : host_(host), font_(std::make_shared<SdlFont>(NextFontHandle())) {}

HRESULT SdlRuntime::Form_hWnd(std::int32_t& hWnd) {
  if (!host_.Window()) return ErrObjectNotSet;
  hWnd = host_.WindowHandle();
  return 0;
}

HRESULT SdlRuntime::Form_Font(Ref<IFont>& font) {
  font = font_;
  return 0;
}

HRESULT SdlRuntime::MsgBox(const std::string& text) {
  // Every message reaches standard error, so nothing is lost where no box
  // can be shown (no display, or SDL cannot make one).
  std::fprintf(stderr, "Quillon: %s\n", OneLine(text).c_str());
  std::fflush(stderr);
  if (!host_.HasScreen()) return 0;
  SDL_Window* parent = nullptr;
  if (host_.Window() && (SDL_GetWindowFlags(host_.Window()) & SDL_WINDOW_SHOWN)) parent = host_.Window();
  // Where SDL cannot show a box (no usable font, say) the line above is all
  // there is, and the program goes on.
  g_inMessageBox = 1;
  SDL_ShowSimpleMessageBox(0, "Quillon", text.c_str(), parent);
  g_inMessageBox = 0;
  return 0;
}

void SdlRuntime::CloseForm() {
  if (closed_) return;
  closed_ = true;
  if (events_.OnClose) events_.OnClose();
}

void SdlRuntime::DoEvents() {
  host_.CheckSignals();
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_QUIT) {
      CloseForm();
    } else if (e.type == SDL_WINDOWEVENT && e.window.windowID == static_cast<Uint32>(host_.WindowHandle())) {
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) CloseForm();
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED) host_.Display().Refresh();
    }
  }
}

void SdlRuntime::RunUntilFormClosed() {
  if (host_.Window()) SDL_ShowWindow(host_.Window());
  while (!closed_) {
    SDL_WaitEventTimeout(nullptr, 100);
    DoEvents();
  }
}

void SdlRuntime::End(int exitCode) {
  files_.CloseAll();
  host_.Shutdown();
  std::fflush(stdout);
  std::fflush(stderr);
  // Objects still held by the program go with the process; running their
  // destructors after SDL is gone would only reach a closed display.
  std::_Exit(exitCode);
}

std::int32_t SdlRuntime::FileOpenForOutput(const std::string& path, std::int32_t& fileNumber) {
  return files_.OpenForOutput(path, fileNumber);
}
std::int32_t SdlRuntime::FilePrintLine(std::int32_t fileNumber, const std::string& text) {
  return files_.PrintLine(fileNumber, text);
}
std::int32_t SdlRuntime::FileClose(std::int32_t fileNumber) { return files_.Close(fileNumber); }

float SdlRuntime::Timer() {
  if (host_.Config().fixedTime) return static_cast<float>(*host_.Config().fixedTime);
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  auto sinceSecond = now - std::chrono::system_clock::from_time_t(t);
  double fraction = std::chrono::duration<double>(sinceSecond).count();
  double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraction;
  return static_cast<float>(seconds);
}

// ---- the window system ----

SdlWindowSystem::SdlWindowSystem()
    : cursor_([](bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }) {}

// ---- the host ----

SdlHost::SdlHost() = default;

SdlHost::~SdlHost() { Shutdown(); }

bool SdlHost::Start(const HostConfig& config, std::string& error) {
  config_ = config;

  if (!config.keysPath.empty()) {
    KeyScript script;
    if (!LoadKeyScript(config.keysPath, script, error)) return false;
    script_ = std::make_unique<KeyScriptPlayer>(std::move(script));
    auto slash = config.keysPath.find_last_of('/');
    scriptFolder_ = slash == std::string::npos ? "" : config.keysPath.substr(0, slash + 1);
  }

  // Without any display SDL would try its drivers in turn (and print about a
  // missing Wayland runtime directory); the offscreen driver is the answer.
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if ((!display || !*display) && (!wayland || !*wayland) && (!driver || !*driver))
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  // Frames go to the window surface by plain memory (MIT-SHM on X11), not
  // through a hidden OpenGL context.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Termination signals end the process (see CheckSignals), not queue a quit
  // event that the spinning loop would never read.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");

  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::string first = SDL_GetError();
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
      return error = "SDL cannot start its video (" + first + ")", false;
  }
  sdlStarted_ = true;
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGHUP, OnSignal);

  const std::string videoDriver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
  hasScreen_ = videoDriver != "offscreen" && videoDriver != "dummy";

  window_ = SDL_CreateWindow("Form1", 0, 0, 640, 480, SDL_WINDOW_HIDDEN);
  if (!window_) return error = std::string("SDL cannot make the window: ") + SDL_GetError(), false;
  windowId_ = SDL_GetWindowID(window_);

  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11)
    xDisplay_ = info.info.x11.display;

  runtime_ = std::make_unique<SdlRuntime>(*this);
  windows_ = std::make_unique<SdlWindowSystem>();
  display_ = std::make_unique<SdlDisplayHost>(*this);
  objects_ = MakeSdlPlatformObjects(*this);
  return true;
}

Platform SdlHost::GetPlatform() {
  Platform p;
  p.objects = objects_.get();
  p.windows = windows_.get();
  p.runtime = runtime_.get();
  return p;
}

void SdlHost::CheckSignals() {
  if (g_signal == 0) return;
  const int sig = g_signal;
  Shutdown();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
  std::_Exit(128 + sig);
}

void SdlHost::Shutdown() {
  if (!sdlStarted_) return;
  sdlStarted_ = false;
  if (window_) {
    SDL_SetWindowFullscreen(window_, 0);
    SDL_ShowCursor(SDL_ENABLE);
  }
  // SDL_Quit restores the display's own mode and closes the window.
  SDL_Quit();
  window_ = nullptr;
  xDisplay_ = nullptr;
}
