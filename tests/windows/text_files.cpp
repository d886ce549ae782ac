// The runtime's text files in the Windows build of the tests: the POSIX code
// of runtime/text_files.cpp does not build there, and the recording platform
// only needs the program's log kept below its own drive C.
#include "runtime/text_files.h"

#include <fcntl.h>
#include <io.h>

#include "platform/error.h"

TextFiles::TextFiles(std::string driveC) : driveC_(std::move(driveC)) {}
TextFiles::~TextFiles() { CloseAll(); }

std::int32_t TextFiles::OpenForOutput(std::string_view path, std::int32_t& fileNumber) {
  if (path.size() < 4 || (path[0] | 0x20) != 'c' || path.substr(1, 2) != ":\\")
    return ErrPathNotFound;
  std::string host = driveC_ + "/" + std::string(path.substr(3));
  const int fd = ::_open(host.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0644);
  if (fd < 0) return ErrPathNotFound;
  std::int32_t number = 1;
  while (open_.count(number) != 0) ++number;
  if (number > kMaxFileNumber) {
    ::_close(fd);
    return ErrTooManyFiles;
  }
  open_[number] = OpenFile{fd, std::move(host), 0};
  fileNumber = number;
  return 0;
}

std::int32_t TextFiles::PrintLine(std::int32_t fileNumber, std::string_view text) {
  const auto it = open_.find(fileNumber);
  if (it == open_.end()) return ErrBadFileNameOrNumber;
  const std::string line = std::string(text) + "\r\n";
  return ::_write(it->second.fd, line.data(), static_cast<unsigned>(line.size())) ==
                 static_cast<int>(line.size())
             ? 0
             : ErrDiskFull;
}

std::int32_t TextFiles::Close(std::int32_t fileNumber) {
  const auto it = open_.find(fileNumber);
  if (it == open_.end()) return 0;
  ::_close(it->second.fd);
  open_.erase(it);
  return 0;
}

void TextFiles::CloseAll() {
  while (!open_.empty()) Close(open_.begin()->first);
}
