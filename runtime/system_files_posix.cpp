#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "runtime/system_files.h"
#include "runtime/user_home.h"

namespace system_files {
namespace {

Fault FaultOf(int error) {
  switch (error) {
    case ENOENT:
      return Fault::kNoSuchFolder;
    case ENOTDIR:
      return Fault::kNotAFolder;
    case EACCES:
    case EPERM:
      return Fault::kDenied;
    case EROFS:
      return Fault::kReadOnly;
    case ELOOP:
      return Fault::kLink;
    case ENXIO:  // a FIFO without a reader, opened without waiting
      return Fault::kNotRegular;
    case EISDIR:
      return Fault::kFolder;
    case ENOSPC:
    case EDQUOT:
      return Fault::kDiskFull;
    case EFBIG:
      return Fault::kFileTooLarge;
    case ENAMETOOLONG:
      return Fault::kNameTooLong;
    case EMFILE:
    case ENFILE:
      return Fault::kTooManyOpen;
    default:
      return Fault::kOther;
  }
}

bool Fail(Failure& failure, int at, int error) {
  failure = {FaultOf(error), at, std::strerror(error)};
  return false;
}

bool Fail(Failure& failure, int at, Fault fault) {
  failure = {fault, at, {}};
  return false;
}

int Fd(File file) { return static_cast<int>(file); }

}  // namespace

bool OpenForWriting(const std::string& driveC, const std::vector<std::string>& parts, File& file,
                    Failure& failure) {
  int dir = ::open(driveC.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return Fail(failure, -1, errno);
  // One folder at a time, following no link, so that a link planted inside
  // drive C cannot lead the file out of it.
  const int last = static_cast<int>(parts.size()) - 1;
  for (int i = 0; i < last; ++i) {
    const int next =
        ::openat(dir, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int why = errno;
    struct stat st {};
    const bool link = next < 0 && ::fstatat(dir, parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(st.st_mode);
    ::close(dir);
    if (link) return Fail(failure, i, Fault::kLink);
    if (next < 0) return Fail(failure, i, why);
    dir = next;
  }
  // No O_TRUNC yet: the file is emptied only once it is known to be a plain
  // file that no other program is writing. O_NONBLOCK keeps a FIFO without a
  // reader from holding the open for ever.
  const int fd = ::openat(dir, parts.back().c_str(),
                          O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  const int why = errno;
  ::close(dir);
  if (fd < 0) {
    Fail(failure, last, why);
    // A name missing from a folder that is there: the folder takes no new
    // files (/proc/self and the like).
    if (failure.fault == Fault::kNoSuchFolder) failure.fault = Fault::kNoNewFiles;
    return false;
  }
  const auto refuse = [&](Fault fault, int error) {
    ::close(fd);
    failure = {fault, last, error != 0 ? std::strerror(error) : ""};
    return false;
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return refuse(Fault::kNotRegular, 0);
  if (st.st_nlink > 1) return refuse(Fault::kHardLinked, 0);
  // One writer per file: a second program would tear the first one's lines.
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return refuse(Fault::kBusy, 0);
    break;  // a file system without locks: write as before
  }
  if (::ftruncate(fd, 0) != 0) return refuse(Fault::kNotEmptied, errno);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  file = fd;
  return true;
}

bool WriteAt(File file, std::string_view bytes, std::int64_t offset, Failure& failure) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(Fd(file), bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(failure, 0, errno);
    if (n == 0) return Fail(failure, 0, ENOSPC);
    bytes.remove_prefix(static_cast<std::size_t>(n));
    offset += n;
  }
  return true;
}

void CutBack(File file, std::int64_t size) {
  while (::ftruncate(Fd(file), static_cast<off_t>(size)) != 0 && errno == EINTR) {
  }
}

bool Close(File file, Failure& failure) {
  if (::close(Fd(file)) == 0) return true;
  return Fail(failure, 0, errno);
}

char Separator() { return '/'; }

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// $XDG_DATA_HOME/quillon/drive_c, XDG_DATA_HOME being ~/.local/share when
// unset or not absolute (the home as UserHome() finds it).
std::string DefaultDriveC() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (data != nullptr && data[0] == '/') {
    base = data;
  } else {
    base = UserHome();
    if (base.empty()) return {};
    base += "/.local/share";
  }
  return base + "/quillon/drive_c";
}

std::string MakeFolders(const std::string& path) {
  std::error_code made;
  std::filesystem::create_directories(path, made);
  return made ? made.message() : std::string();
}

}  // namespace system_files
