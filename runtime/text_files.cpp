#include "runtime/text_files.h"

#include "platform/error.h"
#include "runtime/open_outputs.h"
#include "scene/user_files.h"

namespace {

using system_files::Fault;

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

std::int32_t OpenErrorNumber(Fault fault) {
  switch (fault) {
    case Fault::kNoSuchFolder:
    case Fault::kNotAFolder:
    case Fault::kNoNewFiles:
      return ErrPathNotFound;
    case Fault::kDiskFull:
    case Fault::kFileTooLarge:
      return ErrDiskFull;
    case Fault::kNameTooLong:
      return ErrBadFileName;
    case Fault::kTooManyOpen:
      return ErrTooManyFiles;
    case Fault::kBusy:
      return ErrPermissionDenied;
    case Fault::kNotEmptied:
      return ErrDeviceIOError;
    default:  // refused, a link, not a file, a read-only disk, ...
      return ErrPathFileAccess;
  }
}

// A file that may grow no further is as full as the disk.
std::int32_t WriteErrorNumber(Fault fault) {
  return fault == Fault::kDiskFull || fault == Fault::kFileTooLarge ? ErrDiskFull
                                                                    : ErrDeviceIOError;
}

// The system's reason in the words every host gives for it.
std::string Reason(const system_files::Failure& failure) {
  switch (failure.fault) {
    case Fault::kDiskFull:
      return "No space left on device";
    case Fault::kFileTooLarge:
      return "File too large";
    default:
      return failure.words;
  }
}

// Why a folder could not be opened, in plain words.
std::string FolderReason(const system_files::Failure& failure) {
  switch (failure.fault) {
    case Fault::kNoSuchFolder:
      return "there is no such folder";
    case Fault::kNotAFolder:
      return "a part of the path is a file, not a folder";
    case Fault::kDenied:
      return "the folder may not be entered (" + failure.words + ")";
    default:
      return Reason(failure);
  }
}

// Why the file itself could not be opened, in plain words; `folder` is set
// when another drive C would mend it.
std::string FileProblem(const system_files::Failure& failure, bool& folder) {
  folder = false;
  switch (failure.fault) {
    case Fault::kLink:
      return "it is a symbolic link, which is never followed";
    case Fault::kNotRegular:
      return "it is not a regular file";
    case Fault::kHardLinked:
      return "it has other names (hard links), which emptying it would empty too";
    case Fault::kFolder:
      return "it is a folder, not a file";
    case Fault::kBusy:
      return "another program is writing it";
    case Fault::kNotEmptied:
      return "it could not be emptied (" + failure.words + ")";
    default:
      break;
  }
  folder = true;
  switch (failure.fault) {
    case Fault::kNoNewFiles:  // /proc/self and the like
      return "the folder takes no new files";
    case Fault::kDenied:
      return "the folder may not be written (" + failure.words + ")";
    case Fault::kReadOnly:
      return "the folder is on a read-only file system";
    default:
      return Reason(failure);
  }
}

}  // namespace

std::string OpenProblem(const system_files::Failure& failure, const std::vector<std::string>& parts,
                        bool& folder) {
  folder = false;
  const auto last = static_cast<int>(parts.size()) - 1;
  if (failure.at < 0) {
    folder = true;
    return FolderReason(failure);
  }
  if (failure.at < last) {
    const std::string& name = parts[static_cast<std::size_t>(failure.at)];
    return failure.fault == Fault::kLink
               ? "the folder " + name + " is a symbolic link, which is never followed"
               : name + ": " + FolderReason(failure);
  }
  return FileProblem(failure, folder);
}

TextFiles::TextFiles(std::string driveC) : driveC_(std::move(driveC)) {}

TextFiles::~TextFiles() { CloseAll(); }

std::string TextFiles::DriveC() const {
  if (!driveC_.empty()) return driveC_;
  std::string env = system_files::Setting("QUILLON_DRIVE_C");
  return env.empty() ? DefaultDriveC() : env;
}

std::string TextFiles::DescribeDriveC() const {
  if (!driveC_.empty()) return driveC_;
  const std::string env = system_files::Setting("QUILLON_DRIVE_C");
  if (!env.empty()) return "QUILLON_DRIVE_C=" + env;
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
    if (out.back() != '/' && out.back() != system_files::Separator())
      out += system_files::Separator();
    out.append(part);
  }
  return out;
}

std::int32_t TextFiles::Refuse(const system_files::Failure& failure,
                               const std::vector<std::string>& parts) {
  problem_ = OpenProblem(failure, parts, folderProblem_);
  return OpenErrorNumber(failure.fault);
}

std::int32_t TextFiles::Open(std::string_view path, std::int32_t& fileNumber) {
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
  std::string notMade;
  if (driveC_.empty() && driveC == DefaultDriveC()) notMade = system_files::MakeFolders(driveC);
  for (const auto& [number, f] : open_)
    if (f.hostPath == hostPath) return ErrFileAlreadyOpen;
  std::int32_t number = 1;
  while (number <= kMaxFileNumber && open_.count(number)) ++number;
  if (number > kMaxFileNumber) return ErrTooManyFiles;

  system_files::File file = 0;
  system_files::Failure failure;
  if (!system_files::OpenForWriting(driveC, parts, file, failure)) {
    const std::int32_t err = Refuse(failure, parts);
    // Making the per-user drive C failed first: that is the reason.
    if (!notMade.empty() && failure.at < 0)
      problem_ = "the folder cannot be made (" + notMade + ")";
    return err;
  }
  NoteOutputOpened(hostPath);
  open_.emplace(number, OpenFile{file, std::move(hostPath), 0});
  fileNumber = number;
  return 0;
}

// A refusal names the host's path and where drive C is, so the report says
// what to fix: "(76) Path not found: /x/FPS.TXT: there is no such folder
// (drive C is QUILLON_DRIVE_C=/x); make the folder, or set ...".
std::int32_t TextFiles::OpenForOutput(std::string_view path, std::int32_t& fileNumber) {
  problem_.clear();
  folderProblem_ = false;
  const std::int32_t err = Open(path, fileNumber);
  if (err != 0) {
    std::string hostPath;
    if (MapPath(path, DriveC(), hostPath) != 0) hostPath = path;
    // Paths come from the environment: shown quoted.
    std::string detail = scene::Printable(hostPath);
    if (!problem_.empty()) detail += ": " + scene::Printable(problem_);
    detail += " (drive C is " + scene::Printable(DescribeDriveC()) + ")";
    if (folderProblem_)
      detail +=
          std::string(problem_.starts_with("there is no such folder") ? "; make the folder, or set"
                                                                      : "; set") +
          " QUILLON_DRIVE_C (--drive-c) to a folder you can write";
    NoteErrorDetail(err, detail);
  }
  return err;
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
  system_files::Failure failure;
  if (!system_files::WriteAt(f.file, line, f.size, failure)) {
    system_files::CutBack(f.file, f.size);
    problem_ = f.hostPath + ": " + Reason(failure);
    const std::int32_t err = WriteErrorNumber(failure.fault);
    NoteErrorDetail(err, "writing " + scene::Printable(problem_) + " (drive C is " +
                             scene::Printable(DescribeDriveC()) + ")");
    return err;
  }
  f.size += static_cast<std::int64_t>(line.size());
  return 0;
}

std::int32_t TextFiles::Close(std::int32_t fileNumber) {
  const auto it = open_.find(fileNumber);
  if (it == open_.end()) return 0;
  const system_files::File file = it->second.file;
  NoteOutputClosed(it->second.hostPath);
  open_.erase(it);
  system_files::Failure failure;
  return system_files::Close(file, failure) ? 0 : WriteErrorNumber(failure.fault);
}

void TextFiles::CloseAll() {
  system_files::Failure ignored;
  for (auto& [number, f] : open_) {
    NoteOutputClosed(f.hostPath);
    system_files::Close(f.file, ignored);
  }
  open_.clear();
}
