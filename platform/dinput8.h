// DirectInput 8 as the program uses it: the system keyboard, polled.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/error.h"
#include "platform/ref.h"

using DIKEYBOARDSTATE = std::array<std::uint8_t, 256>;

constexpr std::int32_t DIFORMAT_KEYBOARD = 1;
constexpr std::int32_t DISCL_EXCLUSIVE = 1;
constexpr std::int32_t DISCL_NONEXCLUSIVE = 2;
constexpr std::int32_t DISCL_FOREGROUND = 4;
constexpr std::int32_t DISCL_BACKGROUND = 8;
constexpr std::int32_t DISCL_NOWINKEY = 16;

constexpr HRESULT DI_OK = 0;
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT DIERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);

// Key codes (DirectInput scan codes) the program reads.
constexpr int DIK_ESCAPE = 0x01;
constexpr int DIK_UP = 0xC8;
constexpr int DIK_LEFT = 0xCB;
constexpr int DIK_RIGHT = 0xCD;
constexpr int DIK_DOWN = 0xD0;

class DirectInputDevice8 {
 public:
  virtual ~DirectInputDevice8() = default;
  virtual HRESULT SetCommonDataFormat(std::int32_t format) = 0;
  virtual HRESULT SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) = 0;
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;
  // Fills all 256 bytes: 0x80 for a key that is down, 0 for one that is up.
  virtual HRESULT GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) = 0;
};

class DirectInput8 {
 public:
  virtual ~DirectInput8() = default;
  // `guid` names the device; the system keyboard is "GUID_SysKeyboard".
  virtual HRESULT CreateDevice(const std::string& guid, Ref<DirectInputDevice8>& device) = 0;
};
