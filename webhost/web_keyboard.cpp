#include "webhost/web_keyboard.h"

#include <emscripten/html5.h>

#include <string_view>

#include "hostcommon/keyboard_rules.h"
#include "webhost/key_codes.h"
#include "webhost/page.h"
#include "webhost/web_runtime.h"

namespace {

// Keys whose default would scroll the page, move the focus or leave it.
bool KeptFromBrowser(std::string_view code) {
  for (std::string_view kept : {"ArrowUp", "ArrowDown", "ArrowLeft", "ArrowRight", "Escape",
                                "Space", "PageUp", "PageDown", "Home", "End", "Tab", "Backspace"})
    if (code == kept) return true;
  return code == kScreenshotKey;
}

EM_BOOL OnKeyEvent(int type, const EmscriptenKeyboardEvent* event, void* keys) {
  return static_cast<PageKeys*>(keys)->OnKey(event->code, type == EMSCRIPTEN_EVENT_KEYDOWN,
                                             event->repeat);
}

EM_BOOL OnBlur(int, const EmscriptenFocusEvent*, void* keys) {
  static_cast<PageKeys*>(keys)->LetAllGo();
  return false;
}

}  // namespace

PageKeys& PageKeys::Listen() {
  static PageKeys* keys = [] {
    auto* made = new PageKeys;
    const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(window, made, true, OnKeyEvent);
    emscripten_set_keyup_callback(window, made, true, OnKeyEvent);
    emscripten_set_blur_callback(window, made, true, OnBlur);
    return made;
  }();
  return *keys;
}

bool PageKeys::OnKey(const std::string& code, bool down, bool repeat) {
  if (down && !repeat && code == kScreenshotKey) ++screenshots_;
  if (const auto dik = DikFromKeyCode(code)) down_[*dik] = down ? 0x80 : 0;
  return KeptFromBrowser(code) && !page::BoxOpen();
}

int PageKeys::TakeScreenshotPresses() {
  const int presses = screenshots_;
  screenshots_ = 0;
  return presses;
}

HRESULT WebKeyboard8::SetCommonDataFormat(std::int32_t format) {
  if (acquired_) return DIERR_INVALIDPARAM;  // the format is fixed while acquired
  if (const HRESULT refused = CheckKeyboardDataFormat(format)) return refused;
  formatSet_ = true;
  return DI_OK;
}

HRESULT WebKeyboard8::SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) {
  return CheckKeyboardCooperativeLevel(hWnd, flags, kWebFormWindow, acquired_);
}

HRESULT WebKeyboard8::Acquire() {
  if (!formatSet_) return DIERR_INVALIDPARAM;
  acquired_ = true;
  return DI_OK;
}

HRESULT WebKeyboard8::Unacquire() {
  // Not acquired is DirectInput's "no effect", a success.
  acquired_ = false;
  return DI_OK;
}

HRESULT WebKeyboard8::GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) {
  if (!acquired_) return DIERR_NOTACQUIRED;
  state = PageKeys::Listen().Down();
  FinishKeyboardPoll(state, script_, false);
  return DI_OK;
}

HRESULT WebDirectInput8::CreateDevice(const std::string& guid, Ref<DirectInputDevice8>& device) {
  if (const HRESULT refused = CheckKeyboardDevice(guid)) return refused;
  device = std::make_shared<WebKeyboard8>(script_);
  return DI_OK;
}
