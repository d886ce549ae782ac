#include "sdlhost/key_sources.h"

#include <SDL.h>
#include <X11/Xlib.h>

#include "sdlhost/key_codes.h"

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

class EventPumpSource final : public KeyStateSource {
 public:
  void Read(DIKEYBOARDSTATE& state) override {
    state.fill(0);
    // Keep the window system's queue moving; nothing is dispatched here.
    SDL_PumpEvents();
  }
};

}  // namespace

std::unique_ptr<KeyStateSource> MakeXKeymapSource(void* xDisplay) {
  return std::make_unique<XKeymapSource>(static_cast<Display*>(xDisplay));
}
std::unique_ptr<KeyStateSource> MakeSdlKeyboardSource() {
  return std::make_unique<SdlKeyboardSource>();
}
std::unique_ptr<KeyStateSource> MakeEventPumpSource() {
  return std::make_unique<EventPumpSource>();
}
