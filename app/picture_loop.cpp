// The picture loop: one screen-space quad with a colour per corner, drawn
// afresh on black every frame until the form's window is closed.
#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "graphics/platform_access.h"

namespace {
constexpr const char* kDevice = "Direct3DDevice8";
constexpr const char* kForm = "frmTest";
}  // namespace

void frmTest::RunPictureLoop() {
  using namespace moduleDX8;
  Runtime& runtime = RuntimeOrRaise();

  // The loop reads no keys; it ends when the window is closed, which the
  // once-a-frame message pass delivers.
  runtime.SetFormEvents(FormEvents{[this] { QuitRequested = kTrue; }});
  if (runtime.FormClosed()) QuitRequested = kTrue;

  MainPicture = CreatePicture("C:\\WINDOWS\\Setup.bmp", 640, 480);

  // The runtime's RGB packs red into the low byte, so (255, 0, 0) reaches
  // the device as blue and (0, 0, 255) as red.
  constexpr D3DCOLOR kTopLeft = RGB(255, 0, 0);
  constexpr D3DCOLOR kTopRight = RGB(0, 255, 0);
  constexpr D3DCOLOR kBottomLeft = RGB(0, 0, 255);
  constexpr D3DCOLOR kBottomRight = RGB(0, 255, 255);

  while (QuitRequested == kFalse) {
    Direct3DDevice8& device = Use(D3DDevice, kDevice);
    Check(device.BeginScene(), kDevice);
    Check(device.Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 0.0f, 0), kDevice);
    DrawPicture(MainPicture, 0.0f, 0.0f, 800.0f, 600.0f, 0.0f, 0.0f, 1.0f, 1.0f, kTopLeft,
                kTopRight, kBottomLeft, kBottomRight);
    Check(device.EndScene(), kDevice);
    HWND hWnd = 0;
    Check(runtime.Form_hWnd(hWnd), kForm);
    Check(device.Present(nullptr, nullptr, hWnd, nullptr), kDevice);
    runtime.DoEvents();
  }

  MainPicture.Texture = nullptr;
}
