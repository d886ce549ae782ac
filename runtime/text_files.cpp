#include "runtime/text_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/error.h"
#include "runtime/open_outputs.h"
#include "runtime/user_home.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Characters a file name of the program's system may not contain.
bool IsInvalidNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u < 32) return true;
  switch (c) {
    case '<':
    case '>':
    case ':':
    case '"':
    case '|':
    case '?':
    case '*':
      return true;
    default:
      return false;
  }
}

std::int32_t OpenErrorNumber(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ErrPathNotFound;
    case ENOSPC:
    case EDQUOT:
      return ErrDiskFull;
    case ENAMETOOLONG:
      return ErrBadFileName;
    case EMFILE:
    case ENFILE:
      return ErrTooManyFiles;
    default:  // EACCES, EPERM, EISDIR, EROFS, ETXTBSY, ...
      return ErrPathFileAccess;
  }
}

// Why a folder could not be opened, in plain words.
std::string OpenFolderProblem(int error) {
  switch (error) {
    case ENOENT:
      return "there is no such folder";
    case ENOTDIR:
      return "a part of the path is a file, not a folder";
    case EACCES:
    case EPERM:
      return "the folder may not be entered (" + std::string(std::strerror(error)) + ")";
    default:
      return std::strerror(error);
  }
}

// Why a file could not be made in a folder that exists, in plain words.
std::string CreateFileProblem(int error) {
  switch (error) {
    case ENOENT:  // /proc/self and the like
      return "the folder takes no new files";
    case EACCES:
    case EPERM:
      return "the folder may not be written (" + std::string(std::strerror(error)) + ")";
    case EROFS:
      return "the folder is on a read-only file system";
    case ENXIO:
      return "it is not a regular file";
    default:
      return std::strerror(error);
  }
}

std::int32_t WriteErrorNumber(int error) {
  // A file that may grow no further is as full as the disk.
  return (error == ENOSPC || error == EDQUOT || error == EFBIG) ? ErrDiskFull : ErrDeviceIOError;
}

// Writes all of `bytes` at `offset`; false with errno set when the system
// takes only part of them.
bool WriteAllAt(int fd, std::string_view bytes, off_t offset) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
    offset += n;
  }
  return true;
}

}  // namespace

TextFiles::TextFiles(std::string driveC) : driveC_(std::move(driveC)) {}

TextFiles::~TextFiles() { CloseAll(); }

std::string TextFiles::DriveC() const {
  if (!driveC_.empty()) return driveC_;
  const char* env = std::getenv("QUILLON_DRIVE_C");
  if (env != nullptr && *env != '\0') return env;
  return DefaultDriveC();
}

std::string TextFiles::DefaultDriveC() {
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

std::string TextFiles::DescribeDriveC() const {
  if (!driveC_.empty()) return driveC_;
  const char* env = std::getenv("QUILLON_DRIVE_C");
  if (env != nullptr && *env != '\0') return std::string("QUILLON_DRIVE_C=") + env;
  return DefaultDriveC() + ", the default when QUILLON_DRIVE_C is unset";
}

std::int32_t TextFiles::PathParts(std::string_view path, std::vector<std::string>& parts) {
  parts.clear();
  if (path.empty()) return ErrBadFileName;
  std::string_view rest = path;
  if (rest.size() >= 2 && rest[1] == ':') {
    // Only drive C exists.
    if (rest[0] != 'C' && rest[0] != 'c') return ErrPathNotFound;
    rest.remove_prefix(2);
  } else if (rest.size() >= 2 && IsSeparator(rest[0]) && IsSeparator(rest[1])) {
    return ErrPathNotFound;  // a network path: no other machine is reachable
  }
  // With or without a leading separator the path starts at the root of C,
  // which is also C's current directory.
  while (!rest.empty()) {
    std::size_t n = 0;
    while (n < rest.size() && !IsSeparator(rest[n])) ++n;
    const std::string_view part = rest.substr(0, n);
    rest.remove_prefix(n < rest.size() ? n + 1 : n);
    if (part.empty() || part == ".") continue;
    if (part == "..") return ErrPathFileAccess;  // never above drive C
    for (char c : part)
      if (IsInvalidNameChar(c)) return ErrBadFileName;
    parts.emplace_back(part);
  }
  if (parts.empty() || IsSeparator(path.back())) return ErrPathFileAccess;  // a directory
  return 0;
}

std::int32_t TextFiles::MapPath(std::string_view path, const std::string& driveC,
                                std::string& hostPath) {
  std::vector<std::string> parts;
  if (const std::int32_t err = PathParts(path, parts)) return err;
  hostPath = JoinHostPath(driveC, parts);
  return 0;
}

std::string TextFiles::JoinHostPath(const std::string& driveC,
                                    const std::vector<std::string>& parts) {
  std::string out = driveC.empty() ? std::string(".") : driveC;
  for (const std::string& part : parts) {
    if (out.back() != '/') out += '/';
    out.append(part);
  }
  return out;
}

// Opens the folder `parts` name below drive C, one component at a time and
// following no link, so a link planted inside drive C cannot lead the log
// out of it. Drive C itself is the user's choice and may be a link.
int TextFiles::OpenFolder(const std::string& driveC, const std::vector<std::string>& parts,
                          std::int32_t& error) {
  int dir = ::open(driveC.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    const int why = errno;
    error = OpenErrorNumber(why);
    problem_ = OpenFolderProblem(why);
    folderProblem_ = true;
    return -1;
  }
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    const int next =
        ::openat(dir, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int why = errno;
    struct stat st {};
    const bool link = next < 0 && ::fstatat(dir, parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(st.st_mode);
    ::close(dir);
    if (link) {
      error = ErrPathFileAccess;
      problem_ = "the folder " + parts[i] + " is a symbolic link, which is never followed";
      return -1;
    }
    if (next < 0) {
      error = OpenErrorNumber(why);
      problem_ = parts[i] + ": " + OpenFolderProblem(why);
      return -1;
    }
    dir = next;
  }
  return dir;
}

std::int32_t TextFiles::OpenForOutput(std::string_view path, std::int32_t& fileNumber) {
  problem_.clear();
  folderProblem_ = false;
  const std::string driveC = DriveC();
  if (driveC.empty()) {
    problem_ = "no home folder is known (HOME is unset and the user has none)";
    return ErrPathNotFound;
  }
  std::vector<std::string> parts;
  if (const std::int32_t err = PathParts(path, parts)) return err;
  std::string hostPath = JoinHostPath(driveC, parts);
  // The per-user drive C is made when first needed; a drive C the user named
  // must already exist.
  std::error_code made;
  if (driveC_.empty() && driveC == DefaultDriveC())
    std::filesystem::create_directories(driveC, made);
  for (const auto& [number, f] : open_)
    if (f.hostPath == hostPath) return ErrFileAlreadyOpen;
  std::int32_t number = 1;
  while (number <= kMaxFileNumber && open_.count(number)) ++number;
  if (number > kMaxFileNumber) return ErrTooManyFiles;

  std::int32_t error = 0;
  const int dir = OpenFolder(driveC, parts, error);
  if (dir < 0) {
    // Making the per-user drive C failed first: that is the reason.
    if (made && folderProblem_) problem_ = "the folder cannot be made (" + made.message() + ")";
    return error;
  }
  // No O_TRUNC yet: the file is emptied only once it is known to be a plain
  // file that no other program is writing. O_NONBLOCK keeps a FIFO without a
  // reader from holding the open for ever.
  const int fd = ::openat(dir, parts.back().c_str(),
                          O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  const int why = errno;
  ::close(dir);
  if (fd < 0) {
    if (why == ELOOP) {
      problem_ = "it is a symbolic link, which is never followed";
      return ErrPathFileAccess;
    }
    problem_ = CreateFileProblem(why);
    folderProblem_ = why != ENXIO && why != EISDIR;
    return OpenErrorNumber(why);
  }
  const auto refuse = [&](std::int32_t err, const char* what) {
    ::close(fd);
    problem_ = what;
    return err;
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    return refuse(ErrPathFileAccess, "it is not a regular file");
  // One writer per file: a second program would tear the first one's lines.
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return refuse(ErrPermissionDenied, "another program is writing it");
    break;  // a file system without locks: write as before
  }
  if (::ftruncate(fd, 0) != 0) return refuse(WriteErrorNumber(errno), "it could not be emptied");
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  NoteOutputOpened(hostPath);
  open_.emplace(number, OpenFile{fd, std::move(hostPath), 0});
  fileNumber = number;
  return 0;
}

std::int32_t TextFiles::PrintLine(std::int32_t fileNumber, std::string_view text) {
  problem_.clear();
  const auto it = open_.find(fileNumber);
  if (it == open_.end()) return ErrBadFileNameOrNumber;
  OpenFile& f = it->second;
  // One buffer and no stdio buffering: what the system took of a failed
  // write is cut off again, so the file ends with the last whole line.
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text).append("\r\n");
  errno = 0;
  if (!WriteAllAt(f.fd, line, static_cast<off_t>(f.size))) {
    const int error = errno;
    problem_ = f.hostPath + ": " + std::strerror(error);
    while (::ftruncate(f.fd, static_cast<off_t>(f.size)) != 0 && errno == EINTR) {
    }
    return WriteErrorNumber(error);
  }
  f.size += static_cast<std::int64_t>(line.size());
  return 0;
}

std::int32_t TextFiles::Close(std::int32_t fileNumber) {
  const auto it = open_.find(fileNumber);
  if (it == open_.end()) return 0;
  const int fd = it->second.fd;
  NoteOutputClosed(it->second.hostPath);
  open_.erase(it);
  errno = 0;
  return ::close(fd) == 0 ? 0 : WriteErrorNumber(errno);
}

void TextFiles::CloseAll() {
  for (auto& [number, f] : open_) {
    NoteOutputClosed(f.hostPath);
    ::close(f.fd);
  }
  open_.clear();
}
