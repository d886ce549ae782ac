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

ShownPicture::~ShownPicture() { Free(); }

void ShownPicture::Free() {
  if (dc_ != nullptr) {
    SelectObject(static_cast<HDC>(dc_), static_cast<HGDIOBJ>(selected_));
    DeleteDC(static_cast<HDC>(dc_));
  }
  if (bitmap_ != nullptr) DeleteObject(static_cast<HGDIOBJ>(bitmap_));
  dc_ = bitmap_ = selected_ = nullptr;
  pixels_ = nullptr;
  width_ = height_ = 0;
}

bool ShownPicture::Resize(int width, int height) {
  if (pixels_ != nullptr && width == width_ && height == height_) return true;
  Free();
  if (width <= 0 || height <= 0) return false;
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) {
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(dc);
    return false;
  }
  dc_ = dc;
  bitmap_ = bitmap;
  selected_ = SelectObject(dc, bitmap);
  pixels_ = static_cast<std::uint32_t*>(bits);
  width_ = width;
  height_ = height;
  return true;
}

bool ShownPicture::DrawFrame(const std::uint32_t* pixels, int width, int height, int x, int y,
                             int drawWidth, int drawHeight, bool smooth) {
  if (pixels_ == nullptr) return false;
  HDC dc = static_cast<HDC>(dc_);
  // The bars around the picture only: the picture covers the rest.
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  const RECT bars[4] = {{0, 0, width_, y},
                        {0, y + drawHeight, width_, height_},
                        {0, y, x, y + drawHeight},
                        {x + drawWidth, y, width_, y + drawHeight}};
  for (const RECT& bar : bars)
    if (bar.right > bar.left && bar.bottom > bar.top) FillRect(dc, &bar, black);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  // Nearest pixels by default, as a display's own scaler shows a mode the
  // screen lacks; HALFTONE averages the pixels each one covers (it wants
  // the brush origin set after it).
  SetStretchBltMode(dc, smooth ? HALFTONE : COLORONCOLOR);
  if (smooth) SetBrushOrgEx(dc, 0, 0, nullptr);
  const int lines = StretchDIBits(dc, x, y, drawWidth, drawHeight, 0, 0, width, height, pixels,
                                  &info, DIB_RGB_COLORS, SRCCOPY);
  // The pixels are read and drawn over next, outside GDI.
  GdiFlush();
  return lines != 0;
}

bool ShownPicture::ShowIn(Handle window) {
  HWND hwnd = AsHwnd(window);
  HDC dc = GetDC(hwnd);
  if (dc == nullptr || dc_ == nullptr) {
    if (dc) ReleaseDC(hwnd, dc);
    return false;
  }
  const BOOL shown = BitBlt(dc, 0, 0, width_, height_, static_cast<HDC>(dc_), 0, 0, SRCCOPY);
  ReleaseDC(hwnd, dc);
  return shown != FALSE;
}

}  // namespace win32
