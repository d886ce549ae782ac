#include "presentation/overlay.h"

#include <algorithm>

namespace {

// The graph: one column per frame over the last seconds, full height at
// 50 ms, a line at the 60 Hz frame time, both labelled beside it.
constexpr int kGraphFrames = 180;
constexpr int kGraphHeight = 40;
constexpr double kGraphFullMs = 50.0;
constexpr auto kKept = std::chrono::seconds(3);
constexpr int kMargin = 6;

}  // namespace

OverlayModel::OverlayModel(OverlayItems items, std::string deviceName) : items_(items) {
  texts_[kDevice] = "device: " + deviceName;
  texts_[kScaleTop] = "50 ms";
  texts_[kScaleLine] = "16.7 ms";
  // Every shape a frame can have, so that drawing one takes nothing new.
  shapes_.reserve(kGraphFrames + 8);
}

void OverlayModel::FrameShown(Clock::time_point now) {
  shown_.push_back(now);
  while (shown_.size() > 2 && now - shown_.front() > kKept) shown_.pop_front();
}

int OverlayModel::PutText(const MeasureText& measure, int slot, int x, int y) {
  int width = 0, height = 0;
  if (!measure || !measure(slot, Text(slot), width, height)) return 0;
  shapes_.push_back({x, y, width, height, kTextRgb, slot});
  return height;
}

void OverlayModel::PutGraph(const MeasureText& measure, int y) {
  const OverlayShape panel{kMargin, y, kGraphFrames, kGraphHeight, kPanelRgb};
  shapes_.push_back(panel);
  const std::size_t n = shown_.size();
  const std::size_t first = n > kGraphFrames + 1 ? n - kGraphFrames - 1 : 0;
  int x = panel.x + panel.width - static_cast<int>(n - 1 - first);
  for (std::size_t i = first + 1; i < n; ++i, ++x) {
    const double ms = std::chrono::duration<double, std::milli>(shown_[i] - shown_[i - 1]).count();
    const int h = std::clamp(static_cast<int>(ms / kGraphFullMs * kGraphHeight), 1, kGraphHeight);
    shapes_.push_back({x, panel.y + kGraphHeight - h, 1, h, kBarRgb});
  }
  const int line = panel.y + kGraphHeight - static_cast<int>(16.7 / kGraphFullMs * kGraphHeight);
  shapes_.push_back({panel.x, line, panel.width, 1, kLineRgb});
  // The scale beside the graph: its full height and the 60 Hz line, the
  // line's label centred on it but inside the panel's rows.
  const int right = panel.x + panel.width + 2;
  PutText(measure, kScaleTop, right, panel.y);
  int width = 0, height = 0;
  if (measure && measure(kScaleLine, Text(kScaleLine), width, height))
    shapes_.push_back({right, std::min(line - height / 2, panel.y + kGraphHeight - height), width,
                       height, kTextRgb, kScaleLine});
}

const std::vector<OverlayShape>& OverlayModel::Layout(const MeasureText& measure) {
  shapes_.clear();
  if (!Enabled()) return shapes_;
  int y = kMargin;
  if (items_.fps) {
    // Frames shown during the last second.
    int frames = 0;
    if (!shown_.empty()) {
      const auto last = shown_.back();
      frames = static_cast<int>(std::count_if(shown_.begin(), shown_.end(), [&](auto t) {
        return last - t < std::chrono::seconds(1);
      }));
    }
    texts_[kFps] = "FPS " + std::to_string(frames);
    if (const int h = PutText(measure, kFps, kMargin, y)) y += h + 2;
  }
  if (items_.frameTime) {
    PutGraph(measure, y);
    y += kGraphHeight + 2;
  }
  if (items_.device) PutText(measure, kDevice, kMargin, y);
  return shapes_;
}
