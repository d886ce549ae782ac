// The key-script reader fed any text, and what it accepts played poll by
// poll: counts, key names, codes, captures and comments in any mixture.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "hostcommon/key_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  KeyScript script;
  std::string error;
  if (!ParseKeyScript(text, script, error)) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  KeyScriptPlayer player(std::move(script));
  DIKEYBOARDSTATE state{};
  // Scripts may ask for billions of polls; a few thousand show the player's
  // stepping, and the finished player must read all keys up.
  for (int i = 0; i < 4096 && !player.Finished(); ++i) {
    player.Poll(state);
    player.TakeDueCaptures();
  }
  if (player.Finished()) {
    player.Poll(state);
    for (std::uint8_t b : state)
      if (b != 0) std::abort();
  }
  return 0;
}
