// The system's Direct3D 8 in plain C++ types. Only win32_d3d8.cpp sees
// <d3d8.h>. COM objects cross as opaque pointers, statuses as they came back,
// and structures as bytes in their published layout: both sides check their
// structure's size against the numbers here, so a field that went astray
// stops the build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace win32 {

using ComObject = void*;
using Status = std::int32_t;

constexpr std::size_t kDisplayModeBytes = 16;
constexpr std::size_t kCapsBytes = 212;
constexpr std::size_t kMatrixBytes = 64;
constexpr std::size_t kViewportBytes = 24;
constexpr std::size_t kRectBytes = 16;
constexpr std::size_t kSurfaceDescBytes = 32;
constexpr std::size_t kVertexBufferDescBytes = 24;

// D3DPRESENT_PARAMETERS with the window as an integer handle.
struct PresentParameters {
  std::uint32_t BackBufferWidth, BackBufferHeight;
  std::int32_t BackBufferFormat;
  std::uint32_t BackBufferCount;
  std::int32_t MultiSampleType, SwapEffect;
  std::intptr_t hDeviceWindow;
  std::int32_t Windowed, EnableAutoDepthStencil, AutoDepthStencilFormat;
  std::uint32_t Flags, FullScreen_RefreshRateInHz, FullScreen_PresentationInterval;
};

void Release(ComObject object);

// Direct3DCreate8 from d3d8.dll, loaded now; null when either is missing.
ComObject Direct3DCreate8();
std::uint32_t D3DAdapterCount(ComObject d3d);
// The adapter's name as its driver gives it; empty when it gives none.
std::string D3DAdapterDescription(ComObject d3d, std::uint32_t adapter);
std::uint32_t D3DAdapterModeCount(ComObject d3d, std::uint32_t adapter);
Status D3DEnumAdapterModes(ComObject d3d, std::uint32_t adapter, std::uint32_t mode,
                           void* displayMode);
Status D3DAdapterDisplayMode(ComObject d3d, std::uint32_t adapter, void* displayMode);
Status D3DDeviceCaps(ComObject d3d, std::uint32_t adapter, std::int32_t type, void* caps);
Status D3DCheckDeviceFormat(ComObject d3d, std::uint32_t adapter, std::int32_t type,
                            std::int32_t adapterFormat, std::uint32_t usage,
                            std::int32_t resourceType, std::int32_t checkFormat);
// Also notes the threads the system started for the device (Wine's Direct3D
// has one that runs its commands), for AwaitDeviceThreads.
Status D3DCreateDevice(ComObject d3d, std::uint32_t adapter, std::int32_t type,
                       std::intptr_t focusWindow, std::uint32_t behaviorFlags,
                       PresentParameters& params, ComObject& device);
// IDirect3DDevice8::Reset: the device's buffers in the default pool must
// have been released, and its states are the defaults after it.
Status D3DResetDevice(ComObject device, PresentParameters& params);
// Waits for the threads the devices started to end, while they do: it gives
// up once none has ended for `quietMilliseconds`; false then. The last
// release of a device only asks its thread to stop: a process ended while
// that thread unwinds can stop it holding a lock the process's own end then
// waits for.
bool AwaitDeviceThreads(std::uint32_t quietMilliseconds);

Status DeviceCaps(ComObject device, void* caps);
Status DeviceDisplayMode(ComObject device, void* displayMode);
Status SetRenderState(ComObject device, std::uint32_t state, std::uint32_t value);
Status GetRenderState(ComObject device, std::uint32_t state, std::uint32_t& value);
Status SetTextureStageState(ComObject device, std::uint32_t stage, std::uint32_t type,
                            std::uint32_t value);
Status GetTextureStageState(ComObject device, std::uint32_t stage, std::uint32_t type,
                            std::uint32_t& value);
Status SetTransform(ComObject device, std::uint32_t state, const void* matrix);
Status GetTransform(ComObject device, std::uint32_t state, void* matrix);
Status SetViewport(ComObject device, const void* viewport);
Status GetViewport(ComObject device, void* viewport);
Status SetVertexShader(ComObject device, std::uint32_t handle);
Status GetVertexShader(ComObject device, std::uint32_t& handle);
Status BeginScene(ComObject device);
Status EndScene(ComObject device);
Status Clear(ComObject device, std::uint32_t count, const void* rects, std::uint32_t flags,
             std::uint32_t color, float z, std::uint32_t stencil);
Status Present(ComObject device, const void* sourceRect, const void* destRect,
               std::intptr_t destWindow, const void* dirtyRegion);
Status CreateVertexBuffer(ComObject device, std::uint32_t length, std::uint32_t usage,
                          std::uint32_t fvf, std::int32_t pool, ComObject& buffer);
Status CreateTexture(ComObject device, std::uint32_t width, std::uint32_t height,
                     std::uint32_t levels, std::uint32_t usage, std::int32_t format,
                     std::int32_t pool, ComObject& texture);
Status SetStreamSource(ComObject device, std::uint32_t stream, ComObject buffer,
                       std::uint32_t stride);
Status SetTexture(ComObject device, std::uint32_t stage, ComObject texture);
Status DrawPrimitive(ComObject device, std::int32_t type, std::uint32_t startVertex,
                     std::uint32_t primitiveCount);
Status DrawPrimitiveUP(ComObject device, std::int32_t type, std::uint32_t primitiveCount,
                       const void* vertexData, std::uint32_t stride);

Status LockVertexBuffer(ComObject buffer, std::uint32_t offset, std::uint32_t size,
                        std::uint8_t** data, std::uint32_t flags);
Status UnlockVertexBuffer(ComObject buffer);
Status VertexBufferDesc(ComObject buffer, void* desc);

// The frame about to be presented, read for a capture: the back buffer
// locked read-only when the device was made with a lockable one, else what
// GetFrontBuffer copies into a system-memory A8R8G8B8 surface (after the
// present). `read` gets the rows, `pitch` bytes apart, in `format`, while
// they are locked; the status of the first call that failed comes back.
using FrameReader = void (*)(void* context, const void* rows, std::int32_t pitch,
                             std::int32_t format, std::uint32_t width, std::uint32_t height);
Status ReadBackBuffer(ComObject device, FrameReader read, void* context);
Status ReadFrontBuffer(ComObject device, FrameReader read, void* context);

std::uint32_t TextureLevelCount(ComObject texture);
Status TextureLevelDesc(ComObject texture, std::uint32_t level, void* desc);
Status LockTextureRect(ComObject texture, std::uint32_t level, std::int32_t& pitch, void*& bits,
                       const void* rect, std::uint32_t flags);
Status UnlockTextureRect(ComObject texture, std::uint32_t level);

}  // namespace win32
