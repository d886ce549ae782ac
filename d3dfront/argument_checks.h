// The argument checks of the device calls the subset offers, with their
// return codes: one set of rules for both devices and the recording platform,
// so that the program's tests run against the rules the devices keep.
#pragma once

#include <cstdint>

#include "d3dfront/front_state.h"

namespace d3dfront {

// The limits every device of the subset reports.
constexpr DWORD kMaxPrimitiveCount = 0xFFFFF;
constexpr UINT kMaxTextureSize = 4096;
constexpr UINT kMaxVertexBufferBytes = 1u << 28;

// The formats a texture may have.
bool IsTextureFormat(std::int32_t format);
// Levels of a full mip chain down to 1 x 1.
UINT FullChainLength(UINT width, UINT height);

HRESULT CheckClear(const FrontState& state, DWORD count, const D3DRECT* rects, DWORD flags,
                   float z);
// A size within the limit that holds at least one vertex of `fvf` (when
// given), and a pool a vertex buffer may live in.
HRESULT CheckCreateVertexBuffer(UINT length, DWORD fvf, D3DPOOL pool);
// Sets `levels` 0 to the full chain. Render-target and depth textures are
// not offered.
HRESULT CheckCreateTexture(UINT width, UINT height, UINT& levels, DWORD usage, D3DFORMAT format,
                           D3DPOOL pool);
// A lock of a vertex buffer `length` bytes long; locks may nest.
HRESULT CheckLock(UINT offset, UINT size, UINT length, BYTE* const* data);
HRESULT CheckUnlock(int locksHeld);
// A lock of a texture level (`levelWidth` x `levelHeight`) of `levels`, or
// of `rect` in it; one lock a level at a time. Default-pool textures live in
// video memory and cannot be locked unless dynamic.
HRESULT CheckLockRect(UINT level, UINT levels, bool levelLocked, D3DPOOL pool, DWORD usage,
                      const RECT* rect, UINT levelWidth, UINT levelHeight);
HRESULT CheckUnlockRect(UINT level, UINT levels, bool levelLocked);
// `foreign`: the object was made by another device.
HRESULT CheckSetStreamSource(UINT stream, bool foreign);
HRESULT CheckSetTexture(DWORD stage, bool foreign);

// A draw from the vertex buffer set on stream 0 (`bufferLength` null when
// none is), from vertex `startVertex` on.
HRESULT CheckDrawPrimitive(const FrontState& state, bool inScene, D3DPRIMITIVETYPE type,
                           UINT startVertex, UINT primitiveCount, UINT stride,
                           const UINT* bufferLength);
// A draw from `data`, of which the caller hands over count x stride bytes
// and no more.
HRESULT CheckDrawPrimitiveUP(const FrontState& state, bool inScene, D3DPRIMITIVETYPE type,
                             UINT primitiveCount, const void* data, UINT stride);

}  // namespace d3dfront
