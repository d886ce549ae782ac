// The system's Direct3D 8 behind the project's interfaces: each call goes to
// the matching system call and its status comes back unchanged.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/d3d8.h"
#include "winhost/win32_d3d8.h"
#include "winhost/win_key_script.h"
#include "winhost/win_presentation.h"

// Holds one reference to a system COM object and releases it with itself.
class ComHandle {
 public:
  explicit ComHandle(win32::ComObject object) : object_(object) {}
  ~ComHandle() { win32::Release(object_); }
  ComHandle(const ComHandle&) = delete;
  ComHandle& operator=(const ComHandle&) = delete;
  win32::ComObject get() const { return object_; }
  // Releases the object held and holds `object` instead.
  void Reset(win32::ComObject object) {
    win32::Release(object_);
    object_ = object;
  }

 private:
  win32::ComObject object_;
};

class WinVertexBuffer8 final : public Direct3DVertexBuffer8 {
 public:
  explicit WinVertexBuffer8(win32::ComObject buffer) : buffer_(buffer) {}
  HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC& desc) override;
  win32::ComObject System() const { return buffer_.get(); }
  // Before the device's reset: its contents kept, the system's buffer
  // released; false when they cannot be read.
  bool Lose();
  // After it: made again on `device` as it was, with those contents.
  HRESULT Restore(win32::ComObject device);

 private:
  ComHandle buffer_;
  D3DVERTEXBUFFER_DESC desc_{};
  std::vector<BYTE> kept_;
};

class WinTexture8 final : public Direct3DTexture8 {
 public:
  explicit WinTexture8(win32::ComObject texture) : texture_(texture) {}
  DWORD GetLevelCount() const override;
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC& desc) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT& locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;
  win32::ComObject System() const { return texture_.get(); }

 private:
  ComHandle texture_;
};

// A full-screen device's two ways of being shown, between which Alt+Enter
// switches: the screen, and the form's window.
struct WinShownModes {
  win32::PresentParameters fullScreen, windowed;
  std::intptr_t window;
  bool windowedNow;
};

class WinDevice8 final : public Direct3DDevice8 {
 public:
  // `script`, when given, is a key script whose captures read this device's
  // frames; `lockableBackBuffer` says the back buffer can be read directly
  // (for them and F12); `overlay`, when given, is drawn over each frame;
  // `modes`, when given, are those Alt+Enter switches between.
  WinDevice8(win32::ComObject device, WinKeyScript* script, bool lockableBackBuffer,
             std::unique_ptr<WinOverlay> overlay, std::optional<WinShownModes> modes)
      : script_(script),
        lockableBackBuffer_(lockableBackBuffer),
        overlay_(std::move(overlay)),
        modes_(modes),
        device_(device) {}

  HRESULT GetDeviceCaps(D3DCAPS8& caps) override;
  HRESULT GetDisplayMode(D3DDISPLAYMODE& mode) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD& value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD& value) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX& matrix) override;
  HRESULT SetViewport(const D3DVIEWPORT8& viewport) override;
  HRESULT GetViewport(D3DVIEWPORT8& viewport) override;
  HRESULT SetVertexShader(DWORD handle) override;
  HRESULT GetVertexShader(DWORD& handle) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                DWORD stencil) override;
  HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                  const void* dirtyRegion) override;
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             Ref<Direct3DVertexBuffer8>& buffer) override;
  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, Ref<Direct3DTexture8>& texture) override;
  HRESULT SetStreamSource(UINT stream, const Ref<Direct3DVertexBuffer8>& buffer,
                          UINT stride) override;
  HRESULT SetTexture(DWORD stage, const Ref<Direct3DBaseTexture8>& texture) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                          UINT stride) override;

 private:
  class Steps;
  // Reads the frame with `read`; false when it cannot be read.
  bool ReadFrame(win32::Status (*read)(win32::ComObject, win32::FrameReader, void*), Image& frame);
  // Reads the frame with `read` and saves it as the captures due; false when
  // it cannot be read.
  bool SaveCaptures(win32::Status (*read)(win32::ComObject, win32::FrameReader, void*));
  // Switches between the modes by resetting the device: what the program
  // made in the default pool and every state it set are put back after it.
  void Toggle();

  WinKeyScript* script_;
  bool lockableBackBuffer_;
  std::unique_ptr<WinOverlay> overlay_;
  std::optional<WinShownModes> modes_;
  // The system device holds its own references to bound resources; these
  // keep the adapters alive for as long as they are bound.
  Ref<Direct3DVertexBuffer8> stream0_;
  UINT stream0Stride_ = 0;
  Ref<Direct3DBaseTexture8> textures_[8];
  // The default pool's buffers still alive, which a reset must remake.
  std::vector<std::weak_ptr<WinVertexBuffer8>> defaultBuffers_;
  ComHandle device_;
};

class WinDirect3D8 final : public Direct3D8 {
 public:
  // Takes the reference Direct3DCreate8 returned; `script` as for WinDevice8;
  // `options` say how its devices' frames are shown.
  WinDirect3D8(win32::ComObject d3d, WinKeyScript* script, WinPresentOptions options)
      : script_(script), options_(options), d3d_(d3d) {}

  UINT GetAdapterCount() override;
  UINT GetAdapterModeCount(UINT adapter) override;
  HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE& out) override;
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& out) override;
  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8& caps) override;
  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS& params, Ref<Direct3DDevice8>& device) override;

 private:
  // A full-screen device's parameters as a windowed device's in the form's
  // window, in the desktop's format when `desktopFormat`.
  win32::PresentParameters Windowed(win32::PresentParameters system, UINT adapter,
                                    bool desktopFormat);

  WinKeyScript* script_;
  WinPresentOptions options_;
  ComHandle d3d_;
};
