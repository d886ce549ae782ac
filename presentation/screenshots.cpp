#include "presentation/screenshots.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

std::string FreeScreenshotPath(const std::string& folder, std::time_t now, std::string& reason) {
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
  for (int n = 2;; ++n) {
    std::error_code ec;
    // The name is UTF-8 on every system (not the ANSI code page on Windows).
    if (!std::filesystem::exists(std::u8string(path.begin(), path.end()), ec)) {
      if (!ec) return path;
      reason = ec.message();
      return {};
    }
    path = prefix + stamp + "-" + std::to_string(n) + ".png";
  }
}
