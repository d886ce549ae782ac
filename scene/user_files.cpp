#include "scene/user_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace scene {
namespace {

// Windows has none of these flags; its files are read in binary mode.
#ifdef _WIN32
constexpr int kOpenFlags = O_RDONLY | O_BINARY;
#else
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
#endif

std::string Failed(const std::string& path, int err) {
  return "cannot read " + Printable(path) + " (" + std::strerror(err) + ")";
}

std::string TooLarge(const std::string& path, std::uint64_t limit) {
  return Printable(path) + " is larger than " + std::to_string(limit) + " bytes";
}

std::string NotAFile(const std::string& path, const struct stat& st) {
  return Printable(path) +
         (S_ISDIR(st.st_mode) ? " is a directory, not a file" : " is not a regular file");
}

}  // namespace

bool ReadUserFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& out,
                  std::string& reason) {
  out.clear();
  // The type is checked before opening, since opening a device or a pipe can
  // itself block or act, and again on what was opened, in case the path was
  // replaced in between.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    reason = Failed(path, errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    reason = NotAFile(path, st);
    return false;
  }
  const int fd = ::open(path.c_str(), kOpenFlags);
  if (fd < 0) {
    reason = Failed(path, errno);
    return false;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    reason = S_ISREG(st.st_mode) ? Failed(path, errno) : NotAFile(path, st);
    ::close(fd);
    return false;
  }
  if (static_cast<std::uint64_t>(st.st_size) > limit) {
    reason = TooLarge(path, limit);
    ::close(fd);
    return false;
  }
  // The size said may change while reading: read in pieces and stop one byte
  // past the limit.
  out.reserve(static_cast<std::size_t>(st.st_size));
  std::uint8_t buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = Failed(path, errno);
      ::close(fd);
      out.clear();
      return false;
    }
    if (n == 0) break;
    out.insert(out.end(), buf, buf + n);
    if (out.size() > limit) {
      reason = TooLarge(path, limit);
      ::close(fd);
      out.clear();
      return false;
    }
  }
  ::close(fd);
  return true;
}

}  // namespace scene
