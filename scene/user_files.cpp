#include "scene/user_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#ifdef _WIN32
#include <filesystem>
#endif

namespace scene {
namespace {

// Paths are UTF-8 on every host: Windows' narrow calls would read them in the
// ANSI code page, so there the wide ones take them.
#ifdef _WIN32
using FileStatus = struct _stat64;
std::wstring Wide(const std::string& utf8) {
  try {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
  } catch (const std::exception&) {
    return {};  // not UTF-8: no such file
  }
}
int StatPath(const std::string& path, FileStatus& st) {
  return ::_wstat64(Wide(path).c_str(), &st);
}
int StatFile(int fd, FileStatus& st) { return ::_fstat64(fd, &st); }
#else
using FileStatus = struct stat;
int StatPath(const std::string& path, FileStatus& st) { return ::stat(path.c_str(), &st); }
int StatFile(int fd, FileStatus& st) { return ::fstat(fd, &st); }
#endif

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

std::string NotAFile(const std::string& path, const FileStatus& st) {
  return Printable(path) +
         (S_ISDIR(st.st_mode) ? " is a directory, not a file" : " is not a regular file");
}

}  // namespace

int OpenFile(const std::string& path, int flags, int mode) {
#ifdef _WIN32
  return ::_wopen(Wide(path).c_str(), flags, mode);
#else
  return ::open(path.c_str(), flags, mode);
#endif
}

int RemoveFile(const std::string& path) {
#ifdef _WIN32
  return ::_wunlink(Wide(path).c_str());
#else
  return ::unlink(path.c_str());
#endif
}

bool ReadUserFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& out,
                  std::string& reason) {
  out.clear();
  // The type is checked before opening, since opening a device or a pipe can
  // itself block or act, and again on what was opened, in case the path was
  // replaced in between.
  FileStatus st{};
  if (StatPath(path, st) != 0) {
    reason = Failed(path, errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    reason = NotAFile(path, st);
    return false;
  }
  const int fd = OpenFile(path, kOpenFlags);
  if (fd < 0) {
    reason = Failed(path, errno);
    return false;
  }
  if (StatFile(fd, st) != 0 || !S_ISREG(st.st_mode)) {
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
