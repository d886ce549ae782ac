#include "winhost/win_log_file.h"

#include <vector>

#include "hostcommon/host_log.h"
#include "runtime/open_outputs.h"
#include "runtime/text_files.h"

WinLogFile::~WinLogFile() {
  system_files::Failure ignored;
  if (!open_) return;
  system_files::Close(file_, ignored);
  NoteOutputClosed(path_);
}

bool WinLogFile::Open(const std::string& folder, std::string& error) {
  if (folder.empty()) {
    error = "the system names no local application data folder";
    return false;
  }
  const char separator = system_files::Separator();
  path_ = folder + separator + "Quillon" + separator + "quillon.log";
  if (const std::string why = system_files::MakeFolders(folder + separator + "Quillon");
      !why.empty()) {
    error = "cannot make the folder of " + path_ + ": " + why;
    return false;
  }
  // "Quillon" is opened as a part of the path, so a link there is refused too.
  system_files::Failure failure;
  const std::vector<std::string> parts{"Quillon", "quillon.log"};
  if (!system_files::OpenForWriting(folder, parts, file_, failure)) {
    bool otherFolder = false;
    error = "cannot write " + path_ + ": " + OpenProblem(failure, parts, otherFolder);
    return false;
  }
  open_ = true;
  // A capture or trace named after it is refused as the log it is.
  NoteOutputOpened(path_);
  return true;
}

void WinLogFile::Write(const std::string& line) {
  if (!open_ || full_) return;
  const std::string last =
      LogLine("the log has reached 1 MiB: the lines after this one are dropped");
  const bool fits = size_ + static_cast<std::int64_t>(line.size() + last.size()) <= kLimit;
  const std::string& text = fits ? line : last;
  system_files::Failure failure;
  if (!system_files::WriteAt(file_, text, size_, failure)) {
    // No part of a line is left: a full disk keeps whole lines.
    system_files::CutBack(file_, size_);
    full_ = true;
    return;
  }
  size_ += static_cast<std::int64_t>(text.size());
  full_ = !fits;
}
