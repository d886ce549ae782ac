#include "winhost/win_direct3d.h"

#include <memory>
#include <vector>

#include "hostcommon/captures.h"

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

}  // namespace

HRESULT WinVertexBuffer8::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
  return win32::LockVertexBuffer(buffer_.get(), offset, size, data, flags);
}
HRESULT WinVertexBuffer8::Unlock() { return win32::UnlockVertexBuffer(buffer_.get()); }
HRESULT WinVertexBuffer8::GetDesc(D3DVERTEXBUFFER_DESC& desc) {
  return win32::VertexBufferDesc(buffer_.get(), &desc);
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
void ReadFrame(void* context, const void* rows, std::int32_t pitch, std::int32_t format,
               std::uint32_t width, std::uint32_t height) {
  *static_cast<Image*>(context) =
      ImageFromFrame({rows, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                      pitch, static_cast<D3DFORMAT>(format)});
}

}  // namespace

bool WinDevice8::SaveCaptures(win32::Status (*read)(win32::ComObject, win32::FrameReader, void*)) {
  Image frame;
  if (read(device_.get(), &ReadFrame, &frame) < 0 || !frame.Whole()) return false;
  SaveDueCaptures(script_->player, script_->captureFolder, frame);
  return true;
}

HRESULT WinDevice8::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                            const void* dirtyRegion) {
  // The frame is read where it is whole: in the back buffer before the
  // present (its content is undefined after it), else from the screen after.
  // Wine 8 answers GetFrontBuffer with a black picture, so the back buffer
  // is made lockable whenever a key script holds captures.
  const bool capture = script_ && script_->player.CapturesDue();
  const bool saved = capture && lockableBackBuffer_ && SaveCaptures(win32::ReadBackBuffer);
  const HRESULT status =
      win32::Present(device_.get(), sourceRect, destRect, SystemWindow(destWindow), dirtyRegion);
  if (capture && !saved && !SaveCaptures(win32::ReadFrontBuffer))
    FailDueCaptures(script_->player, script_->captureFolder, "the frame cannot be read");
  return status;
}

HRESULT WinDevice8::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       Ref<Direct3DVertexBuffer8>& buffer) {
  win32::ComObject created = nullptr;
  const HRESULT status = win32::CreateVertexBuffer(device_.get(), length, usage, fvf,
                                                   static_cast<std::int32_t>(pool), created);
  if (created != nullptr) buffer = std::make_shared<WinVertexBuffer8>(created);
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
  if (status == D3D_OK && stream == 0) stream0_ = buffer;
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
  // Captures read the back buffer itself, which must then be lockable; a
  // run without them keeps the device as the program asked for it.
  const bool lockable = script_ != nullptr && script_->player.CapturesAhead();
  if (lockable) system.Flags |= D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  win32::ComObject created = nullptr;
  const HRESULT status =
      win32::D3DCreateDevice(d3d_.get(), adapter, static_cast<std::int32_t>(type),
                             SystemWindow(focusWindow), behaviorFlags, system, created);
  params.BackBufferWidth = system.BackBufferWidth;
  params.BackBufferHeight = system.BackBufferHeight;
  params.BackBufferFormat = system.BackBufferFormat;
  params.BackBufferCount = system.BackBufferCount;
  if (created != nullptr) device = std::make_shared<WinDevice8>(created, script_, lockable);
  return status;
}
