// The hardware device's OpenGL context on the SDL host: a 3.3 core context
// on the form's window when there is a screen, a surfaceless EGL context
// when there is none, and nothing when the probe refuses the renderer.
#pragma once

#include <SDL.h>

#include <memory>
#include <string>

#include "gldevice/gl_context.h"
#include "hostcommon/host_config.h"
#include "sdlhost/sdl_display.h"

struct HardwareProbe {
  std::shared_ptr<GlContext> context;  // null: only the reference device
  SDL_Window* window = nullptr;        // the form's window, made with OpenGL
  std::string renderer, version;
  std::string reason;  // why there is no hardware device
};

// Runs before the form's window exists: on a screen, the window is made here
// (as an OpenGL window) when the context is accepted. `videoDriver` is SDL's
// current driver. A window's context stops drawing once `host` has lost the
// display.
HardwareProbe ProbeHardwareDevice(const HostConfig& config, const SdlHost& host,
                                  const std::string& videoDriver, bool hasScreen);

// Frames the hardware device shows in the window go to `display`'s captures
// when one is due, and get its F12 and overlay (see gl_window_frame.h). Does
// nothing for a context without a window.
void ConnectCaptures(GlContext& context, SdlDisplayHost& display);
