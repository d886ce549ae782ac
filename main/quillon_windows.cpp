// The program on Windows: the runtime creates the form and raises its load
// event, which runs the whole program and ends the process itself.
#include <memory>

#include "app/frmTest.h"
#include "winhost/win32_calls.h"
#include "winhost/win_platform.h"

int main() {
  auto platform = std::make_unique<WinPlatform>();
  if (!platform->Start()) {
    win32::ShowMessageBox(0, "The form's window cannot be created.", "Quillon");
    return 2;
  }
  InstallPlatform(platform->GetPlatform());

  auto form = std::make_unique<frmTest>();
  form->Form_Load();
  // The load event came back without ending the process: the form stays
  // open until the user closes it.
  WinRuntime& runtime = platform->Runtime();
  runtime.RunUntilFormClosed();
  runtime.End(0);
}
