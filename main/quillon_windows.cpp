// The program on Windows: the shell's entry over the Windows host's binding.
#include "app/frmTest.h"
#include "winhost/win_platform.h"

int main(int argc, char** argv) {
  WinPlatform host;
  return RunForm<frmTest>(argc, argv, host);
}
