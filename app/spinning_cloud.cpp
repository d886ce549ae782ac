// The spinning cloud: 1000 alpha-blended random triangles over blue, turned a
// little every frame, steered with the arrow keys, ended with Escape, with
// the frame rate logged every frame.
#include <charconv>
#include <string>

#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "graphics/platform_access.h"
#include "input/keyboard.h"
#include "platform/checked.h"
#include "timing/fps.h"

namespace {

using namespace moduleDX8;

constexpr const char* kDevice = "Direct3DDevice8";
constexpr const char* kForm = "frmTest";
constexpr const char* kLogPath = "C:\\FPS.TXT";
constexpr D3DCOLOR kOpaqueBlue = 0xFF0000FF;

bool KeyDown(int code) { return KeyState[static_cast<std::size_t>(code)] != 0; }

// value + step, stored back in single precision (the step is a double
// constant, so the sum is formed in double and rounded once).
void Advance(float& value, double step) {
  value = ToSingleChecked(static_cast<double>(value) + step);
}

// A single as the runtime prints it: whole numbers as their digits alone,
// anything else in the shortest fixed notation that reads back the same.
// Short enough to stay in the string's own buffer: no allocation per frame.
std::string FormatSingle(float value) {
  char buf[64];
  const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (result.ec != std::errc()) return "0";
  return std::string(buf, result.ptr);
}

void Throw(std::int32_t number) {
  if (number != 0) Raise(number, kForm);
}

HWND FormWindow(Runtime& runtime) {
  HWND hWnd = 0;
  Check(runtime.Form_hWnd(hWnd), kForm);
  return hWnd;
}

}  // namespace

bool frmTest::RunSpinningCloud() {
  Runtime& runtime = RuntimeOrRaise();

  VertexSize = 24;
  CameraZ = -5.0f;
  Check(Use(D3DDevice, kDevice).SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE), kDevice);
  SetupMatrices(3);
  Check(SetupVertecies(), kForm);
  std::int32_t logFile = 0;
  Throw(runtime.FileOpenForOutput(kLogPath, logFile));

  while (QuitRequested == kFalse) {
    ReadKeyboard();
    Advance(RotX, 0.01);
    Advance(RotY, 0.02);
    if (KeyDown(DIK_ESCAPE)) QuitRequested = kTrue;
    if (KeyDown(DIK_UP)) Advance(CameraZ, -0.1);
    if (KeyDown(DIK_DOWN)) Advance(CameraZ, 0.1);
    if (KeyDown(DIK_RIGHT)) Advance(RotY, -0.1);
    if (KeyDown(DIK_LEFT)) Advance(RotY, 0.1);

    SetCamera(0.0f, 0.0f, CameraZ, 0.0f, 0.0f, 0.0f);
    RotateWorld(RotX, RotY, 0.0f);

    Direct3DDevice8& device = Use(D3DDevice, kDevice);
    Check(device.BeginScene(), kDevice);
    Check(device.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kOpaqueBlue, 1.0f, 0),
          kDevice);
    Check(device.SetRenderState(D3DRS_ALPHABLENDENABLE, static_cast<DWORD>(kTrue)), kDevice);

    // Every frame gets a buffer of its own; storing it drops last frame's.
    const std::int32_t count = AddChecked(static_cast<std::int32_t>(Verts.size()) - 1, 1);
    const std::int32_t length = MulChecked(count, VertexSize);
    Ref<Direct3DVertexBuffer8> buffer;
    Check(device.CreateVertexBuffer(static_cast<UINT>(length), 0,
                                    static_cast<DWORD>(VertexFormat), D3DPOOL_DEFAULT, buffer),
          kDevice);
    VertexBuffer = std::move(buffer);
    // A failed fill leaves the load event there and then: no message, no
    // shutdown; the scene stays open and the log unclosed.
    if (D3DVertexBuffer8SetData(VertexBuffer, 0, length, 0, Verts.data()) != D3D_OK) return false;
    Check(device.SetStreamSource(0, VertexBuffer, static_cast<UINT>(VertexSize)), kDevice);
    Check(device.SetVertexShader(static_cast<DWORD>(VertexFormat)), kDevice);
    Check(device.DrawPrimitive(D3DPT_TRIANGLELIST, 0,
                               static_cast<UINT>(CLngChecked(static_cast<double>(count) / 3.0))),
          kDevice);

    UpdateFPS();
    Throw(runtime.FilePrintLine(logFile, FormatSingle(FPS)));

    Check(device.SetRenderState(D3DRS_ALPHABLENDENABLE, 0), kDevice);
    Check(device.EndScene(), kDevice);
    Check(device.Present(nullptr, nullptr, FormWindow(runtime), nullptr), kDevice);
  }

  Throw(runtime.FileClose(logFile));
  return true;
}
