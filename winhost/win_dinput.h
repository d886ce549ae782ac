// The system's DirectInput 8 behind the project's interfaces: the keyboard,
// with every status passed through unchanged.
#pragma once

#include <functional>

#include "platform/dinput8.h"
#include "winhost/win_direct3d.h"
#include "winhost/win_key_script.h"

// Handles the form's waiting messages; true when one asked it to close.
using CloseRequestCheck = std::function<bool()>;

class WinKeyboard8 final : public DirectInputDevice8 {
 public:
  // With `script`, each poll's keys are the script's instead of the
  // system's; the statuses stay the system device's.
  WinKeyboard8(win32::ComObject device, WinKeyScript* script, CloseRequestCheck closeRequested)
      : script_(script), closeRequested_(std::move(closeRequested)), device_(device) {}
  HRESULT SetCommonDataFormat(std::int32_t format) override;
  HRESULT SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) override;

 private:
  WinKeyScript* script_;
  CloseRequestCheck closeRequested_;
  ComHandle device_;
};

class WinDirectInput8 final : public DirectInput8 {
 public:
  WinDirectInput8(win32::ComObject directInput, WinKeyScript* script,
                  CloseRequestCheck closeRequested)
      : script_(script), closeRequested_(std::move(closeRequested)), directInput_(directInput) {}
  HRESULT CreateDevice(const std::string& guid, Ref<DirectInputDevice8>& device) override;

 private:
  WinKeyScript* script_;
  CloseRequestCheck closeRequested_;
  ComHandle directInput_;
};
