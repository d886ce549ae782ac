// The runtime's text-file output on Windows: the program's paths are the
// system's own ("C:\FPS.TXT" is that file). QUILLON_DRIVE_C, when set, names a
// folder that stands for drive C instead, for users who may not write to the
// root of C:. Every line reaches the file as it is written, ending in CR LF.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

class WinTextFiles {
 public:
  WinTextFiles() = default;
  ~WinTextFiles() { CloseAll(); }
  WinTextFiles(const WinTextFiles&) = delete;
  WinTextFiles& operator=(const WinTextFiles&) = delete;

  // Creates or empties the file; `fileNumber` gets the lowest free number.
  std::int32_t OpenForOutput(const std::string& path, std::int32_t& fileNumber);
  std::int32_t PrintLine(std::int32_t fileNumber, const std::string& text);
  std::int32_t Close(std::int32_t fileNumber);
  void CloseAll();

  // The path a program path is written at: itself, or below QUILLON_DRIVE_C.
  static std::string SystemPath(const std::string& programPath, const std::string& driveC);

  static constexpr std::int32_t kMaxFileNumber = 511;

 private:
  struct OpenFile {
    std::FILE* file;
    std::string systemPath;
  };
  std::map<std::int32_t, OpenFile> open_;
};
