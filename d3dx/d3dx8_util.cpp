#include <cstring>

#include "platform/d3dx8.h"

HRESULT D3DVertexBuffer8SetData(const Ref<Direct3DVertexBuffer8>& buffer, std::int32_t offset,
                                std::int32_t size, std::int32_t flags, const void* data) {
  if (!buffer || offset < 0 || size < 0 || (size > 0 && data == nullptr)) return D3DERR_INVALIDCALL;
  BYTE* dest = nullptr;
  HRESULT hr = buffer->Lock(static_cast<UINT>(offset), static_cast<UINT>(size), &dest,
                            static_cast<DWORD>(flags));
  if (hr != D3D_OK) return hr;
  if (size > 0) std::memcpy(dest, data, static_cast<std::size_t>(size));
  return buffer->Unlock();
}

D3DCOLOR D3DColorARGB(std::int16_t a, std::int16_t r, std::int16_t g, std::int16_t b) {
  return (static_cast<D3DCOLOR>(a & 0xFF) << 24) | (static_cast<D3DCOLOR>(r & 0xFF) << 16) |
         (static_cast<D3DCOLOR>(g & 0xFF) << 8) | static_cast<D3DCOLOR>(b & 0xFF);
}
