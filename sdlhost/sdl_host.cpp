#include "sdlhost/sdl_host.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "scene/user_files.h"
#include "hostcommon/captures.h"
#include "hostcommon/host_log.h"
#include "hostcommon/shell.h"

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

// How long the program may take to reach its next poll or present after a
// signal (or to shut down after that) before the process ends without it.
constexpr unsigned kSignalGraceSeconds = 3;

// The signals whose default action ends the process and that come from
// outside it (not a fault of its own, such as SIGSEGV): each gives the
// display's mode back first. SIGALRM is among them: it is also the grace
// period's end.
// (SIGPROF is left to profilers.)
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,    SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2,
                                  SIGALRM, SIGVTALRM, SIGIO,   SIGPWR,  SIGXCPU};

// The program checks for a signal at its next poll or present. A message box
// blocks those, and a signal repeated well after the first means the program
// is not getting there: then the process ends at once. A repeat that follows
// at once is the same request again (a supervisor such as timeout(1) signals
// both the program and its process group) and must not skip giving the
// display's mode back. The first signal also starts the grace period, so
// that one signal ends the process even when it is blocked somewhere (a
// write to a full pipe, the open of a FIFO) and no second one comes.
void OnSignal(int sig) {
  if (g_inMessageBox) _exit(128 + sig);
  if (g_signal) {
    if (sig == SIGALRM || MonotonicSecond() - g_signalSecond >= 2) _exit(128 + g_signal);
    return;
  }
  g_signalSecond = static_cast<std::sig_atomic_t>(MonotonicSecond());
  g_signal = sig;
  alarm(kSignalGraceSeconds);
}

// A signal the parent set to be ignored stays ignored: nohup(1) ignores
// SIGHUP, and a shell ignores SIGINT for background jobs, so that the program
// outlives the terminal. SIGALRM is always caught: it ends the grace period.
void CatchUnlessIgnored(int sig) {
  struct sigaction old {};
  if (sig != SIGALRM && sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return;
  std::signal(sig, OnSignal);
}

// The form's X window, and whether a request on it failed because another
// program destroyed it (xdotool windowclose, xkill -id). Xlib's own handler
// would print the raw error and exit(1) at the next present; the host records
// it instead, and the device's next present or the keyboard's next poll
// fails, so that the program reports it and shuts down.
unsigned long g_xWindow = 0;
Display* g_xDisplay = nullptr;
bool g_xWindowGone = false;
// The X server went away (it ended, or the connection broke): from then on
// nothing may reach X, as every request would only fail again.
bool g_xDisplayLost = false;
XErrorHandler g_previousXHandler = nullptr;
pid_t g_hostPid = 0;

// GLX's first error number on the form's connection (0: no GLX), and its
// errors that name a drawable or a window, by their protocol numbers.
int g_glxFirstError = 0;
constexpr int kGlxBadDrawable = 2, kGlxBadCurrentDrawable = 11, kGlxBadWindow = 12;

// A request failed on a window or drawable that no longer exists: the core
// errors, or OpenGL's swap finding its window gone.
bool IsWindowError(const XErrorEvent& error) {
  if (error.error_code == BadDrawable || error.error_code == BadWindow) return true;
  if (g_glxFirstError == 0) return false;
  const int glx = error.error_code - g_glxFirstError;
  return glx == kGlxBadDrawable || glx == kGlxBadCurrentDrawable || glx == kGlxBadWindow;
}

int OnXError(Display* display, XErrorEvent* error) {
  // Once the server is gone, what still fails (OpenGL's swap finds no
  // drawable) is part of that loss, already said.
  if (g_xDisplayLost) return 0;
  // The id in the report is not always the window's (a coordinate request
  // names the bad one of its two windows); any window error once the form's
  // window exists is taken for its loss: the host makes no other windows
  // that another program could destroy.
  if (g_xWindow != 0 && IsWindowError(*error)) {
    if (!g_xWindowGone)
      HostLog(LogLevel::Error, "the window was destroyed by another program; ending");
    g_xWindowGone = true;
    return 0;
  }
  return g_previousXHandler ? g_previousXHandler(display, error) : 0;
}

// One line instead of Xlib's. On the form's connection the call that failed
// returns (see OnXIOErrorExit) and the program ends through its own report
// and shutdown. Any other connection (SDL's wake-up one), and the form's
// while a message box holds the only thread, belong to something that would
// wait on it for ever: the process ends at once. Files lose nothing: every
// line is written when printed.
int OnXIOError(Display* display) {
  // SDL shows a message box from a child process: the parent, which waits
  // for it, says what happened.
  if (::getpid() != g_hostPid) std::_Exit(1);
  if (!g_xDisplayLost) {
    // The name is DISPLAY's value: shown quoted.
    const char* name = display ? DisplayString(display) : nullptr;
    HostLog(LogLevel::Error, std::string("the connection to the display ") +
                                 (name && *name ? scene::Printable(name) : "(unknown)") +
                                 " was lost; ending");
  }
  g_xDisplayLost = true;
  if (display != g_xDisplay || g_inMessageBox) std::_Exit(1);
  return 0;
}

// Xlib calls this after the handler above instead of exit(1): returning
// lets the failed call return with nothing, and Xlib makes no further
// requests on the broken connection.
void OnXIOErrorExit(Display*, void*) {}

// Installed once SDL runs, in front of SDL's own handler, which gets every
// other error. (SDL's handler sets the display's mode from inside Xlib's
// error dispatch, which waits forever for its reply.)
void InstallXErrorHandler(Display* display) {
  int opcode = 0, firstEvent = 0, firstError = 0;
  g_glxFirstError =
      XQueryExtension(display, "GLX", &opcode, &firstEvent, &firstError) ? firstError : 0;
  const XErrorHandler previous = XSetErrorHandler(OnXError);
  if (previous != OnXError) g_previousXHandler = previous;
  XSetIOErrorHandler(OnXIOError);
  XSetIOErrorExitHandler(display, OnXIOErrorExit, nullptr);
}

// A Wayland display named relative to XDG_RUNTIME_DIR cannot be reached
// without that folder, and the Wayland library would say so in a line of its
// own: the host says it instead, with what to do, and leaves Wayland out.
void SkipUnreachableWayland() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!wayland || !*wayland || wayland[0] == '/') return;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (runtime && runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return;
  HostLog(LogLevel::Warn, "WAYLAND_DISPLAY=" + scene::Printable(wayland) +
                              " cannot be reached: XDG_RUNTIME_DIR is " +
                              (runtime && *runtime ? scene::Printable(runtime) + ", not a folder"
                                                   : std::string("unset")) +
                              "; trying X11 instead (run quillon from the graphical session)");
  ::unsetenv("WAYLAND_DISPLAY");
}

}  // namespace

SdlHost::~SdlHost() { Shutdown(); }

bool SdlHost::Start(std::string& error, const WindowMaker& makeWindow) {
  SkipUnreachableWayland();
  // Without any display SDL would try its drivers in turn (and print about a
  // missing Wayland runtime directory); the offscreen driver is the answer.
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  const bool chosen = driver && *driver;
  if ((!display || !*display) && (!wayland || !*wayland) && !chosen)
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  // A DISPLAY that names no reachable X server is a mistake the user should
  // hear about, not a silent run without a window.
  if (display && *display && (!wayland || !*wayland) && !chosen) {
    if (Display* x = XOpenDisplay(nullptr)) {
      XCloseDisplay(x);
    } else {
      HostLog(LogLevel::Warn, "cannot reach the X display DISPLAY=" + scene::Printable(display) +
                                  "; going on without a window");
      SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    }
  }
  // Frames go to the window surface by plain memory (MIT-SHM on X11), not
  // through a hidden OpenGL context.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Termination signals end the process (see CheckSignals), not queue a quit
  // event that the spinning loop would never read.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");

  g_xWindow = 0;
  g_xDisplay = nullptr;
  g_xWindowGone = false;
  g_xDisplayLost = false;
  g_hostPid = ::getpid();
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::string first = SDL_GetError();
    HostLog(LogLevel::Warn,
            "SDL cannot start its video (" + first + "); going on without a window");
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
      return error = "SDL cannot start its video (" + first + ")", false;
  }
  sdlStarted_ = true;
  SDL_AddEventWatch(&SdlHost::WatchEvent, this);
  for (int sig : kEndingSignals) CatchUnlessIgnored(sig);

  const std::string videoDriver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
  hasScreen_ = videoDriver != "offscreen" && videoDriver != "dummy";

  if (makeWindow) window_ = makeWindow(videoDriver, hasScreen_);
  if (!window_) window_ = SDL_CreateWindow("Form1", 0, 0, 640, 480, SDL_WINDOW_HIDDEN);
  if (!window_) return error = std::string("SDL cannot make the window: ") + SDL_GetError(), false;
  windowId_ = SDL_GetWindowID(window_);

  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11) {
    xDisplay_ = info.info.x11.display;
    g_xWindow = info.info.x11.window;
    g_xDisplay = info.info.x11.display;
    InstallXErrorHandler(g_xDisplay);
  }
  return true;
}

int SdlHost::WatchEvent(void* host, SDL_Event* event) {
  auto& self = *static_cast<SdlHost*>(host);
  const SDL_Event& e = *event;
  const bool ours = (e.type == SDL_WINDOWEVENT && e.window.windowID == self.windowId_) ||
                    (e.type == SDL_KEYDOWN && e.key.windowID == self.windowId_ && !e.key.repeat);
  const bool alt = e.type == SDL_KEYDOWN && (e.key.keysym.mod & KMOD_ALT);
  if (e.type == SDL_QUIT ||
      (ours && e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE) ||
      (ours && alt && e.key.keysym.sym == SDLK_F4))
    self.closeWanted_ = true;
  if (ours && alt && (e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER))
    ++self.togglesWanted_;
  return 0;
}

bool SdlHost::DisplayLost() const { return g_xDisplayLost || g_xWindowGone; }

void SdlHost::ProcessEvents() {
  CheckSignals();
  // Nothing to read from a display that is gone, nor from a window that is.
  if (DisplayLost()) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_WINDOWEVENT && e.window.windowID == windowId_) {
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED && events_.exposed) events_.exposed();
    } else if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_F12 && !e.key.repeat) {
      ++screenshotsWanted_;
    }
  }
  // Every close request WatchEvent saw, handled here as the form's close.
  if (TakeCloseRequest() && events_.closeRequested) events_.closeRequested();
}

bool SdlHost::TakeScreenshotRequest() {
  if (DisplayLost()) return false;
  // The spinning loop handles no window events: F12 is taken from the queue
  // here, leaving every other event where it is.
  SDL_Event events[16];
  int n = 0;
  while ((n = SDL_PeepEvents(events, 16, SDL_GETEVENT, SDL_KEYDOWN, SDL_KEYDOWN)) > 0)
    for (int i = 0; i < n; ++i)
      if (events[i].key.keysym.sym == SDLK_F12 && !events[i].key.repeat) ++screenshotsWanted_;
  return TakeOne(screenshotsWanted_);
}

void SdlHost::WaitForEvents(int timeoutMs) {
  if (DisplayLost()) return;
  SDL_WaitEventTimeout(nullptr, timeoutMs);
}

void SdlHost::ShowWindow() {
  if (window_ && !DisplayLost()) SDL_ShowWindow(window_);
}

void SdlHost::ShowMessageBox(const std::string& title, const std::string& text) {
  SDL_Window* parent = nullptr;
  if (window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN)) parent = window_;
  g_inMessageBox = 1;
  SDL_ShowSimpleMessageBox(0, title.c_str(), text.c_str(), parent);
  g_inMessageBox = 0;
}

void SdlHost::CheckSignals() {
  if (g_signal == 0) return;
  const int sig = g_signal;
  // The shutdown has its own grace period: a display that does not answer
  // must not hold the process.
  alarm(kSignalGraceSeconds);
  Shutdown();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
  std::_Exit(128 + sig);
}

void SdlHost::Shutdown() {
  if (!sdlStarted_) return;
  sdlStarted_ = false;
  SDL_DelEventWatch(&SdlHost::WatchEvent, this);
  if (g_xDisplayLost) {
    // Nothing can be given back to a display that is gone; SDL's own
    // shutdown would only make requests on the broken connection.
    window_ = nullptr;
    xDisplay_ = nullptr;
    return;
  }
  if (window_) {
    SDL_SetWindowFullscreen(window_, 0);
    SDL_ShowCursor(SDL_ENABLE);
  }
  if (g_xWindowGone && xDisplay_) {
    // SDL_Quit puts Xlib's handler back before it closes the connection;
    // the errors of destroying a window that is gone must come first.
    SDL_DestroyWindow(window_);
    XSync(static_cast<Display*>(xDisplay_), False);
  }
  // SDL_Quit restores the display's own mode and closes the window.
  SDL_Quit();
  window_ = nullptr;
  xDisplay_ = nullptr;
}

void SdlHost::EndProcess(int exitCode) {
  if (exitCode == kEndedByUser && failAtEnd_) exitCode = kTraceFailed;
  exitCode = StatusAfterCaptures(exitCode);
  if (exitCode == 0 && DisplayLost()) exitCode = 1;  // not an end the user chose
  Shutdown();
  std::fflush(stdout);
  std::fflush(stderr);
  // Objects still held by the program go with the process; running their
  // destructors after SDL is gone would only reach a closed display.
  std::_Exit(exitCode);
}
