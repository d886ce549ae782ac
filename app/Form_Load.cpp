// The load event of frmTest: start-up, the loop chosen by VertexFormat, the
// error report and the shutdown sequence that ends the process.
#include <cstdio>
#include <cstdlib>
#include <new>

#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "graphics/platform_access.h"
#include "input/keyboard.h"
#include "timing/cursor.h"

using namespace moduleDX8;

namespace {

// Start-up steps 2 to 10. Returns the non-zero result of InitDX, InitD3D or
// InitDI that stops start-up, 0 when every step went; anything else that
// fails raises.
std::int32_t StartUp(frmTest& form) {
  VertexFormat = 834;
  if (const std::int32_t result = InitDX()) return result;

  std::int32_t hWnd = 0;
  Check(RuntimeOrRaise().Form_hWnd(hWnd), "frmTest");
  if (const std::int32_t result = InitD3D(hWnd, 640, 480, 16, 1, D3DFMT_D16)) return result;
  InitD3DX();
  if (const std::int32_t result = InitDI()) return result;
  Check(RuntimeOrRaise().Form_hWnd(hWnd), "frmTest");
  InitKeyboard(hWnd);

  // The form's own font object, renamed in place.
  Ref<IFont> font;
  Check(RuntimeOrRaise().Form_Font(font), "frmTest");
  form.FormFont = font;
  Check(Use(form.FormFont, "IFont").put_Name("Arial"), "IFont");

  D3DX8& d3dx = Use(D3DX, "D3DX8");
  std::int32_t hFont = 0;
  Check(Use(form.FormFont, "IFont").get_hFont(hFont), "IFont");
  Ref<D3DXFont> d3dFont;
  Check(d3dx.CreateFont(D3DDevice, hFont, d3dFont), "D3DX8");
  form.D3DFont = d3dFont;

  ShowMouse(kFalse);
  return 0;
}

}  // namespace

void frmTest::Form_Load() {
  int exitCode = 0;
  try {
    if (const std::int32_t refused = StartUp(*this)) {
      // A routine's own refusal (a palettized desktop, no fitting mode)
      // leaves nothing pending: report the routine's result rather than a
      // failure that reads as error 0.
      if (Err().Number != 0)
        ReportError(Err().Number, Err().Description);
      else
        ReportError(refused, DescribeError(refused));
      exitCode = 1;
    } else {
      switch (VertexFormat) {
        case 388:
          RunPictureLoop();
          break;
        case 594:
        case 834:
        case 962:
          // A failed vertex-buffer fill hands control back to the runtime
          // with everything still alive.
          if (!RunSpinningCloud()) return;
          break;
        default:
          break;
      }
    }
  } catch (const RuntimeError& e) {
    // Raise has already made it the pending error.
    ReportError(e.Number, e.Description);
    exitCode = 1;
  } catch (const std::bad_alloc&) {
    Err().Number = ErrOutOfMemory;
    Err().Source.clear();
    Err().Description = DescribeError(ErrOutOfMemory);
    ReportError(ErrOutOfMemory, Err().Description);
    exitCode = 1;
  }
  Shutdown(exitCode);
}

void frmTest::ReportError(std::int32_t number, const std::string& description) {
  const std::string text = "(" + std::to_string(number) + ") " + description;
  try {
    Check(RuntimeOrRaise().MsgBox(text), "Runtime");
  } catch (const RuntimeError&) {
    // No box could be shown; the report must not be lost, and shutdown
    // follows all the same.
    std::fprintf(stderr, "quillon: %s\n", text.c_str());
  }
}

// Runs once on every path but the fill failure, and ends the process. A step
// that raises does not stop the others: every object is still given up and
// the process still ends, with status 1.
void frmTest::Shutdown(int exitCode) {
  const auto step = [&exitCode](auto&& run) {
    try {
      run();
    } catch (const RuntimeError& e) {
      exitCode = 1;
      std::fprintf(stderr, "quillon: shutdown: (%d) %s\n", e.Number, e.Description.c_str());
    }
  };
  step([] { ShowMouse(kTrue); });
  step(UnacquireKeyboard);
  step(TerminateDI);
  step(TerminateD3D);
  step(TerminateDX);
  step([] { RuntimeOrRaise().DoEvents(); });
  Runtime* runtime = CurrentPlatform().runtime;
  if (runtime == nullptr) std::exit(exitCode);
  runtime->End(exitCode);
}
