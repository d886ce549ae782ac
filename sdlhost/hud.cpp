#include "sdlhost/hud.h"

#include <SDL_ttf.h>

#include <algorithm>

#include "hostcommon/host_log.h"

namespace {

// Debian's fonts-dejavu-core; without it the overlay draws its graph only.
constexpr const char* kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
constexpr int kFontSize = 14;
// The graph: one column per frame over the last seconds, full height at
// 50 ms, a line at the 60 Hz frame time, both labelled beside it.
constexpr int kGraphFrames = 180;
constexpr int kGraphHeight = 40;
constexpr double kGraphFullMs = 50.0;
constexpr auto kKept = std::chrono::seconds(3);
constexpr int kMargin = 6;

Uint32 Rgb(const SDL_Surface* s, Uint8 r, Uint8 g, Uint8 b) {
  return SDL_MapRGB(s->format, r, g, b);
}

// Blits `text` at x, y and grows `covered` by it.
void Put(SDL_Surface* text, SDL_Surface* target, int x, int y, SDL_Rect& covered) {
  SDL_Rect at{x, y, text->w, text->h};
  SDL_BlitSurface(text, nullptr, target, &at);
  at = {x, y, text->w, text->h};
  SDL_UnionRect(&covered, &at, &covered);
}

}  // namespace

Hud::Hud(HudItems items, std::string deviceName)
    : items_(items), deviceName_(std::move(deviceName)) {
  if (!items_.Any()) return;
  if (TTF_WasInit() == 0 && TTF_Init() != 0) {
    HostLog(LogLevel::Warn, std::string("overlay: no text (") + TTF_GetError() + ")");
    return;
  }
  font_ = TTF_OpenFont(kFontPath, kFontSize);
  if (!font_)
    HostLog(LogLevel::Warn, std::string("overlay: no text, cannot open the font ") + kFontPath +
                                " (Debian package fonts-dejavu-core)");
}

Hud::~Hud() {
  SDL_FreeSurface(fpsText_);
  SDL_FreeSurface(deviceText_);
  SDL_FreeSurface(scaleTop_);
  SDL_FreeSurface(scaleLine_);
  if (font_) TTF_CloseFont(static_cast<TTF_Font*>(font_));
  if (TTF_WasInit()) TTF_Quit();
}

void Hud::FrameShown(Clock::time_point now) {
  shown_.push_back(now);
  while (shown_.size() > 2 && now - shown_.front() > kKept) shown_.pop_front();
}

SDL_Surface* Hud::Text(const std::string& text, SDL_Surface*& cache, std::string& cachedText) {
  if (!font_) return nullptr;
  if (cache && cachedText == text) return cache;
  SDL_FreeSurface(cache);
  cache = TTF_RenderUTF8_Shaded(static_cast<TTF_Font*>(font_), text.c_str(),
                                SDL_Color{255, 255, 255, 255}, SDL_Color{32, 32, 32, 255});
  cachedText = text;
  return cache;
}

int Hud::DrawGraph(SDL_Surface* target, int y, SDL_Rect& covered) {
  SDL_Rect panel{kMargin, y, kGraphFrames, kGraphHeight};
  SDL_FillRect(target, &panel, Rgb(target, 32, 32, 32));
  SDL_UnionRect(&covered, &panel, &covered);
  const Uint32 bar = Rgb(target, 255, 224, 64);
  const std::size_t n = shown_.size();
  const std::size_t first = n > kGraphFrames + 1 ? n - kGraphFrames - 1 : 0;
  int x = panel.x + panel.w - static_cast<int>(n - 1 - first);
  for (std::size_t i = first + 1; i < n; ++i, ++x) {
    const double ms = std::chrono::duration<double, std::milli>(shown_[i] - shown_[i - 1]).count();
    const int h = std::clamp(static_cast<int>(ms / kGraphFullMs * kGraphHeight), 1, kGraphHeight);
    SDL_Rect column{x, panel.y + kGraphHeight - h, 1, h};
    SDL_FillRect(target, &column, bar);
  }
  const int line = panel.y + kGraphHeight - static_cast<int>(16.7 / kGraphFullMs * kGraphHeight);
  SDL_Rect mark{panel.x, line, panel.w, 1};
  SDL_FillRect(target, &mark, Rgb(target, 96, 255, 96));
  // The scale beside the graph: its full height and the 60 Hz line.
  const int right = panel.x + panel.w + 2;
  if (SDL_Surface* s = Text("50 ms", scaleTop_, scaleTopCached_))
    Put(s, target, right, panel.y, covered);
  if (SDL_Surface* s = Text("16.7 ms", scaleLine_, scaleLineCached_))
    Put(s, target, right, std::min(line - s->h / 2, panel.y + kGraphHeight - s->h), covered);
  return kGraphHeight;
}

SDL_Rect Hud::Draw(SDL_Surface* target) {
  SDL_Rect covered{kMargin, kMargin, 0, 0};
  if (!Enabled() || !target) return covered;
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
    if (SDL_Surface* s = Text("FPS " + std::to_string(frames), fpsText_, fpsCached_)) {
      Put(s, target, kMargin, y, covered);
      y += s->h + 2;
    }
  }
  if (items_.frameTime) y += DrawGraph(target, y, covered) + 2;
  if (items_.device) {
    if (SDL_Surface* s = Text("device: " + deviceName_, deviceText_, deviceCached_))
      Put(s, target, kMargin, y, covered);
  }
  return covered;
}
