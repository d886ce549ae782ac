// Does to the running program what the system does at a session's end when
// the program's answer to the query came earlier: sends WM_ENDSESSION to its
// form, and ends the process once the message has returned.
#include <windows.h>

#include <cstdio>

int main() {
  HWND form = FindWindowA("QuillonForm", nullptr);
  if (form == nullptr) {
    std::fprintf(stderr, "no form window\n");
    return 2;
  }
  DWORD processId = 0;
  GetWindowThreadProcessId(form, &processId);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
  if (process == nullptr) {
    std::fprintf(stderr, "cannot open the program's process\n");
    return 2;
  }
  DWORD_PTR answer = 0;
  SendMessageTimeoutA(form, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &answer);
  if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 0);
  CloseHandle(process);
  return 0;
}
