#include "sdlhost/sdl_keyboard.h"

#include <SDL.h>

#include "hostcommon/host_log.h"
#include "hostcommon/keyboard_rules.h"
#include "sdlhost/sdl_host.h"

SdlKeyboardDevice::SdlKeyboardDevice(SdlHost& host, KeyScriptPlayer* script)
    : host_(host), script_(script) {}

HRESULT SdlKeyboardDevice::SetCommonDataFormat(std::int32_t format) {
  if (acquired_) return DIERR_INVALIDPARAM;  // the format is fixed while acquired
  if (const HRESULT refused = CheckKeyboardDataFormat(format)) return refused;
  formatSet_ = true;
  return DI_OK;
}

HRESULT SdlKeyboardDevice::SetCooperativeLevel(std::int32_t hWnd, std::int32_t flags) {
  if (const HRESULT refused =
          CheckKeyboardCooperativeLevel(hWnd, flags, host_.WindowHandle(), acquired_))
    return refused;
  background_ = (flags & DISCL_BACKGROUND) != 0;
  levelSet_ = true;
  return DI_OK;
}

HRESULT SdlKeyboardDevice::Acquire() {
  if (!formatSet_) return DIERR_INVALIDPARAM;
  if (acquired_) return DI_OK;
  if (script_)
    source_ = MakeEventPumpSource();
  else if (background_ && host_.XDisplay())
    source_ = MakeXKeymapSource(host_.XDisplay());
  else
    source_ = MakeSdlKeyboardSource();
  acquired_ = true;
  return DI_OK;
}

HRESULT SdlKeyboardDevice::Unacquire() {
  // Not acquired is DirectInput's "no effect", a success: the program's
  // status check must not take it for a failure.
  acquired_ = false;
  source_.reset();
  return DI_OK;
}

HRESULT SdlKeyboardDevice::GetDeviceStateKeyboard(DIKEYBOARDSTATE& state) {
  host_.CheckSignals();
  if (!acquired_) return DIERR_NOTACQUIRED;
  // The display that the keys came through (or the window the device was
  // set up for) is gone: access to the device is lost.
  if (host_.DisplayLost()) return DIERR_INPUTLOST;
  source_->Read(state);  // keeps the queue moving in any case
  // A foreground device reads nothing while another window has the focus.
  if (!background_ && !script_ && host_.Window() &&
      !(SDL_GetWindowFlags(host_.Window()) & SDL_WINDOW_INPUT_FOCUS))
    state.fill(0);
  else if (host_.DisplayLost())
    return DIERR_INPUTLOST;  // lost during this read
  FinishKeyboardPoll(state, script_, host_.TakeCloseRequest());
  return DI_OK;
}

HRESULT SdlDirectInput8::CreateDevice(const std::string& guid, Ref<DirectInputDevice8>& device) {
  if (const HRESULT refused = CheckKeyboardDevice(guid)) return refused;
  // Without a display nothing can press a key, and a run that Escape can
  // never end would only end by a signal: the keyboard is missing, as
  // DirectInput answers on a machine without one. The report says why.
  if (!script_ && !host_.HasScreen()) {
    HostLog(LogLevel::Error,
            "there is no display to read the keyboard from: run quillon in a graphical "
            "session, or give it a key script with --keys FILE or QUILLON_KEYS=FILE (see "
            "quillon --help)");
    NoteErrorDetail(DIERR_DEVICENOTREG, "no keyboard without a display");
    return DIERR_DEVICENOTREG;
  }
  device = std::make_shared<SdlKeyboardDevice>(host_, script_);
  return DI_OK;
}
