#include "sdlhost/key_table.h"

#include <SDL_scancode.h>
#include <linux/input-event-codes.h>

#include <array>
#include <cctype>
#include <charconv>
#include <string>

namespace {

#define K(name, dik, ev, sdl) KeyCodeEntry{name, dik, ev, sdl}

constexpr KeyCodeEntry kKeys[] = {
    K("ESCAPE", 0x01, KEY_ESC, SDL_SCANCODE_ESCAPE),
    K("1", 0x02, KEY_1, SDL_SCANCODE_1),
    K("2", 0x03, KEY_2, SDL_SCANCODE_2),
    K("3", 0x04, KEY_3, SDL_SCANCODE_3),
    K("4", 0x05, KEY_4, SDL_SCANCODE_4),
    K("5", 0x06, KEY_5, SDL_SCANCODE_5),
    K("6", 0x07, KEY_6, SDL_SCANCODE_6),
    K("7", 0x08, KEY_7, SDL_SCANCODE_7),
    K("8", 0x09, KEY_8, SDL_SCANCODE_8),
    K("9", 0x0A, KEY_9, SDL_SCANCODE_9),
    K("0", 0x0B, KEY_0, SDL_SCANCODE_0),
    K("MINUS", 0x0C, KEY_MINUS, SDL_SCANCODE_MINUS),
    K("EQUALS", 0x0D, KEY_EQUAL, SDL_SCANCODE_EQUALS),
    K("BACK", 0x0E, KEY_BACKSPACE, SDL_SCANCODE_BACKSPACE),
    K("TAB", 0x0F, KEY_TAB, SDL_SCANCODE_TAB),
    K("Q", 0x10, KEY_Q, SDL_SCANCODE_Q),
    K("W", 0x11, KEY_W, SDL_SCANCODE_W),
    K("E", 0x12, KEY_E, SDL_SCANCODE_E),
    K("R", 0x13, KEY_R, SDL_SCANCODE_R),
    K("T", 0x14, KEY_T, SDL_SCANCODE_T),
    K("Y", 0x15, KEY_Y, SDL_SCANCODE_Y),
    K("U", 0x16, KEY_U, SDL_SCANCODE_U),
    K("I", 0x17, KEY_I, SDL_SCANCODE_I),
    K("O", 0x18, KEY_O, SDL_SCANCODE_O),
    K("P", 0x19, KEY_P, SDL_SCANCODE_P),
    K("LBRACKET", 0x1A, KEY_LEFTBRACE, SDL_SCANCODE_LEFTBRACKET),
    K("RBRACKET", 0x1B, KEY_RIGHTBRACE, SDL_SCANCODE_RIGHTBRACKET),
    K("RETURN", 0x1C, KEY_ENTER, SDL_SCANCODE_RETURN),
    K("LCONTROL", 0x1D, KEY_LEFTCTRL, SDL_SCANCODE_LCTRL),
    K("A", 0x1E, KEY_A, SDL_SCANCODE_A),
    K("S", 0x1F, KEY_S, SDL_SCANCODE_S),
    K("D", 0x20, KEY_D, SDL_SCANCODE_D),
    K("F", 0x21, KEY_F, SDL_SCANCODE_F),
    K("G", 0x22, KEY_G, SDL_SCANCODE_G),
    K("H", 0x23, KEY_H, SDL_SCANCODE_H),
    K("J", 0x24, KEY_J, SDL_SCANCODE_J),
    K("K", 0x25, KEY_K, SDL_SCANCODE_K),
    K("L", 0x26, KEY_L, SDL_SCANCODE_L),
    K("SEMICOLON", 0x27, KEY_SEMICOLON, SDL_SCANCODE_SEMICOLON),
    K("APOSTROPHE", 0x28, KEY_APOSTROPHE, SDL_SCANCODE_APOSTROPHE),
    K("GRAVE", 0x29, KEY_GRAVE, SDL_SCANCODE_GRAVE),
    K("LSHIFT", 0x2A, KEY_LEFTSHIFT, SDL_SCANCODE_LSHIFT),
    K("BACKSLASH", 0x2B, KEY_BACKSLASH, SDL_SCANCODE_BACKSLASH),
    K("Z", 0x2C, KEY_Z, SDL_SCANCODE_Z),
    K("X", 0x2D, KEY_X, SDL_SCANCODE_X),
    K("C", 0x2E, KEY_C, SDL_SCANCODE_C),
    K("V", 0x2F, KEY_V, SDL_SCANCODE_V),
    K("B", 0x30, KEY_B, SDL_SCANCODE_B),
    K("N", 0x31, KEY_N, SDL_SCANCODE_N),
    K("M", 0x32, KEY_M, SDL_SCANCODE_M),
    K("COMMA", 0x33, KEY_COMMA, SDL_SCANCODE_COMMA),
    K("PERIOD", 0x34, KEY_DOT, SDL_SCANCODE_PERIOD),
    K("SLASH", 0x35, KEY_SLASH, SDL_SCANCODE_SLASH),
    K("RSHIFT", 0x36, KEY_RIGHTSHIFT, SDL_SCANCODE_RSHIFT),
    K("MULTIPLY", 0x37, KEY_KPASTERISK, SDL_SCANCODE_KP_MULTIPLY),
    K("LMENU", 0x38, KEY_LEFTALT, SDL_SCANCODE_LALT),
    K("SPACE", 0x39, KEY_SPACE, SDL_SCANCODE_SPACE),
    K("CAPITAL", 0x3A, KEY_CAPSLOCK, SDL_SCANCODE_CAPSLOCK),
    K("F1", 0x3B, KEY_F1, SDL_SCANCODE_F1),
    K("F2", 0x3C, KEY_F2, SDL_SCANCODE_F2),
    K("F3", 0x3D, KEY_F3, SDL_SCANCODE_F3),
    K("F4", 0x3E, KEY_F4, SDL_SCANCODE_F4),
    K("F5", 0x3F, KEY_F5, SDL_SCANCODE_F5),
    K("F6", 0x40, KEY_F6, SDL_SCANCODE_F6),
    K("F7", 0x41, KEY_F7, SDL_SCANCODE_F7),
    K("F8", 0x42, KEY_F8, SDL_SCANCODE_F8),
    K("F9", 0x43, KEY_F9, SDL_SCANCODE_F9),
    K("F10", 0x44, KEY_F10, SDL_SCANCODE_F10),
    K("NUMLOCK", 0x45, KEY_NUMLOCK, SDL_SCANCODE_NUMLOCKCLEAR),
    K("SCROLL", 0x46, KEY_SCROLLLOCK, SDL_SCANCODE_SCROLLLOCK),
    K("NUMPAD7", 0x47, KEY_KP7, SDL_SCANCODE_KP_7),
    K("NUMPAD8", 0x48, KEY_KP8, SDL_SCANCODE_KP_8),
    K("NUMPAD9", 0x49, KEY_KP9, SDL_SCANCODE_KP_9),
    K("SUBTRACT", 0x4A, KEY_KPMINUS, SDL_SCANCODE_KP_MINUS),
    K("NUMPAD4", 0x4B, KEY_KP4, SDL_SCANCODE_KP_4),
    K("NUMPAD5", 0x4C, KEY_KP5, SDL_SCANCODE_KP_5),
    K("NUMPAD6", 0x4D, KEY_KP6, SDL_SCANCODE_KP_6),
    K("ADD", 0x4E, KEY_KPPLUS, SDL_SCANCODE_KP_PLUS),
    K("NUMPAD1", 0x4F, KEY_KP1, SDL_SCANCODE_KP_1),
    K("NUMPAD2", 0x50, KEY_KP2, SDL_SCANCODE_KP_2),
    K("NUMPAD3", 0x51, KEY_KP3, SDL_SCANCODE_KP_3),
    K("NUMPAD0", 0x52, KEY_KP0, SDL_SCANCODE_KP_0),
    K("DECIMAL", 0x53, KEY_KPDOT, SDL_SCANCODE_KP_PERIOD),
    K("OEM_102", 0x56, KEY_102ND, SDL_SCANCODE_NONUSBACKSLASH),
    K("F11", 0x57, KEY_F11, SDL_SCANCODE_F11),
    K("F12", 0x58, KEY_F12, SDL_SCANCODE_F12),
    K("F13", 0x64, KEY_F13, SDL_SCANCODE_F13),
    K("F14", 0x65, KEY_F14, SDL_SCANCODE_F14),
    K("F15", 0x66, KEY_F15, SDL_SCANCODE_F15),
    K("KANA", 0x70, KEY_KATAKANAHIRAGANA, SDL_SCANCODE_INTERNATIONAL2),
    K("ABNT_C1", 0x73, KEY_RO, SDL_SCANCODE_INTERNATIONAL1),
    K("CONVERT", 0x79, KEY_HENKAN, SDL_SCANCODE_INTERNATIONAL4),
    K("NOCONVERT", 0x7B, KEY_MUHENKAN, SDL_SCANCODE_INTERNATIONAL5),
    K("YEN", 0x7D, KEY_YEN, SDL_SCANCODE_INTERNATIONAL3),
    K("ABNT_C2", 0x7E, KEY_KPCOMMA, SDL_SCANCODE_KP_COMMA),
    K("NUMPADEQUALS", 0x8D, KEY_KPEQUAL, SDL_SCANCODE_KP_EQUALS),
    K("PREVTRACK", 0x90, KEY_PREVIOUSSONG, SDL_SCANCODE_AUDIOPREV),
    K("AT", 0x91, 0, 0),
    K("COLON", 0x92, 0, 0),
    K("UNDERLINE", 0x93, 0, 0),
    K("KANJI", 0x94, 0, 0),
    K("STOP", 0x95, KEY_STOP, SDL_SCANCODE_STOP),
    K("AX", 0x96, 0, 0),
    K("UNLABELED", 0x97, 0, 0),
    K("NEXTTRACK", 0x99, KEY_NEXTSONG, SDL_SCANCODE_AUDIONEXT),
    K("NUMPADENTER", 0x9C, KEY_KPENTER, SDL_SCANCODE_KP_ENTER),
    K("RCONTROL", 0x9D, KEY_RIGHTCTRL, SDL_SCANCODE_RCTRL),
    K("MUTE", 0xA0, KEY_MUTE, SDL_SCANCODE_MUTE),
    K("CALCULATOR", 0xA1, KEY_CALC, SDL_SCANCODE_CALCULATOR),
    K("PLAYPAUSE", 0xA2, KEY_PLAYPAUSE, SDL_SCANCODE_AUDIOPLAY),
    K("MEDIASTOP", 0xA4, KEY_STOPCD, SDL_SCANCODE_AUDIOSTOP),
    K("VOLUMEDOWN", 0xAE, KEY_VOLUMEDOWN, SDL_SCANCODE_VOLUMEDOWN),
    K("VOLUMEUP", 0xB0, KEY_VOLUMEUP, SDL_SCANCODE_VOLUMEUP),
    K("WEBHOME", 0xB2, KEY_HOMEPAGE, SDL_SCANCODE_AC_HOME),
    K("NUMPADCOMMA", 0xB3, 0, 0),
    K("DIVIDE", 0xB5, KEY_KPSLASH, SDL_SCANCODE_KP_DIVIDE),
    K("SYSRQ", 0xB7, KEY_SYSRQ, SDL_SCANCODE_PRINTSCREEN),
    K("RMENU", 0xB8, KEY_RIGHTALT, SDL_SCANCODE_RALT),
    K("PAUSE", 0xC5, KEY_PAUSE, SDL_SCANCODE_PAUSE),
    K("HOME", 0xC7, KEY_HOME, SDL_SCANCODE_HOME),
    K("UP", 0xC8, KEY_UP, SDL_SCANCODE_UP),
    K("PRIOR", 0xC9, KEY_PAGEUP, SDL_SCANCODE_PAGEUP),
    K("LEFT", 0xCB, KEY_LEFT, SDL_SCANCODE_LEFT),
    K("RIGHT", 0xCD, KEY_RIGHT, SDL_SCANCODE_RIGHT),
    K("END", 0xCF, KEY_END, SDL_SCANCODE_END),
    K("DOWN", 0xD0, KEY_DOWN, SDL_SCANCODE_DOWN),
    K("NEXT", 0xD1, KEY_PAGEDOWN, SDL_SCANCODE_PAGEDOWN),
    K("INSERT", 0xD2, KEY_INSERT, SDL_SCANCODE_INSERT),
    K("DELETE", 0xD3, KEY_DELETE, SDL_SCANCODE_DELETE),
    K("LWIN", 0xDB, KEY_LEFTMETA, SDL_SCANCODE_LGUI),
    K("RWIN", 0xDC, KEY_RIGHTMETA, SDL_SCANCODE_RGUI),
    K("APPS", 0xDD, KEY_COMPOSE, SDL_SCANCODE_APPLICATION),
    K("POWER", 0xDE, KEY_POWER, SDL_SCANCODE_POWER),
    K("SLEEP", 0xDF, KEY_SLEEP, SDL_SCANCODE_SLEEP),
    K("WAKE", 0xE3, KEY_WAKEUP, 0),
    K("WEBSEARCH", 0xE5, KEY_SEARCH, SDL_SCANCODE_AC_SEARCH),
    K("WEBFAVORITES", 0xE6, KEY_BOOKMARKS, SDL_SCANCODE_AC_BOOKMARKS),
    K("WEBREFRESH", 0xE7, KEY_REFRESH, SDL_SCANCODE_AC_REFRESH),
    K("WEBSTOP", 0xE8, 0, SDL_SCANCODE_AC_STOP),
    K("WEBFORWARD", 0xE9, KEY_FORWARD, SDL_SCANCODE_AC_FORWARD),
    K("WEBBACK", 0xEA, KEY_BACK, SDL_SCANCODE_AC_BACK),
    K("MYCOMPUTER", 0xEB, KEY_COMPUTER, SDL_SCANCODE_COMPUTER),
    K("MAIL", 0xEC, KEY_MAIL, SDL_SCANCODE_MAIL),
    K("MEDIASELECT", 0xED, KEY_MEDIA, SDL_SCANCODE_MEDIASELECT),
};

#undef K

// Reverse lookups, built once.
struct Lookup {
  std::array<std::uint8_t, 256 + 8> fromX{};
  std::array<std::uint8_t, SDL_NUM_SCANCODES> fromSdl{};
  Lookup() {
    for (const auto& k : kKeys) {
      if (k.evdev != 0 && k.evdev + 8u < fromX.size()) fromX[k.evdev + 8u] = k.dik;
      if (k.sdl > 0 && k.sdl < SDL_NUM_SCANCODES) fromSdl[static_cast<std::size_t>(k.sdl)] = k.dik;
    }
  }
};

const Lookup& Tables() {
  static const Lookup lookup;
  return lookup;
}

}  // namespace

std::span<const KeyCodeEntry> KeyCodeTable() { return kKeys; }

std::optional<std::uint8_t> DikFromName(std::string_view name) {
  if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
    unsigned value = 0;
    auto [end, ec] = std::from_chars(name.data() + 2, name.data() + name.size(), value, 16);
    if (ec != std::errc() || end != name.data() + name.size() || value == 0 || value > 255)
      return std::nullopt;
    return static_cast<std::uint8_t>(value);
  }
  std::string upper;
  upper.reserve(name.size());
  for (char c : name) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  std::string_view key = upper;
  if (key.starts_with("DIK_")) key.remove_prefix(4);
  for (const auto& k : kKeys)
    if (k.name == key) return k.dik;
  return std::nullopt;
}

std::uint8_t DikFromXKeycode(unsigned xKeycode) {
  const auto& t = Tables().fromX;
  return xKeycode < t.size() ? t[xKeycode] : 0;
}

std::uint8_t DikFromSdlScancode(std::int32_t scancode) {
  const auto& t = Tables().fromSdl;
  return scancode >= 0 && static_cast<std::size_t>(scancode) < t.size()
             ? t[static_cast<std::size_t>(scancode)]
             : 0;
}
