// The system's side of the runtime's text files: the few calls the shared
// rules of text_files.cpp make, once for POSIX (system_files_posix.cpp) and
// once for Win32 (system_files_win32.cpp). A failure comes back as a kind,
// which the shared rules turn into the runtime's error number and the words
// of the report, so the same failure reads the same on every host.
//
// Paths and settings are UTF-8 on every host.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace system_files {

enum class Fault {
  kNone,
  kNoSuchFolder,  // a folder on the way does not exist
  kNotAFolder,    // a part of the path is a file
  kDenied,        // the system refuses the access
  kNoNewFiles,    // the folder exists but takes no new files
  kReadOnly,      // a read-only file system
  kLink,          // a symbolic link (a reparse point), never followed
  kNotRegular,    // a FIFO, a pipe, a device
  kHardLinked,    // the file has other names, which emptying it would empty too
  kFolder,        // a folder stands where the file should
  kBusy,          // another program is writing the file
  kNotEmptied,    // the file was opened but could not be emptied
  kDiskFull,
  kFileTooLarge,  // the file may grow no further
  kNameTooLong,
  kTooManyOpen,
  kOther,  // `words` says what
};

struct Failure {
  Fault fault = Fault::kNone;
  // Where on the path it failed: -1 drive C's own folder, else the index of
  // the part (the last part is the file).
  int at = -1;
  std::string words;  // the system's own reason
};

using File = std::intptr_t;

// Opens the file `parts` name below the folder `driveC` for writing: made
// when missing, and emptied only once it is known to be a regular disk file
// that no other program is writing. No link below drive C is followed (drive
// C itself is the user's choice and may be one), nothing waits (a FIFO
// without a reader is refused at once), and while it is open no other
// program may open the file for writing.
bool OpenForWriting(const std::string& driveC, const std::vector<std::string>& parts, File& file,
                    Failure& failure);
// Writes all of `bytes` at `offset`, or fails: what the system took of a
// failed write stays until CutBack takes it back.
bool WriteAt(File file, std::string_view bytes, std::int64_t offset, Failure& failure);
void CutBack(File file, std::int64_t size);
bool Close(File file, Failure& failure);

// The folder separator of host paths.
char Separator();
// An environment variable's value, whatever its length; empty when unset.
std::string Setting(const char* name);
// Drive C when QUILLON_DRIVE_C does not name one; empty when none is known.
std::string DefaultDriveC();
// Makes `path` and the folders above it that are missing; the reason when
// that fails, else empty.
std::string MakeFolders(const std::string& path);

#ifdef _WIN32
// UTF-8 and the system's UTF-16. Bytes that are not UTF-8 (or lone
// surrogates) make the replacement character.
std::wstring Utf16(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);
#endif

}  // namespace system_files
