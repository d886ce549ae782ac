#include "winhost/win_runtime.h"

#include <memory>

#include "hostcommon/captures.h"
#include "hostcommon/host_log.h"
#include "winhost/win32_calls.h"
#include "winhost/win32_d3d8.h"

bool WinRuntime::Start(std::optional<double> fixedTime) {
  // Started from the desktop, the program has no console: its lines are
  // kept in a file as well.
  std::string why;
  if (log_.Open(win32::LocalAppData(), why)) {
    SetLogCopy([this](const std::string& line) { log_.Write(line); });
    HostLog(LogLevel::Info, "the host's lines also go to " + log_.Path());
  } else {
    HostLog(LogLevel::Warn, "no log file: " + why);
  }
  fixedTime_ = fixedTime;
  // Reached only from inside some wait of the program's own shutdown: what
  // is left of it is given up, but not the log or the status.
  win32::OnSessionEnd([this] {
    HostLog(LogLevel::Info, "the session is ending: the program ends at once");
    win32::TerminateNow(SayEnd(kEndedByUser));
  });
  form_ = win32::CreateFormWindow("Form1", 640, 480);
  font_ = std::make_shared<WinFont>(win32::DefaultFontHandle());
  return form_ != 0;
}

HRESULT WinRuntime::Form_hWnd(std::int32_t& hWnd) {
  hWnd = static_cast<std::int32_t>(form_);
  return 0;
}

HRESULT WinRuntime::Form_Font(Ref<IFont>& font) {
  font = font_;
  return 0;
}

HRESULT WinRuntime::MsgBox(const std::string& text) {
  // The line also goes to standard error, as on every host: a scripted run
  // learns why it ended, and one started from the desktop sees the box.
  std::string line = text;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  HostLog(LogLevel::Error, line);
  win32::ShowMessageBox(form_, text, "Quillon");
  return 0;
}

void WinRuntime::CloseForm() {
  if (closed_) return;
  closed_ = true;
  if (events_.OnClose) events_.OnClose();
}

bool WinRuntime::TakeCloseRequest() {
  const bool requested = win32::PumpMessages(form_);
  if (requested && win32::SessionEnding())
    HostLog(LogLevel::Info, "the session is ending: the program ends as on Escape");
  return requested;
}

void WinRuntime::DoEvents() {
  if (win32::PumpMessages(form_)) CloseForm();
}

void WinRuntime::RunUntilFormClosed() {
  while (!closed_ && win32::WaitAndPumpMessage(form_)) {
  }
  CloseForm();
}

int WinRuntime::SayEnd(int exitCode) {
  // The session's end can come while the device is being released.
  if (endStatus_) return *endStatus_;
  files_.CloseAll();
  if (exitCode == kEndedByUser && traceFailed_) exitCode = kTraceFailed;
  exitCode = StatusAfterCaptures(exitCode);
  HostLog(LogLevel::Info, "ended with status " + std::to_string(exitCode));
  endStatus_ = exitCode;
  return exitCode;
}

void WinRuntime::End(int exitCode) {
  // Said first: the log is whole whatever the device's release does.
  exitCode = SayEnd(exitCode);
  form_object_.reset();
  if (!win32::AwaitDeviceThreads(500))
    HostLog(LogLevel::Debug, "a thread the system's device started still runs as the process ends");
  win32::ExitProcess(exitCode);
}

float WinRuntime::Timer() {
  return static_cast<float>(fixedTime_ ? *fixedTime_ : win32::SecondsSinceMidnight());
}

std::int32_t WinWindowSystem::ShowCursor(std::int32_t bShow) {
  return win32::ShowCursor(bShow != 0);
}

std::uint32_t WinWindowSystem::GetTickCount() { return win32::GetTickCount(); }
