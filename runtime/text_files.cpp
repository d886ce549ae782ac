#include "runtime/text_files.h"

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
  return (error == ENOSPC || error == EDQUOT) ? ErrDiskFull : ErrDeviceIOError;
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
  std::FILE* file = std::fopen(hostPath.c_str(), "wb");
  if (file == nullptr) return OpenErrorNumber(errno);
  open_.emplace(number, OpenFile{file, std::move(hostPath)});
  fileNumber = number;
  return 0;
}

std::int32_t TextFiles::PrintLine(std::int32_t fileNumber, std::string_view text) {
  const auto it = open_.find(fileNumber);
  if (it == open_.end()) return ErrBadFileNameOrNumber;
  std::FILE* file = it->second.file;
  errno = 0;
  if ((!text.empty() && std::fwrite(text.data(), 1, text.size(), file) != text.size()) ||
      std::fwrite("\r\n", 1, 2, file) != 2 || std::fflush(file) != 0) {
    const int error = errno;
    std::clearerr(file);
    return WriteErrorNumber(error);
  }
  return 0;
}

std::int32_t TextFiles::Close(std::int32_t fileNumber) {
  const auto it = open_.find(fileNumber);
  if (it == open_.end()) return 0;
  std::FILE* file = it->second.file;
  open_.erase(it);
  errno = 0;
  return std::fclose(file) == 0 ? 0 : WriteErrorNumber(errno);
}

void TextFiles::CloseAll() {
  for (auto& [number, f] : open_) std::fclose(f.file);
  open_.clear();
}
