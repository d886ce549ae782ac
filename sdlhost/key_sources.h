// Where a poll of the keyboard comes from: the X server's global key map,
// SDL's keyboard state, or nothing while a key script plays.
#pragma once

#include <memory>

#include "platform/dinput8.h"

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
// No keys, only the window system's queue kept moving: a key script's keys
// replace the poll (hostcommon/keyboard_rules.h).
std::unique_ptr<KeyStateSource> MakeEventPumpSource();
