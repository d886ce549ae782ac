#include "hostcommon/shell.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <cstring>

#include "hostcommon/captures.h"

namespace {

// Whether the host's settings include `variable`.
bool Takes(HostSettingList settings, std::string_view variable) {
  for (const HostSetting& s : settings)
    if (variable == s.variable) return true;
  return false;
}

}  // namespace

std::string UsageText(HostSettingList settings, const HostUsage& usage) {
  const bool hostKeys = *usage.keys != '\0';
  std::string text =
      "usage: quillon [OPTION...] | --help | --version\n"
      "\n"
      "A full-screen 3D demonstration: a spinning, alpha-blended cloud of 1000\n"
      "random triangles over a blue background, drawn at 640x480. It logs its\n"
      "frame rate, one line per frame, to C:\\FPS.TXT on its drive C.\n"
      "\n";
  text += hostKeys ? "Keys (the program's own four and Escape are read even while another\n"
                     "window has the focus; the others are the host's, taken from the window):\n"
                   : "Keys (read through DirectInput, even while another window has the focus):\n";
  text +=
      "  Up, Down      move the eye away from / towards the cloud\n"
      "  Left, Right   turn the cloud about its vertical axis\n"
      "  Escape        end the program (so do Alt+F4 and the window's close button)\n";
  text += usage.keys;
  text += "\nSettings: each option stands for its variable and wins over it.\n";
  text += SettingsUsage(settings);
  text += "\nMessages go to stderr, each line starting with \"" + std::string(kLogPrefix) + "\".\n";
  text += usage.notes;
  text += "Exit status: 0 ended by the user, 1 after an error report, 2 bad settings,\n";
  if (Takes(settings, "QUILLON_TRACE"))
    text += "3 ended by the user but a trace could not be written,\n";
  text += "4 ended by the user but a key script's capture could not be written.\n";
  return text;
}

bool LoadKeyScript(const HostConfig& config, std::unique_ptr<PlayedKeyScript>& script,
                   std::string& error) {
  script.reset();
  if (config.keysPath.empty()) return true;
  KeyScript parsed;
  if (!ReadKeyScript(config.keysPath, parsed, error)) return false;
  script = std::make_unique<PlayedKeyScript>(KeyScriptPlayer(std::move(parsed)),
                                             CaptureFolder(config.keysPath));
  return true;
}

PlayedKeyScript::PlayedKeyScript(KeyScriptPlayer played, std::string folder)
    : player(std::move(played)), captureFolder(std::move(folder)) {
  PlayingScript(&player, &captureFolder);
}

PlayedKeyScript::~PlayedKeyScript() { PlayingScriptEnded(&player); }

int RunShell(int argc, const char* const* argv, ShellHost& host,
             const std::function<void(Runtime&)>& startForm) {
  const HostSettingList settings = host.Settings();
  // What could not be written is said on stderr, and the run fails.
  const auto tell = [&host](bool error, const std::string& text) {
    errno = 0;
    if (host.Tell(error, text)) return kEndedByUser;
    const std::string why = errno != 0 ? std::string(": ") + std::strerror(errno) : "";
    if (!error) host.Tell(true, LogLine("cannot write to standard output" + why));
    return kErrorReported;
  };
  // The program itself takes no command line; these belong to the host.
  CommandLine line;
  std::string error;
  // Every host's options are known, and one this host does not take is
  // refused as such; so is its variable, once --help has had its turn.
  const HostUsage usage = host.Usage();
  if (!ParseCommandLine(argc, argv, ShellSettings(), line, error) ||
      !RefuseUntaken(settings, line, nullptr, usage.system, error)) {
    tell(true, LogLine(error));
    return kBadSetting;
  }
  if (line.help) return tell(false, UsageText(settings, usage));
  if (line.version) return tell(false, std::string("quillon ") + QUILLON_VERSION + "\n");
  for (const auto& [variable, value] : line.settings) host.SetVariable(variable.c_str(), value);
  HostConfig config;
  const SettingLookup get = [&host](const char* name) { return host.GetVariable(name); };
  if (!RefuseUntaken(settings, line, get, usage.system, error) ||
      !ReadHostConfig(get, settings, config, error)) {
    tell(true, LogLine(error));
    return kBadSetting;
  }
  SetLogLevel(config.logLevel);
  if (!host.Start(config, error)) {
    tell(true, LogLine(error));
    return kBadSetting;
  }
  const Platform platform = host.GetPlatform();
  InstallPlatform(platform);
  try {
    startForm(*platform.runtime);
  } catch (const std::bad_alloc&) {
    // The program reports a shortage its platform calls return; one that
    // escapes elsewhere (a host's own step, a buffer a thread grew) still
    // ends the run with that one report, not an abort.
    HostLog(LogLevel::Error, "(7) Out of memory");
    std::fflush(nullptr);
    std::_Exit(kErrorReported);
  }
  // The load event came back without ending the process (the vertex-buffer
  // fill failed): the form stays open until the user closes it.
  platform.runtime->RunUntilFormClosed();
  platform.runtime->End(kEndedByUser);
  return kEndedByUser;  // End does not return
}
