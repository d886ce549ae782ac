#include "hostcommon/trace.h"

#include <cstdio>
#include <filesystem>

#include "platform/d3d8_defaults.h"
#include "runtime/open_outputs.h"
#include "scene/user_files.h"

namespace {

// The trace never replaces a file the program is writing (its log).
const char* RefuseOpenOutputs(const std::string& path) {
  return IsOpenOutput(path) ? "it is the program's log" : nullptr;
}

}  // namespace

TraceRecorder::TraceRecorder(std::string path, int frames)
    : path_(std::move(path)), frames_(frames), files_(path_, RefuseOpenOutputs) {
  // The trace's folder is made as needed. If it cannot be, the first frame
  // fails with the reason: each write would give one of its own ("no such
  // file") that hides it.
  // UTF-8, not the ANSI code page's, on Windows too.
  const std::filesystem::path folder =
      std::filesystem::path(std::u8string(path_.begin(), path_.end())).parent_path();
  std::error_code made;
  if (!folder.empty()) std::filesystem::create_directories(folder, made);
  if (made)
    error_ = "cannot write " + path_ + ": the folder cannot be made (" + made.message() + ")";
}

std::string TraceRecorder::ScenePath(int frame) const {
  if (frame == 1) return path_;
  const auto [stem, extension] = scene::SplitExtension(path_);
  return stem + "-" + std::to_string(frame) + extension;
}

void TraceRecorder::RenderState(DWORD state, DWORD value) {
  if (!Active()) return;
  renderStates_[state] = value;
  lines_ += scene::RenderStateLine(state, value);
}

void TraceRecorder::TextureStageState(DWORD stage, DWORD type, DWORD value) {
  if (!Active()) return;
  stageStates_[{stage, type}] = value;
  lines_ += scene::TextureStageStateLine(stage, type, value);
}

void TraceRecorder::Transform(D3DTRANSFORMSTATETYPE which, const D3DMATRIX& m) {
  if (!Active()) return;
  const std::string line = scene::TransformLine(which, m);
  if (line.empty()) {
    Unrecordable("transform " + std::to_string(which));
    return;
  }
  transforms_[which] = m;
  lines_ += line;
}

void TraceRecorder::VertexShader(DWORD fvf) {
  if (!Active()) return;
  fvf_ = fvf;
  lines_ += scene::FvfLine(fvf);
}

void TraceRecorder::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) {
  if (!Active()) return;
  if (count != 0 && rects != nullptr) {
    Unrecordable("clear of " + std::to_string(count) + " rectangles");
    return;
  }
  lines_ += scene::ClearLine(flags, color, z, stencil);
}

void TraceRecorder::DrawFromBuffer(UINT stride, D3DPRIMITIVETYPE type, UINT count, const void* data,
                                   std::size_t bytes) {
  if (!Active() || !error_.empty()) return;
  lines_ +=
      scene::VertexBufferLine(stride, type, count, files_.WriteVertexFile(data, bytes, &error_));
}

void TraceRecorder::DrawUser(UINT stride, D3DPRIMITIVETYPE type, UINT count, const void* data,
                             std::size_t bytes) {
  if (!Active() || !error_.empty()) return;
  lines_ +=
      scene::UserPointerLine(stride, type, count, files_.WriteVertexFile(data, bytes, &error_));
}

void TraceRecorder::Unrecordable(const std::string& what) {
  if (!Active()) return;
  lines_ += scene::CommentLine("not recordable here: " + what);
}

std::string TraceRecorder::Preamble() const {
  std::string text;
  for (const auto& [state, value] : renderStates_) text += scene::RenderStateLine(state, value);
  for (const auto& [key, value] : stageStates_)
    text += scene::TextureStageStateLine(key.first, key.second, value);
  for (const auto& [which, m] : transforms_)
    text += scene::TransformLine(static_cast<D3DTRANSFORMSTATETYPE>(which), m);
  if (fvf_) text += scene::FvfLine(*fvf_);
  return text;
}

bool TraceRecorder::EndFrame() {
  if (!Active()) return true;
  // The preamble is the state the device had when the frame began; the replay
  // device starts from the defaults.
  const std::string text =
      scene::CommentLine("frame " + std::to_string(frame_) + " as the program drew it") +
      preambleAtFrameStart_ + scene::CommentLine("the frame's own calls") + lines_;
  // A vertex file that could not be written has said why; the scene is not
  // written then, as it could not be replayed.
  const bool ok = error_.empty() && files_.WriteScene(text, &error_);
  lines_.clear();
  if (!ok) {
    // Nothing of the frame is left behind, and later frames would fail
    // alike: the trace ends here.
    files_.RemoveFiles();
    frames_ = 0;
    return false;
  }
  ++frame_;
  files_ = scene::SceneFileWriter(ScenePath(frame_), RefuseOpenOutputs);
  preambleAtFrameStart_ = Active() ? Preamble() : std::string();
  return ok;
}

TracingDevice::TracingDevice(Ref<Direct3DDevice8> inner, std::string path, int frames,
                             TraceFailed failed)
    : inner_(std::move(inner)), recorder_(std::move(path), frames), failed_(std::move(failed)) {}

HRESULT TracingDevice::GetDeviceCaps(D3DCAPS8& caps) { return inner_->GetDeviceCaps(caps); }
HRESULT TracingDevice::GetDisplayMode(D3DDISPLAYMODE& mode) { return inner_->GetDisplayMode(mode); }

HRESULT TracingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  HRESULT hr = inner_->SetRenderState(state, value);
  if (hr == D3D_OK) recorder_.RenderState(static_cast<DWORD>(state), value);
  return hr;
}
HRESULT TracingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD& value) {
  return inner_->GetRenderState(state, value);
}
HRESULT TracingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                            DWORD value) {
  HRESULT hr = inner_->SetTextureStageState(stage, type, value);
  if (hr == D3D_OK) recorder_.TextureStageState(stage, static_cast<DWORD>(type), value);
  return hr;
}
HRESULT TracingDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                            DWORD& value) {
  return inner_->GetTextureStageState(stage, type, value);
}
HRESULT TracingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) {
  HRESULT hr = inner_->SetTransform(state, matrix);
  if (hr == D3D_OK) recorder_.Transform(state, matrix);
  return hr;
}
HRESULT TracingDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX& matrix) {
  return inner_->GetTransform(state, matrix);
}
HRESULT TracingDevice::SetViewport(const D3DVIEWPORT8& viewport) {
  HRESULT hr = inner_->SetViewport(viewport);
  if (hr == D3D_OK) recorder_.Unrecordable("viewport");
  return hr;
}
HRESULT TracingDevice::GetViewport(D3DVIEWPORT8& viewport) { return inner_->GetViewport(viewport); }
HRESULT TracingDevice::SetVertexShader(DWORD handle) {
  HRESULT hr = inner_->SetVertexShader(handle);
  if (hr == D3D_OK) recorder_.VertexShader(handle);
  return hr;
}
HRESULT TracingDevice::GetVertexShader(DWORD& handle) { return inner_->GetVertexShader(handle); }
HRESULT TracingDevice::BeginScene() { return inner_->BeginScene(); }
HRESULT TracingDevice::EndScene() { return inner_->EndScene(); }

HRESULT TracingDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                             float z, DWORD stencil) {
  HRESULT hr = inner_->Clear(count, rects, flags, color, z, stencil);
  if (hr == D3D_OK) recorder_.Clear(count, rects, flags, color, z, stencil);
  return hr;
}

HRESULT TracingDevice::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                               const void* dirtyRegion) {
  HRESULT hr = inner_->Present(sourceRect, destRect, destWindow, dirtyRegion);
  if (recorder_.Active() && !recorder_.EndFrame()) {
    // The error names the trace's path, which comes from the environment.
    const std::string why = scene::Printable(recorder_.LastError()) + "; tracing stopped";
    if (failed_)
      failed_(why);
    else
      std::fprintf(stderr, "quillon: trace: %s\n", why.c_str());
  }
  return hr;
}

HRESULT TracingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                          Ref<Direct3DVertexBuffer8>& buffer) {
  return inner_->CreateVertexBuffer(length, usage, fvf, pool, buffer);
}
HRESULT TracingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                     D3DFORMAT format, D3DPOOL pool,
                                     Ref<Direct3DTexture8>& texture) {
  return inner_->CreateTexture(width, height, levels, usage, format, pool, texture);
}

HRESULT TracingDevice::SetStreamSource(UINT stream, const Ref<Direct3DVertexBuffer8>& buffer,
                                       UINT stride) {
  HRESULT hr = inner_->SetStreamSource(stream, buffer, stride);
  if (hr == D3D_OK && stream == 0) {
    stream0_ = buffer;
    stride0_ = stride;
  }
  return hr;
}
HRESULT TracingDevice::SetTexture(DWORD stage, const Ref<Direct3DBaseTexture8>& texture) {
  HRESULT hr = inner_->SetTexture(stage, texture);
  if (hr == D3D_OK && texture) recorder_.Unrecordable("texture on stage " + std::to_string(stage));
  return hr;
}

HRESULT TracingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  HRESULT hr = inner_->DrawPrimitive(type, startVertex, primitiveCount);
  if (hr != D3D_OK || !recorder_.Active()) return hr;
  if (!stream0_) {
    recorder_.Unrecordable("draw without a stream");
    return hr;
  }
  // The scene format draws from the first vertex of its file: keep the bytes
  // from the first vertex drawn to the end of the buffer.
  D3DVERTEXBUFFER_DESC desc{};
  BYTE* bytes = nullptr;
  if (stream0_->GetDesc(desc) != D3D_OK ||
      stream0_->Lock(0, 0, &bytes, D3DLOCK_READONLY) != D3D_OK) {
    recorder_.Unrecordable("draw from a buffer that cannot be read");
    return hr;
  }
  std::size_t from = static_cast<std::size_t>(startVertex) * stride0_;
  std::size_t size = desc.Size > from ? desc.Size - from : 0;
  copy_.assign(bytes + (size ? from : 0), bytes + (size ? from : 0) + size);
  stream0_->Unlock();
  recorder_.DrawFromBuffer(stride0_, type, primitiveCount, copy_.data(), copy_.size());
  return hr;
}

HRESULT TracingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                       const void* vertexData, UINT stride) {
  HRESULT hr = inner_->DrawPrimitiveUP(type, primitiveCount, vertexData, stride);
  if (hr == D3D_OK && recorder_.Active())
    recorder_.DrawUser(
        stride, type, primitiveCount, vertexData,
        static_cast<std::size_t>(PrimitiveVertexCount(type, primitiveCount)) * stride);
  return hr;
}

HRESULT TracingDirect3D8::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                                       DWORD behaviorFlags, D3DPRESENT_PARAMETERS& params,
                                       Ref<Direct3DDevice8>& device) {
  Ref<Direct3DDevice8> real;
  HRESULT hr = inner_->CreateDevice(adapter, type, focusWindow, behaviorFlags, params, real);
  if (hr == D3D_OK)
    device = std::make_shared<TracingDevice>(std::move(real), path_, frames_, failed_);
  return hr;
}
