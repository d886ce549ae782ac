#include "winhost/win32_d3d8.h"

#include <d3d8.h>
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace win32 {
namespace {

static_assert(sizeof(D3DDISPLAYMODE) == kDisplayModeBytes);
static_assert(sizeof(D3DCAPS8) == kCapsBytes);
static_assert(sizeof(D3DMATRIX) == kMatrixBytes);
static_assert(sizeof(D3DVIEWPORT8) == kViewportBytes);
static_assert(sizeof(RECT) == kRectBytes && sizeof(D3DRECT) == kRectBytes);
static_assert(sizeof(D3DSURFACE_DESC) == kSurfaceDescBytes);
static_assert(sizeof(D3DVERTEXBUFFER_DESC) == kVertexBufferDescBytes);

IDirect3D8* D3D(ComObject object) { return static_cast<IDirect3D8*>(object); }
IDirect3DDevice8* Device(ComObject object) { return static_cast<IDirect3DDevice8*>(object); }
IDirect3DVertexBuffer8* Buffer(ComObject object) {
  return static_cast<IDirect3DVertexBuffer8*>(object);
}
IDirect3DTexture8* Texture(ComObject object) { return static_cast<IDirect3DTexture8*>(object); }
HWND Window(std::intptr_t handle) { return reinterpret_cast<HWND>(handle); }

// The threads the devices started, held open until the process ends.
std::vector<HANDLE> deviceThreads;

std::vector<DWORD> ProcessThreads() {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ids.push_back(entry.th32ThreadID);
  CloseHandle(snapshot);
  return ids;
}

void KeepThreadsStartedSince(const std::vector<DWORD>& before) {
  for (DWORD id : ProcessThreads()) {
    if (std::find(before.begin(), before.end(), id) != before.end()) continue;
    if (HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id)) deviceThreads.push_back(thread);
  }
}

}  // namespace

void Release(ComObject object) {
  if (object != nullptr) static_cast<IUnknown*>(object)->Release();
}

ComObject Direct3DCreate8() {
  // There is no import library for d3d8.dll; the entry is looked up instead.
  using Create = IDirect3D8*(WINAPI*)(UINT);
  HMODULE library = LoadLibraryA("d3d8.dll");
  if (library == nullptr) return nullptr;
  auto create = reinterpret_cast<Create>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "Direct3DCreate8")));
  return create == nullptr ? nullptr : create(D3D_SDK_VERSION);
}

std::uint32_t D3DAdapterCount(ComObject d3d) { return D3D(d3d)->GetAdapterCount(); }
std::string D3DAdapterDescription(ComObject d3d, std::uint32_t adapter) {
  D3DADAPTER_IDENTIFIER8 identifier{};
  if (FAILED(D3D(d3d)->GetAdapterIdentifier(adapter, 0, &identifier))) return {};
  return {identifier.Description, strnlen(identifier.Description, sizeof identifier.Description)};
}
std::uint32_t D3DAdapterModeCount(ComObject d3d, std::uint32_t adapter) {
  return D3D(d3d)->GetAdapterModeCount(adapter);
}
Status D3DEnumAdapterModes(ComObject d3d, std::uint32_t adapter, std::uint32_t mode,
                           void* displayMode) {
  return D3D(d3d)->EnumAdapterModes(adapter, mode, static_cast<D3DDISPLAYMODE*>(displayMode));
}
Status D3DAdapterDisplayMode(ComObject d3d, std::uint32_t adapter, void* displayMode) {
  return D3D(d3d)->GetAdapterDisplayMode(adapter, static_cast<D3DDISPLAYMODE*>(displayMode));
}
Status D3DDeviceCaps(ComObject d3d, std::uint32_t adapter, std::int32_t type, void* caps) {
  return D3D(d3d)->GetDeviceCaps(adapter, static_cast<D3DDEVTYPE>(type),
                                 static_cast<D3DCAPS8*>(caps));
}
Status D3DCheckDeviceFormat(ComObject d3d, std::uint32_t adapter, std::int32_t type,
                            std::int32_t adapterFormat, std::uint32_t usage,
                            std::int32_t resourceType, std::int32_t checkFormat) {
  return D3D(d3d)->CheckDeviceFormat(
      adapter, static_cast<D3DDEVTYPE>(type), static_cast<D3DFORMAT>(adapterFormat), usage,
      static_cast<D3DRESOURCETYPE>(resourceType), static_cast<D3DFORMAT>(checkFormat));
}

namespace {

D3DPRESENT_PARAMETERS SystemParameters(const PresentParameters& params) {
  D3DPRESENT_PARAMETERS system{};
  system.BackBufferWidth = params.BackBufferWidth;
  system.BackBufferHeight = params.BackBufferHeight;
  system.BackBufferFormat = static_cast<D3DFORMAT>(params.BackBufferFormat);
  system.BackBufferCount = params.BackBufferCount;
  system.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(params.MultiSampleType);
  system.SwapEffect = static_cast<D3DSWAPEFFECT>(params.SwapEffect);
  system.hDeviceWindow = Window(params.hDeviceWindow);
  system.Windowed = params.Windowed;
  system.EnableAutoDepthStencil = params.EnableAutoDepthStencil;
  system.AutoDepthStencilFormat = static_cast<D3DFORMAT>(params.AutoDepthStencilFormat);
  system.Flags = params.Flags;
  system.FullScreen_RefreshRateInHz = params.FullScreen_RefreshRateInHz;
  system.FullScreen_PresentationInterval = params.FullScreen_PresentationInterval;
  return system;
}

// The system fills in what was asked as 0 (sizes, counts): handed back.
void HandBack(const D3DPRESENT_PARAMETERS& system, PresentParameters& params) {
  params.BackBufferWidth = system.BackBufferWidth;
  params.BackBufferHeight = system.BackBufferHeight;
  params.BackBufferFormat = system.BackBufferFormat;
  params.BackBufferCount = system.BackBufferCount;
}

}  // namespace

Status D3DCreateDevice(ComObject d3d, std::uint32_t adapter, std::int32_t type,
                       std::intptr_t focusWindow, std::uint32_t behaviorFlags,
                       PresentParameters& params, ComObject& device) {
  D3DPRESENT_PARAMETERS system = SystemParameters(params);
  IDirect3DDevice8* created = nullptr;
  const std::vector<DWORD> before = ProcessThreads();
  const HRESULT status =
      D3D(d3d)->CreateDevice(adapter, static_cast<D3DDEVTYPE>(type), Window(focusWindow),
                             behaviorFlags, &system, &created);
  if (created != nullptr) KeepThreadsStartedSince(before);
  HandBack(system, params);
  device = created;
  return status;
}

Status D3DResetDevice(ComObject device, PresentParameters& params) {
  D3DPRESENT_PARAMETERS system = SystemParameters(params);
  const HRESULT status = Device(device)->Reset(&system);
  HandBack(system, params);
  return status;
}

bool AwaitDeviceThreads(std::uint32_t quietMilliseconds) {
  // Each thread that ends restarts the wait: one that lives as long as the
  // process (a driver's own) costs the quiet time once.
  while (!deviceThreads.empty()) {
    const auto count =
        static_cast<DWORD>(std::min<std::size_t>(deviceThreads.size(), MAXIMUM_WAIT_OBJECTS));
    const DWORD woken =
        WaitForMultipleObjects(count, deviceThreads.data(), FALSE, quietMilliseconds);
    if (woken >= WAIT_OBJECT_0 + count) break;
    CloseHandle(deviceThreads[woken - WAIT_OBJECT_0]);
    deviceThreads.erase(deviceThreads.begin() + (woken - WAIT_OBJECT_0));
  }
  const bool ended = deviceThreads.empty();
  for (HANDLE thread : deviceThreads) CloseHandle(thread);
  deviceThreads.clear();
  return ended;
}

Status DeviceCaps(ComObject device, void* caps) {
  return Device(device)->GetDeviceCaps(static_cast<D3DCAPS8*>(caps));
}
Status DeviceDisplayMode(ComObject device, void* displayMode) {
  return Device(device)->GetDisplayMode(static_cast<D3DDISPLAYMODE*>(displayMode));
}
Status SetRenderState(ComObject device, std::uint32_t state, std::uint32_t value) {
  return Device(device)->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), value);
}
Status GetRenderState(ComObject device, std::uint32_t state, std::uint32_t& value) {
  DWORD read = 0;
  const HRESULT status =
      Device(device)->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state), &read);
  value = read;
  return status;
}
Status SetTextureStageState(ComObject device, std::uint32_t stage, std::uint32_t type,
                            std::uint32_t value) {
  return Device(device)->SetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(type),
                                              value);
}
Status GetTextureStageState(ComObject device, std::uint32_t stage, std::uint32_t type,
                            std::uint32_t& value) {
  DWORD read = 0;
  const HRESULT status = Device(device)->GetTextureStageState(
      stage, static_cast<D3DTEXTURESTAGESTATETYPE>(type), &read);
  value = read;
  return status;
}
Status SetTransform(ComObject device, std::uint32_t state, const void* matrix) {
  return Device(device)->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(state),
                                      static_cast<const D3DMATRIX*>(matrix));
}
Status GetTransform(ComObject device, std::uint32_t state, void* matrix) {
  return Device(device)->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(state),
                                      static_cast<D3DMATRIX*>(matrix));
}
Status SetViewport(ComObject device, const void* viewport) {
  return Device(device)->SetViewport(static_cast<const D3DVIEWPORT8*>(viewport));
}
Status GetViewport(ComObject device, void* viewport) {
  return Device(device)->GetViewport(static_cast<D3DVIEWPORT8*>(viewport));
}
Status SetVertexShader(ComObject device, std::uint32_t handle) {
  return Device(device)->SetVertexShader(handle);
}
Status GetVertexShader(ComObject device, std::uint32_t& handle) {
  DWORD read = 0;
  const HRESULT status = Device(device)->GetVertexShader(&read);
  handle = read;
  return status;
}
Status BeginScene(ComObject device) { return Device(device)->BeginScene(); }
Status EndScene(ComObject device) { return Device(device)->EndScene(); }
Status Clear(ComObject device, std::uint32_t count, const void* rects, std::uint32_t flags,
             std::uint32_t color, float z, std::uint32_t stencil) {
  return Device(device)->Clear(count, static_cast<const D3DRECT*>(rects), flags, color, z, stencil);
}
Status Present(ComObject device, const void* sourceRect, const void* destRect,
               std::intptr_t destWindow, const void* dirtyRegion) {
  return Device(device)->Present(static_cast<const RECT*>(sourceRect),
                                 static_cast<const RECT*>(destRect), Window(destWindow),
                                 static_cast<const RGNDATA*>(dirtyRegion));
}
Status CreateVertexBuffer(ComObject device, std::uint32_t length, std::uint32_t usage,
                          std::uint32_t fvf, std::int32_t pool, ComObject& buffer) {
  IDirect3DVertexBuffer8* created = nullptr;
  const HRESULT status =
      Device(device)->CreateVertexBuffer(length, usage, fvf, static_cast<D3DPOOL>(pool), &created);
  buffer = created;
  return status;
}
Status CreateTexture(ComObject device, std::uint32_t width, std::uint32_t height,
                     std::uint32_t levels, std::uint32_t usage, std::int32_t format,
                     std::int32_t pool, ComObject& texture) {
  IDirect3DTexture8* created = nullptr;
  const HRESULT status =
      Device(device)->CreateTexture(width, height, levels, usage, static_cast<D3DFORMAT>(format),
                                    static_cast<D3DPOOL>(pool), &created);
  texture = created;
  return status;
}
Status SetStreamSource(ComObject device, std::uint32_t stream, ComObject buffer,
                       std::uint32_t stride) {
  return Device(device)->SetStreamSource(stream, Buffer(buffer), stride);
}
Status SetTexture(ComObject device, std::uint32_t stage, ComObject texture) {
  return Device(device)->SetTexture(stage, Texture(texture));
}
Status DrawPrimitive(ComObject device, std::int32_t type, std::uint32_t startVertex,
                     std::uint32_t primitiveCount) {
  return Device(device)->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(type), startVertex,
                                       primitiveCount);
}
Status DrawPrimitiveUP(ComObject device, std::int32_t type, std::uint32_t primitiveCount,
                       const void* vertexData, std::uint32_t stride) {
  return Device(device)->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(type), primitiveCount,
                                         vertexData, stride);
}

Status LockVertexBuffer(ComObject buffer, std::uint32_t offset, std::uint32_t size,
                        std::uint8_t** data, std::uint32_t flags) {
  return Buffer(buffer)->Lock(offset, size, data, flags);
}
Status UnlockVertexBuffer(ComObject buffer) { return Buffer(buffer)->Unlock(); }
Status VertexBufferDesc(ComObject buffer, void* desc) {
  return Buffer(buffer)->GetDesc(static_cast<D3DVERTEXBUFFER_DESC*>(desc));
}

namespace {

// Locks `surface` read-only and hands its rows to `read`; releases it.
Status ReadSurface(IDirect3DSurface8* surface, FrameReader read, void* context) {
  D3DSURFACE_DESC desc{};
  D3DLOCKED_RECT locked{};
  HRESULT status = surface->GetDesc(&desc);
  if (SUCCEEDED(status)) status = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  if (SUCCEEDED(status)) {
    read(context, locked.pBits, locked.Pitch, desc.Format, desc.Width, desc.Height);
    surface->UnlockRect();
  }
  surface->Release();
  return status;
}

}  // namespace

Status ReadBackBuffer(ComObject device, FrameReader read, void* context) {
  IDirect3DSurface8* back = nullptr;
  const HRESULT status = Device(device)->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back);
  return FAILED(status) ? status : ReadSurface(back, read, context);
}

Status ReadFrontBuffer(ComObject device, FrameReader read, void* context) {
  // The surface must be the display mode's size (the whole screen).
  D3DDISPLAYMODE mode{};
  HRESULT status = Device(device)->GetDisplayMode(&mode);
  IDirect3DSurface8* image = nullptr;
  if (SUCCEEDED(status))
    status = Device(device)->CreateImageSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, &image);
  if (FAILED(status)) return status;
  status = Device(device)->GetFrontBuffer(image);
  if (FAILED(status)) {
    image->Release();
    return status;
  }
  return ReadSurface(image, read, context);
}

std::uint32_t TextureLevelCount(ComObject texture) { return Texture(texture)->GetLevelCount(); }
Status TextureLevelDesc(ComObject texture, std::uint32_t level, void* desc) {
  return Texture(texture)->GetLevelDesc(level, static_cast<D3DSURFACE_DESC*>(desc));
}
Status LockTextureRect(ComObject texture, std::uint32_t level, std::int32_t& pitch, void*& bits,
                       const void* rect, std::uint32_t flags) {
  D3DLOCKED_RECT locked{};
  const HRESULT status =
      Texture(texture)->LockRect(level, &locked, static_cast<const RECT*>(rect), flags);
  pitch = locked.Pitch;
  bits = locked.pBits;
  return status;
}
Status UnlockTextureRect(ComObject texture, std::uint32_t level) {
  return Texture(texture)->UnlockRect(level);
}

}  // namespace win32
