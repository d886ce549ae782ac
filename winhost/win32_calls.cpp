#include "winhost/win32_calls.h"

#include <windows.h>
// After windows.h, which they need.
#include <knownfolders.h>
#include <shlobj.h>

#include <cstdlib>
#include <functional>
#include <utility>

#include "runtime/system_files.h"

namespace win32 {
namespace {

constexpr const char* kFormClass = "QuillonForm";
bool closeRequested = false;
bool sessionEnding = false;
int screenshotPresses = 0;
std::function<void()> endSessionNow;
int togglePresses = 0;

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // The program ends through its own shutdown; the window stays until then.
      closeRequested = true;
      return 0;
    case WM_QUERYENDSESSION:
      // The user is logging off or shutting down: the program ends as on
      // Escape, through its own shutdown, at its next keyboard poll. No
      // message is taken after this one (see PumpMessages), so the system's
      // WM_ENDSESSION waits until the process has ended.
      closeRequested = sessionEnding = true;
      return TRUE;
    case WM_ENDSESSION:
      // The system ends the process as soon as this returns, whatever the
      // program was doing: it must not return with the log still open.
      if (wParam) {
        closeRequested = sessionEnding = true;
        if (endSessionNow) endSessionNow();
      }
      return 0;
    case WM_KEYDOWN:
      // A key held repeats with bit 30 set: each press is one picture.
      if (wParam != VK_F12) return DefWindowProcA(window, message, wParam, lParam);
      if ((lParam & (1 << 30)) == 0) ++screenshotPresses;
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+Enter (Alt held: bit 29), once a press: the host switches the
      // picture between the full screen and a window.
      if (wParam != VK_RETURN || (lParam & (1 << 29)) == 0)
        return DefWindowProcA(window, message, wParam, lParam);
      if ((lParam & (1 << 30)) == 0) ++togglePresses;
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND AsHwnd(Handle handle) { return reinterpret_cast<HWND>(handle); }

}  // namespace

Handle CreateFormWindow(const std::string& caption, int width, int height) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = FormProc;
  windowClass.hInstance = instance;
  // The program's own icon (resource 1), for the title bar and the task bar.
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kFormClass;
  RegisterClassA(&windowClass);
  RECT frame{0, 0, width, height};
  const DWORD style = WS_OVERLAPPEDWINDOW;
  AdjustWindowRect(&frame, style, FALSE);
  HWND window = CreateWindowExA(0, kFormClass, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                nullptr, instance, nullptr);
  if (window == nullptr) return 0;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  return reinterpret_cast<Handle>(window);
}

void ShowMessageBox(Handle owner, const std::string& text, const std::string& caption) {
  MessageBoxW(AsHwnd(owner), system_files::Utf16(text).c_str(),
              system_files::Utf16(caption).c_str(), MB_OK);
}

bool PumpMessages(Handle form) {
  (void)form;
  MSG message;
  // Once the session is ending, the next message taken could be the
  // system's WM_ENDSESSION, after which the process may be ended at once.
  while (!sessionEnding && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  const bool requested = closeRequested;
  closeRequested = false;
  return requested;
}

bool WaitAndPumpMessage(Handle form) {
  if (!IsWindow(AsHwnd(form))) return false;
  MSG message;
  if (GetMessageA(&message, nullptr, 0, 0) <= 0) return false;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  if (closeRequested) {
    closeRequested = false;
    DestroyWindow(AsHwnd(form));
  }
  return IsWindow(AsHwnd(form)) != FALSE;
}

bool SessionEnding() { return sessionEnding; }

void OnSessionEnd(std::function<void()> endNow) { endSessionNow = std::move(endNow); }

void TerminateNow(int exitCode) {
  ::TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
  ::ExitProcess(static_cast<UINT>(exitCode));
}

bool TakeScreenshotPress() {
  if (screenshotPresses == 0) return false;
  --screenshotPresses;
  return true;
}

bool TakeFullScreenTogglePress() {
  if (togglePresses == 0) return false;
  --togglePresses;
  return true;
}

void ExitProcess(int exitCode) { ::ExitProcess(static_cast<UINT>(exitCode)); }

int ShowCursor(bool show) { return ::ShowCursor(show ? TRUE : FALSE); }

std::uint32_t GetTickCount() { return ::GetTickCount(); }

double SecondsSinceMidnight() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
}

std::string GetEnvironment(const char* name) { return system_files::Setting(name); }

void SetEnvironment(const char* name, const std::string& value) {
  SetEnvironmentVariableW(system_files::Utf16(name).c_str(), system_files::Utf16(value).c_str());
}

bool HasStandard(bool error) {
  HANDLE out = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  return out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN;
}

bool WriteStandard(bool error, const std::string& text) {
  if (!HasStandard(error)) return false;
  HANDLE out = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD written = 0;
  return WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE &&
         written == text.size();
}

std::string LocalAppData() {
  PWSTR path = nullptr;
  std::string folder;
  if (SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path) == S_OK)
    folder = system_files::Utf8(path);
  CoTaskMemFree(path);
  return folder;
}

std::int32_t DefaultFontHandle() {
  return static_cast<std::int32_t>(
      reinterpret_cast<std::intptr_t>(GetStockObject(DEFAULT_GUI_FONT)));
}

}  // namespace win32
