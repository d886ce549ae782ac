// Writing a whole file in place of another: the bytes go to a new file
// beside the target, made so that nothing already there is opened (a link
// planted under the name is not followed, a FIFO does not hold the writer),
// and are renamed over the target once complete. A failed write (a full
// disk) leaves the old file as it was and nothing beside it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

enum class Durability {
  kCached,  // the system writes it out when it likes: a crash may lose it
  kSynced,  // on the disk before it takes the name
};

// (Not ReplaceFile: <windows.h> makes that name a macro.) `path` is UTF-8
// on every system. False, with the system's reason in `error`, when the
// file cannot be written.
bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes,
                    Durability durability, std::string& error);
