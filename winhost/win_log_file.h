// The host's lines kept in a file too: a program started from the desktop
// has no console, and its lines would otherwise be lost.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/system_files.h"

class WinLogFile {
 public:
  // A log stops growing here; one last line says the rest was dropped.
  static constexpr std::int64_t kLimit = 1 << 20;

  WinLogFile() = default;
  WinLogFile(const WinLogFile&) = delete;
  WinLogFile& operator=(const WinLogFile&) = delete;
  ~WinLogFile();

  // Opens `folder`\Quillon\quillon.log (the folder made when missing),
  // emptied, by the text files' rules: never through a link, a regular file
  // only, not while another program writes it. False with the reason.
  bool Open(const std::string& folder, std::string& error);
  // The file's path, for --help's readers and the log itself.
  const std::string& Path() const { return path_; }
  // Appends one whole line, or nothing once the file is full or failed.
  void Write(const std::string& line);

 private:
  system_files::File file_ = 0;
  bool open_ = false;
  bool full_ = false;
  std::int64_t size_ = 0;
  std::string path_;
};
