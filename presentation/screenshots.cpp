#include "presentation/screenshots.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace {

// XDG_PICTURES_DIR from the user's user-dirs.dirs ("$HOME/Pictures" style).
std::string PicturesFromUserDirs(const std::string& home) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (!(config && config[0] == '/') && home.empty()) return {};
  const std::string file =
      (config && config[0] == '/' ? std::string(config) : home + "/.config") + "/user-dirs.dirs";
  // Read only when it is a short plain file: a FIFO there would hold the
  // press, and the frames after it, for ever.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec) || std::filesystem::file_size(file, ec) > 65536)
    return {};
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.starts_with("XDG_PICTURES_DIR=")) continue;
    std::string value = line.substr(17);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.starts_with("$HOME")) {
      if (home.empty()) continue;
      value = home + value.substr(5);
    }
    if (value.starts_with("/")) return value;
  }
  return {};
}

}  // namespace

std::string XdgScreenshotFolder(const std::string& home) {
  std::string pictures;
  if (const char* env = std::getenv("XDG_PICTURES_DIR"); env && env[0] == '/') pictures = env;
  if (pictures.empty()) pictures = PicturesFromUserDirs(home);
  if (pictures.empty() && !home.empty()) pictures = home + "/Pictures";
  return pictures.empty() ? std::string() : pictures + "/quillon";
}

std::string ClaimScreenshotPath(const std::string& folder, std::time_t now, std::string& reason) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
  const std::string prefix = folder + "\\quillon-";
#else
  localtime_r(&now, &local);
  const std::string prefix = folder + "/quillon-";
#endif
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
  std::string path = prefix + stamp + ".png";
  constexpr int kMostInASecond = 1000;
  for (int n = 2; n <= kMostInASecond; ++n) {
    // The name is UTF-8 on every system (not the ANSI code page on Windows).
    const std::filesystem::path name(std::u8string(path.begin(), path.end()));
    // Created, not only looked for: another program choosing in the same
    // second then sees it taken, and neither picture replaces the other.
#ifdef _WIN32
    const int fd =
        _wopen(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0 && _close(fd) == 0) return path;
#else
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 && ::close(fd) == 0) return path;
#endif
    if (errno != EEXIST) {
      reason = std::strerror(errno);
      return {};
    }
    path = prefix + stamp + "-" + std::to_string(n) + ".png";
  }
  reason = "every name of this second is taken";
  return {};
}
