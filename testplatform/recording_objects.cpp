#include "testplatform/recording_objects.h"

#include <algorithm>
#include <cstring>

#include "d3dfront/argument_checks.h"
#include "d3dfront/state_keeping_device.h"
#include "formats/pixel_format.h"
#include "platform/d3d8_defaults.h"
#include "platform/d3dx8_math.h"

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

}  // namespace

// --- Vertex buffers ---------------------------------------------------------

RecordingVertexBuffer::~RecordingVertexBuffer() { rec_->Released("VertexBuffer"); }

HRESULT RecordingVertexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
  if (HRESULT hr = rec_->Call("VertexBuffer.Lock", Args(offset, size, flags))) return hr;
  if (const HRESULT hr = d3dfront::CheckLock(offset, size, state_->Length, data); hr != D3D_OK)
    return Refuse(*rec_, hr);
  ++state_->Locks;
  *data = state_->Bytes.data() + offset;
  return D3D_OK;
}

HRESULT RecordingVertexBuffer::Unlock() {
  if (HRESULT hr = rec_->Call("VertexBuffer.Unlock")) return hr;
  if (const HRESULT hr = d3dfront::CheckUnlock(state_->Locks); hr != D3D_OK)
    return Refuse(*rec_, hr);
  --state_->Locks;
  return D3D_OK;
}

HRESULT RecordingVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC& desc) {
  if (HRESULT hr = rec_->Call("VertexBuffer.GetDesc")) return hr;
  desc = {0, D3DRTYPE_VERTEXBUFFER, state_->Usage, state_->Pool, state_->Length, state_->FVF};
  return D3D_OK;
}

// --- Textures ---------------------------------------------------------------

std::shared_ptr<RecordedTexture> MakeTextureRecord(TestRecord& rec, UINT width, UINT height,
                                                   std::int32_t levels, DWORD usage,
                                                   std::int32_t format, std::int32_t pool) {
  auto t = std::make_shared<RecordedTexture>();
  t->Width = std::max<UINT>(width, 1);
  t->Height = std::max<UINT>(height, 1);
  UINT chain = 1;
  for (UINT s = std::max(t->Width, t->Height); s > 1; s /= 2) ++chain;
  t->Levels = levels <= 0 ? chain : std::min<UINT>(static_cast<UINT>(levels), chain);
  t->Usage = usage;
  t->Format = format == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : format;
  t->Pool = pool;
  for (UINT l = 0; l < t->Levels; ++l) {
    const UINT w = std::max<UINT>(t->Width >> l, 1), h = std::max<UINT>(t->Height >> l, 1);
    t->LevelBytes.emplace_back(static_cast<std::size_t>(w) * h * TexelBytes(t->Format), 0);
  }
  rec.textures.push_back(t);
  return t;
}

RecordingTexture::~RecordingTexture() {
  state_->Released = true;
  rec_->Released("Texture");
}

HRESULT RecordingTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC& desc) {
  if (HRESULT hr = rec_->Call("Texture.GetLevelDesc", Args(level))) return hr;
  if (level >= state_->Levels) return Refuse(*rec_, D3DERR_INVALIDCALL);
  const UINT w = std::max<UINT>(state_->Width >> level, 1);
  const UINT h = std::max<UINT>(state_->Height >> level, 1);
  desc = {state_->Format,
          D3DRTYPE_SURFACE,
          state_->Usage,
          state_->Pool,
          static_cast<UINT>(state_->LevelBytes[level].size()),
          0,
          w,
          h};
  return D3D_OK;
}

HRESULT RecordingTexture::LockRect(UINT level, D3DLOCKED_RECT& locked, const RECT* rect,
                                   DWORD flags) {
  if (HRESULT hr =
          rec_->Call("Texture.LockRect", Args(level, Raw{rect ? "Rect" : "Nothing"}, flags)))
    return hr;
  const UINT w = std::max<UINT>(state_->Width >> level, 1);
  const UINT h = std::max<UINT>(state_->Height >> level, 1);
  const bool held = level < state_->Levels && locked_[level];
  if (const HRESULT hr =
          d3dfront::CheckLockRect(level, state_->Levels, held, static_cast<D3DPOOL>(state_->Pool),
                                  state_->Usage, rect, w, h);
      hr != D3D_OK)
    return Refuse(*rec_, hr);
  const UINT bpp = TexelBytes(state_->Format);
  const auto pitch = static_cast<std::int32_t>(w * bpp);
  BYTE* bits = state_->LevelBytes[level].data();
  if (rect) bits += static_cast<std::ptrdiff_t>(rect->top) * pitch + rect->left * bpp;
  locked = {pitch, bits};
  locked_[level] = true;
  return D3D_OK;
}

HRESULT RecordingTexture::UnlockRect(UINT level) {
  if (HRESULT hr = rec_->Call("Texture.UnlockRect", Args(level))) return hr;
  const bool held = level < state_->Levels && locked_[level];
  if (const HRESULT hr = d3dfront::CheckUnlockRect(level, state_->Levels, held); hr != D3D_OK)
    return Refuse(*rec_, hr);
  locked_[level] = false;
  return D3D_OK;
}

// --- Device -----------------------------------------------------------------

// Each call is recorded first and may be made to fail there; then the checks
// both devices make may refuse it.
namespace {

template <class Check>
HRESULT RecordThen(TestRecord& rec, const std::string& name, const std::string& args, Check check) {
  if (const HRESULT hr = rec.Call(name, args)) return hr;
  return Refuse(rec, check());
}

}  // namespace

HRESULT RecordingDevice::GetDeviceCaps(D3DCAPS8& caps) {
  if (HRESULT hr = rec_->Call("Device.GetDeviceCaps")) return hr;
  caps = Caps(type_);
  return D3D_OK;
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  return RecordThen(*rec_, "Device.SetRenderState", Args(state, value),
                    [&] { return Base::SetRenderState(state, value); });
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) {
  if (HRESULT hr = rec_->Call("Device.SetTransform", Args(state, Raw{FormatMatrix(matrix)})))
    return hr;
  if (const HRESULT hr = Base::SetTransform(state, matrix); hr != D3D_OK) return Refuse(*rec_, hr);
  recorded_->Transforms[state] = matrix;
  return D3D_OK;
}

HRESULT RecordingDevice::SetVertexShader(DWORD handle) {
  return RecordThen(*rec_, "Device.SetVertexShader", Args(handle),
                    [&] { return Base::SetVertexShader(handle); });
}

HRESULT RecordingDevice::BeginScene() {
  return RecordThen(*rec_, "Device.BeginScene", "", [&] { return Base::BeginScene(); });
}

HRESULT RecordingDevice::EndScene() {
  return RecordThen(*rec_, "Device.EndScene", "", [&] { return Base::EndScene(); });
}

HRESULT RecordingDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                               float z, DWORD stencil) {
  return RecordThen(*rec_, "Device.Clear",
                    Args(count, ObjectArg(rects, "Rects"), flags, color, z, stencil),
                    [&] { return d3dfront::CheckClear(state_, count, rects, flags, z); });
}

HRESULT RecordingDevice::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                                 const void* dirtyRegion) {
  return rec_->Call("Device.Present",
                    Args(ObjectArg(sourceRect, "Rect"), ObjectArg(destRect, "Rect"), destWindow,
                         ObjectArg(dirtyRegion, "Region")));
}

HRESULT RecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                            Ref<Direct3DVertexBuffer8>& buffer) {
  if (HRESULT hr = rec_->Call("Device.CreateVertexBuffer", Args(length, usage, fvf, pool)))
    return hr;
  if (const HRESULT hr = d3dfront::CheckCreateVertexBuffer(length, fvf, pool); hr != D3D_OK)
    return Refuse(*rec_, hr);
  ++rec_->buffersMade;
  auto b = std::make_shared<RecordedBuffer>();
  *b = {length, usage, fvf, pool, std::vector<BYTE>(length, 0), 0};
  buffer = std::make_shared<RecordingVertexBuffer>(rec_, std::move(b));
  return D3D_OK;
}

HRESULT RecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                       D3DFORMAT format, D3DPOOL pool,
                                       Ref<Direct3DTexture8>& texture) {
  if (HRESULT hr =
          rec_->Call("Device.CreateTexture", Args(width, height, levels, usage, format, pool)))
    return hr;
  if (const HRESULT hr = d3dfront::CheckCreateTexture(width, height, levels, usage, format, pool);
      hr != D3D_OK)
    return Refuse(*rec_, hr);
  auto t = MakeTextureRecord(*rec_, width, height, static_cast<std::int32_t>(levels), usage, format,
                             pool);
  texture = std::make_shared<RecordingTexture>(rec_, std::move(t));
  return D3D_OK;
}

HRESULT RecordingDevice::SetStreamSource(UINT stream, const Ref<Direct3DVertexBuffer8>& buffer,
                                         UINT stride) {
  return RecordThen(*rec_, "Device.SetStreamSource",
                    Args(stream, ObjectArg(buffer.get(), "VertexBuffer"), stride),
                    [&] { return Base::SetStreamSource(stream, buffer, stride); });
}

HRESULT RecordingDevice::SetTexture(DWORD stage, const Ref<Direct3DBaseTexture8>& texture) {
  return RecordThen(*rec_, "Device.SetTexture", Args(stage, ObjectArg(texture.get(), "Texture")),
                    [&] { return Base::SetTexture(stage, texture); });
}

void RecordingDevice::TextureChanging(DWORD stage, const Ref<Direct3DBaseTexture8>&,
                                      RecordingTexture* ours) {
  if (stage == 0) recorded_->Texture0 = ours ? ours->State() : nullptr;
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex,
                                       UINT primitiveCount) {
  return RecordThen(*rec_, "Device.DrawPrimitive", Args(type, startVertex, primitiveCount),
                    [&] { return Base::DrawPrimitive(type, startVertex, primitiveCount); });
}

HRESULT RecordingDevice::DrawFromBuffer(D3DPRIMITIVETYPE, UINT, RecordingVertexBuffer& buffer,
                                        std::uint64_t, UINT) {
  if (!rec_->script.keepLog) return D3D_OK;  // a long run keeps no copies
  const auto& bytes = buffer.State().Bytes;
  if (!recorded_->LastDrawPrimitive) recorded_->LastDrawPrimitive.emplace();
  recorded_->LastDrawPrimitive->Vertices.assign(bytes.begin(), bytes.end());
  return D3D_OK;
}

HRESULT RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                         const void* vertexData, UINT stride) {
  const std::uint64_t bytes = PrimitiveVertexCount(type, primitiveCount) * stride;
  return RecordThen(
      *rec_, "Device.DrawPrimitiveUP",
      Args(type, primitiveCount,
           Raw{vertexData ? "<" + std::to_string(bytes) + " bytes>" : std::string("Nothing")},
           stride),
      [&] { return Base::DrawPrimitiveUP(type, primitiveCount, vertexData, stride); });
}

HRESULT RecordingDevice::DrawFromMemory(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                        const std::uint8_t* data, UINT stride) {
  if (!rec_->script.keepLog) return D3D_OK;  // a long run keeps no copies
  const std::size_t bytes = PrimitiveVertexCount(type, primitiveCount) * stride;
  if (!recorded_->LastDrawPrimitiveUP) recorded_->LastDrawPrimitiveUP.emplace();
  recorded_->LastDrawPrimitiveUP->Vertices.assign(data, data + bytes);
  return D3D_OK;
}

// --- Direct3D ---------------------------------------------------------------

RecordingDirect3D::~RecordingDirect3D() { rec_->Released("D3D"); }

bool RecordingDirect3D::Usable(D3DDEVTYPE type) const {
  const auto& usable = rec_->script.usableDeviceTypes;
  return std::find(usable.begin(), usable.end(), type) != usable.end();
}

UINT RecordingDirect3D::GetAdapterCount() {
  rec_->Note("D3D.GetAdapterCount -> 1");
  return 1;
}

UINT RecordingDirect3D::GetAdapterModeCount(UINT adapter) {
  const UINT count = adapter == 0 ? static_cast<UINT>(rec_->script.modes.size()) : 0;
  rec_->Note("D3D.GetAdapterModeCount" + Args(adapter) + " -> " + std::to_string(count));
  return count;
}

HRESULT RecordingDirect3D::EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE& out) {
  if (HRESULT hr = rec_->Call("D3D.EnumAdapterModes", Args(adapter, mode))) return hr;
  if (adapter != 0 || mode >= rec_->script.modes.size()) return Refuse(*rec_, D3DERR_INVALIDCALL);
  out = rec_->script.modes[mode];
  return D3D_OK;
}

HRESULT RecordingDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& out) {
  if (HRESULT hr = rec_->Call("D3D.GetAdapterDisplayMode", Args(adapter))) return hr;
  if (adapter != 0) return Refuse(*rec_, D3DERR_INVALIDCALL);
  out = rec_->script.desktop;
  return D3D_OK;
}

HRESULT RecordingDirect3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8& caps) {
  if (HRESULT hr = rec_->Call("D3D.GetDeviceCaps", Args(adapter, type))) return hr;
  if (adapter != 0) return Refuse(*rec_, D3DERR_INVALIDCALL);
  if (!Usable(type)) return Refuse(*rec_, rec_->script.unusableDeviceStatus);
  caps = Caps(type);
  return D3D_OK;
}

HRESULT RecordingDirect3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                             DWORD usage, D3DRESOURCETYPE resourceType,
                                             D3DFORMAT checkFormat) {
  if (HRESULT hr = rec_->Call("D3D.CheckDeviceFormat",
                              Args(adapter, type, adapterFormat, usage, resourceType, checkFormat)))
    return hr;
  return Refuse(*rec_, rec_->script.depthFormatCheck);
}

HRESULT RecordingDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                                        DWORD behaviorFlags, D3DPRESENT_PARAMETERS& params,
                                        Ref<Direct3DDevice8>& device) {
  if (HRESULT hr = rec_->Call("D3D.CreateDevice", Args(adapter, type, focusWindow, behaviorFlags,
                                                       Raw{FormatPresentParameters(params)})))
    return hr;
  if (adapter != 0) return Refuse(*rec_, D3DERR_INVALIDCALL);
  if (!Usable(type)) return Refuse(*rec_, rec_->script.unusableDeviceStatus);
  const D3DDISPLAYMODE mode =
      params.Windowed ? rec_->script.desktop
                      : D3DDISPLAYMODE{params.BackBufferWidth, params.BackBufferHeight,
                                       params.FullScreen_RefreshRateInHz, params.BackBufferFormat};
  auto recorded = std::make_shared<RecordedDevice>();
  rec_->devices.push_back(recorded);
  device = std::make_shared<RecordingDevice>(rec_, std::move(recorded), type, params, mode);
  return D3D_OK;
}

// --- D3DX -------------------------------------------------------------------

HRESULT RecordingD3DX::CreateFont(const Ref<Direct3DDevice8>& device, std::int32_t hFont,
                                  Ref<D3DXFont>& font) {
  if (HRESULT hr = rec_->Call("D3DX.CreateFont", Args(ObjectArg(device.get(), "Device"), hFont)))
    return hr;
  if (!device) return Refuse(*rec_, D3DERR_INVALIDCALL);
  font = std::make_shared<RecordingD3DXFont>(rec_);
  return D3D_OK;
}

HRESULT RecordingD3DX::CreateTexture(const Ref<Direct3DDevice8>& device, std::int32_t width,
                                     std::int32_t height, std::int32_t levels, std::int32_t usage,
                                     std::int32_t format, std::int32_t pool,
                                     Ref<Direct3DTexture8>& texture) {
  if (HRESULT hr = rec_->Call("D3DX.CreateTexture", Args(ObjectArg(device.get(), "Device"), width,
                                                         height, levels, usage, format, pool)))
    return hr;
  if (!device || width < 0 || height < 0 || pool < D3DPOOL_DEFAULT || pool > D3DPOOL_SCRATCH)
    return Refuse(*rec_, D3DERR_INVALIDCALL);
  auto t = MakeTextureRecord(*rec_, static_cast<UINT>(width), static_cast<UINT>(height), levels,
                             static_cast<DWORD>(usage), format, pool);
  texture = std::make_shared<RecordingTexture>(rec_, std::move(t));
  return D3D_OK;
}

// --- DirectInput ------------------------------------------------------------

HRESULT RecordingKeyboard::SetCommonDataFormat(std::int32_t format) {
  if (HRESULT hr = rec_->Call("Keyboard.SetCommonDataFormat", Args(format))) return hr;
  if (format != DIFORMAT_KEYBOARD || acquired_) return Refuse(*rec_, DIERR_INVALIDPARAM);
  formatSet_ = true;
  return DI_OK;
}

HRESULT RecordingKeyboard::SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) {
  if (HRESULT hr = rec_->Call("Keyboard.SetCooperativeLevel", Args(hWnd, flags))) return hr;
  // Exactly one of exclusive / non-exclusive and of foreground / background.
  const bool ex = flags & DISCL_EXCLUSIVE, nonEx = flags & DISCL_NONEXCLUSIVE;
  const bool fg = flags & DISCL_FOREGROUND, bg = flags & DISCL_BACKGROUND;
  if (ex == nonEx || fg == bg) return Refuse(*rec_, DIERR_INVALIDPARAM);
  return DI_OK;
}

HRESULT RecordingKeyboard::Acquire() {
  if (HRESULT hr = rec_->Call("Keyboard.Acquire")) return hr;
  if (!formatSet_) return Refuse(*rec_, DIERR_INVALIDPARAM);
  acquired_ = true;
  return DI_OK;
}

HRESULT RecordingKeyboard::Unacquire() {
  if (HRESULT hr = rec_->Call("Keyboard.Unacquire")) return hr;
  acquired_ = false;  // unacquiring a device that is not acquired has no effect
  return DI_OK;
}

HRESULT RecordingKeyboard::GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) {
  if (HRESULT hr = rec_->Call("Keyboard.GetDeviceState")) return hr;
  if (!acquired_) return Refuse(*rec_, DIERR_NOTACQUIRED);
  auto& script = rec_->script.keyStates;
  ++rec_->polls;
  if (rec_->script.keyboard) {
    rec_->script.keyboard(rec_->polls, rec_->lastPolled);
  } else if (!script.empty()) {
    rec_->lastPolled = script.front();
    script.pop_front();
  } else {
    if (++rec_->pollsBeyondScript > rec_->script.pollsAfterScript)
      throw TestScriptExhausted("the keyboard was polled far beyond its script");
    rec_->lastPolled.fill(0);
  }
  state = rec_->lastPolled;
  return DI_OK;
}

HRESULT RecordingDirectInput::CreateDevice(const std::string& guid,
                                           Ref<DirectInputDevice8>& device) {
  if (HRESULT hr = rec_->Call("DI.CreateDevice", Args(guid))) return hr;
  if (guid != "GUID_SysKeyboard") return Refuse(*rec_, DIERR_DEVICENOTREG);
  device = std::make_shared<RecordingKeyboard>(rec_);
  return DI_OK;
}

HRESULT RecordingDirectX::Direct3DCreate(Ref<Direct3D8>& d3d) {
  if (HRESULT hr = rec_->Call("DX.Direct3DCreate")) return hr;
  d3d = std::make_shared<RecordingDirect3D>(rec_);
  return D3D_OK;
}

HRESULT RecordingDirectX::DirectInputCreate(Ref<DirectInput8>& di) {
  if (HRESULT hr = rec_->Call("DX.DirectInputCreate")) return hr;
  di = std::make_shared<RecordingDirectInput>(rec_);
  return DI_OK;
}

// --- The form's font ----------------------------------------------------------

HRESULT RecordingFont::get_Name(std::string& name) {
  if (HRESULT hr = rec_->Call("Font.get_Name")) return hr;
  name = rec_->script.fontName;
  return 0;
}

HRESULT RecordingFont::put_Name(const std::string& name) {
  if (HRESULT hr = rec_->Call("Font.put_Name", Args(name))) return hr;
  rec_->script.fontName = name;
  return 0;
}

HRESULT RecordingFont::get_hFont(std::int32_t& handle) {
  if (HRESULT hr = rec_->Call("Font.get_hFont")) return hr;
  handle = rec_->script.hFont;
  return 0;
}

}  // namespace testplatform
