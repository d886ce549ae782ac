#define DIRECTINPUT_VERSION 0x0800
#include "winhost/win32_dinput.h"

#include <dinput.h>
#include <windows.h>

namespace win32 {
namespace {

IDirectInputDevice8A* Device(ComObject object) {
  return static_cast<IDirectInputDevice8A*>(object);
}

}  // namespace

Status DirectInput8Create(ComObject& directInput) {
  void* created = nullptr;
  const HRESULT status = ::DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION,
                                              IID_IDirectInput8A, &created, nullptr);
  directInput = created;
  return status;
}

Status CreateSystemKeyboard(ComObject directInput, ComObject& device) {
  IDirectInputDevice8A* created = nullptr;
  const HRESULT status =
      static_cast<IDirectInput8A*>(directInput)->CreateDevice(GUID_SysKeyboard, &created, nullptr);
  device = created;
  return status;
}

Status SetKeyboardDataFormat(ComObject device) {
  return Device(device)->SetDataFormat(&c_dfDIKeyboard);
}
Status SetCooperativeLevel(ComObject device, std::intptr_t window, std::uint32_t flags) {
  return Device(device)->SetCooperativeLevel(reinterpret_cast<HWND>(window), flags);
}
Status Acquire(ComObject device) { return Device(device)->Acquire(); }
Status Unacquire(ComObject device) { return Device(device)->Unacquire(); }
Status KeyboardState(ComObject device, std::uint8_t* keys) {
  return Device(device)->GetDeviceState(256, keys);
}

}  // namespace win32
