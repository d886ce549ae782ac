// What a device needs from the host that shows its frames: the adapter's
// display modes, the desktop mode, and a place to present finished frames.
#pragma once

#include "platform/d3d8types.h"

// A finished frame in the back buffer's format, rows `pitch` bytes apart.
struct FrameView {
  const void* pixels = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t pitch = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
};

class DisplayHost {
 public:
  virtual ~DisplayHost() = default;

  virtual UINT ModeCount() = 0;
  virtual bool Mode(UINT index, D3DDISPLAYMODE& mode) = 0;
  virtual D3DDISPLAYMODE DesktopMode() = 0;
  // The client-area size of `window`, for a windowed device asked for size 0.
  // False when the host cannot tell (the device then takes 640x480).
  virtual bool WindowClientSize(HWND window, UINT& width, UINT& height) {
    (void)window;
    (void)width;
    (void)height;
    return false;
  }

  // A device is being created with `params` (already validated). Full screen
  // takes the screen in the back buffer's size; windowed presents into
  // `focusWindow` (or params.hDeviceWindow when set). A failure makes
  // CreateDevice fail with the returned status.
  virtual HRESULT AttachDevice(HWND focusWindow, const D3DPRESENT_PARAMETERS& params) = 0;
  // The device has gone: give the screen back.
  virtual void DetachDevice() = 0;

  // Whether the next Present needs the frame's pixels. A device whose frames
  // live elsewhere (in GPU memory) reads them back only then.
  virtual bool WantsFramePixels() { return true; }

  // Shows a finished frame. `destWindow` 0 means the device's window. Waits
  // for the vertical retrace when the presentation interval asks for it.
  virtual HRESULT Present(const FrameView& frame, HWND destWindow) = 0;
};
