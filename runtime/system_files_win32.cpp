// The text files' Win32 side. Only this file of the runtime sees
// <windows.h>: its header speaks plain C++.
#include <windows.h>

#include <filesystem>
#include <memory>

#include "runtime/system_files.h"

namespace system_files {
namespace {

Fault FaultOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
      return Fault::kNoSuchFolder;
    case ERROR_DIRECTORY:
      return Fault::kNotAFolder;
    case ERROR_ACCESS_DENIED:
      return Fault::kDenied;
    case ERROR_WRITE_PROTECT:
      return Fault::kReadOnly;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return Fault::kBusy;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return Fault::kDiskFull;
    case ERROR_FILE_TOO_LARGE:
      return Fault::kFileTooLarge;
    case ERROR_FILENAME_EXCED_RANGE:
      return Fault::kNameTooLong;
    case ERROR_TOO_MANY_OPEN_FILES:
      return Fault::kTooManyOpen;
    default:
      return Fault::kOther;
  }
}

// The system's words for `error`, without the full stop and line end
// FormatMessage ends them with.
std::string Words(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words(text != nullptr ? text : L"", n);
  LocalFree(text);
  while (!words.empty() && (words.back() == L'\r' || words.back() == L'\n' ||
                            words.back() == L'.' || words.back() == L' '))
    words.pop_back();
  return words.empty() ? "system error " + std::to_string(error) : Utf8(words);
}

bool Fail(Failure& failure, int at, DWORD error) {
  failure = {FaultOf(error), at, Words(error)};
  return false;
}

bool Fail(Failure& failure, int at, Fault fault) {
  failure = {fault, at, {}};
  return false;
}

struct CloseHandleDeleter {
  void operator()(void* handle) const { CloseHandle(handle); }
};
using Owned = std::unique_ptr<void, CloseHandleDeleter>;

Owned Own(HANDLE handle) { return Owned(handle == INVALID_HANDLE_VALUE ? nullptr : handle); }

HANDLE AsHandle(File file) { return reinterpret_cast<HANDLE>(file); }

// Where `handle`'s file really is, every link on the way resolved; empty
// when the system cannot say.
std::wstring FinalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n);
  }
}

std::wstring Child(const std::wstring& folder, const std::string& name) {
  return folder + (folder.ends_with(L'\\') ? L"" : L"\\") + Utf16(name);
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// A handle's file was reached through a link (a reparse point, or a link of
// the system below a compatibility layer, which shows as a plain file but
// resolves elsewhere): true when `expected` is not where it is.
bool ReachedThroughLink(HANDLE handle, DWORD attributes, const std::wstring& expected) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
  const std::wstring final = FinalPath(handle);
  return !final.empty() && !SamePath(final, expected);
}

// `path` made absolute, in the form that lifts the 260-character limit.
std::wstring LongAbsolute(const std::string& path) {
  const std::wstring wide = Utf16(path);
  const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return wide;
  std::wstring full(n, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), n, full.data(), nullptr));
  if (full.starts_with(L"\\\\?\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// Opens a folder on the way, keeping it from being renamed or replaced while
// the handle is held; `follow` only for drive C itself.
bool OpenFolder(const std::wstring& path, bool follow, int at, Owned& folder, std::wstring& final,
                Failure& failure) {
  folder = Own(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                           nullptr));
  if (!folder) return Fail(failure, at, GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(folder.get(), &info)) return Fail(failure, at, GetLastError());
  if (!follow && ReachedThroughLink(folder.get(), info.dwFileAttributes, path))
    return Fail(failure, at, Fault::kLink);
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return Fail(failure, at, Fault::kNotAFolder);
  final = FinalPath(folder.get());
  if (final.empty()) final = path;
  return true;
}

}  // namespace

std::wstring Utf16(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
  return out;
}

std::string Utf8(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int size = static_cast<int>(utf16.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

bool OpenForWriting(const std::string& driveC, const std::vector<std::string>& parts, File& file,
                    Failure& failure) {
  // Every folder on the way stays open until the file is, so none can be
  // swapped for a link in between.
  std::vector<Owned> held(parts.size());
  std::wstring folder;
  if (!OpenFolder(LongAbsolute(driveC), true, -1, held[0], folder, failure)) return false;
  const int last = static_cast<int>(parts.size()) - 1;
  for (int i = 0; i < last; ++i) {
    const std::wstring path = Child(folder, parts[static_cast<std::size_t>(i)]);
    if (!OpenFolder(path, false, i, held[static_cast<std::size_t>(i) + 1], folder, failure))
      return false;
  }
  const std::wstring path = Child(folder, parts.back());
  // Opened as it is, never through a link; no write sharing, so a second
  // program is refused while this one writes. Nothing is emptied yet.
  const auto open = [&](DWORD disposition) {
    return Own(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  };
  Owned opened = open(OPEN_EXISTING);
  DWORD error = opened ? 0 : GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) {
    // Made only where nothing stands: a link to nothing is never followed to
    // make its target.
    opened = open(CREATE_NEW);
    error = opened ? 0 : GetLastError();
    if (error == ERROR_FILE_EXISTS) return Fail(failure, last, Fault::kLink);
  }
  if (error == ERROR_ACCESS_DENIED) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      return Fail(failure, last, Fault::kFolder);
  }
  if (!opened) return Fail(failure, last, error);
  if (GetFileType(opened.get()) != FILE_TYPE_DISK) return Fail(failure, last, Fault::kNotRegular);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(opened.get(), &info)) return Fail(failure, last, GetLastError());
  if (ReachedThroughLink(opened.get(), info.dwFileAttributes, path))
    return Fail(failure, last, Fault::kLink);
  if (info.nNumberOfLinks > 1) return Fail(failure, last, Fault::kHardLinked);
  if (!SetEndOfFile(opened.get())) {
    Fail(failure, last, GetLastError());
    failure.fault = Fault::kNotEmptied;
    return false;
  }
  file = reinterpret_cast<File>(opened.release());
  return true;
}

bool WriteAt(File file, std::string_view bytes, std::int64_t offset, Failure& failure) {
  while (!bytes.empty()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    const DWORD size = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD n = 0;
    if (!WriteFile(AsHandle(file), bytes.data(), size, &n, &at))
      return Fail(failure, 0, GetLastError());
    // A disk file that takes less than it was given has no room for more.
    if (n < size) return Fail(failure, 0, Fault::kDiskFull);
    bytes.remove_prefix(n);
    offset += n;
  }
  return true;
}

void CutBack(File file, std::int64_t size) {
  LARGE_INTEGER at{};
  at.QuadPart = size;
  if (SetFilePointerEx(AsHandle(file), at, nullptr, FILE_BEGIN)) SetEndOfFile(AsHandle(file));
}

bool Close(File file, Failure& failure) {
  if (CloseHandle(AsHandle(file))) return true;
  return Fail(failure, 0, GetLastError());
}

char Separator() { return '\\'; }

std::string Setting(const char* name) {
  const std::wstring wideName = Utf16(name);
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD n =
        GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) return {};
    // Too small a buffer: n is the size it needs, with the terminator.
    if (n < value.size()) {
      value.resize(n);
      return Utf8(value);
    }
    value.resize(n);
  }
}

std::string DefaultDriveC() { return "C:\\"; }

std::string MakeFolders(const std::string& path) {
  std::error_code made;
  std::filesystem::create_directories(std::filesystem::path(Utf16(path)), made);
  return made ? made.message() : std::string();
}

}  // namespace system_files
