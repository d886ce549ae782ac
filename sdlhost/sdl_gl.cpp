#include "sdlhost/sdl_gl.h"

#include <sys/resource.h>

#include "sdlhost/gl_window_frame.h"
#include "hostcommon/host_log.h"
#include "sdlhost/sdl_host.h"

namespace {

class SdlGlContext final : public GlContext {
 public:
  SdlGlContext(const SdlHost& host, SDL_Window* window, SDL_GLContext context, bool mayWait)
      : host_(host), window_(window), context_(context), mayWait_(mayWait) {}
  ~SdlGlContext() override {
    // After SDL has shut down the context went with it.
    const bool alive = SDL_WasInit(SDL_INIT_VIDEO) != 0;
    frame_.Release(alive && MakeCurrent());
    if (alive) SDL_GL_DeleteContext(context_);
  }
  bool MakeCurrent() override {
    // No cleanup or new work on a window or display that is gone.
    if (host_.DisplayLost()) return false;
    if (SDL_GL_GetCurrentContext() == context_) return true;
    return SDL_GL_MakeCurrent(window_, context_) == 0;
  }
  bool HasWindow() const override { return true; }
  void DrawableSize(int& width, int& height) override {
    SDL_GL_GetDrawableSize(window_, &width, &height);
  }
  void SetSwapInterval(int interval) override {
    // Some servers offer no swap control (Xvfb's GLX): swaps then do not
    // wait, which is what a failure here leaves.
    SDL_GL_SetSwapInterval(mayWait_ ? interval : 0);
  }
  void Swap() override {
    if (host_.DisplayLost()) return;
    // F12 and the overlay, as the display host has them for frames it shows.
    if (display_) frame_.BeforeSwap(*display_, window_);
    SDL_GL_SwapWindow(window_);
    if (display_) display_->ToggleFullScreenOnRequest();
  }
  bool Lost() const override { return host_.DisplayLost(); }
  bool WantsShownFrame() override { return display_ && display_->CapturesDue(); }
  void ShownFrame(const FrameView& frame) override {
    if (display_) display_->SaveCaptures(frame);
  }
  void SetDisplay(SdlDisplayHost* display) { display_ = display; }

 private:
  SdlDisplayHost* display_ = nullptr;
  GlWindowFrame frame_;
  const SdlHost& host_;
  SDL_Window* window_;
  SDL_GLContext context_;
  bool mayWait_;
};

std::string Describe(const GlInfo& info) { return info.renderer + ", OpenGL " + info.version; }

// The address space an OpenGL driver may map when it starts: a software
// renderer takes several hundred MiB, and some drivers crash inside rather
// than fail when they cannot have it, which no caller can catch.
constexpr rlim_t kDriverAddressSpace = rlim_t{1} << 30;

// Why an address-space limit (ulimit -v) is too tight to start a driver;
// empty when there is none or it is wide enough.
std::string TightAddressSpace() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur >= kDriverAddressSpace)
    return {};
  return "an address-space limit of " + std::to_string(limit.rlim_cur >> 20) +
         " MiB (ulimit -v), too tight to start an OpenGL driver safely";
}

}  // namespace

void ConnectCaptures(GlContext& context, SdlDisplayHost& display) {
  if (auto* windowed = dynamic_cast<SdlGlContext*>(&context)) windowed->SetDisplay(&display);
}

HardwareProbe ProbeHardwareDevice(const HostConfig& config, const SdlHost& host,
                                  const std::string& videoDriver, bool hasScreen) {
  HardwareProbe probe;
  if (config.device == DeviceChoice::Ref) {
    probe.reason = "QUILLON_DEVICE=ref";
    return probe;
  }
  if (videoDriver == "dummy") {
    probe.reason = "SDL's dummy video driver has no OpenGL";
    return probe;
  }
  // Asked for by name, the driver is tried whatever the limit.
  if (const std::string tight = TightAddressSpace();
      !tight.empty() && config.device != DeviceChoice::Hal) {
    probe.reason = tight;
    return probe;
  }
  HostLog(LogLevel::Info,
          "starting the OpenGL driver to see what it offers (QUILLON_DEVICE=ref skips this)");
  if (!hasScreen) {
    std::string why;
    std::unique_ptr<GlContext> context = MakeSurfacelessContext(&why);
    if (!context) {
      probe.reason = why;
      return probe;
    }
    const GlInfo info = DescribeCurrentContext();
    probe.renderer = info.renderer;
    probe.version = info.version;
    if (!AcceptsContext(info, config.device == DeviceChoice::Hal)) {
      probe.reason = info.software ? "software renderer " + Describe(info) : "no OpenGL 3.3 core";
      return probe;
    }
    probe.context = std::move(context);
    return probe;
  }
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // The device draws into its own framebuffer object; the window's buffers
  // only receive finished frames.
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_Window* window =
      SDL_CreateWindow("Form1", 0, 0, 640, 480, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
  if (!window) {
    probe.reason = std::string("no OpenGL window: ") + SDL_GetError();
    return probe;
  }
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    probe.reason = std::string("no OpenGL 3.3 core context: ") + SDL_GetError();
    SDL_DestroyWindow(window);
    return probe;
  }
  const GlInfo info = DescribeCurrentContext();
  probe.renderer = info.renderer;
  probe.version = info.version;
  if (!AcceptsContext(info, config.device == DeviceChoice::Hal)) {
    probe.reason = info.software ? "software renderer " + Describe(info) : "no OpenGL 3.3 core";
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    return probe;
  }
  probe.window = window;
  probe.context =
      std::make_shared<SdlGlContext>(host, window, context, config.vsync && !config.windowed);
  return probe;
}
