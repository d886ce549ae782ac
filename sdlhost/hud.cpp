#include "sdlhost/hud.h"

#include <SDL_ttf.h>

#include "hostcommon/host_log.h"

namespace {

// Debian's fonts-dejavu-core; without it the overlay draws its graph only.
constexpr const char* kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
constexpr int kFontSize = 14;

SDL_Color Colour(std::uint32_t rgb) {
  return {static_cast<Uint8>(rgb >> 16), static_cast<Uint8>(rgb >> 8), static_cast<Uint8>(rgb),
          255};
}

}  // namespace

Hud::Hud(OverlayItems items, std::string deviceName) : model_(items, std::move(deviceName)) {
  if (!items.Any()) return;
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
  for (SDL_Surface* s : texts_) SDL_FreeSurface(s);
  if (font_) TTF_CloseFont(static_cast<TTF_Font*>(font_));
  if (TTF_WasInit()) TTF_Quit();
}

SDL_Surface* Hud::Text(int slot, const std::string& text) {
  if (!font_) return nullptr;
  const auto i = static_cast<std::size_t>(slot);
  if (texts_[i] && cached_[i] == text) return texts_[i];
  SDL_FreeSurface(texts_[i]);
  texts_[i] =
      TTF_RenderUTF8_Shaded(static_cast<TTF_Font*>(font_), text.c_str(),
                            Colour(OverlayModel::kTextRgb), Colour(OverlayModel::kPanelRgb));
  cached_[i] = text;
  return texts_[i];
}

SDL_Rect Hud::Draw(SDL_Surface* target) {
  SDL_Rect covered{0, 0, 0, 0};
  if (!Enabled() || !target) return covered;
  const auto measure = [this](int slot, const std::string& text, int& width, int& height) {
    SDL_Surface* s = Text(slot, text);
    if (s) width = s->w, height = s->h;
    return s != nullptr;
  };
  for (const OverlayShape& shape : model_.Layout(measure)) {
    SDL_Rect at{shape.x, shape.y, shape.width, shape.height};
    if (shape.text >= 0)
      SDL_BlitSurface(texts_[static_cast<std::size_t>(shape.text)], nullptr, target, &at);
    else
      SDL_FillRect(target, &at,
                   SDL_MapRGB(target->format, static_cast<Uint8>(shape.rgb >> 16),
                              static_cast<Uint8>(shape.rgb >> 8), static_cast<Uint8>(shape.rgb)));
    at = {shape.x, shape.y, shape.width, shape.height};  // the blit clips it
    SDL_UnionRect(&covered, &at, &covered);
  }
  return covered;
}
