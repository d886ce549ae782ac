// The program on Windows: the runtime creates the form and raises its load
// event, which runs the whole program and ends the process itself.
#include <deque>
#include <memory>
#include <string>

#include "app/frmTest.h"
#include "hostcommon/host_config.h"
#include "winhost/win32_calls.h"
#include "winhost/win_platform.h"

namespace {

std::string UsageText() {
  return "usage: quillon [OPTION...] | --help | --version\n"
         "\n"
         "A full-screen 3D demonstration: a spinning, alpha-blended cloud of 1000\n"
         "random triangles over a blue background, drawn at 640x480 through the\n"
         "system's Direct3D 8. It logs its frame rate, one line per frame, to\n"
         "C:\\FPS.TXT.\n"
         "\n"
         "Keys (read through DirectInput, even while another window has the focus):\n"
         "  Up, Down      move the eye away from / towards the cloud\n"
         "  Left, Right   turn the cloud about its vertical axis\n"
         "  Escape        end the program (so do Alt+F4 and the window's close button)\n"
         "\n"
         "Settings: each option stands for its variable and wins over it.\n" +
         SettingsUsage(CommonSettings()) +
         "\n"
         "Without a console (started from the desktop) this text and the settings'\n"
         "refusals are shown in a message box; messages of a run go to stderr.\n"
         "Exit status: 0 ended by the user, 1 after an error report, 2 bad settings,\n"
         "4 ended by the user but a key script's capture could not be written.\n";
}

// To the console, pipe or file the program was started with, else in a box:
// a program started from the desktop has no console to print to.
void Tell(bool error, const std::string& text) {
  if (!win32::WriteStandard(error, text)) win32::ShowMessageBox(0, text, "Quillon");
}

}  // namespace

int main(int argc, char** argv) {
  // The program itself takes no command line; these belong to the host.
  CommandLine line;
  std::string error;
  if (!ParseCommandLine(argc, argv, CommonSettings(), line, error)) {
    Tell(true, "quillon: " + error + "\n");
    return 2;
  }
  if (line.help) {
    Tell(false, UsageText());
    return 0;
  }
  if (line.version) {
    Tell(false, std::string("quillon ") + QUILLON_VERSION + "\n");
    return 0;
  }
  // An option stands for its variable: set here, it wins over the
  // environment, also where the variable is read on its own (drive C).
  for (const auto& [variable, value] : line.settings)
    win32::SetEnvironment(variable.c_str(), value);
  std::deque<std::string> values;  // what the lookups returned, kept alive
  const SettingLookup get = [&values](const char* name) -> const char* {
    values.push_back(win32::GetEnvironment(name));
    return values.back().empty() ? nullptr : values.back().c_str();
  };
  CommonConfig config;
  auto platform = std::make_unique<WinPlatform>();
  if (!ReadCommonConfig(get, CommonSettings(), config, error) || !platform->Start(config, error)) {
    Tell(true, "quillon: " + error + "\n");
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
