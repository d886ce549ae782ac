// The program on the SDL2 host: the runtime creates the form and raises its
// load event, which runs the whole program and ends the process itself.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/frmTest.h"
#include "sdlhost/sdl_platform.h"

int main() {
  HostConfig config;
  std::string error;
  if (!ReadHostConfig([](const char* name) { return std::getenv(name); }, config, error)) {
    std::fprintf(stderr, "Quillon: %s\n", error.c_str());
    return 2;
  }
  auto platform = std::make_unique<SdlPlatform>();
  if (!platform->Start(config, error)) {
    std::fprintf(stderr, "Quillon: %s\n", error.c_str());
    return 2;
  }
  InstallPlatform(platform->GetPlatform());

  auto form = std::make_unique<frmTest>();
  form->Form_Load();
  // The load event came back without ending the process (the vertex-buffer
  // fill failed): the form stays open until the user closes it.
  SdlRuntime& runtime = platform->Runtime();
  runtime.RunUntilFormClosed();
  runtime.End(0);
}
