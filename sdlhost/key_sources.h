// Where a poll of the keyboard comes from: the X server's global key map,
// SDL's keyboard state, or a key script.
#pragma once

#include <memory>

#include "platform/dinput8.h"
#include "hostcommon/key_script.h"

class KeyStateSource {
 public:
  virtual ~KeyStateSource() = default;
  // Fills all 256 bytes, 0x80 for a key that is down.
  virtual void Read(DIKEYBOARDSTATE& state) = 0;
};

// Keys held anywhere, whichever window has the focus (`xDisplay` is the X
// server's connection, an X11 Display*).
std::unique_ptr<KeyStateSource> MakeXKeymapSource(void* xDisplay);
// Keys seen by SDL's windows while one of them has the focus.
std::unique_ptr<KeyStateSource> MakeSdlKeyboardSource();
// The script's next poll; `script` must outlive the source.
std::unique_ptr<KeyStateSource> MakeScriptSource(KeyScriptPlayer& script);
