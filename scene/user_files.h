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

// `text` with every byte outside printable ASCII, and the backslash (except
// on Windows, where it separates a path's folders), written as \xNN, so that
// a NUL cannot cut a message and escape sequences do not reach the terminal.
std::string Printable(std::string_view text);

}  // namespace scene
