// The Windows calls the host makes, in plain C++ types. Only win32_calls.cpp
// sees <windows.h>; the host's other files see the platform headers, whose
// HRESULT, DWORD and HWND would clash with the system's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace win32 {

// Window handles cross as integers: 64-bit Windows keeps their significant
// bits in the low 32, so the program's 32-bit hWnd is the handle.
using Handle = std::intptr_t;

// The form's window: a visible overlapped window with `caption` and a
// client area of `width` x `height`; 0 on failure.
Handle CreateFormWindow(const std::string& caption, int width, int height);
// A modal box with an OK button only and no icon; the texts are UTF-8.
void ShowMessageBox(Handle owner, const std::string& text, const std::string& caption);
// Dispatches the waiting messages once; true when the form was asked to
// close (its close button, Alt+F4, the session ending).
bool PumpMessages(Handle form);
// Waits for the next message and dispatches it; false once the form's window
// has gone.
bool WaitAndPumpMessage(Handle form);
// True once the system has said the session is ending (log-off, shutdown).
bool SessionEnding();
// What the form's window runs when the system says the session ends now
// (WM_ENDSESSION taken by some wait before the program's own end): it must
// not return, since the system ends the process once the message returns.
void OnSessionEnd(std::function<void()> endNow);
// Ends the process at once, its other threads with it, as the system ends
// it at the session's end: no library's teardown runs after this.
[[noreturn]] void TerminateNow(int exitCode);
// True once for each press of F12 that PumpMessages handled.
bool TakeScreenshotPress();
// True once for each press of Alt+Enter on the form not yet taken.
bool TakeFullScreenTogglePress();
[[noreturn]] void ExitProcess(int exitCode);
// The cursor's display counter, raised by one (true) or lowered; the new value.
int ShowCursor(bool show);
std::uint32_t GetTickCount();
// Seconds since local midnight, to the millisecond.
double SecondsSinceMidnight();
// An environment variable's value (UTF-8), whatever its length; empty when
// unset.
std::string GetEnvironment(const char* name);
// Sets an environment variable (UTF-8) for this process (and what it starts).
void SetEnvironment(const char* name, const std::string& value);
// Whether the process has a standard output (or error): a console, a pipe or
// a file (under Wine, the terminal it was started from); a program started
// from the desktop has none.
bool HasStandard(bool error);
// Writes `text` there whole; false when it has none or the write failed.
bool WriteStandard(bool error, const std::string& text);
// The user's local application data folder (UTF-8); empty when the system
// knows none.
std::string LocalAppData();
// The system's font handle for the form's font (the GUI font).
std::int32_t DefaultFontHandle();

}  // namespace win32
