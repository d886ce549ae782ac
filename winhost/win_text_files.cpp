#include "winhost/win_text_files.h"

#include <cerrno>

#include "platform/error.h"
#include "runtime/open_outputs.h"
#include "winhost/win32_calls.h"

std::string WinTextFiles::SystemPath(const std::string& programPath, const std::string& driveC) {
  const bool onDriveC = programPath.size() >= 2 &&
                        (programPath[0] == 'C' || programPath[0] == 'c') && programPath[1] == ':';
  if (driveC.empty() || !onDriveC) return programPath;
  std::string rest = programPath.substr(2);
  if (!rest.empty() && rest[0] != '\\' && rest[0] != '/') rest.insert(0, "\\");
  return driveC + rest;
}

std::int32_t WinTextFiles::OpenForOutput(const std::string& path, std::int32_t& fileNumber) {
  std::int32_t number = 1;
  while (open_.count(number) != 0) ++number;
  if (number > kMaxFileNumber) return ErrTooManyFiles;
  const std::string driveC = win32::GetEnvironment("QUILLON_DRIVE_C");
  const std::string systemPath = SystemPath(path, driveC);
  // Binary, so that the line ends are the CR LF written below and no more.
  std::FILE* file = std::fopen(systemPath.c_str(), "wb");
  if (file == nullptr) {
    const std::int32_t error = errno == ENOENT ? ErrPathNotFound : ErrPathFileAccess;
    NoteErrorDetail(error, systemPath + " cannot be created" +
                               (driveC.empty() ? std::string("")
                                               : " (drive C is QUILLON_DRIVE_C=" + driveC + ")") +
                               "; set QUILLON_DRIVE_C to a folder you can write");
    return error;
  }
  NoteOutputOpened(systemPath);
  open_[number] = {file, systemPath};
  fileNumber = number;
  return 0;
}

std::int32_t WinTextFiles::PrintLine(std::int32_t fileNumber, const std::string& text) {
  auto found = open_.find(fileNumber);
  if (found == open_.end()) return ErrBadFileNameOrNumber;
  std::FILE* file = found->second.file;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                       std::fwrite("\r\n", 1, 2, file) == 2 && std::fflush(file) == 0;
  return written ? 0 : ErrDeviceIOError;
}

std::int32_t WinTextFiles::Close(std::int32_t fileNumber) {
  auto found = open_.find(fileNumber);
  if (found == open_.end()) return 0;
  const bool closed = std::fclose(found->second.file) == 0;
  NoteOutputClosed(found->second.systemPath);
  open_.erase(found);
  return closed ? 0 : ErrDeviceIOError;
}

void WinTextFiles::CloseAll() {
  for (auto& [number, open] : open_) {
    NoteOutputClosed(open.systemPath);
    std::fclose(open.file);
  }
  open_.clear();
}
