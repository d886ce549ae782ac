// Files that users write by hand (scenes, the vertex files they name, key
// scripts): read with a size limit, and echoed in messages only in a form
// that a terminal shows as it is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace scene {

// Reads the whole of the regular file at `path` when it holds at most `limit`
// bytes. A directory, a device, a pipe or a larger file is refused without
// reading more than `limit` + 1 bytes. On refusal returns false with `reason`
// naming the path (quoted as by Printable) and why.
bool ReadUserFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& out,
                  std::string& reason);

// open() and unlink() of a UTF-8 path on every system (Windows' narrow calls
// would take it in the ANSI code page).
int OpenFile(const std::string& path, int flags, int mode = 0);
int RemoveFile(const std::string& path);

// `text` with every byte outside printable ASCII, and the backslash (except
// on Windows, where it separates a path's folders), written as \xNN, so that
// a NUL cannot cut a message and escape sequences do not reach the terminal.
// (Inline: the runtime's text files quote their paths so too, without the
// scene library.)
inline std::string Printable(std::string_view text) {
  // Windows paths are made of backslashes: escaped, every path in a message
  // would read C:\x5cUsers\x5c...; there a backslash stands as itself.
#ifdef _WIN32
  constexpr bool kBackslashSeparates = true;
#else
  constexpr bool kBackslashSeparates = false;
#endif
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F && (c != '\\' || kBackslashSeparates)) {
      out.push_back(ch);
    } else {
      out += "\\x";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

}  // namespace scene
