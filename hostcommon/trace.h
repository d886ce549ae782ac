// Recording of device calls as replayable scenes.
//
// TraceRecorder turns device calls into scenes (written by the scene writer):
// each traced frame becomes one scene that starts with every state the device
// had been given before the frame, then the frame's own calls; vertex data
// goes into files beside the scene. TracingDevice is a Direct3DDevice8 that
// passes every call to the real device and tells the recorder about the ones
// that succeeded.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/d3d8.h"
#include "scene/writer.h"

class TraceRecorder {
 public:
  // Frame 1 goes to `path`; frame n > 1 to the same name with "-n" before the
  // extension. Vertex files are named after their scene.
  TraceRecorder(std::string path, int frames);

  bool Active() const { return frame_ <= frames_; }
  int FramesWritten() const { return frame_ - 1; }
  const std::string& LastError() const { return error_; }

  void RenderState(DWORD state, DWORD value);
  void TextureStageState(DWORD stage, DWORD type, DWORD value);
  void Transform(D3DTRANSFORMSTATETYPE which, const D3DMATRIX& m);
  void VertexShader(DWORD fvf);
  void Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
             DWORD stencil);
  // A draw from a vertex buffer: `data` holds the vertices from the first one
  // drawn to the end of the buffer.
  void DrawFromBuffer(UINT stride, D3DPRIMITIVETYPE type, UINT count, const void* data,
                      std::size_t bytes);
  void DrawUser(UINT stride, D3DPRIMITIVETYPE type, UINT count, const void* data,
                std::size_t bytes);
  // A call the scene format cannot say; kept as a comment so a reader knows
  // the replay will differ.
  void Unrecordable(const std::string& what);
  // The frame is finished: writes its scene. Returns false when a file could
  // not be written (LastError says which).
  bool EndFrame();

  // File names, exposed for tests and messages.
  std::string ScenePath(int frame) const;

 private:
  std::string Preamble() const;

  std::string path_;
  int frames_;
  int frame_ = 1;
  scene::SceneFileWriter files_;  // the current frame's
  std::string lines_;             // the current frame's calls
  std::string preambleAtFrameStart_;
  std::string error_;

  // State given so far, replayed at the start of each scene.
  std::map<DWORD, DWORD> renderStates_;
  std::map<std::pair<DWORD, DWORD>, DWORD> stageStates_;
  std::map<int, D3DMATRIX> transforms_;
  std::optional<DWORD> fvf_;
};

// Told once, with the reason, when a traced frame cannot be written; the
// trace stops there.
using TraceFailed = std::function<void(const std::string& why)>;

class TracingDevice : public Direct3DDevice8 {
 public:
  TracingDevice(Ref<Direct3DDevice8> inner, std::string path, int frames, TraceFailed failed = {});

  const TraceRecorder& Recorder() const { return recorder_; }
  const Ref<Direct3DDevice8>& Inner() const { return inner_; }

  HRESULT GetDeviceCaps(D3DCAPS8& caps) override;
  HRESULT GetDisplayMode(D3DDISPLAYMODE& mode) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD& value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD& value) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX& matrix) override;
  HRESULT SetViewport(const D3DVIEWPORT8& viewport) override;
  HRESULT GetViewport(D3DVIEWPORT8& viewport) override;
  HRESULT SetVertexShader(DWORD handle) override;
  HRESULT GetVertexShader(DWORD& handle) override;
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

 private:
  Ref<Direct3DDevice8> inner_;
  TraceRecorder recorder_;
  TraceFailed failed_;
  Ref<Direct3DVertexBuffer8> stream0_;
  UINT stride0_ = 0;
  std::vector<BYTE> copy_;
};

// A Direct3D8 that hands out tracing devices.
class TracingDirect3D8 : public Direct3D8 {
 public:
  TracingDirect3D8(Ref<Direct3D8> inner, std::string path, int frames, TraceFailed failed = {})
      : inner_(std::move(inner)),
        path_(std::move(path)),
        frames_(frames),
        failed_(std::move(failed)) {}

  UINT GetAdapterCount() override { return inner_->GetAdapterCount(); }
  UINT GetAdapterModeCount(UINT adapter) override { return inner_->GetAdapterModeCount(adapter); }
  HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE& out) override {
    return inner_->EnumAdapterModes(adapter, mode, out);
  }
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE& out) override {
    return inner_->GetAdapterDisplayMode(adapter, out);
  }
  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8& caps) override {
    return inner_->GetDeviceCaps(adapter, type, caps);
  }
  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override {
    return inner_->CheckDeviceFormat(adapter, type, adapterFormat, usage, resourceType,
                                     checkFormat);
  }
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS& params, Ref<Direct3DDevice8>& device) override;

 private:
  Ref<Direct3D8> inner_;
  std::string path_;
  int frames_;
  TraceFailed failed_;
};
