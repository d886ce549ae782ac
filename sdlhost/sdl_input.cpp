#include "sdlhost/sdl_input.h"

#include <X11/Xlib.h>

#include "gldevice/gl_direct3d.h"
#include "runtime/d3dx8.h"
#include "sdlhost/key_table.h"
#include "sdlhost/sdl_host.h"
#include "sdlhost/trace.h"

namespace {

// The X server's global key map: keys held anywhere, whichever window has
// the focus. One round trip per poll.
class XKeymapSource final : public KeyStateSource {
 public:
  explicit XKeymapSource(Display* display) : display_(display) {}
  void Read(DIKEYBOARDSTATE& state) override {
    state.fill(0);
    // Keep the window system's queue moving; nothing is dispatched here.
    SDL_PumpEvents();
    char keys[32] = {};
    XQueryKeymap(display_, keys);
    for (unsigned byte = 0; byte < 32; ++byte) {
      const auto bits = static_cast<unsigned char>(keys[byte]);
      if (bits == 0) continue;
      for (unsigned bit = 0; bit < 8; ++bit)
        if (bits & (1u << bit))
          if (std::uint8_t dik = DikFromXKeycode(byte * 8 + bit)) state[dik] = 0x80;
    }
  }

 private:
  Display* display_;
};

// SDL's keyboard state: keys seen by the form's window while it has the focus.
class SdlKeyboardSource final : public KeyStateSource {
 public:
  void Read(DIKEYBOARDSTATE& state) override {
    state.fill(0);
    SDL_PumpEvents();
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    for (int i = 0; i < count; ++i)
      if (keys[i])
        if (std::uint8_t dik = DikFromSdlScancode(i)) state[dik] = 0x80;
  }
};

class ScriptSource final : public KeyStateSource {
 public:
  explicit ScriptSource(SdlHost& host) : host_(host) {}
  void Read(DIKEYBOARDSTATE& state) override {
    // Keep the window system's queue moving; nothing is dispatched here.
    SDL_PumpEvents();
    host_.Script()->Poll(state);
  }

 private:
  SdlHost& host_;
};

class SdlDirectX8 final : public DirectX8 {
 public:
  explicit SdlDirectX8(SdlHost& host) : host_(host) {}
  HRESULT Direct3DCreate(Ref<Direct3D8>& d3d) override {
    // The hardware device when start-up accepted a context for it, and the
    // reference device in any case.
    Ref<Direct3D8> ref = MakeGlDirect3D8(&host_.Display(), host_.HardwareContext());
    const HostConfig& c = host_.Config();
    if (!c.tracePath.empty())
      ref = std::make_shared<TracingDirect3D8>(std::move(ref), c.tracePath, c.traceFrames);
    d3d = std::move(ref);
    return 0;
  }
  HRESULT DirectInputCreate(Ref<DirectInput8>& di) override {
    di = std::make_shared<SdlDirectInput8>(host_);
    return 0;
  }

 private:
  SdlHost& host_;
};

class SdlPlatformObjects final : public PlatformObjects {
 public:
  explicit SdlPlatformObjects(SdlHost& host) : host_(host) {}
  HRESULT NewDirectX8(Ref<DirectX8>& dx) override {
    dx = std::make_shared<SdlDirectX8>(host_);
    return 0;
  }
  HRESULT NewD3DX8(Ref<D3DX8>& d3dx) override {
    d3dx = std::make_shared<RuntimeD3DX8>();
    return 0;
  }

 private:
  SdlHost& host_;
};

}  // namespace

std::unique_ptr<KeyStateSource> MakeXKeymapSource(void* xDisplay) {
  return std::make_unique<XKeymapSource>(static_cast<Display*>(xDisplay));
}
std::unique_ptr<KeyStateSource> MakeSdlKeyboardSource() {
  return std::make_unique<SdlKeyboardSource>();
}
std::unique_ptr<KeyStateSource> MakeScriptSource(SdlHost& host) {
  return std::make_unique<ScriptSource>(host);
}
std::unique_ptr<PlatformObjects> MakeSdlPlatformObjects(SdlHost& host) {
  return std::make_unique<SdlPlatformObjects>(host);
}

SdlKeyboardDevice::SdlKeyboardDevice(SdlHost& host) : host_(host) {}

HRESULT SdlKeyboardDevice::SetCommonDataFormat(std::int32_t format) {
  if (acquired_) return DIERR_INVALIDPARAM;  // the format is fixed while acquired
  if (format != DIFORMAT_KEYBOARD) return DIERR_INVALIDPARAM;
  formatSet_ = true;
  return DI_OK;
}

HRESULT SdlKeyboardDevice::SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) {
  const bool exclusive = flags & DISCL_EXCLUSIVE, nonExclusive = flags & DISCL_NONEXCLUSIVE;
  const bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
  // Exactly one of each pair; a keyboard cannot be held exclusively in the
  // background; the window must be the form's.
  if (exclusive == nonExclusive || foreground == background) return DIERR_INVALIDPARAM;
  if (exclusive && background) return E_NOTIMPL;
  if (hWnd != host_.WindowHandle()) return DIERR_INVALIDPARAM;
  if (acquired_) return DIERR_INVALIDPARAM;
  background_ = background;
  levelSet_ = true;
  return DI_OK;
}

HRESULT SdlKeyboardDevice::Acquire() {
  if (!formatSet_) return DIERR_INVALIDPARAM;
  if (acquired_) return DI_OK;
  if (host_.Script())
    source_ = MakeScriptSource(host_);
  else if (background_ && host_.XDisplay())
    source_ = MakeXKeymapSource(host_.XDisplay());
  else
    source_ = MakeSdlKeyboardSource();
  acquired_ = true;
  return DI_OK;
}

HRESULT SdlKeyboardDevice::Unacquire() {
  // Not acquired is DirectInput's "no effect", a success: the program's
  // status check must not take it for a failure.
  acquired_ = false;
  source_.reset();
  return DI_OK;
}

HRESULT SdlKeyboardDevice::GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) {
  host_.CheckSignals();
  if (!acquired_) return DIERR_NOTACQUIRED;
  // A foreground device reads nothing while another window has the focus.
  if (!background_ && !host_.Script() && host_.Window() &&
      !(SDL_GetWindowFlags(host_.Window()) & SDL_WINDOW_INPUT_FOCUS)) {
    source_->Read(state);  // keeps the queue moving
    state.fill(0);
    return DI_OK;
  }
  source_->Read(state);
  return DI_OK;
}

HRESULT SdlDirectInput8::CreateDevice(const std::string& guid, Ref<DirectInputDevice8>& device) {
  if (guid != "GUID_SysKeyboard") return DIERR_DEVICENOTREG;
  device = std::make_shared<SdlKeyboardDevice>(host_);
  return DI_OK;
}
