// The runtime's text-file output, the same rules on every host (the
// system's side is runtime/system_files.h).
//
// The program names files by its own paths ("C:\FPS.TXT", "C:\LOGS\RUN.TXT").
// Drive C is a folder of the host: the one named by QUILLON_DRIVE_C, by
// default on POSIX $XDG_DATA_HOME/quillon/drive_c (~/.local/share/quillon/drive_c),
// a per-user folder made on first use, and on Windows C:\ itself. Paths on
// other drives, network paths and ".." components are refused, so the program
// never writes outside that folder; links inside it are never followed, and
// what is not a plain file (a FIFO, a device) is refused. A file being
// written is kept from other writers, so a second program refuses it rather
// than tear its lines. Every line reaches the file as it is written, so
// ending the process (or a crash) keeps everything printed so far, and a line
// is written whole or not at all: a write that fails part-way (a full disk)
// is taken back, so the file never ends in a fragment.
//
// Failures come back as the runtime's error numbers (0 = done), with the
// report's detail noted for them (NoteErrorDetail): the host path, why, and
// where drive C is.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/system_files.h"

// Why opening the file `parts` name (below a folder) failed, in the words of
// the log's report; `folder` says whether another folder would mend it.
std::string OpenProblem(const system_files::Failure& failure, const std::vector<std::string>& parts,
                        bool& folder);

class TextFiles {
 public:
  // An empty `driveC` reads QUILLON_DRIVE_C at each open (DefaultDriveC()
  // when that is unset or empty).
  explicit TextFiles(std::string driveC = {});
  ~TextFiles();
  TextFiles(const TextFiles&) = delete;
  TextFiles& operator=(const TextFiles&) = delete;

  // Creates the file, or empties it when it exists; `fileNumber` receives the
  // lowest free number (1 to 511) and is written only on success.
  std::int32_t OpenForOutput(std::string_view path, std::int32_t& fileNumber);
  // Writes `text` and CR LF, both or nothing.
  std::int32_t PrintLine(std::int32_t fileNumber, std::string_view text);
  // Closing a number that is not open does nothing.
  std::int32_t Close(std::int32_t fileNumber);
  // Closes every open file (the end of the process).
  void CloseAll();

  // The last open's refusal in plain words ("it is a symbolic link, ..."),
  // or empty when the error number says it all; after a failed PrintLine,
  // the file and the system's reason ("/d/FPS.TXT: File too large").
  const std::string& Problem() const { return problem_; }
  // The last open failed on drive C's folder itself (missing, not one, not
  // writable), which another drive C would mend.
  bool FolderProblem() const { return folderProblem_; }

  bool IsOpen(std::int32_t fileNumber) const { return open_.count(fileNumber) != 0; }
  std::string DriveC() const;
  // Drive C when QUILLON_DRIVE_C is unset: on POSIX the per-user
  // $XDG_DATA_HOME/quillon/drive_c, XDG_DATA_HOME being ~/.local/share when
  // unset or not absolute, the home being HOME or else the user's entry in
  // the password database (empty when neither names one); on Windows C:\.
  static std::string DefaultDriveC() { return system_files::DefaultDriveC(); }
  // Where drive C is and what chose it, for messages: "QUILLON_DRIVE_C=DIR",
  // or "DIR, the default when QUILLON_DRIVE_C is unset".
  std::string DescribeDriveC() const;

  // Maps a program path to a host path below `driveC`; 0 or an error number.
  static std::int32_t MapPath(std::string_view programPath, const std::string& driveC,
                              std::string& hostPath);

  static constexpr std::int32_t kMaxFileNumber = 511;

 private:
  struct OpenFile {
    system_files::File file;
    std::string hostPath;
    std::int64_t size;  // bytes of whole lines written
  };
  // The names of a program path's folders and file below drive C; 0 or an
  // error number.
  static std::int32_t PathParts(std::string_view programPath, std::vector<std::string>& parts);
  static std::string JoinHostPath(const std::string& driveC, const std::vector<std::string>& parts);
  std::int32_t Open(std::string_view path, std::int32_t& fileNumber);
  // The error number of a failed open, with Problem() and FolderProblem().
  std::int32_t Refuse(const system_files::Failure& failure, const std::vector<std::string>& parts);

  std::string driveC_;
  std::string problem_;
  bool folderProblem_ = false;
  std::map<std::int32_t, OpenFile> open_;
};
