// The Windows side of WriteWholeFile: the system's wide-character calls, so that
// a UTF-8 name is the file's own name rather than one read in the ANSI code
// page.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <string>

#include "pictures/replace_file.h"

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                      wide.data(), n);
  return wide;
}

// The system's words for `code`, in UTF-8 and without the closing period.
std::string Reason(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out;
  if (n > 0) {
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(bytes > 0 ? bytes : 0));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), out.data(), bytes, nullptr, nullptr);
  }
  LocalFree(text);
  while (!out.empty() &&
         (out.back() == '\n' || out.back() == '\r' || out.back() == '.' || out.back() == ' '))
    out.pop_back();
  return out.empty() ? "system error " + std::to_string(code) : out;
}

bool Fail(std::string& error, DWORD code) {
  error = Reason(code);
  return false;
}

}  // namespace

bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes,
                    Durability durability, std::string& error) {
  const std::wstring target = Wide(path);
  if (target.empty()) {
    error = "the name is not UTF-8";
    return false;
  }
  const std::size_t slash = target.find_last_of(L"/\\");
  const std::wstring dir = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
  const std::wstring name = slash == std::wstring::npos ? target : target.substr(slash + 1);
  // Names the system would take for others: it drops a final dot or space
  // ("b.png." is written as b.png, over any b.png), and a colon in a name
  // (past a drive's) is a stream inside another file ("x.png:s").
  if (!name.empty() && (name.back() == L'.' || name.back() == L' ')) {
    error = "a name ending in a dot or a space is written without it: another file's name";
    return false;
  }
  // A drive's own colon ("C:x.png", no folder) is not part of the name.
  const bool onDrive = slash == std::wstring::npos && name.size() > 2 && name[1] == L':';
  if (name.find(L':', onDrive ? 2 : 0) != std::wstring::npos) {
    error = "a colon in a name is a stream inside another file, not a file";
    return false;
  }
  // CREATE_NEW never opens what is already there; a taken name gets the next.
  static std::atomic<unsigned> counter{0};
  std::wstring temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    wchar_t suffix[32];
    std::swprintf(suffix, 32, L".%lx%x", GetCurrentProcessId(), counter++);
    temp = dir + L"." + name + suffix;
    file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
        GetLastError() != ERROR_ALREADY_EXISTS)
      return Fail(error, GetLastError());
  }
  if (file == INVALID_HANDLE_VALUE) return Fail(error, ERROR_FILE_EXISTS);
  const auto abandon = [&](DWORD code) {
    CloseHandle(file);
    DeleteFileW(temp.c_str());
    return Fail(error, code);
  };
  for (std::size_t at = 0; at < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + at, chunk, &written, nullptr) || written == 0)
      return abandon(GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT);
    at += written;
  }
  if (durability == Durability::kSynced && !FlushFileBuffers(file)) return abandon(GetLastError());
  CloseHandle(file);
  const DWORD flags =
      MOVEFILE_REPLACE_EXISTING | (durability == Durability::kSynced ? MOVEFILE_WRITE_THROUGH : 0);
  if (!MoveFileExW(temp.c_str(), target.c_str(), flags)) {
    const DWORD code = GetLastError();
    DeleteFileW(temp.c_str());
    return Fail(error, code);
  }
  return true;
}
