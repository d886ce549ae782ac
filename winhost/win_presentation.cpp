#include "winhost/win_presentation.h"

#include <algorithm>
#include <cstddef>
#include <ctime>
#include <filesystem>

#include "hostcommon/captures.h"
#include "hostcommon/host_log.h"
#include "presentation/placement.h"
#include "presentation/screenshots.h"
#include "scene/user_files.h"
#include "winhost/win32_present.h"

WinOverlay::WinOverlay(OverlayItems items, std::string deviceName)
    : model_(items, std::move(deviceName)), texts_(OverlayModel::kTextSlots) {
  // Every rectangle a frame can have, so that drawing one takes nothing new.
  rects_.reserve(256);
  glyphs_.reserve(4096);
}

const WinOverlay::Text& WinOverlay::TextOf(int slot, const std::string& text) {
  Text& t = texts_[static_cast<std::size_t>(slot)];
  if (t.drawn != text || t.lit.empty()) {
    t.drawn = text;
    t.ok = win32::DrawOverlayText(text, t.width, t.height, t.lit);
  }
  return t;
}

void PixelCanvas::Fill(std::uint32_t rgb, const D3DRECT* rects, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const int x1 = std::max(0, static_cast<int>(rects[i].x1));
    const int x2 = std::min(width_, static_cast<int>(rects[i].x2));
    const int y2 = std::min(height_, static_cast<int>(rects[i].y2));
    if (x2 <= x1) continue;
    for (int y = std::max(0, static_cast<int>(rects[i].y1)); y < y2; ++y)
      std::fill_n(pixels_ + static_cast<std::ptrdiff_t>(y) * width_ + x1, x2 - x1, rgb);
  }
}

void WinOverlay::Flush(OverlayCanvas& canvas, std::uint32_t rgb) {
  if (rects_.empty()) return;
  canvas.Fill(rgb, rects_.data(), rects_.size());
  rects_.clear();
}

void WinOverlay::Draw(win32::ComObject device) {
  struct Cleared final : OverlayCanvas {
    win32::ComObject device;
    explicit Cleared(win32::ComObject d) : device(d) {}
    void Fill(std::uint32_t rgb, const D3DRECT* rects, std::size_t count) override {
      win32::Clear(device, static_cast<std::uint32_t>(count), rects, D3DCLEAR_TARGET,
                   0xFF000000u | rgb, 0.0f, 0);
    }
  } canvas(device);
  Draw(canvas);
}

void WinOverlay::Draw(OverlayCanvas& canvas) {
  if (!Enabled()) return;
  model_.FrameShown(OverlayModel::Clock::now());
  const auto measure = [this](int slot, const std::string& text, int& width, int& height) {
    const Text& t = TextOf(slot, text);
    width = t.width, height = t.height;
    return t.ok;
  };
  // Shapes of one colour in a row go in one call; a text is its panel, then
  // its glyphs' runs over it.
  std::uint32_t colour = 0;
  for (const OverlayShape& s : model_.Layout(measure)) {
    const std::uint32_t rgb = s.text >= 0 ? OverlayModel::kPanelRgb : s.rgb;
    if (rgb != colour) Flush(canvas, colour);
    colour = rgb;
    rects_.push_back({s.x, s.y, s.x + s.width, s.y + s.height});
    if (s.text < 0) continue;
    const Text& t = texts_[static_cast<std::size_t>(s.text)];
    for (int y = 0; y < t.height; ++y)
      for (int x = 0; x < t.width;) {
        const std::uint8_t* row = t.lit.data() + static_cast<std::size_t>(y) * t.width;
        if (!row[x]) {
          ++x;
          continue;
        }
        const int start = x;
        while (x < t.width && row[x]) ++x;
        glyphs_.push_back({s.x + start, s.y + y, s.x + x, s.y + y + 1});
      }
  }
  Flush(canvas, colour);
  rects_.swap(glyphs_);
  Flush(canvas, OverlayModel::kTextRgb);
  rects_.swap(glyphs_);
}

void SaveScreenshot(const Image& image) {
  const std::string hint = "; F12 saves into the user's Pictures\\Quillon";
  std::string error;
  std::string folder = win32::PicturesFolder(error);
  if (folder.empty()) {
    HostLog(LogLevel::Error, "cannot save the screenshot: " + error);
    return;
  }
  folder += "\\Quillon";
  if (!win32::MakeFolders(folder, error)) {
    HostLog(LogLevel::Error, "cannot save the screenshot: cannot make the folder " +
                                 scene::Printable(folder) + ": " + error + hint);
    return;
  }
  const std::string path = ClaimScreenshotPath(folder, std::time(nullptr), error);
  if (path.empty()) {
    HostLog(LogLevel::Error,
            "cannot save the screenshot in " + scene::Printable(folder) + ": " + error + hint);
    return;
  }
  // What the user chose to keep survives a crash.
  if (WriteHostPicture(path, image, Durability::kSynced, error)) {
    HostLog(LogLevel::Warn, "screenshot written to " + scene::Printable(path));
    return;
  }
  HostLog(LogLevel::Error, "cannot write the screenshot " + scene::Printable(error) + hint);
  // The empty file that held its name.
  std::error_code ec;
  std::filesystem::remove(std::u8string(path.begin(), path.end()), ec);
}

bool PlaceInWindow(std::intptr_t window, int width, int height) {
  int roomWidth = 0, roomHeight = 0;
  if (!win32::FormClientRoom(window, roomWidth, roomHeight)) return false;
  Placement p{0, 0, width, height};
  if (width > roomWidth || height > roomHeight)
    p = FitWithAspect(width, height, roomWidth, roomHeight);
  if (!win32::PlaceFormWindow(window, p.width, p.height)) return false;
  HostLog(LogLevel::Info, "windowed: the " + std::to_string(width) + "x" + std::to_string(height) +
                              " picture in a window of " + std::to_string(p.width) + "x" +
                              std::to_string(p.height));
  return true;
}
