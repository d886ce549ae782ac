#include "runtime/text_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/error.h"

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
    const char* home = std::getenv("HOME");
    base = std::string(home != nullptr && *home != '\0' ? home : ".") + "/.local/share";
  }
  return base + "/quillon/drive_c";
}

std::string TextFiles::DescribeDriveC() const {
  if (!driveC_.empty()) return driveC_;
  const char* env = std::getenv("QUILLON_DRIVE_C");
  if (env != nullptr && *env != '\0') return std::string("QUILLON_DRIVE_C=") + env;
  return DefaultDriveC() + ", the default when QUILLON_DRIVE_C is unset";
}

std::int32_t TextFiles::MapPath(std::string_view path, const std::string& driveC,
                                std::string& hostPath) {
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
  std::vector<std::string_view> parts;
  while (!rest.empty()) {
    std::size_t n = 0;
    while (n < rest.size() && !IsSeparator(rest[n])) ++n;
    const std::string_view part = rest.substr(0, n);
    rest.remove_prefix(n < rest.size() ? n + 1 : n);
    if (part.empty() || part == ".") continue;
    if (part == "..") return ErrPathFileAccess;  // never above drive C
    for (char c : part)
      if (IsInvalidNameChar(c)) return ErrBadFileName;
    parts.push_back(part);
  }
  if (parts.empty() || IsSeparator(path.back())) return ErrPathFileAccess;  // a directory
  std::string out = driveC.empty() ? std::string(".") : driveC;
  for (std::string_view part : parts) {
    if (out.back() != '/') out += '/';
    out.append(part);
  }
  hostPath = std::move(out);
  return 0;
}

std::int32_t TextFiles::OpenForOutput(std::string_view path, std::int32_t& fileNumber) {
  std::string hostPath;
  const std::string driveC = DriveC();
  if (const std::int32_t err = MapPath(path, driveC, hostPath)) return err;
  // The per-user drive C is made when first needed; a drive C the user named
  // must already exist.
  if (driveC_.empty() && driveC == DefaultDriveC()) {
    std::error_code ignored;
    std::filesystem::create_directories(driveC, ignored);
  }
  for (const auto& [number, f] : open_)
    if (f.hostPath == hostPath) return ErrFileAlreadyOpen;
  std::int32_t number = 1;
  while (number <= kMaxFileNumber && open_.count(number)) ++number;
  if (number > kMaxFileNumber) return ErrTooManyFiles;
  errno = 0;
  const int fd = ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return OpenErrorNumber(errno);
  open_.emplace(number, OpenFile{fd, std::move(hostPath), 0});
  fileNumber = number;
  return 0;
}

std::int32_t TextFiles::PrintLine(std::int32_t fileNumber, std::string_view text) {
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
  open_.erase(it);
  errno = 0;
  return ::close(fd) == 0 ? 0 : WriteErrorNumber(errno);
}

void TextFiles::CloseAll() {
  for (auto& [number, f] : open_) ::close(f.fd);
  open_.clear();
}
