// The graphics platform's object interfaces: Direct3D 8 as the program and the
// devices behind it see it. Every operation returns a status (0 = success)
// unless the published interface returns a value directly.
//
// Implementations: the reference device (refdevice/), the hardware device
// over OpenGL (gldevice/) and the recording test platform (testplatform/).
// The program only uses these interfaces.
#pragma once

#include <string>

#include "platform/d3d8types.h"
#include "platform/ref.h"

class Direct3DDevice8;
class Direct3DResource8;

class Direct3DResource8 {
 public:
  virtual ~Direct3DResource8() = default;
  virtual D3DRESOURCETYPE GetType() const = 0;
};

class Direct3DBaseTexture8 : public Direct3DResource8 {
 public:
  virtual DWORD GetLevelCount() const = 0;
};

class Direct3DTexture8 : public Direct3DBaseTexture8 {
 public:
  D3DRESOURCETYPE GetType() const override { return D3DRTYPE_TEXTURE; }
  virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC& desc) = 0;
  // Rows of `level`; `rect` null for the whole level.
  virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT& locked, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT UnlockRect(UINT level) = 0;
};

class Direct3DVertexBuffer8 : public Direct3DResource8 {
 public:
  D3DRESOURCETYPE GetType() const override { return D3DRTYPE_VERTEXBUFFER; }
  // `size` 0 locks from `offset` to the end.
  virtual HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) = 0;
  virtual HRESULT Unlock() = 0;
  virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC& desc) = 0;
};

class Direct3DDevice8 {
 public:
  virtual ~Direct3DDevice8() = default;

  virtual HRESULT GetDeviceCaps(D3DCAPS8& caps) = 0;
  virtual HRESULT GetDisplayMode(D3DDISPLAYMODE& mode) = 0;

  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD& value) = 0;
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                       DWORD value) = 0;
  virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                       DWORD& value) = 0;
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) = 0;
  virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX& matrix) = 0;
  virtual HRESULT SetViewport(const D3DVIEWPORT8& viewport) = 0;
  virtual HRESULT GetViewport(D3DVIEWPORT8& viewport) = 0;
  // Fixed-function only: the handle is a flexible-vertex-format code.
  virtual HRESULT SetVertexShader(DWORD handle) = 0;
  virtual HRESULT GetVertexShader(DWORD& handle) = 0;

  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil) = 0;
  // Source and destination rectangles and the dirty region are not supported
  // beyond null; `destWindow` 0 presents to the device window.
  virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                          const void* dirtyRegion) = 0;

  virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                     Ref<Direct3DVertexBuffer8>& buffer) = 0;
  virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                D3DFORMAT format, D3DPOOL pool,
                                Ref<Direct3DTexture8>& texture) = 0;

  // Binds `buffer` (or nothing) to a stream; the device holds a reference.
  virtual HRESULT SetStreamSource(UINT stream, const Ref<Direct3DVertexBuffer8>& buffer,
                                  UINT stride) = 0;
  // Binds `texture` (or nothing) to a stage; the device holds a reference.
  virtual HRESULT SetTexture(DWORD stage, const Ref<Direct3DBaseTexture8>& texture) = 0;

  virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
  virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                  const void* vertexData, UINT stride) = 0;
};

class Direct3D8 {
 public:
  virtual ~Direct3D8() = default;

  virtual UINT GetAdapterCount() = 0;
  virtual UINT GetAdapterModeCount(UINT adapter) = 0;  // the count, direct
  virtual HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE& out) = 0;
  virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& out) = 0;
  virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8& caps) = 0;
  // Status, direct: 0 when `checkFormat` is usable for `usage` on `type`.
  virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                    DWORD usage, D3DRESOURCETYPE resourceType,
                                    D3DFORMAT checkFormat) = 0;
  virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                               DWORD behaviorFlags, D3DPRESENT_PARAMETERS& params,
                               Ref<Direct3DDevice8>& device) = 0;
};
