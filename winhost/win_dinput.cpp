#include "winhost/win_dinput.h"

#include <memory>

#include "hostcommon/keyboard_rules.h"
#include "winhost/win32_dinput.h"

HRESULT WinKeyboard8::SetCommonDataFormat(std::int32_t format) {
  // The keyboard's is the only common format the program names.
  if (const HRESULT refused = CheckKeyboardDataFormat(format)) return refused;
  return win32::SetKeyboardDataFormat(device_.get());
}
HRESULT WinKeyboard8::SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) {
  // The flags' values are the system's own.
  return win32::SetCooperativeLevel(device_.get(), static_cast<std::intptr_t>(hWnd),
                                    static_cast<std::uint32_t>(flags));
}
HRESULT WinKeyboard8::Acquire() { return win32::Acquire(device_.get()); }
HRESULT WinKeyboard8::Unacquire() { return win32::Unacquire(device_.get()); }
HRESULT WinKeyboard8::GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) {
  const HRESULT status = win32::KeyboardState(device_.get(), state.data());
  if (status < 0) return status;
  // The spinning loop handles no window messages: they are handled here.
  FinishKeyboardPoll(state, script_ ? &script_->player : nullptr,
                     closeRequested_ && closeRequested_());
  return status;
}

HRESULT WinDirectInput8::CreateDevice(const std::string& guid, Ref<DirectInputDevice8>& device) {
  if (const HRESULT refused = CheckKeyboardDevice(guid)) return refused;
  win32::ComObject created = nullptr;
  const HRESULT status = win32::CreateSystemKeyboard(directInput_.get(), created);
  if (created != nullptr)
    device = std::make_shared<WinKeyboard8>(created, script_, closeRequested_);
  return status;
}
