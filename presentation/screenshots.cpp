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
#else
  localtime_r(&now, &local);
#endif
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
  std::string path = folder + "/quillon-" + stamp + ".png";
  for (int n = 2;; ++n) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
      if (!ec) return path;
      reason = ec.message();
      return {};
    }
    path = folder + "/quillon-" + stamp + "-" + std::to_string(n) + ".png";
  }
}
