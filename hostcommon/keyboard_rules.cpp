#include "hostcommon/keyboard_rules.h"

HRESULT CheckKeyboardDevice(const std::string& guid) {
  return guid == "GUID_SysKeyboard" ? DI_OK : DIERR_DEVICENOTREG;
}

HRESULT CheckKeyboardDataFormat(std::int32_t format) {
  return format == DIFORMAT_KEYBOARD ? DI_OK : DIERR_INVALIDPARAM;
}

void FinishKeyboardPoll(DIKEYBOARDSTATE& state, KeyScriptPlayer* script, bool closeRequested) {
  if (script) script->Poll(state);
  if (closeRequested) state[DIK_ESCAPE] = 0x80;
}
