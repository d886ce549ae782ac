#include "hostcommon/keyboard_rules.h"

#include "platform/d3d8types.h"  // E_NOTIMPL

HRESULT CheckKeyboardDevice(const std::string& guid) {
  return guid == "GUID_SysKeyboard" ? DI_OK : DIERR_DEVICENOTREG;
}

HRESULT CheckKeyboardDataFormat(std::int32_t format) {
  return format == DIFORMAT_KEYBOARD ? DI_OK : DIERR_INVALIDPARAM;
}

HRESULT CheckKeyboardCooperativeLevel(std::int32_t hWnd, std::int32_t flags,
                                      std::int32_t formWindow, bool acquired) {
  const bool exclusive = flags & DISCL_EXCLUSIVE, nonExclusive = flags & DISCL_NONEXCLUSIVE;
  const bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
  if (exclusive == nonExclusive || foreground == background) return DIERR_INVALIDPARAM;
  if (exclusive && background) return E_NOTIMPL;
  if (hWnd != formWindow || acquired) return DIERR_INVALIDPARAM;
  return DI_OK;
}

void FinishKeyboardPoll(DIKEYBOARDSTATE& state, KeyScriptPlayer* script, bool closeRequested) {
  if (script) script->Poll(state);
  if (closeRequested) state[DIK_ESCAPE] = 0x80;
}
