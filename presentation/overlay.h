// The overlay drawn over the shown picture (QUILLON_HUD): the frame rate, a
// graph of the last frames' times and the device in use, as shapes any host
// draws with its own fill and text calls. It goes over the picture as shown
// (after F12's picture was taken), so the device's back buffer, captures,
// traces and F12's pictures never contain it.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

struct OverlayItems {
  bool fps = false;
  bool frameTime = false;
  bool device = false;
  bool Any() const { return fps || frameTime || device; }
};

// A filled rectangle, or a text whose top left corner is x, y.
struct OverlayShape {
  int x = 0, y = 0, width = 0, height = 0;
  std::uint32_t rgb = 0;  // a fill's colour, 0x00RRGGBB
  int text = -1;          // a text's slot (OverlayModel::Text), -1 for a fill
};

class OverlayModel {
 public:
  using Clock = std::chrono::steady_clock;
  enum TextSlot { kFps, kDevice, kScaleTop, kScaleLine, kTextSlots };
  // Texts are white on the panel's grey; the graph's bars yellow, its 60 Hz
  // line green.
  static constexpr std::uint32_t kTextRgb = 0xFFFFFF, kPanelRgb = 0x202020, kBarRgb = 0xFFE040,
                                 kLineRgb = 0x60FF60;
  // The size of a slot's text as the host draws it; false when it draws none
  // (no font), and the overlay leaves the text out.
  using MeasureText =
      std::function<bool(int slot, const std::string& text, int& width, int& height)>;

  OverlayModel(OverlayItems items, std::string deviceName);

  bool Enabled() const { return items_.Any(); }
  // A frame is being shown at `now`.
  void FrameShown(Clock::time_point now);
  // The overlay's shapes from the top left corner, in drawing order; valid
  // until the next call.
  const std::vector<OverlayShape>& Layout(const MeasureText& measure);
  const std::string& Text(int slot) const { return texts_[static_cast<std::size_t>(slot)]; }

 private:
  // Puts the slot's text at x, y when the host draws it; its height or 0.
  int PutText(const MeasureText& measure, int slot, int x, int y);
  void PutGraph(const MeasureText& measure, int y);

  OverlayItems items_;
  std::deque<Clock::time_point> shown_;  // the last seconds' frames
  std::array<std::string, kTextSlots> texts_;
  std::vector<OverlayShape> shapes_;
};
