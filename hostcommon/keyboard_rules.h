// DirectInput's keyboard as every host offers it, whatever reads its keys:
// the one device and data format the program names, a key script's polls in
// place of the keys, and a request to close the form arriving as Escape (the
// spinning loop handles no window messages, so the keyboard is where the
// program learns of one).
#pragma once

#include <cstdint>
#include <string>

#include "hostcommon/key_script.h"
#include "platform/dinput8.h"

// DIERR_DEVICENOTREG unless `guid` names the system keyboard.
HRESULT CheckKeyboardDevice(const std::string& guid);
// DIERR_INVALIDPARAM unless `format` is the keyboard's common data format.
HRESULT CheckKeyboardDataFormat(std::int32_t format);
// The system keyboard's rules for SetCooperativeLevel: exactly one of each
// pair of flags, never exclusive in the background, the form's window
// (`formWindow`) only, and not while acquired.
HRESULT CheckKeyboardCooperativeLevel(std::int32_t hWnd, std::int32_t flags,
                                      std::int32_t formWindow, bool acquired);
// Finishes a poll of the keys read: a playing script's keys replace them,
// and a close request holds Escape down.
void FinishKeyboardPoll(DIKEYBOARDSTATE& state, KeyScriptPlayer* script, bool closeRequested);
