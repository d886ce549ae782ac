#include "winhost/win_direct3d.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostcommon/captures.h"
#include "hostcommon/host_log.h"
#include "presentation/placement.h"
#include "presentation/present_order.h"
#include "winhost/win32_calls.h"
#include "winhost/win32_present.h"

// The project's structures cross as bytes in the published layout.
static_assert(sizeof(D3DDISPLAYMODE) == win32::kDisplayModeBytes);
static_assert(sizeof(D3DCAPS8) == win32::kCapsBytes);
static_assert(sizeof(D3DMATRIX) == win32::kMatrixBytes);
static_assert(sizeof(D3DVIEWPORT8) == win32::kViewportBytes);
static_assert(sizeof(RECT) == win32::kRectBytes && sizeof(D3DRECT) == win32::kRectBytes);
static_assert(sizeof(D3DSURFACE_DESC) == win32::kSurfaceDescBytes);
static_assert(sizeof(D3DVERTEXBUFFER_DESC) == win32::kVertexBufferDescBytes);

namespace {

// The program's window handles are the system's, sign-extended.
std::intptr_t SystemWindow(HWND window) { return static_cast<std::intptr_t>(window); }

// Sizes the form's window to the largest picture of the frame's shape that
// the desktop's work area holds: at its own size where that fits.
void PlaceForPicture(std::intptr_t window, int width, int height) {
  int roomWidth = 0, roomHeight = 0;
  if (!win32::FormClientRoom(window, roomWidth, roomHeight)) return;
  Placement p{0, 0, width, height};
  if (width > roomWidth || height > roomHeight)
    p = FitWithAspect(width, height, roomWidth, roomHeight);
  if (win32::PlaceFormWindow(window, p.width, p.height))
    HostLog(LogLevel::Info, "windowed: the " + std::to_string(width) + "x" +
                                std::to_string(height) + " picture in a window of " +
                                std::to_string(p.width) + "x" + std::to_string(p.height));
}

// What the program can have set on a device, read back: a reset puts each
// to its default.
constexpr DWORD kRenderStates = 174;  // through D3DRS_NORMALORDER
constexpr DWORD kStages = 8;
constexpr D3DTRANSFORMSTATETYPE kTransforms[] = {
    D3DTS_VIEW,
    D3DTS_PROJECTION,
    D3DTS_WORLD,
    static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0),
    static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + 1),
    static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + 2),
    static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + 3),
    static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + 4),
    static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + 5),
    static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + 6),
    static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE7),
};

// Stage state 12 has no meaning in this interface (the system's table has
// no entry for it).
bool StageState(DWORD type) { return type != 12; }

struct DeviceStates {
  std::uint32_t render[kRenderStates] = {};
  std::uint32_t stages[kStages][D3DTSS_MAX] = {};
  D3DMATRIX transforms[std::size(kTransforms)] = {};
  D3DVIEWPORT8 viewport{};
  std::uint32_t shader = 0;

  void Read(win32::ComObject device) {
    for (DWORD state = 0; state < kRenderStates; ++state)
      win32::GetRenderState(device, state, render[state]);
    for (DWORD stage = 0; stage < kStages; ++stage)
      for (DWORD type = 1; type < D3DTSS_MAX; ++type)
        if (StageState(type)) win32::GetTextureStageState(device, stage, type, stages[stage][type]);
    for (std::size_t i = 0; i < std::size(kTransforms); ++i)
      win32::GetTransform(device, kTransforms[i], &transforms[i]);
    win32::GetViewport(device, &viewport);
    win32::GetVertexShader(device, shader);
  }

  // Sets on `device` each state that differs from `now`, its value after a
  // reset.
  void PutBack(win32::ComObject device, const DeviceStates& now) const {
    for (DWORD state = 0; state < kRenderStates; ++state)
      if (render[state] != now.render[state]) win32::SetRenderState(device, state, render[state]);
    for (DWORD stage = 0; stage < kStages; ++stage)
      for (DWORD type = 1; type < D3DTSS_MAX; ++type)
        if (stages[stage][type] != now.stages[stage][type])
          win32::SetTextureStageState(device, stage, type, stages[stage][type]);
    for (std::size_t i = 0; i < std::size(kTransforms); ++i)
      if (std::memcmp(&transforms[i], &now.transforms[i], sizeof(D3DMATRIX)) != 0)
        win32::SetTransform(device, kTransforms[i], &transforms[i]);
    if (std::memcmp(&viewport, &now.viewport, sizeof viewport) != 0)
      win32::SetViewport(device, &viewport);
    if (shader != now.shader) win32::SetVertexShader(device, shader);
  }
};

}  // namespace

HRESULT WinVertexBuffer8::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
  // A buffer a failed reset could not remake has nothing to lock.
  if (buffer_.get() == nullptr) return D3DERR_INVALIDCALL;
  return win32::LockVertexBuffer(buffer_.get(), offset, size, data, flags);
}
HRESULT WinVertexBuffer8::Unlock() { return win32::UnlockVertexBuffer(buffer_.get()); }
HRESULT WinVertexBuffer8::GetDesc(D3DVERTEXBUFFER_DESC& desc) {
  if (buffer_.get() == nullptr) return D3DERR_INVALIDCALL;
  return win32::VertexBufferDesc(buffer_.get(), &desc);
}

bool WinVertexBuffer8::Lose() {
  BYTE* data = nullptr;
  if (win32::VertexBufferDesc(buffer_.get(), &desc_) < 0 ||
      win32::LockVertexBuffer(buffer_.get(), 0, 0, &data, D3DLOCK_READONLY) < 0)
    return false;
  kept_.assign(data, data + desc_.Size);
  win32::UnlockVertexBuffer(buffer_.get());
  buffer_.Reset(nullptr);
  return true;
}

HRESULT WinVertexBuffer8::Restore(win32::ComObject device) {
  win32::ComObject created = nullptr;
  HRESULT status =
      win32::CreateVertexBuffer(device, desc_.Size, desc_.Usage, desc_.FVF, desc_.Pool, created);
  if (created == nullptr) return status;
  buffer_.Reset(created);
  BYTE* data = nullptr;
  status = win32::LockVertexBuffer(created, 0, 0, &data, 0);
  if (status < 0) return status;
  std::copy(kept_.begin(), kept_.end(), data);
  kept_ = {};
  return win32::UnlockVertexBuffer(created);
}

DWORD WinTexture8::GetLevelCount() const { return win32::TextureLevelCount(texture_.get()); }
HRESULT WinTexture8::GetLevelDesc(UINT level, D3DSURFACE_DESC& desc) {
  return win32::TextureLevelDesc(texture_.get(), level, &desc);
}
HRESULT WinTexture8::LockRect(UINT level, D3DLOCKED_RECT& locked, const RECT* rect, DWORD flags) {
  return win32::LockTextureRect(texture_.get(), level, locked.Pitch, locked.pBits, rect, flags);
}
HRESULT WinTexture8::UnlockRect(UINT level) {
  return win32::UnlockTextureRect(texture_.get(), level);
}

HRESULT WinDevice8::GetDeviceCaps(D3DCAPS8& caps) {
  return win32::DeviceCaps(device_.get(), &caps);
}
HRESULT WinDevice8::GetDisplayMode(D3DDISPLAYMODE& mode) {
  return win32::DeviceDisplayMode(device_.get(), &mode);
}
HRESULT WinDevice8::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  return win32::SetRenderState(device_.get(), static_cast<std::uint32_t>(state), value);
}
HRESULT WinDevice8::GetRenderState(D3DRENDERSTATETYPE state, DWORD& value) {
  return win32::GetRenderState(device_.get(), static_cast<std::uint32_t>(state), value);
}
HRESULT WinDevice8::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  return win32::SetTextureStageState(device_.get(), stage, static_cast<std::uint32_t>(type), value);
}
HRESULT WinDevice8::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD& value) {
  return win32::GetTextureStageState(device_.get(), stage, static_cast<std::uint32_t>(type), value);
}
HRESULT WinDevice8::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) {
  return win32::SetTransform(device_.get(), static_cast<std::uint32_t>(state), &matrix);
}
HRESULT WinDevice8::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX& matrix) {
  return win32::GetTransform(device_.get(), static_cast<std::uint32_t>(state), &matrix);
}
HRESULT WinDevice8::SetViewport(const D3DVIEWPORT8& viewport) {
  return win32::SetViewport(device_.get(), &viewport);
}
HRESULT WinDevice8::GetViewport(D3DVIEWPORT8& viewport) {
  return win32::GetViewport(device_.get(), &viewport);
}
HRESULT WinDevice8::SetVertexShader(DWORD handle) {
  return win32::SetVertexShader(device_.get(), handle);
}
HRESULT WinDevice8::GetVertexShader(DWORD& handle) {
  return win32::GetVertexShader(device_.get(), handle);
}
HRESULT WinDevice8::BeginScene() { return win32::BeginScene(device_.get()); }
HRESULT WinDevice8::EndScene() { return win32::EndScene(device_.get()); }
HRESULT WinDevice8::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) {
  return win32::Clear(device_.get(), count, rects, flags, color, z, stencil);
}

namespace {

// Converts the frame a win32::FrameReader hands over; an empty image for a
// format without a layout.
void ConvertFrame(void* context, const void* rows, std::int32_t pitch, std::int32_t format,
                  std::uint32_t width, std::uint32_t height) {
  *static_cast<Image*>(context) =
      ImageFromFrame({rows, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                      pitch, static_cast<D3DFORMAT>(format)});
}

}  // namespace

bool WinDevice8::ReadFrame(win32::Status (*read)(win32::ComObject, win32::FrameReader, void*),
                           Image& frame) {
  return read(device_.get(), &ConvertFrame, &frame) >= 0 && frame.Whole();
}

bool WinDevice8::SaveCaptures(win32::Status (*read)(win32::ComObject, win32::FrameReader, void*)) {
  Image frame;
  if (!ReadFrame(read, frame)) return false;
  SaveDueCaptures(script_->player, script_->captureFolder, frame);
  return true;
}

// One present's steps on the system's device: the frame is already in its
// back buffer, which the system shows and paces by the presentation
// interval; the host reads it before drawing the overlay into it.
class WinDevice8::Steps final : public PresentSteps {
 public:
  Steps(WinDevice8& device, const RECT* sourceRect, const RECT* destRect, HWND destWindow,
        const void* dirtyRegion)
      : d_(device),
        sourceRect_(sourceRect),
        destRect_(destRect),
        destWindow_(destWindow),
        dirtyRegion_(dirtyRegion) {}

  // The frame is read where it is whole: in the back buffer before the
  // present (its content is undefined after it), else from the screen after
  // (Wine 8 answers GetFrontBuffer with a black picture, so the back buffer
  // is made lockable).
  void SaveCaptures() override {
    capture_ = d_.script_ && d_.script_->player.CapturesDue();
    saved_ = capture_ && d_.lockableBackBuffer_ && d_.SaveCaptures(win32::ReadBackBuffer);
  }
  bool TakeScreenshotRequest() override { return win32::TakeScreenshotPress(); }
  bool Seen() override { return true; }
  HRESULT CheckUnshown() override { return D3D_OK; }
  HRESULT Show() override { return D3D_OK; }
  void SaveScreenshot() override {
    Image frame;
    if (d_.lockableBackBuffer_ && d_.ReadFrame(win32::ReadBackBuffer, frame))
      ::SaveScreenshot(frame);
    else
      HostLog(LogLevel::Error, "cannot take the screenshot: the frame cannot be read");
  }
  void DrawOverlay() override {
    if (d_.overlay_) d_.overlay_->Draw(d_.device_.get());
  }
  void WaitForRetrace() override {}
  HRESULT Flip() override {
    const HRESULT status = win32::Present(d_.device_.get(), sourceRect_, destRect_,
                                          SystemWindow(destWindow_), dirtyRegion_);
    if (capture_ && !saved_ && !d_.SaveCaptures(win32::ReadFrontBuffer))
      FailDueCaptures(d_.script_->player, d_.script_->captureFolder, "the frame cannot be read");
    return status;
  }
  // One press a present, so two quick presses switch twice.
  void ToggleOnRequest() override {
    if (win32::TakeFullScreenTogglePress()) d_.Toggle();
  }

 private:
  WinDevice8& d_;
  const RECT* sourceRect_;
  const RECT* destRect_;
  HWND destWindow_;
  const void* dirtyRegion_;
  bool capture_ = false, saved_ = false;
};

HRESULT WinDevice8::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                            const void* dirtyRegion) {
  Steps steps(*this, sourceRect, destRect, destWindow, dirtyRegion);
  // The system's status comes back unchanged.
  return PresentInOrder(steps);
}

void WinDevice8::Toggle() {
  if (!modes_) return;  // the program's own windowed device keeps its window
  DeviceStates set;
  set.Read(device_.get());
  // The device's own reference to a bound buffer goes first (Windows' holds
  // one; Wine's does not), else the buffer outlives its release and the
  // reset refuses it.
  win32::SetStreamSource(device_.get(), 0, nullptr, 0);
  std::vector<std::shared_ptr<WinVertexBuffer8>> lost;
  for (const auto& kept : defaultBuffers_)
    if (auto buffer = kept.lock()) {
      if (buffer->Lose())
        lost.push_back(std::move(buffer));
      else
        HostLog(LogLevel::Warn, "Alt+Enter: a vertex buffer cannot be read");
    }
  win32::PresentParameters next = modes_->windowedNow ? modes_->fullScreen : modes_->windowed;
  HRESULT status = win32::D3DResetDevice(device_.get(), next);
  if (status < 0) {
    HostLog(LogLevel::Warn, "Alt+Enter: the device cannot be reset (" + std::to_string(status) +
                                "): it stays as it was");
    win32::PresentParameters same = modes_->windowedNow ? modes_->windowed : modes_->fullScreen;
    status = win32::D3DResetDevice(device_.get(), same);
  } else {
    modes_->windowedNow = !modes_->windowedNow;
  }
  if (modes_->windowedNow)
    PlaceForPicture(modes_->window, static_cast<int>(next.BackBufferWidth),
                    static_cast<int>(next.BackBufferHeight));
  for (const auto& buffer : lost)
    if (buffer->Restore(device_.get()) < 0)
      HostLog(LogLevel::Error, "Alt+Enter: a vertex buffer cannot be made again");
  DeviceStates now;
  now.Read(device_.get());
  set.PutBack(device_.get(), now);
  if (auto* ours = dynamic_cast<WinVertexBuffer8*>(stream0_.get()))
    win32::SetStreamSource(device_.get(), 0, ours->System(), stream0Stride_);
  for (DWORD stage = 0; stage < std::size(textures_); ++stage)
    if (auto* ours = dynamic_cast<WinTexture8*>(textures_[stage].get()))
      win32::SetTexture(device_.get(), stage, ours->System());
  if (status >= 0)
    HostLog(LogLevel::Info,
            std::string("Alt+Enter: ") + (modes_->windowedNow ? "in a window" : "full screen"));
}

HRESULT WinDevice8::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       Ref<Direct3DVertexBuffer8>& buffer) {
  win32::ComObject created = nullptr;
  const HRESULT status = win32::CreateVertexBuffer(device_.get(), length, usage, fvf,
                                                   static_cast<std::int32_t>(pool), created);
  if (created == nullptr) return status;
  auto made = std::make_shared<WinVertexBuffer8>(created);
  if (pool == D3DPOOL_DEFAULT) {
    // The program drops a buffer a frame: the list stays as short as what
    // it holds.
    std::erase_if(defaultBuffers_, [](const auto& kept) { return kept.expired(); });
    defaultBuffers_.push_back(made);
  }
  buffer = std::move(made);
  return status;
}

HRESULT WinDevice8::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                  D3DFORMAT format, D3DPOOL pool, Ref<Direct3DTexture8>& texture) {
  win32::ComObject created = nullptr;
  const HRESULT status = win32::CreateTexture(device_.get(), width, height, levels, usage,
                                              static_cast<std::int32_t>(format),
                                              static_cast<std::int32_t>(pool), created);
  if (created != nullptr) texture = std::make_shared<WinTexture8>(created);
  return status;
}

HRESULT WinDevice8::SetStreamSource(UINT stream, const Ref<Direct3DVertexBuffer8>& buffer,
                                    UINT stride) {
  // Every buffer this device sees was made by it; another one has no
  // system object to bind.
  auto* ours = dynamic_cast<WinVertexBuffer8*>(buffer.get());
  if (buffer && ours == nullptr) return D3DERR_INVALIDCALL;
  const HRESULT status =
      win32::SetStreamSource(device_.get(), stream, ours ? ours->System() : nullptr, stride);
  if (status == D3D_OK && stream == 0) {
    stream0_ = buffer;
    stream0Stride_ = stride;
  }
  return status;
}

HRESULT WinDevice8::SetTexture(DWORD stage, const Ref<Direct3DBaseTexture8>& texture) {
  auto* ours = dynamic_cast<WinTexture8*>(texture.get());
  if (texture && ours == nullptr) return D3DERR_INVALIDCALL;
  const HRESULT status = win32::SetTexture(device_.get(), stage, ours ? ours->System() : nullptr);
  if (status == D3D_OK && stage < std::size(textures_)) textures_[stage] = texture;
  return status;
}

HRESULT WinDevice8::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  return win32::DrawPrimitive(device_.get(), static_cast<std::int32_t>(type), startVertex,
                              primitiveCount);
}
HRESULT WinDevice8::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                    const void* vertexData, UINT stride) {
  return win32::DrawPrimitiveUP(device_.get(), static_cast<std::int32_t>(type), primitiveCount,
                                vertexData, stride);
}

UINT WinDirect3D8::GetAdapterCount() { return win32::D3DAdapterCount(d3d_.get()); }
UINT WinDirect3D8::GetAdapterModeCount(UINT adapter) {
  return win32::D3DAdapterModeCount(d3d_.get(), adapter);
}
HRESULT WinDirect3D8::EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE& out) {
  return win32::D3DEnumAdapterModes(d3d_.get(), adapter, mode, &out);
}
HRESULT WinDirect3D8::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& out) {
  return win32::D3DAdapterDisplayMode(d3d_.get(), adapter, &out);
}
HRESULT WinDirect3D8::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8& caps) {
  return win32::D3DDeviceCaps(d3d_.get(), adapter, static_cast<std::int32_t>(type), &caps);
}
HRESULT WinDirect3D8::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                        DWORD usage, D3DRESOURCETYPE resourceType,
                                        D3DFORMAT checkFormat) {
  return win32::D3DCheckDeviceFormat(d3d_.get(), adapter, static_cast<std::int32_t>(type),
                                     static_cast<std::int32_t>(adapterFormat), usage,
                                     static_cast<std::int32_t>(resourceType),
                                     static_cast<std::int32_t>(checkFormat));
}

HRESULT WinDirect3D8::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                                   DWORD behaviorFlags, D3DPRESENT_PARAMETERS& params,
                                   Ref<Direct3DDevice8>& device) {
  win32::PresentParameters system{params.BackBufferWidth,
                                  params.BackBufferHeight,
                                  params.BackBufferFormat,
                                  params.BackBufferCount,
                                  params.MultiSampleType,
                                  params.SwapEffect,
                                  SystemWindow(params.hDeviceWindow),
                                  params.Windowed,
                                  params.EnableAutoDepthStencil,
                                  params.AutoDepthStencilFormat,
                                  params.Flags,
                                  params.FullScreen_RefreshRateInHz,
                                  params.FullScreen_PresentationInterval};
  // Captures and F12's pictures read the back buffer itself, which must then
  // be lockable.
  system.Flags |= D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  const std::intptr_t window =
      SystemWindow(params.hDeviceWindow ? params.hDeviceWindow : focusWindow);
  if (!system.Windowed && !options_.vsync)
    system.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  // A full-screen device can be shown in the form's window too (Alt+Enter).
  std::optional<WinShownModes> modes;
  if (!params.Windowed)
    modes = WinShownModes{system, Windowed(system, adapter, true), window, options_.windowed};
  if (modes && modes->windowedNow) {
    system = Windowed(system, adapter, false);
    PlaceForPicture(window, static_cast<int>(system.BackBufferWidth),
                    static_cast<int>(system.BackBufferHeight));
  }
  win32::ComObject created = nullptr;
  HRESULT status =
      win32::D3DCreateDevice(d3d_.get(), adapter, static_cast<std::int32_t>(type),
                             SystemWindow(focusWindow), behaviorFlags, system, created);
  if (status < 0 && system.Windowed && !params.Windowed &&
      system.BackBufferFormat != modes->windowed.BackBufferFormat) {
    // A window shows what the desktop's format holds, where the system
    // does not convert the device's own.
    system.BackBufferFormat = modes->windowed.BackBufferFormat;
    status = win32::D3DCreateDevice(d3d_.get(), adapter, static_cast<std::int32_t>(type),
                                    SystemWindow(focusWindow), behaviorFlags, system, created);
  }
  if (modes && modes->windowedNow) modes->windowed = system;
  params.BackBufferWidth = system.BackBufferWidth;
  params.BackBufferHeight = system.BackBufferHeight;
  // A format the host chose for its window is not the program's.
  if (system.Windowed == params.Windowed) params.BackBufferFormat = system.BackBufferFormat;
  params.BackBufferCount = system.BackBufferCount;
  if (created != nullptr) {
    std::unique_ptr<WinOverlay> overlay;
    if (options_.hud.Any()) {
      const std::string name = win32::D3DAdapterDescription(d3d_.get(), adapter);
      overlay = std::make_unique<WinOverlay>(
          options_.hud, std::string("Direct3D 8 ") + (type == D3DDEVTYPE_REF ? "REF" : "HAL") +
                            (name.empty() ? "" : ", " + name));
    }
    device = std::make_shared<WinDevice8>(created, script_, true, std::move(overlay), modes);
  }
  return status;
}

win32::PresentParameters WinDirect3D8::Windowed(win32::PresentParameters system, UINT adapter,
                                                bool desktopFormat) {
  system.Windowed = 1;
  system.FullScreen_RefreshRateInHz = 0;
  system.FullScreen_PresentationInterval = 0;
  D3DDISPLAYMODE desktop{};
  if (desktopFormat && GetAdapterDisplayMode(adapter, desktop) == D3D_OK)
    system.BackBufferFormat = desktop.Format;
  return system;
}
