#include "d3dfront/argument_checks.h"

#include <algorithm>

#include "d3dfront/fvf_layout.h"
#include "platform/d3d8_defaults.h"

namespace d3dfront {

namespace {

bool IsResourcePool(D3DPOOL pool) {
  return pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED || pool == D3DPOOL_SYSTEMMEM;
}

// Every draw: in a scene, a vertex format and stride, a known primitive
// type, a count within the limit, and `available` bytes that hold every
// vertex up to the last element read of the last one.
HRESULT CheckDraw(const FrontState& state, bool inScene, D3DPRIMITIVETYPE type, UINT primitiveCount,
                  UINT stride, std::uint64_t available) {
  if (!inScene) return D3DERR_INVALIDCALL;
  const FvfLayout layout = DecodeFvf(state.fvf);
  if (!layout.valid || state.fvf == 0 || stride == 0) return D3DERR_INVALIDCALL;
  if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDCALL;
  if (primitiveCount == 0) return D3D_OK;
  if (primitiveCount > kMaxPrimitiveCount) return D3DERR_INVALIDCALL;
  const std::uint64_t vertices = PrimitiveVertexCount(type, primitiveCount);
  if ((vertices - 1) * stride + ReadExtent(state, layout) > available) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

}  // namespace

bool IsTextureFormat(std::int32_t format) {
  switch (format) {
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
      return true;
    default:
      return false;
  }
}

UINT FullChainLength(UINT width, UINT height) {
  UINT levels = 1;
  while (width > 1 || height > 1) {
    width = std::max(1u, width / 2);
    height = std::max(1u, height / 2);
    ++levels;
  }
  return levels;
}

HRESULT CheckClear(const FrontState& state, DWORD count, const D3DRECT* rects, DWORD flags,
                   float z) {
  if (flags == 0 || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
    return D3DERR_INVALIDCALL;
  if (count > 0 && rects == nullptr) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_ZBUFFER) && state.depthFormat == D3DFMT_UNKNOWN) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_STENCIL) && state.depthFormat != D3DFMT_D24S8) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_ZBUFFER) && !(z >= 0.0f && z <= 1.0f)) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT CheckCreateVertexBuffer(UINT length, DWORD fvf, D3DPOOL pool) {
  if (length == 0 || length > kMaxVertexBufferBytes) return D3DERR_INVALIDCALL;
  if (!IsResourcePool(pool)) return D3DERR_INVALIDCALL;
  if (fvf != 0) {
    const FvfLayout layout = DecodeFvf(fvf);
    if (!layout.valid || length < static_cast<UINT>(layout.size)) return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

HRESULT CheckCreateTexture(UINT width, UINT height, UINT& levels, DWORD usage, D3DFORMAT format,
                           D3DPOOL pool) {
  if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize)
    return D3DERR_INVALIDCALL;
  if (!IsTextureFormat(format) || !IsResourcePool(pool)) return D3DERR_INVALIDCALL;
  if (usage & ~(D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY)) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  const UINT full = FullChainLength(width, height);
  if (levels > full) return D3DERR_INVALIDCALL;
  if (levels == 0) levels = full;
  return D3D_OK;
}

HRESULT CheckLock(UINT offset, UINT size, UINT length, BYTE* const* data) {
  if (data == nullptr || offset > length || (size != 0 && size > length - offset))
    return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT CheckUnlock(int locksHeld) { return locksHeld > 0 ? D3D_OK : D3DERR_INVALIDCALL; }

HRESULT CheckLockRect(UINT level, UINT levels, bool levelLocked, D3DPOOL pool, DWORD usage,
                      const RECT* rect, UINT levelWidth, UINT levelHeight) {
  if (level >= levels || levelLocked) return D3DERR_INVALIDCALL;
  if (pool == D3DPOOL_DEFAULT && !(usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
  if (rect != nullptr) {
    const auto w = static_cast<std::int64_t>(levelWidth);
    const auto h = static_cast<std::int64_t>(levelHeight);
    if (rect->left < 0 || rect->top < 0 || rect->right > w || rect->bottom > h ||
        rect->left >= rect->right || rect->top >= rect->bottom)
      return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

HRESULT CheckUnlockRect(UINT level, UINT levels, bool levelLocked) {
  return level < levels && levelLocked ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT CheckSetStreamSource(UINT stream, bool foreign) {
  return stream != 0 || foreign ? D3DERR_INVALIDCALL : D3D_OK;  // one stream
}

HRESULT CheckSetTexture(DWORD stage, bool foreign) {
  return stage >= D3D_MAX_TEXTURE_STAGES || foreign ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT CheckDrawPrimitive(const FrontState& state, bool inScene, D3DPRIMITIVETYPE type,
                           UINT startVertex, UINT primitiveCount, UINT stride,
                           const UINT* bufferLength) {
  if (bufferLength == nullptr) return D3DERR_INVALIDCALL;
  const std::uint64_t start = static_cast<std::uint64_t>(startVertex) * stride;
  if (start > *bufferLength) return D3DERR_INVALIDCALL;
  return CheckDraw(state, inScene, type, primitiveCount, stride, *bufferLength - start);
}

HRESULT CheckDrawPrimitiveUP(const FrontState& state, bool inScene, D3DPRIMITIVETYPE type,
                             UINT primitiveCount, const void* data, UINT stride) {
  if (data == nullptr) return D3DERR_INVALIDCALL;
  // A format that reads further into the last vertex than its stride would
  // read past what was handed over.
  const std::uint64_t given = PrimitiveVertexCount(type, primitiveCount) * stride;
  return CheckDraw(state, inScene, type, primitiveCount, stride, given);
}

}  // namespace d3dfront
