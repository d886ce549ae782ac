// DirectInput's system keyboard in a browser tab: the page's key events,
// each key by its physical position (the event's `code`) as its DirectInput
// code. A page gets keys only while it has the focus; losing it lets every
// key go.
#pragma once

#include <memory>
#include <string>

#include "hostcommon/key_script.h"
#include "platform/dinput8.h"

// The keys the page's events hold down, kept from the first keyboard made
// on (the events are the page's, whatever device reads them).
class PageKeys {
 public:
  // Starts listening to the page's key and focus events; once.
  static PageKeys& Listen();
  const DIKEYBOARDSTATE& Down() const { return down_; }
  // Presses of the screenshot key since the last call.
  int TakeScreenshotPresses();

  // One key event: its `code`, down or up; true when the browser's own use
  // of the key (scrolling, leaving the page) is to be kept from it.
  bool OnKey(const std::string& code, bool down, bool repeat);
  void LetAllGo() { down_.fill(0); }

 private:
  DIKEYBOARDSTATE down_{};
  int screenshots_ = 0;
};

// The page's screenshot key: F12 belongs to the browser's tools.
inline constexpr const char* kScreenshotKey = "F9";

class WebKeyboard8 final : public DirectInputDevice8 {
 public:
  explicit WebKeyboard8(KeyScriptPlayer* script) : script_(script) {}
  HRESULT SetCommonDataFormat(std::int32_t format) override;
  HRESULT SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) override;

 private:
  KeyScriptPlayer* script_;
  bool formatSet_ = false;
  bool acquired_ = false;
};

class WebDirectInput8 final : public DirectInput8 {
 public:
  explicit WebDirectInput8(KeyScriptPlayer* script) : script_(script) {}
  HRESULT CreateDevice(const std::string& guid, Ref<DirectInputDevice8>& device) override;

 private:
  KeyScriptPlayer* script_;
};
