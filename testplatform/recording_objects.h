// The recording platform objects behind TestPlatform. Each records its calls
// into the shared TestRecord under its own name ("DX", "D3D", "Device",
// "VertexBuffer", "Texture", "D3DX", "D3DXFont", "DI", "Keyboard", "Font").
#pragma once

#include <charconv>
#include <sstream>
#include <string>
#include <type_traits>

#include "d3dfront/state_keeping_device.h"
#include "testplatform/test_platform.h"

namespace testplatform {

using RecordPtr = std::shared_ptr<TestRecord>;

// One argument as the log shows it.
inline std::string Arg(const std::string& s) { return "\"" + s + "\""; }
inline std::string Arg(const char* s) { return "\"" + std::string(s) + "\""; }
inline std::string Arg(float v) { return FormatFloat(v); }
inline std::string Arg(double v) { return FormatFloat(static_cast<float>(v)); }
template <class T, std::enable_if_t<std::is_integral_v<T> || std::is_enum_v<T>, int> = 0>
std::string Arg(T v) {
  if constexpr (std::is_enum_v<T>)
    return std::to_string(static_cast<std::underlying_type_t<T>>(v));
  else
    return std::to_string(v);
}

// A pre-formatted argument (an object name, a matrix).
struct Raw {
  std::string text;
};
inline std::string Arg(const Raw& r) { return r.text; }

template <class... A>
std::string Args(const A&... a) {
  std::string out = "(";
  bool first = true;
  ((out += (first ? "" : ", ") + Arg(a), first = false), ...);
  return out + ")";
}

// Appends " -> status" to the last line for a refusal of the object itself.
inline HRESULT Refuse(TestRecord& rec, HRESULT status) {
  if (status != 0 && rec.script.keepLog && !rec.calls.empty())
    rec.calls.back() += " -> " + std::to_string(status);
  return status;
}

// What a recording vertex buffer holds.
struct RecordedBuffer {
  UINT Length = 0;
  DWORD Usage = 0;
  DWORD FVF = 0;
  D3DPOOL Pool = D3DPOOL_DEFAULT;
  std::vector<BYTE> Bytes;
  int Locks = 0;  // locks held (they nest)
};

class RecordingVertexBuffer final : public Direct3DVertexBuffer8 {
 public:
  RecordingVertexBuffer(RecordPtr rec, std::shared_ptr<RecordedBuffer> state)
      : rec_(std::move(rec)), state_(std::move(state)) {
    rec_->Made("VertexBuffer");
  }
  ~RecordingVertexBuffer() override;
  HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC& desc) override;
  const RecordedBuffer& State() const { return *state_; }
  UINT Length() const { return state_->Length; }

 private:
  RecordPtr rec_;
  std::shared_ptr<RecordedBuffer> state_;
};

class RecordingTexture final : public Direct3DTexture8 {
 public:
  RecordingTexture(RecordPtr rec, std::shared_ptr<RecordedTexture> state)
      : rec_(std::move(rec)), state_(std::move(state)) {
    rec_->Made("Texture");
  }
  ~RecordingTexture() override;
  DWORD GetLevelCount() const override { return state_->Levels; }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC& desc) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT& locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;
  const std::shared_ptr<RecordedTexture>& State() const { return state_; }

 private:
  RecordPtr rec_;
  std::shared_ptr<RecordedTexture> state_;
  std::vector<bool> locked_ = std::vector<bool>(state_->Levels, false);  // per level
};

// Makes a texture's record: levels -1 or 0 ask for the whole chain, a zero
// size counts as 1, format 0 takes A8R8G8B8.
std::shared_ptr<RecordedTexture> MakeTextureRecord(TestRecord& rec, UINT width, UINT height,
                                                   std::int32_t levels, DWORD usage,
                                                   std::int32_t format, std::int32_t pool);

// Records each call, answers a scripted failure, and otherwise keeps its
// state and refuses as both devices do.
class RecordingDevice final
    : public d3dfront::StateKeepingDevice<d3dfront::FrontState, RecordingVertexBuffer,
                                          RecordingTexture> {
  using Base =
      d3dfront::StateKeepingDevice<d3dfront::FrontState, RecordingVertexBuffer, RecordingTexture>;

 public:
  RecordingDevice(RecordPtr rec, std::shared_ptr<RecordedDevice> recorded, D3DDEVTYPE type,
                  const D3DPRESENT_PARAMETERS& params, const D3DDISPLAYMODE& displayMode)
      : Base(params, displayMode),
        rec_(std::move(rec)),
        recorded_(std::move(recorded)),
        type_(type) {
    rec_->Made("Device");
  }
  ~RecordingDevice() override { rec_->Released("Device"); }

  HRESULT GetDeviceCaps(D3DCAPS8& caps) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) override;
  HRESULT SetVertexShader(DWORD handle) override;
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

 protected:
  HRESULT DrawFromBuffer(D3DPRIMITIVETYPE type, UINT primitiveCount, RecordingVertexBuffer& buffer,
                         std::uint64_t start, UINT stride) override;
  HRESULT DrawFromMemory(D3DPRIMITIVETYPE type, UINT primitiveCount, const std::uint8_t* data,
                         UINT stride) override;
  void TextureChanging(DWORD stage, const Ref<Direct3DBaseTexture8>& texture,
                       RecordingTexture* ours) override;

 private:
  RecordPtr rec_;
  std::shared_ptr<RecordedDevice> recorded_;
  D3DDEVTYPE type_;
};

class RecordingDirect3D final : public Direct3D8 {
 public:
  explicit RecordingDirect3D(RecordPtr rec) : rec_(std::move(rec)) { rec_->Made("D3D"); }
  ~RecordingDirect3D() override;
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
  bool Usable(D3DDEVTYPE type) const;
  RecordPtr rec_;
};

class RecordingD3DXFont final : public D3DXFont {
 public:
  explicit RecordingD3DXFont(RecordPtr rec) : rec_(std::move(rec)) { rec_->Made("D3DXFont"); }
  ~RecordingD3DXFont() override { rec_->Released("D3DXFont"); }

 private:
  RecordPtr rec_;
};

class RecordingD3DX final : public D3DX8 {
 public:
  explicit RecordingD3DX(RecordPtr rec) : rec_(std::move(rec)) { rec_->Made("D3DX"); }
  ~RecordingD3DX() override { rec_->Released("D3DX"); }
  HRESULT CreateFont(const Ref<Direct3DDevice8>& device, std::int32_t hFont,
                     Ref<D3DXFont>& font) override;
  HRESULT CreateTexture(const Ref<Direct3DDevice8>& device, std::int32_t width, std::int32_t height,
                        std::int32_t levels, std::int32_t usage, std::int32_t format,
                        std::int32_t pool, Ref<Direct3DTexture8>& texture) override;

 private:
  RecordPtr rec_;
};

class RecordingKeyboard final : public DirectInputDevice8 {
 public:
  explicit RecordingKeyboard(RecordPtr rec) : rec_(std::move(rec)) { rec_->Made("Keyboard"); }
  ~RecordingKeyboard() override { rec_->Released("Keyboard"); }
  HRESULT SetCommonDataFormat(std::int32_t format) override;
  HRESULT SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) override;

 private:
  RecordPtr rec_;
  bool formatSet_ = false;
  bool acquired_ = false;
};

class RecordingDirectInput final : public DirectInput8 {
 public:
  explicit RecordingDirectInput(RecordPtr rec) : rec_(std::move(rec)) { rec_->Made("DI"); }
  ~RecordingDirectInput() override { rec_->Released("DI"); }
  HRESULT CreateDevice(const std::string& guid, Ref<DirectInputDevice8>& device) override;

 private:
  RecordPtr rec_;
};

class RecordingDirectX final : public DirectX8 {
 public:
  explicit RecordingDirectX(RecordPtr rec) : rec_(std::move(rec)) { rec_->Made("DX"); }
  ~RecordingDirectX() override { rec_->Released("DX"); }
  HRESULT Direct3DCreate(Ref<Direct3D8>& d3d) override;
  HRESULT DirectInputCreate(Ref<DirectInput8>& di) override;

 private:
  RecordPtr rec_;
};

// The form's font object.
class RecordingFont final : public IFont {
 public:
  explicit RecordingFont(RecordPtr rec) : rec_(std::move(rec)) {}
  HRESULT get_Name(std::string& name) override;
  HRESULT put_Name(const std::string& name) override;
  HRESULT get_hFont(std::int32_t& handle) override;

 private:
  RecordPtr rec_;
};

}  // namespace testplatform
