// The DirectInput 8 keyboard on the SDL host, and the platform objects that
// hand it (and the reference Direct3D) to the program.
#pragma once

#include <memory>

#include "platform/dinput8.h"
#include "platform/platform.h"

class SdlHost;

// Where a poll of the keyboard comes from.
class KeyStateSource {
 public:
  virtual ~KeyStateSource() = default;
  // Fills all 256 bytes, 0x80 for a key that is down.
  virtual void Read(DIKEYBOARDSTATE& state) = 0;
};

// The DirectInput keyboard over a source chosen by the cooperative level: in
// the background the whole system's keys (the X server's key map on X11),
// in the foreground only while the form has the focus.
class SdlKeyboardDevice final : public DirectInputDevice8 {
 public:
  explicit SdlKeyboardDevice(SdlHost& host);

  HRESULT SetCommonDataFormat(std::int32_t format) override;
  HRESULT SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) override;

 private:
  SdlHost& host_;
  bool formatSet_ = false;
  bool levelSet_ = false;
  bool background_ = false;
  bool acquired_ = false;
  std::unique_ptr<KeyStateSource> source_;
};

class SdlDirectInput8 final : public DirectInput8 {
 public:
  explicit SdlDirectInput8(SdlHost& host) : host_(host) {}
  HRESULT CreateDevice(const std::string& guid, Ref<DirectInputDevice8>& device) override;

 private:
  SdlHost& host_;
};

// Key sources, exposed for the host's own use and tests.
std::unique_ptr<KeyStateSource> MakeXKeymapSource(void* xDisplay);
std::unique_ptr<KeyStateSource> MakeSdlKeyboardSource();
std::unique_ptr<KeyStateSource> MakeScriptSource(SdlHost& host);

std::unique_ptr<PlatformObjects> MakeSdlPlatformObjects(SdlHost& host);
