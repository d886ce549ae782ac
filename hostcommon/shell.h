// The program's entry, the same on every host: the command line, --help and
// --version, the settings with their options, the log level, the key script,
// the host's platform, then the form until it ends the process. A host
// writes only what its system does differently (ShellHost).
#pragma once

#include <memory>
#include <string>

#include "hostcommon/exit_status.h"
#include "hostcommon/host_config.h"
#include "hostcommon/key_script.h"
#include "platform/platform.h"
#include "platform/runtime.h"


// What a host's --help says of itself beside the shell's text.
struct HostUsage {
  // Lines of keys the host adds to the program's own ("  F12   save ...\n").
  const char* keys = "";
  // Lines on where messages go and what happens without a screen.
  const char* notes = "";
  // Its system, named where a setting it does not take is refused.
  const char* system = "";
};

// The pieces of the entry that differ between hosts.
class ShellHost {
 public:
  virtual ~ShellHost() = default;
  // The settings this host takes (SettingsTaken), and its parts of --help.
  virtual HostSettingList Settings() = 0;
  virtual HostUsage Usage() = 0;
  // Writes `text` to standard output (or standard error), or where the host
  // shows what it cannot print; false when it could not be written.
  virtual bool Tell(bool error, const std::string& text) = 0;
  // The environment: an option sets its variable, which then wins for the
  // parts that read it themselves (drive C). GetVariable is null when unset;
  // what it returns lives as long as the host.
  virtual void SetVariable(const char* name, const std::string& value) = 0;
  virtual const char* GetVariable(const char* name) = 0;
  // Starts the host with the settings read (the log level already set):
  // false with a reason, which ends the process with kBadSetting.
  virtual bool Start(const HostConfig& config, std::string& error) = 0;
  // What InstallPlatform takes, once Start succeeded.
  virtual Platform GetPlatform() = 0;
};

// The whole entry: `startForm` makes the form, hands it to the runtime
// (Runtime::KeepForm: the runtime owns it from then on, so that End releases
// it and what it holds) and raises its load event, which runs the program
// and normally ends the process. The exit status of what ended before the
// program started.
int RunShell(int argc, const char* const* argv, ShellHost& host,
             const std::function<void(Runtime&)>& startForm);

// RunShell for the form class `Form`.
template <class Form>
int RunForm(int argc, const char* const* argv, ShellHost& host) {
  return RunShell(argc, argv, host, [](Runtime& runtime) {
    auto form = std::make_shared<Form>();
    Form& loaded = *form;
    // No owner stays on this stack: End, called from inside the load event,
    // destroys the form there.
    runtime.KeepForm(std::move(form));
    loaded.Form_Load();
  });
}

// --help's text for a host taking `settings`.
std::string UsageText(HostSettingList settings, const HostUsage& usage);

// A key script as a host plays it: its polls, and where its captures go.
// While it lives, the run's end takes the captures it never reached as not
// written (StatusAfterCaptures).
struct PlayedKeyScript {
  PlayedKeyScript(KeyScriptPlayer played, std::string folder);
  ~PlayedKeyScript();
  PlayedKeyScript(const PlayedKeyScript&) = delete;
  PlayedKeyScript& operator=(const PlayedKeyScript&) = delete;

  KeyScriptPlayer player;
  std::string captureFolder;  // where names that are not absolute go
};
// Reads the script QUILLON_KEYS names (`config.keysPath`; none when empty):
// false with a reason when it cannot be used.
bool LoadKeyScript(const HostConfig& config, std::unique_ptr<PlayedKeyScript>& script,
                   std::string& error);
