#include "runtime/open_outputs.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <vector>

namespace {

std::mutex guard;
std::vector<std::filesystem::path>& Open() {
  static std::vector<std::filesystem::path> open;
  return open;
}

// Paths are UTF-8 on every host (Windows' narrow calls would take the ANSI
// code page instead).
std::filesystem::path FromUtf8(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

}  // namespace

void NoteOutputOpened(const std::string& hostPath) {
  const std::lock_guard lock(guard);
  Open().push_back(FromUtf8(hostPath));
}

void NoteOutputClosed(const std::string& hostPath) {
  const std::lock_guard lock(guard);
  auto& open = Open();
  const auto found = std::find(open.begin(), open.end(), FromUtf8(hostPath));
  if (found != open.end()) open.erase(found);
}

bool IsOpenOutput(const std::string& path) {
  const std::lock_guard lock(guard);
  const std::filesystem::path candidate = FromUtf8(path);
  // Identity, not spelling: equivalent() compares the files themselves and is
  // false (with an error) when the candidate does not exist yet.
  return std::any_of(Open().begin(), Open().end(), [&](const std::filesystem::path& open) {
    std::error_code ignored;
    return std::filesystem::equivalent(candidate, open, ignored);
  });
}
