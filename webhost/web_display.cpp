#include "webhost/web_display.h"

#include <emscripten.h>

#include <ctime>
#include <filesystem>

#include "hostcommon/captures.h"
#include "hostcommon/host_log.h"
#include "pictures/image.h"
#include "pictures/picture_files.h"
#include "presentation/placement.h"
#include "presentation/present_order.h"
#include "presentation/screenshots.h"
#include "scene/user_files.h"
#include "webhost/page.h"
#include "webhost/web_keyboard.h"
#include "webhost/web_runtime.h"

namespace {

D3DDISPLAYMODE ScreenMode() {
  const int width = EM_ASM_INT({ return screen.width | 0; });
  const int height = EM_ASM_INT({ return screen.height | 0; });
  if (width <= 0 || height <= 0) return {640, 480, 60, D3DFMT_X8R8G8B8};
  return {static_cast<UINT>(width), static_cast<UINT>(height), 60, D3DFMT_X8R8G8B8};
}

// Hands each picture the key script's captures wrote to the page as a
// download of its name, then drops it: the page's memory keeps none. Only
// those: the folder may hold the log, or files the script did not make.
void DownloadCaptures(const std::vector<std::string>& written) {
  for (const auto& path : written) {
    std::string bytes;
    if (ReadWholeFile(path, bytes))
      page::Download(std::filesystem::path(path).filename().string(), bytes.data(), bytes.size());
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
}

}  // namespace

void XrgbToCanvasBytes(const std::uint32_t* src, std::uint32_t* dst, std::size_t count) {
  // Little-endian words: 0xAABBGGRR is the bytes R, G, B, A. A loop the
  // compiler turns into vector code.
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t p = src[i];
    dst[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
  }
}

bool FrameToCanvasBytes(const FrameView& frame, std::uint32_t* dst) {
  const auto width = static_cast<std::size_t>(frame.width);
  if (frame.format != D3DFMT_X8R8G8B8 && frame.format != D3DFMT_A8R8G8B8) {
    // Other formats through the common conversion, then in place.
    if (!FrameToXrgb(frame, dst, frame.width * 4)) return false;
    XrgbToCanvasBytes(dst, dst, width * static_cast<std::size_t>(frame.height));
    return true;
  }
  // The device's own formats in one pass, row by row from its pitch.
  const auto* src = static_cast<const std::uint8_t*>(frame.pixels);
  for (std::int32_t y = 0; y < frame.height; ++y)
    XrgbToCanvasBytes(
        reinterpret_cast<const std::uint32_t*>(src + static_cast<std::ptrdiff_t>(y) * frame.pitch),
        dst + static_cast<std::size_t>(y) * width, width);
  return true;
}

WebDisplay::WebDisplay(WebDisplayOptions options)
    : options_(options), desktop_(ScreenMode()), overlay_(options.hud, "reference rasterizer") {
  // Every mode is the canvas scaled onto the page or the screen: the
  // classic sizes, and the screen's own.
  constexpr UINT kClassic[][2] = {{640, 480}, {800, 600}, {1024, 768}};
  for (const auto& size : kClassic)
    modes_.push_back({size[0], size[1], desktop_.RefreshRate, desktop_.Format});
  bool listed = false;
  for (const auto& mode : modes_)
    listed = listed || (mode.Width == desktop_.Width && mode.Height == desktop_.Height);
  if (!listed) modes_.push_back(desktop_);
}

bool WebDisplay::Mode(UINT index, D3DDISPLAYMODE& mode) {
  if (index >= modes_.size()) return false;
  mode = modes_[index];
  return true;
}

bool WebDisplay::WindowClientSize(HWND window, UINT& width, UINT& height) {
  if (window != kWebFormWindow) return false;
  width = 640;
  height = 480;
  return true;
}

HRESULT WebDisplay::AttachDevice(HWND focusWindow, const D3DPRESENT_PARAMETERS& params) {
  const HWND target = params.hDeviceWindow ? params.hDeviceWindow : focusWindow;
  if (target != kWebFormWindow) return D3DERR_INVALIDCALL;
  if (!params.Windowed) {
    bool listed = false;
    for (const auto& mode : modes_) listed = listed || ModeMatches(mode, params);
    if (!listed) return D3DERR_INVALIDCALL;
  }
  fullScreen_ = !params.Windowed;
  attached_ = true;
  page::WantFullScreen(fullScreen_);
  return D3D_OK;
}

void WebDisplay::DetachDevice() {
  if (attached_ && fullScreen_) page::WantFullScreen(false);
  attached_ = fullScreen_ = false;
}

void WebDisplay::SaveCaptures(const FrameView& frame) {
  PlayedKeyScript* script = options_.script;
  if (!script || !script->player.CapturesDue()) return;
  const Image image = ImageFromFrame(frame);
  std::vector<std::string> written;
  if (image.Whole())
    SaveDueCaptures(script->player, script->captureFolder, image, &written);
  else
    FailDueCaptures(script->player, script->captureFolder, "the frame's format has no layout");
  DownloadCaptures(written);
}

void WebDisplay::SaveScreenshot(const FrameView& frame) {
  // Named as on the desktop, kept in the page's memory and downloaded.
  const std::string folder = "/screenshots";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::string error;
  const std::string path = ClaimScreenshotPath(folder, std::time(nullptr), error);
  std::string bytes;
  if (path.empty() || !WriteHostPicture(path, ImageFromFrame(frame), Durability::kCached, error) ||
      !ReadWholeFile(path, bytes)) {
    HostLog(LogLevel::Error, "cannot save the screenshot: " + scene::Printable(error));
    if (!path.empty()) std::filesystem::remove(path, ec);
    return;
  }
  const std::string name = std::filesystem::path(path).filename().string();
  page::Download(name, bytes.data(), bytes.size());
  HostLog(LogLevel::Warn, "screenshot downloaded as " + scene::Printable(name));
}

// One present's steps on the page's canvas.
class WebDisplay::Steps final : public PresentSteps {
 public:
  Steps(WebDisplay& display, const FrameView& frame) : d_(display), frame_(frame) {}

  void SaveCaptures() override { d_.SaveCaptures(frame_); }
  bool TakeScreenshotRequest() override {
    const int presses = PageKeys::Listen().TakeScreenshotPresses();
    return page::TakeScreenshotRequests() + presses > 0;
  }
  bool Seen() override { return true; }
  HRESULT CheckUnshown() override { return D3D_OK; }
  HRESULT Show() override {
    const std::size_t count = static_cast<std::size_t>(frame_.width) * frame_.height;
    if (d_.pixels_.size() != count) d_.pixels_.resize(count);
    if (!FrameToCanvasBytes(frame_, d_.pixels_.data())) return D3DERR_INVALIDCALL;
    page::ShowFrame(d_.pixels_.data(), frame_.width, frame_.height);
    return D3D_OK;
  }
  void SaveScreenshot() override { d_.SaveScreenshot(frame_); }
  void DrawOverlay() override {
    OverlayModel& model = d_.overlay_;
    if (!model.Enabled()) return;
    model.FrameShown(OverlayModel::Clock::now());
    const auto measure = [](int, const std::string& text, int& width, int& height) {
      page::MeasureText(text, width, height);
      return width > 0 && height > 0;
    };
    for (const OverlayShape& s : model.Layout(measure)) {
      if (s.text < 0) {
        page::Fill(s.x, s.y, s.width, s.height, s.rgb);
        continue;
      }
      page::Fill(s.x, s.y, s.width, s.height, OverlayModel::kPanelRgb);
      page::Text(s.x, s.y, model.Text(s.text), OverlayModel::kTextRgb);
    }
  }
  void WaitForRetrace() override {}
  HRESULT Flip() override {
    // The browser's turn: its retrace is its next animation frame.
    page::Yield(d_.fullScreen_ && d_.options_.vsync);
    return D3D_OK;
  }
  void ToggleOnRequest() override {}

 private:
  WebDisplay& d_;
  const FrameView& frame_;
};

HRESULT WebDisplay::Present(const FrameView& frame, HWND destWindow) {
  if (!attached_ || (destWindow != 0 && destWindow != kWebFormWindow)) return D3DERR_INVALIDCALL;
  if (!frame.pixels || frame.width <= 0 || frame.height <= 0) return D3DERR_INVALIDCALL;
  Steps steps(*this, frame);
  return PresentInOrder(steps);
}
