// The program on the SDL2 host: the shell's entry over the SDL host's binding.
#include "app/frmTest.h"
#include "runtime/process_start.h"
#include "sdlhost/sdl_platform.h"

int main(int argc, char** argv) {
  PrepareProcess();
  SdlPlatform host;
  return RunForm<frmTest>(argc, argv, host);
}
