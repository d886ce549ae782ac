#include "platform/d3dx8.h"
#include "scene/format.h"
#include "scene/scene.h"

namespace scene {
namespace {

// A window handle for the headless device: the reference device shows
// nothing, but device creation wants a window.
constexpr HWND kSceneWindow = 1;

}  // namespace

HRESULT RunScene(Direct3DDevice8& device, const Scene& scene, std::string* error) {
  bool inScene = false;
  DWORD fvf = 0;
  HRESULT hr = D3D_OK;
  const char* what = "";
  int line = 0;
  for (const Command& cmd : scene.commands) {
    line = cmd.line;
    const DWORD* a = cmd.args.data();
    switch (cmd.op) {
      case Op::Clear:
        what = "Clear";
        hr = device.Clear(0, nullptr, a[0], a[1], cmd.z, a[2]);
        break;
      case Op::RenderState:
        what = "SetRenderState";
        hr = device.SetRenderState(static_cast<D3DRENDERSTATETYPE>(a[0]), a[1]);
        break;
      case Op::TextureStageState:
        what = "SetTextureStageState";
        hr = device.SetTextureStageState(a[0], static_cast<D3DTEXTURESTAGESTATETYPE>(a[1]), a[2]);
        break;
      case Op::Fvf:
        what = "SetVertexShader";
        hr = device.SetVertexShader(a[0]);
        if (hr == D3D_OK) fvf = a[0];
        break;
      case Op::Transform:
        what = "SetTransform";
        hr = device.SetTransform(cmd.transform, cmd.matrix);
        break;
      case Op::VertexBuffer:
      case Op::UserPointer: {
        if (!inScene) {
          what = "BeginScene";
          hr = device.BeginScene();
          if (hr != D3D_OK) break;
          inScene = true;
        }
        const auto type = static_cast<D3DPRIMITIVETYPE>(a[1]);
        if (cmd.op == Op::UserPointer) {
          what = "DrawPrimitiveUP";
          hr = device.DrawPrimitiveUP(type, a[2], cmd.data.data(), a[0]);
          break;
        }
        Ref<Direct3DVertexBuffer8> vb;
        what = "CreateVertexBuffer";
        hr = device.CreateVertexBuffer(static_cast<UINT>(cmd.data.size()), 0, fvf, D3DPOOL_DEFAULT,
                                       vb);
        if (hr != D3D_OK) break;
        what = "vertex-buffer fill";
        hr = D3DVertexBuffer8SetData(vb, 0, static_cast<std::int32_t>(cmd.data.size()), 0,
                                     cmd.data.data());
        if (hr != D3D_OK) break;
        what = "SetStreamSource";
        hr = device.SetStreamSource(0, vb, a[0]);
        if (hr != D3D_OK) break;
        what = "DrawPrimitive";
        hr = device.DrawPrimitive(type, 0, a[2]);
        break;
      }
    }
    if (hr != D3D_OK) break;
  }
  if (inScene) {
    const HRESULT end = device.EndScene();
    if (hr == D3D_OK && end != D3D_OK) {
      hr = end;
      what = "EndScene";
      line = scene.commands.empty() ? 0 : scene.commands.back().line;
    }
  }
  if (hr != D3D_OK && error)
    *error =
        std::to_string(line) + ": " + what + " failed (" + HexWord(static_cast<DWORD>(hr)) + ")";
  return hr;
}

HRESULT CreateSceneDevice(Direct3D8& d3d, D3DDEVTYPE type, Ref<Direct3DDevice8>& device) {
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 640;
  pp.BackBufferHeight = 480;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = 1;
  pp.EnableAutoDepthStencil = 1;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  return d3d.CreateDevice(0, type, kSceneWindow, D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp, device);
}

}  // namespace scene
