#include "hostcommon/captures.h"

#include "hostcommon/host_log.h"
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

}  // namespace

std::string CaptureFolder(const std::string& keysPath) {
  const auto separator = keysPath.find_last_of(kSeparators);
  return separator == std::string::npos ? "" : keysPath.substr(0, separator + 1);
}

std::string CapturePath(const std::string& folder, const std::string& name) {
  return IsAbsolute(name) ? name : folder + name;
}

void SaveDueCaptures(KeyScriptPlayer& script, const std::string& folder, const FramePixels& frame) {
  for (const auto& name : script.TakeDueCaptures()) {
    const std::string path = CapturePath(folder, name);
    std::string error;
    // The name comes from the key script: shown quoted.
    const std::string shown = scene::Printable(path);
    if (WritePngFile(path, frame, error))
      HostLog(LogLevel::Warn, "picture written to " + shown);
    else
      HostLog(LogLevel::Error,
              "cannot write the picture " + shown + ": " + scene::Printable(error));
  }
}
