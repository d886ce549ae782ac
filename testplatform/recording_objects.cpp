#include "testplatform/recording_objects.h"

#include <algorithm>

#include "d3dfront/argument_checks.h"
#include "d3dfront/state_keeping_device.h"
#include "formats/pixel_format.h"
#include "platform/d3d8_defaults.h"

namespace testplatform {

namespace {

Raw ObjectArg(const void* object, const char* name) { return Raw{object ? name : "Nothing"}; }

// Every format code a test gives gets storage: one without a known layout
// takes four bytes a texel, so that a lock still has memory to write.
UINT TexelBytes(std::int32_t format) {
  const int bytes = BytesPerPixel(format);
  return static_cast<UINT>(bytes > 0 ? bytes : 4);
}

// What the recording adapter and its devices can do, alike.
D3DCAPS8 Caps(D3DDEVTYPE type) {
  D3DCAPS8 caps{};
  caps.DeviceType = type;
  caps.MaxTextureWidth = caps.MaxTextureHeight = 4096;
  caps.MaxPrimitiveCount = caps.MaxVertexIndex = 0xFFFFF;
  caps.MaxStreams = 1;
  caps.MaxStreamStride = 255;
  caps.MaxSimultaneousTextures = caps.MaxTextureBlendStages = 8;
  return caps;
}

// A platform object's hold on the record: counted among the live objects of
// its kind while it lives, `release KIND` recorded when it goes.
struct Recorder {
  Recorder(RecordPtr r, const char* k) : rec(std::move(r)), kind(k) {
    if (*kind) ++rec->live[kind];
  }
  ~Recorder() {
    if (*kind) --rec->live[kind], rec->Note(std::string("release ") + kind);
  }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;
  RecordPtr rec;
  const char* kind;
};

class RecordingVertexBuffer final : public Direct3DVertexBuffer8, Recorder {
 public:
  RecordingVertexBuffer(RecordPtr r, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
      : Recorder(std::move(r), "VertexBuffer"),
        bytes_(length, 0),
        desc_{0, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf} {}
  HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override {
    return Answer(*rec, "VertexBuffer.Lock", Args(offset, size, flags), [&] {
      const HRESULT hr = d3dfront::CheckLock(offset, size, Length(), data);
      if (hr == D3D_OK) ++locks_, *data = bytes_.data() + offset;
      return hr;
    });
  }
  HRESULT Unlock() override {
    return Answer(*rec, "VertexBuffer.Unlock", "", [&] {
      const HRESULT hr = d3dfront::CheckUnlock(locks_);
      if (hr == D3D_OK) --locks_;
      return hr;
    });
  }
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC& desc) override {
    return Answer(*rec, "VertexBuffer.GetDesc", "", [&] { return desc = desc_, D3D_OK; });
  }
  UINT Length() const { return desc_.Size; }
  const std::vector<BYTE>& Bytes() const { return bytes_; }

 private:
  std::vector<BYTE> bytes_;
  D3DVERTEXBUFFER_DESC desc_;
  int locks_ = 0;  // locks held (they nest)
};

// What a recording texture holds.
struct RecordedTexture {
  UINT Width = 0;
  UINT Height = 0;
  UINT Levels = 0;
  DWORD Usage = 0;
  std::int32_t Format = 0;
  std::int32_t Pool = 0;
  std::vector<std::vector<BYTE>> LevelBytes;  // each level's pixels, rows packed
};

// A texture's record: levels -1 or 0 ask for the whole chain, a zero size
// counts as 1, format 0 takes A8R8G8B8.
RecordedTexture MakeTextureRecord(UINT width, UINT height, std::int32_t levels, DWORD usage,
                                  std::int32_t format, std::int32_t pool) {
  RecordedTexture t;
  t.Width = std::max<UINT>(width, 1);
  t.Height = std::max<UINT>(height, 1);
  const UINT chain = d3dfront::FullChainLength(t.Width, t.Height);
  t.Levels = levels <= 0 ? chain : std::min<UINT>(static_cast<UINT>(levels), chain);
  t.Usage = usage;
  t.Format = format == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : format;
  t.Pool = pool;
  for (UINT l = 0; l < t.Levels; ++l) {
    const UINT w = std::max<UINT>(t.Width >> l, 1), h = std::max<UINT>(t.Height >> l, 1);
    t.LevelBytes.emplace_back(static_cast<std::size_t>(w) * h * TexelBytes(t.Format), 0);
  }
  return t;
}

class RecordingTexture final : public Direct3DTexture8, Recorder {
 public:
  RecordingTexture(RecordPtr r, RecordedTexture state)
      : Recorder(std::move(r), "Texture"), state_(std::move(state)) {}
  DWORD GetLevelCount() const override { return state_.Levels; }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC& desc) override {
    return Answer(*rec, "Texture.GetLevelDesc", Args(level), [&] {
      if (level >= state_.Levels) return D3DERR_INVALIDCALL;
      desc = {state_.Format,
              D3DRTYPE_SURFACE,
              state_.Usage,
              state_.Pool,
              static_cast<UINT>(state_.LevelBytes[level].size()),
              0,
              Width(level),
              Height(level)};
      return D3D_OK;
    });
  }
  HRESULT LockRect(UINT level, D3DLOCKED_RECT& locked, const RECT* rect, DWORD flags) override {
    return Answer(*rec, "Texture.LockRect", Args(level, ObjectArg(rect, "Rect"), flags), [&] {
      const HRESULT hr = d3dfront::CheckLockRect(level, state_.Levels, Held(level),
                                                 static_cast<D3DPOOL>(state_.Pool), state_.Usage,
                                                 rect, Width(level), Height(level));
      if (hr != D3D_OK) return hr;
      const UINT bpp = TexelBytes(state_.Format);
      const auto pitch = static_cast<std::int32_t>(Width(level) * bpp);
      BYTE* bits = state_.LevelBytes[level].data();
      if (rect) bits += static_cast<std::ptrdiff_t>(rect->top) * pitch + rect->left * bpp;
      locked = {pitch, bits};
      locked_[level] = true;
      return hr;
    });
  }
  HRESULT UnlockRect(UINT level) override {
    return Answer(*rec, "Texture.UnlockRect", Args(level), [&] {
      const HRESULT hr = d3dfront::CheckUnlockRect(level, state_.Levels, Held(level));
      if (hr == D3D_OK) locked_[level] = false;
      return hr;
    });
  }

 private:
  UINT Width(UINT level) const { return std::max<UINT>(state_.Width >> level, 1); }
  UINT Height(UINT level) const { return std::max<UINT>(state_.Height >> level, 1); }
  bool Held(UINT level) const { return level < state_.Levels && locked_[level]; }
  RecordedTexture state_;
  std::vector<bool> locked_ = std::vector<bool>(state_.Levels, false);  // per level
};

// Records each call, answers a scripted failure, and otherwise keeps its
// state and refuses as both devices do.
using DeviceBase =
    d3dfront::StateKeepingDevice<d3dfront::FrontState, RecordingVertexBuffer, RecordingTexture>;

class RecordingDevice final : public DeviceBase, Recorder {
 public:
  RecordingDevice(RecordPtr r, std::shared_ptr<RecordedDevice> recorded, D3DDEVTYPE type,
                  const D3DPRESENT_PARAMETERS& params, const D3DDISPLAYMODE& displayMode)
      : DeviceBase(params, displayMode),
        Recorder(std::move(r), "Device"),
        recorded_(std::move(recorded)),
        type_(type) {}

  HRESULT GetDeviceCaps(D3DCAPS8& caps) override {
    return Answer(*rec, "Device.GetDeviceCaps", "", [&] { return caps = Caps(type_), D3D_OK; });
  }
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
    return Answer(*rec, "Device.SetRenderState", Args(state, value),
                  [&] { return DeviceBase::SetRenderState(state, value); });
  }
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) override {
    return Answer(*rec, "Device.SetTransform", Args(state, Raw{FormatMatrix(matrix)}), [&] {
      const HRESULT hr = DeviceBase::SetTransform(state, matrix);
      if (hr == D3D_OK) recorded_->Transforms[state] = matrix;
      return hr;
    });
  }
  HRESULT SetVertexShader(DWORD handle) override {
    return Answer(*rec, "Device.SetVertexShader", Args(handle),
                  [&] { return DeviceBase::SetVertexShader(handle); });
  }
  HRESULT BeginScene() override {
    return Answer(*rec, "Device.BeginScene", "", [&] { return DeviceBase::BeginScene(); });
  }
  HRESULT EndScene() override {
    return Answer(*rec, "Device.EndScene", "", [&] { return DeviceBase::EndScene(); });
  }
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                DWORD stencil) override {
    return Answer(*rec, "Device.Clear",
                  Args(count, ObjectArg(rects, "Rects"), flags, color, z, stencil),
                  d3dfront::CheckClear(state_, count, rects, flags, z));
  }
  HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                  const void* dirtyRegion) override {
    return Answer(*rec, "Device.Present",
                  Args(ObjectArg(sourceRect, "Rect"), ObjectArg(destRect, "Rect"), destWindow,
                       ObjectArg(dirtyRegion, "Region")),
                  D3D_OK);
  }
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             Ref<Direct3DVertexBuffer8>& buffer) override {
    return Answer(*rec, "Device.CreateVertexBuffer", Args(length, usage, fvf, pool), [&] {
      const HRESULT hr = d3dfront::CheckCreateVertexBuffer(length, fvf, pool);
      if (hr != D3D_OK) return hr;
      ++rec->buffersMade;
      buffer = std::make_shared<RecordingVertexBuffer>(rec, length, usage, fvf, pool);
      return hr;
    });
  }
  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, Ref<Direct3DTexture8>& texture) override {
    return Answer(*rec, "Device.CreateTexture", Args(width, height, levels, usage, format, pool),
                  [&] {
                    const HRESULT hr =
                        d3dfront::CheckCreateTexture(width, height, levels, usage, format, pool);
                    if (hr != D3D_OK) return hr;
                    texture = std::make_shared<RecordingTexture>(
                        rec, MakeTextureRecord(width, height, static_cast<std::int32_t>(levels),
                                               usage, format, pool));
                    return hr;
                  });
  }
  HRESULT SetStreamSource(UINT stream, const Ref<Direct3DVertexBuffer8>& buffer,
                          UINT stride) override {
    return Answer(*rec, "Device.SetStreamSource",
                  Args(stream, ObjectArg(buffer.get(), "VertexBuffer"), stride),
                  [&] { return DeviceBase::SetStreamSource(stream, buffer, stride); });
  }
  HRESULT SetTexture(DWORD stage, const Ref<Direct3DBaseTexture8>& texture) override {
    return Answer(*rec, "Device.SetTexture", Args(stage, ObjectArg(texture.get(), "Texture")),
                  [&] { return DeviceBase::SetTexture(stage, texture); });
  }
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override {
    return Answer(*rec, "Device.DrawPrimitive", Args(type, startVertex, primitiveCount),
                  [&] { return DeviceBase::DrawPrimitive(type, startVertex, primitiveCount); });
  }
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                          UINT stride) override {
    const std::uint64_t bytes = PrimitiveVertexCount(type, primitiveCount) * stride;
    const std::string data = vertexData ? "<" + std::to_string(bytes) + " bytes>" : "Nothing";
    return Answer(
        *rec, "Device.DrawPrimitiveUP", Args(type, primitiveCount, Raw{data}, stride),
        [&] { return DeviceBase::DrawPrimitiveUP(type, primitiveCount, vertexData, stride); });
  }

 protected:
  // A draw keeps a copy of its vertices, unless a long run keeps no copies.
  HRESULT DrawFromBuffer(D3DPRIMITIVETYPE, UINT, RecordingVertexBuffer& buffer, std::uint64_t,
                         UINT) override {
    if (rec->script.keepLog) recorded_->LastDrawPrimitive = buffer.Bytes();
    return D3D_OK;
  }
  HRESULT DrawFromMemory(D3DPRIMITIVETYPE type, UINT primitiveCount, const std::uint8_t* data,
                         UINT stride) override {
    const std::size_t bytes = PrimitiveVertexCount(type, primitiveCount) * stride;
    if (rec->script.keepLog) recorded_->LastDrawPrimitiveUP = std::vector<BYTE>(data, data + bytes);
    return D3D_OK;
  }

 private:
  std::shared_ptr<RecordedDevice> recorded_;
  D3DDEVTYPE type_;
};

class RecordingDirect3D final : public Direct3D8, Recorder {
 public:
  explicit RecordingDirect3D(RecordPtr r) : Recorder(std::move(r), "D3D") {}
  UINT GetAdapterCount() override {
    rec->Note("D3D.GetAdapterCount", " -> 1");
    return 1;
  }
  UINT GetAdapterModeCount(UINT adapter) override {
    const UINT count = adapter == 0 ? static_cast<UINT>(rec->script.modes.size()) : 0;
    rec->Note("D3D.GetAdapterModeCount", Args(adapter) + " -> " + std::to_string(count));
    return count;
  }
  HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE& out) override {
    return Answer(*rec, "D3D.EnumAdapterModes", Args(adapter, mode), [&] {
      if (adapter != 0 || mode >= rec->script.modes.size()) return D3DERR_INVALIDCALL;
      return out = rec->script.modes[mode], D3D_OK;
    });
  }
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& out) override {
    return Answer(*rec, "D3D.GetAdapterDisplayMode", Args(adapter), [&] {
      if (adapter != 0) return D3DERR_INVALIDCALL;
      return out = rec->script.desktop, D3D_OK;
    });
  }
  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8& caps) override {
    return Answer(*rec, "D3D.GetDeviceCaps", Args(adapter, type), [&] {
      const HRESULT hr = Refusal(adapter, type);
      if (hr == D3D_OK) caps = Caps(type);
      return hr;
    });
  }
  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override {
    return Answer(*rec, "D3D.CheckDeviceFormat",
                  Args(adapter, type, adapterFormat, usage, resourceType, checkFormat),
                  rec->script.depthFormatCheck);
  }
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS& params, Ref<Direct3DDevice8>& device) override {
    return Answer(
        *rec, "D3D.CreateDevice",
        Args(adapter, type, focusWindow, behaviorFlags, Raw{FormatPresentParameters(params)}), [&] {
          const HRESULT hr = Refusal(adapter, type);
          if (hr != D3D_OK) return hr;
          const D3DDISPLAYMODE mode =
              params.Windowed
                  ? rec->script.desktop
                  : D3DDISPLAYMODE{params.BackBufferWidth, params.BackBufferHeight,
                                   params.FullScreen_RefreshRateInHz, params.BackBufferFormat};
          rec->devices.push_back(std::make_shared<RecordedDevice>());
          device = std::make_shared<RecordingDevice>(rec, rec->devices.back(), type, params, mode);
          return hr;
        });
  }

 private:
  // Only the default adapter, and only the device types the script allows.
  HRESULT Refusal(UINT adapter, D3DDEVTYPE type) const {
    const auto& usable = rec->script.usableDeviceTypes;
    if (adapter != 0) return D3DERR_INVALIDCALL;
    return std::find(usable.begin(), usable.end(), type) != usable.end()
               ? D3D_OK
               : rec->script.unusableDeviceStatus;
  }
};

// An object with nothing to answer but its life.
template <class Interface>
struct RecordingObject final : Interface, Recorder {
  RecordingObject(RecordPtr r, const char* kind) : Recorder(std::move(r), kind) {}
};

class RecordingD3DX final : public D3DX8, Recorder {
 public:
  explicit RecordingD3DX(RecordPtr r) : Recorder(std::move(r), "D3DX") {}
  HRESULT CreateFont(const Ref<Direct3DDevice8>& device, std::int32_t hFont,
                     Ref<D3DXFont>& font) override {
    return Answer(*rec, "D3DX.CreateFont", Args(ObjectArg(device.get(), "Device"), hFont), [&] {
      if (!device) return D3DERR_INVALIDCALL;
      font = std::make_shared<RecordingObject<D3DXFont>>(rec, "D3DXFont");
      return D3D_OK;
    });
  }
  HRESULT CreateTexture(const Ref<Direct3DDevice8>& device, std::int32_t width, std::int32_t height,
                        std::int32_t levels, std::int32_t usage, std::int32_t format,
                        std::int32_t pool, Ref<Direct3DTexture8>& texture) override {
    return Answer(
        *rec, "D3DX.CreateTexture",
        Args(ObjectArg(device.get(), "Device"), width, height, levels, usage, format, pool), [&] {
          if (!device || width < 0 || height < 0 || pool < D3DPOOL_DEFAULT ||
              pool > D3DPOOL_SCRATCH)
            return D3DERR_INVALIDCALL;
          texture = std::make_shared<RecordingTexture>(
              rec, MakeTextureRecord(static_cast<UINT>(width), static_cast<UINT>(height), levels,
                                     static_cast<DWORD>(usage), format, pool));
          return D3D_OK;
        });
  }
};

class RecordingKeyboard final : public DirectInputDevice8, Recorder {
 public:
  explicit RecordingKeyboard(RecordPtr r) : Recorder(std::move(r), "Keyboard") {}
  HRESULT SetCommonDataFormat(std::int32_t format) override {
    const bool refused = format != DIFORMAT_KEYBOARD || acquired_;
    const HRESULT hr = Answer(*rec, "Keyboard.SetCommonDataFormat", Args(format),
                              refused ? DIERR_INVALIDPARAM : DI_OK);
    formatSet_ = formatSet_ || hr == DI_OK;
    return hr;
  }
  HRESULT SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) override {
    // Exactly one of exclusive / non-exclusive and of foreground / background.
    const bool ex = flags & DISCL_EXCLUSIVE, nonEx = flags & DISCL_NONEXCLUSIVE;
    const bool fg = flags & DISCL_FOREGROUND, bg = flags & DISCL_BACKGROUND;
    return Answer(*rec, "Keyboard.SetCooperativeLevel", Args(hWnd, flags),
                  ex == nonEx || fg == bg ? DIERR_INVALIDPARAM : DI_OK);
  }
  HRESULT Acquire() override {
    const HRESULT hr =
        Answer(*rec, "Keyboard.Acquire", "", formatSet_ ? DI_OK : DIERR_INVALIDPARAM);
    acquired_ = acquired_ || hr == DI_OK;
    return hr;
  }
  HRESULT Unacquire() override {
    const HRESULT hr = Answer(*rec, "Keyboard.Unacquire", "", DI_OK);
    if (hr == DI_OK) acquired_ = false;  // unacquiring a device not acquired has no effect
    return hr;
  }
  HRESULT GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) override {
    const HRESULT hr =
        Answer(*rec, "Keyboard.GetDeviceState", "", acquired_ ? DI_OK : DIERR_NOTACQUIRED);
    if (hr != DI_OK) return hr;
    auto& script = rec->script.keyStates;
    ++rec->polls;
    if (rec->script.keyboard) {
      rec->script.keyboard(rec->polls, rec->lastPolled);
    } else if (!script.empty()) {
      rec->lastPolled = script.front();
      script.pop_front();
    } else {
      if (++rec->pollsBeyondScript > rec->script.pollsAfterScript)
        throw TestScriptExhausted("the keyboard was polled far beyond its script");
      rec->lastPolled.fill(0);
    }
    state = rec->lastPolled;
    return DI_OK;
  }

 private:
  bool formatSet_ = false;
  bool acquired_ = false;
};

class RecordingDirectInput final : public DirectInput8, Recorder {
 public:
  explicit RecordingDirectInput(RecordPtr r) : Recorder(std::move(r), "DI") {}
  HRESULT CreateDevice(const std::string& guid, Ref<DirectInputDevice8>& device) override {
    return Answer(*rec, "DI.CreateDevice", Args(guid), [&] {
      if (guid != "GUID_SysKeyboard") return DIERR_DEVICENOTREG;
      device = std::make_shared<RecordingKeyboard>(rec);
      return DI_OK;
    });
  }
};

class RecordingDirectX final : public DirectX8, Recorder {
 public:
  explicit RecordingDirectX(RecordPtr r) : Recorder(std::move(r), "DX") {}
  HRESULT Direct3DCreate(Ref<Direct3D8>& d3d) override {
    return Answer(*rec, "DX.Direct3DCreate", "", [&] {
      d3d = std::make_shared<RecordingDirect3D>(rec);
      return D3D_OK;
    });
  }
  HRESULT DirectInputCreate(Ref<DirectInput8>& di) override {
    return Answer(*rec, "DX.DirectInputCreate", "", [&] {
      di = std::make_shared<RecordingDirectInput>(rec);
      return DI_OK;
    });
  }
};

// The form's font object: not counted among the platform's objects.
class RecordingFont final : public IFont, Recorder {
 public:
  explicit RecordingFont(RecordPtr r) : Recorder(std::move(r), "") {}
  HRESULT get_Name(std::string& name) override {
    return Answer(*rec, "Font.get_Name", "", [&] { return name = name_, 0; });
  }
  HRESULT put_Name(const std::string& name) override {
    return Answer(*rec, "Font.put_Name", Args(name), [&] { return name_ = name, 0; });
  }
  HRESULT get_hFont(std::int32_t& handle) override {
    return Answer(*rec, "Font.get_hFont", "", [&] { return handle = rec->script.hFont, 0; });
  }

 private:
  std::string name_ = "MS Sans Serif";
};

}  // namespace

Ref<DirectX8> NewRecordingDirectX(RecordPtr rec) {
  return std::make_shared<RecordingDirectX>(std::move(rec));
}
Ref<D3DX8> NewRecordingD3DX(RecordPtr rec) {
  return std::make_shared<RecordingD3DX>(std::move(rec));
}
Ref<IFont> NewRecordingFont(RecordPtr rec) {
  return std::make_shared<RecordingFont>(std::move(rec));
}

}  // namespace testplatform
