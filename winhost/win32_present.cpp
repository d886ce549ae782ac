#include "winhost/win32_present.h"

#include <windows.h>
// windows.h first: the shell's headers need its types.
#include <knownfolders.h>
#include <shlobj.h>

#include "runtime/system_files.h"

namespace win32 {
namespace {

HWND AsHwnd(std::intptr_t handle) { return reinterpret_cast<HWND>(handle); }

RECT WorkArea() {
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

// The frame and caption around a client area, as the form's style draws them.
RECT FrameAround(HWND window, int width, int height) {
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
  return frame;
}

std::string Reason(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = n > 0 ? system_files::Utf8({text, n}) : "";
  LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.'))
    out.pop_back();
  return out.empty() ? "system error " + std::to_string(code) : out;
}

}  // namespace

bool FormClientRoom(std::intptr_t window, int& width, int& height) {
  const HWND form = AsHwnd(window);
  if (!IsWindow(form)) return false;
  const RECT area = WorkArea();
  const RECT frame = FrameAround(form, 0, 0);
  width = (area.right - area.left) - (frame.right - frame.left);
  height = (area.bottom - area.top) - (frame.bottom - frame.top);
  return width > 0 && height > 0;
}

bool PlaceFormWindow(std::intptr_t window, int width, int height) {
  const HWND form = AsHwnd(window);
  const RECT area = WorkArea();
  const RECT frame = FrameAround(form, width, height);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  const int x = area.left + (area.right - area.left - w) / 2;
  const int y = area.top + (area.bottom - area.top - h) / 2;
  const BOOL placed = SetWindowPos(form, HWND_NOTOPMOST, x, y, w, h, SWP_SHOWWINDOW);
  return placed != FALSE;
}

bool DrawOverlayText(const std::string& text, int& width, int& height,
                     std::vector<std::uint8_t>& lit) {
  // A plain bold face without smoothing, so that a pixel is lit or not.
  static HFONT font = CreateFontW(-14, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                  FIXED_PITCH | FF_MODERN, L"Courier New");
  const std::wstring wide = system_files::Utf16(text);
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr || font == nullptr) {
    if (dc) DeleteDC(dc);
    return false;
  }
  HGDIOBJ oldFont = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  bool drawn = false;
  if (size.cx > 0 && size.cy > 0) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
      HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
      SetTextColor(dc, RGB(255, 255, 255));
      SetBkColor(dc, RGB(0, 0, 0));
      SetBkMode(dc, OPAQUE);
      TextOutW(dc, 0, 0, wide.c_str(), static_cast<int>(wide.size()));
      GdiFlush();
      width = size.cx;
      height = size.cy;
      lit.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
      const auto* pixels = static_cast<const std::uint32_t*>(bits);
      for (std::size_t i = 0; i < lit.size(); ++i) lit[i] = ((pixels[i] >> 8) & 0xFF) >= 128;
      SelectObject(dc, oldBitmap);
      DeleteObject(bitmap);
      drawn = true;
    }
  }
  SelectObject(dc, oldFont);
  DeleteDC(dc);
  return drawn;
}

std::string PicturesFolder(std::string& error) {
  wchar_t* path = nullptr;
  const HRESULT status = SHGetKnownFolderPath(FOLDERID_Pictures, KF_FLAG_CREATE, nullptr, &path);
  std::string folder;
  if (SUCCEEDED(status) && path != nullptr)
    folder = system_files::Utf8(path);
  else
    error = "the system names no Pictures folder (" + Reason(static_cast<DWORD>(status)) + ")";
  CoTaskMemFree(path);
  return folder;
}

bool MakeFolders(const std::string& folder, std::string& error) {
  const int code = SHCreateDirectoryExW(nullptr, system_files::Utf16(folder).c_str(), nullptr);
  if (code == ERROR_SUCCESS || code == ERROR_ALREADY_EXISTS) return true;
  error = Reason(static_cast<DWORD>(code));
  return false;
}

}  // namespace win32
