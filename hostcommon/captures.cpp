#include "hostcommon/captures.h"

#include <atomic>

#include "hostcommon/host_log.h"
#include "pictures/picture_files.h"
#include "runtime/open_outputs.h"
#include "scene/user_files.h"

namespace {

// Windows takes either separator; a Linux file name may hold a backslash.
#ifdef _WIN32
constexpr const char* kSeparators = "/\\";
#else
constexpr const char* kSeparators = "/";
#endif

bool IsAbsolute(const std::string& name) {
#ifdef _WIN32
  if (name.size() >= 2 && name[1] == ':') return true;  // C:\... (and C:name, the drive's own)
  return name.starts_with('/') || name.starts_with('\\');
#else
  return name.starts_with('/');
#endif
}

// Set by any capture not written, read as the process ends.
std::atomic<bool> captureFailed{false};
KeyScriptPlayer* played = nullptr;
const std::string* playedFolder = nullptr;

}  // namespace

std::string CaptureFolder(const std::string& keysPath) {
  const auto separator = keysPath.find_last_of(kSeparators);
  return separator == std::string::npos ? "" : keysPath.substr(0, separator + 1);
}

std::string CapturePath(const std::string& folder, const std::string& name) {
  return IsAbsolute(name) ? name : folder + name;
}

bool WriteHostPicture(const std::string& path, const Image& image, Durability durability,
                      std::string& error) {
  if (IsOpenOutput(path)) {
    error = path + ": the program's own log is written there";
    return false;
  }
  return WritePng(path, image, &error, durability);
}

bool SaveDueCaptures(KeyScriptPlayer& script, const std::string& folder, const Image& frame,
                     std::vector<std::string>* written) {
  bool all = true;
  for (const auto& name : script.TakeDueCaptures()) {
    const std::string path = CapturePath(folder, name);
    std::string error;
    // The name comes from the key script: shown quoted.
    // A capture is made again by running its script again: it need not wait
    // for the disk.
    if (WriteHostPicture(path, frame, Durability::kCached, error)) {
      HostLog(LogLevel::Warn, "picture written to " + scene::Printable(path));
      if (written) written->push_back(path);
    } else {
      HostLog(LogLevel::Error, "cannot write the picture " + scene::Printable(error));
      all = false;
    }
  }
  if (!all) captureFailed = true;
  return all;
}

void FailDueCaptures(KeyScriptPlayer& script, const std::string& folder, const std::string& why) {
  for (const auto& name : script.TakeDueCaptures()) {
    HostLog(LogLevel::Error,
            "cannot write the picture " + scene::Printable(CapturePath(folder, name)) + ": " + why);
    captureFailed = true;
  }
}

void PlayingScript(KeyScriptPlayer* script, const std::string* folder) {
  played = script;
  playedFolder = folder;
}

void PlayingScriptEnded(const KeyScriptPlayer* script) {
  if (played == script) PlayingScript(nullptr, nullptr);
}

int StatusAfterCaptures(int exitCode) {
  if (exitCode == kEndedByUser && played)
    for (const auto& name : played->TakeCapturesAhead()) {
      HostLog(LogLevel::Error, "cannot write the picture " +
                                   scene::Printable(CapturePath(*playedFolder, name)) +
                                   ": the run ended before that frame");
      captureFailed = true;
    }
  return exitCode == kEndedByUser && captureFailed ? kCaptureFailed : exitCode;
}
