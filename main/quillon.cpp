// The program on the SDL2 host: the runtime creates the form and raises its
// load event, which runs the whole program and ends the process itself.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/frmTest.h"
#include "runtime/process_start.h"
#include "sdlhost/sdl_config.h"
#include "sdlhost/sdl_platform.h"

int main(int argc, char** argv) {
  PrepareProcess();
  // The program itself takes no command line; these belong to the host.
  CommandLine line;
  std::string error;
  if (!ParseCommandLine(argc, argv, SdlSettings(), line, error)) {
    std::fprintf(stderr, "quillon: %s\n", error.c_str());
    return 2;
  }
  if (line.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (line.version) {
    std::printf("quillon %s\n", QUILLON_VERSION);
    return 0;
  }
  // An option stands for its variable: set here, it wins over the
  // environment, also for the parts that read the variable themselves.
  for (const auto& [variable, value] : line.settings) ::setenv(variable.c_str(), value.c_str(), 1);
  HostConfig config;
  if (!ReadHostConfig([](const char* name) { return std::getenv(name); }, config, error)) {
    std::fprintf(stderr, "quillon: %s\n", error.c_str());
    return 2;
  }
  auto platform = std::make_unique<SdlPlatform>();
  if (!platform->Start(config, error)) {
    std::fprintf(stderr, "quillon: %s\n", error.c_str());
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
