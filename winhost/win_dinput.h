// The system's DirectInput 8 behind the project's interfaces: the keyboard,
// with every status passed through unchanged.
#pragma once

#include "platform/dinput8.h"
#include "winhost/win_direct3d.h"

class WinKeyboard8 final : public DirectInputDevice8 {
 public:
  explicit WinKeyboard8(win32::ComObject device) : device_(device) {}
  HRESULT SetCommonDataFormat(std::int32_t format) override;
  HRESULT SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) override;

 private:
  ComHandle device_;
};

class WinDirectInput8 final : public DirectInput8 {
 public:
  explicit WinDirectInput8(win32::ComObject directInput) : directInput_(directInput) {}
  HRESULT CreateDevice(const std::string& guid, Ref<DirectInputDevice8>& device) override;

 private:
  ComHandle directInput_;
};
