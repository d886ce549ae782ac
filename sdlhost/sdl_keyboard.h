// The DirectInput 8 keyboard on the SDL host.
#pragma once

#include <memory>

#include "platform/dinput8.h"
#include "hostcommon/key_script.h"
#include "sdlhost/key_sources.h"

class SdlHost;

// The DirectInput keyboard over a source chosen by the cooperative level: in
// the background the whole system's keys (the X server's key map on X11),
// in the foreground only while the form has the focus. A key script, when
// one plays, stands in for the keys either way.
class SdlKeyboardDevice final : public DirectInputDevice8 {
 public:
  SdlKeyboardDevice(SdlHost& host, KeyScriptPlayer* script);

  HRESULT SetCommonDataFormat(std::int32_t format) override;
  HRESULT SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) override;

 private:
  SdlHost& host_;
  KeyScriptPlayer* script_;
  bool formatSet_ = false;
  bool levelSet_ = false;
  bool background_ = false;
  bool acquired_ = false;
  std::unique_ptr<KeyStateSource> source_;
};

class SdlDirectInput8 final : public DirectInput8 {
 public:
  SdlDirectInput8(SdlHost& host, KeyScriptPlayer* script) : host_(host), script_(script) {}
  HRESULT CreateDevice(const std::string& guid, Ref<DirectInputDevice8>& device) override;

 private:
  SdlHost& host_;
  KeyScriptPlayer* script_;
};
