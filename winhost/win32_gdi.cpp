#include "winhost/win32_gdi.h"

#include <windows.h>

namespace win32 {
namespace {

HWND AsHwnd(Handle handle) { return reinterpret_cast<HWND>(handle); }

}  // namespace

void ScreenSize(int& width, int& height) {
  width = GetSystemMetrics(SM_CXSCREEN);
  height = GetSystemMetrics(SM_CYSCREEN);
}

bool ClientSize(Handle window, int& width, int& height) {
  RECT client{};
  if (!GetClientRect(AsHwnd(window), &client)) return false;
  width = client.right - client.left;
  height = client.bottom - client.top;
  return true;
}

bool CoverScreen(Handle window) {
  HWND hwnd = AsHwnd(window);
  SetWindowLongPtrA(hwnd, GWL_STYLE, WS_POPUP | WS_VISIBLE);
  int width = 0, height = 0;
  ScreenSize(width, height);
  return SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, width, height, SWP_FRAMECHANGED | SWP_SHOWWINDOW) !=
         0;
}

void RestoreWindow(Handle window, int width, int height) {
  HWND hwnd = AsHwnd(window);
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  SetWindowLongPtrA(hwnd, GWL_STYLE, style);
  RECT frame{0, 0, width, height};
  AdjustWindowRect(&frame, style, FALSE);
  SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_FRAMECHANGED);
}

void ShowWindow(Handle window) {
  ::ShowWindow(AsHwnd(window), SW_SHOW);
  SetForegroundWindow(AsHwnd(window));
}

bool DrawFrame(Handle window, const std::uint32_t* pixels, int width, int height, int x, int y,
               int drawWidth, int drawHeight) {
  HWND hwnd = AsHwnd(window);
  HDC dc = GetDC(hwnd);
  if (dc == nullptr) return false;
  RECT client{};
  GetClientRect(hwnd, &client);
  // The bars around the picture, without touching the picture itself (no
  // flicker between the fill and the frame).
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  const RECT bars[4] = {{client.left, client.top, client.right, y},
                        {client.left, y + drawHeight, client.right, client.bottom},
                        {client.left, y, x, y + drawHeight},
                        {x + drawWidth, y, client.right, y + drawHeight}};
  for (const RECT& bar : bars)
    if (bar.right > bar.left && bar.bottom > bar.top) FillRect(dc, &bar, black);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  // Nearest pixels when the picture is scaled, as a display's own scaler
  // shows a mode the screen lacks.
  SetStretchBltMode(dc, COLORONCOLOR);
  const int lines = StretchDIBits(dc, x, y, drawWidth, drawHeight, 0, 0, width, height, pixels,
                                  &info, DIB_RGB_COLORS, SRCCOPY);
  ReleaseDC(hwnd, dc);
  return lines != 0;
}

}  // namespace win32
