#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pictures/replace_file.h"

bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes,
                    Durability durability, std::string& error) {
  const std::size_t slash = path.find_last_of('/');
  // A device or a socket under the name stays what it is: renaming over it
  // would take it away from the system (a script's "capture /dev/null" run
  // as root). A file, a link (itself, not what it names) or a FIFO is
  // replaced.
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 &&
      (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISSOCK(st.st_mode))) {
    error = "it is a device or a socket, which is never replaced";
    return false;
  }
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  // mkstemp creates a name nobody has (O_CREAT | O_EXCL): it never opens
  // what is there, link or FIFO. The name's start only, so that a name as
  // long as the system allows still has room beside it.
  std::string temp = dir + "." + name.substr(0, 64) + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  const auto fail = [&](int e) {
    ::close(fd);
    ::unlink(temp.c_str());
    error = std::strerror(e != 0 ? e : EIO);
    return false;
  };
  // mkstemp makes the file private; a picture gets the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd, 0666 & ~mask) != 0) return fail(errno);
  for (std::size_t at = 0; at < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail(n < 0 ? errno : EIO);
    at += static_cast<std::size_t>(n);
  }
  if (durability == Durability::kSynced && ::fsync(fd) != 0) return fail(errno);
  if (::close(fd) != 0) {
    const int e = errno;
    ::unlink(temp.c_str());
    error = std::strerror(e);
    return false;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int e = errno;
    ::unlink(temp.c_str());
    error = std::strerror(e);
    return false;
  }
  return true;
}
