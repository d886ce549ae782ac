#include "sdlhost/sdl_runtime.h"

#include <chrono>
#include <ctime>

#include "hostcommon/host_log.h"
#include "sdlhost/sdl_host.h"

namespace {

// Font handles are small numbers of our own; D3DX only needs them non-zero.
std::int32_t NextFontHandle() {
  static std::int32_t next = 0x0A00;
  return ++next;
}

// A message as one line: line breaks become blanks.
std::string OneLine(const std::string& text) {
  std::string line = text;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  return line;
}

}  // namespace

// ---- the form's font ----

HRESULT SdlFont::get_Name(std::string& name) {
  name = name_;
  return 0;
}
HRESULT SdlFont::put_Name(const std::string& name) {
  name_ = name;
  return 0;
}
HRESULT SdlFont::get_hFont(std::int32_t& handle) {
  handle = handle_;
  return 0;
}

// ---- the windowing runtime ----

SdlRuntime::SdlRuntime(SdlHost& host, std::optional<double> fixedTime)
    : host_(host), fixedTime_(fixedTime), font_(std::make_shared<SdlFont>(NextFontHandle())) {}

HRESULT SdlRuntime::Form_hWnd(std::int32_t& hWnd) {
  if (!host_.Window()) return ErrObjectNotSet;
  hWnd = host_.WindowHandle();
  return 0;
}

HRESULT SdlRuntime::Form_Font(Ref<IFont>& font) {
  font = font_;
  return 0;
}

HRESULT SdlRuntime::MsgBox(const std::string& text) {
  // Every message reaches standard error, so nothing is lost where no box
  // can be shown (no display, or SDL cannot make one).
  HostLog(LogLevel::Error, OneLine(text));
  if (!host_.HasScreen() || host_.DisplayLost()) return 0;
  // Where SDL cannot show a box (no usable font, say) the line above is all
  // there is, and the program goes on.
  host_.ShowMessageBox("Quillon", text);
  return 0;
}

void SdlRuntime::CloseForm() {
  if (closed_) return;
  closed_ = true;
  if (events_.OnClose) events_.OnClose();
}

void SdlRuntime::DoEvents() { host_.ProcessEvents(); }

void SdlRuntime::RunUntilFormClosed() {
  host_.ShowWindow();
  // A form whose window or display has gone cannot be closed by the user.
  while (!closed_ && !host_.DisplayLost()) {
    host_.WaitForEvents(100);
    DoEvents();
  }
}

void SdlRuntime::End(int exitCode) {
  files_.CloseAll();
  host_.EndProcess(exitCode);
}

// The text files note a failure's detail for the report themselves.
std::int32_t SdlRuntime::FileOpenForOutput(const std::string& path, std::int32_t& fileNumber) {
  return files_.OpenForOutput(path, fileNumber);
}
std::int32_t SdlRuntime::FilePrintLine(std::int32_t fileNumber, const std::string& text) {
  return files_.PrintLine(fileNumber, text);
}
std::int32_t SdlRuntime::FileClose(std::int32_t fileNumber) { return files_.Close(fileNumber); }

float SdlRuntime::Timer() {
  if (fixedTime_) return static_cast<float>(*fixedTime_);
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  auto sinceSecond = now - std::chrono::system_clock::from_time_t(t);
  double fraction = std::chrono::duration<double>(sinceSecond).count();
  double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraction;
  return static_cast<float>(seconds);
}
