#include "sdlhost/key_codes.h"

#include <SDL_scancode.h>
#include <linux/input-event-codes.h>

#include <array>

namespace {

// The codes the host's key sources report for each DirectInput key (the
// key's name, from hostcommon/key_table.cpp, after it).
struct KeyCodes {
  std::uint8_t dik;     // DirectInput key code
  std::uint16_t evdev;  // Linux input event code, 0 when none
  std::int32_t sdl;     // SDL_Scancode, 0 when none
};

constexpr KeyCodes kKeys[] = {
    {0x01, KEY_ESC, SDL_SCANCODE_ESCAPE},                       // ESCAPE
    {0x02, KEY_1, SDL_SCANCODE_1},                              // 1
    {0x03, KEY_2, SDL_SCANCODE_2},                              // 2
    {0x04, KEY_3, SDL_SCANCODE_3},                              // 3
    {0x05, KEY_4, SDL_SCANCODE_4},                              // 4
    {0x06, KEY_5, SDL_SCANCODE_5},                              // 5
    {0x07, KEY_6, SDL_SCANCODE_6},                              // 6
    {0x08, KEY_7, SDL_SCANCODE_7},                              // 7
    {0x09, KEY_8, SDL_SCANCODE_8},                              // 8
    {0x0A, KEY_9, SDL_SCANCODE_9},                              // 9
    {0x0B, KEY_0, SDL_SCANCODE_0},                              // 0
    {0x0C, KEY_MINUS, SDL_SCANCODE_MINUS},                      // MINUS
    {0x0D, KEY_EQUAL, SDL_SCANCODE_EQUALS},                     // EQUALS
    {0x0E, KEY_BACKSPACE, SDL_SCANCODE_BACKSPACE},              // BACK
    {0x0F, KEY_TAB, SDL_SCANCODE_TAB},                          // TAB
    {0x10, KEY_Q, SDL_SCANCODE_Q},                              // Q
    {0x11, KEY_W, SDL_SCANCODE_W},                              // W
    {0x12, KEY_E, SDL_SCANCODE_E},                              // E
    {0x13, KEY_R, SDL_SCANCODE_R},                              // R
    {0x14, KEY_T, SDL_SCANCODE_T},                              // T
    {0x15, KEY_Y, SDL_SCANCODE_Y},                              // Y
    {0x16, KEY_U, SDL_SCANCODE_U},                              // U
    {0x17, KEY_I, SDL_SCANCODE_I},                              // I
    {0x18, KEY_O, SDL_SCANCODE_O},                              // O
    {0x19, KEY_P, SDL_SCANCODE_P},                              // P
    {0x1A, KEY_LEFTBRACE, SDL_SCANCODE_LEFTBRACKET},            // LBRACKET
    {0x1B, KEY_RIGHTBRACE, SDL_SCANCODE_RIGHTBRACKET},          // RBRACKET
    {0x1C, KEY_ENTER, SDL_SCANCODE_RETURN},                     // RETURN
    {0x1D, KEY_LEFTCTRL, SDL_SCANCODE_LCTRL},                   // LCONTROL
    {0x1E, KEY_A, SDL_SCANCODE_A},                              // A
    {0x1F, KEY_S, SDL_SCANCODE_S},                              // S
    {0x20, KEY_D, SDL_SCANCODE_D},                              // D
    {0x21, KEY_F, SDL_SCANCODE_F},                              // F
    {0x22, KEY_G, SDL_SCANCODE_G},                              // G
    {0x23, KEY_H, SDL_SCANCODE_H},                              // H
    {0x24, KEY_J, SDL_SCANCODE_J},                              // J
    {0x25, KEY_K, SDL_SCANCODE_K},                              // K
    {0x26, KEY_L, SDL_SCANCODE_L},                              // L
    {0x27, KEY_SEMICOLON, SDL_SCANCODE_SEMICOLON},              // SEMICOLON
    {0x28, KEY_APOSTROPHE, SDL_SCANCODE_APOSTROPHE},            // APOSTROPHE
    {0x29, KEY_GRAVE, SDL_SCANCODE_GRAVE},                      // GRAVE
    {0x2A, KEY_LEFTSHIFT, SDL_SCANCODE_LSHIFT},                 // LSHIFT
    {0x2B, KEY_BACKSLASH, SDL_SCANCODE_BACKSLASH},              // BACKSLASH
    {0x2C, KEY_Z, SDL_SCANCODE_Z},                              // Z
    {0x2D, KEY_X, SDL_SCANCODE_X},                              // X
    {0x2E, KEY_C, SDL_SCANCODE_C},                              // C
    {0x2F, KEY_V, SDL_SCANCODE_V},                              // V
    {0x30, KEY_B, SDL_SCANCODE_B},                              // B
    {0x31, KEY_N, SDL_SCANCODE_N},                              // N
    {0x32, KEY_M, SDL_SCANCODE_M},                              // M
    {0x33, KEY_COMMA, SDL_SCANCODE_COMMA},                      // COMMA
    {0x34, KEY_DOT, SDL_SCANCODE_PERIOD},                       // PERIOD
    {0x35, KEY_SLASH, SDL_SCANCODE_SLASH},                      // SLASH
    {0x36, KEY_RIGHTSHIFT, SDL_SCANCODE_RSHIFT},                // RSHIFT
    {0x37, KEY_KPASTERISK, SDL_SCANCODE_KP_MULTIPLY},           // MULTIPLY
    {0x38, KEY_LEFTALT, SDL_SCANCODE_LALT},                     // LMENU
    {0x39, KEY_SPACE, SDL_SCANCODE_SPACE},                      // SPACE
    {0x3A, KEY_CAPSLOCK, SDL_SCANCODE_CAPSLOCK},                // CAPITAL
    {0x3B, KEY_F1, SDL_SCANCODE_F1},                            // F1
    {0x3C, KEY_F2, SDL_SCANCODE_F2},                            // F2
    {0x3D, KEY_F3, SDL_SCANCODE_F3},                            // F3
    {0x3E, KEY_F4, SDL_SCANCODE_F4},                            // F4
    {0x3F, KEY_F5, SDL_SCANCODE_F5},                            // F5
    {0x40, KEY_F6, SDL_SCANCODE_F6},                            // F6
    {0x41, KEY_F7, SDL_SCANCODE_F7},                            // F7
    {0x42, KEY_F8, SDL_SCANCODE_F8},                            // F8
    {0x43, KEY_F9, SDL_SCANCODE_F9},                            // F9
    {0x44, KEY_F10, SDL_SCANCODE_F10},                          // F10
    {0x45, KEY_NUMLOCK, SDL_SCANCODE_NUMLOCKCLEAR},             // NUMLOCK
    {0x46, KEY_SCROLLLOCK, SDL_SCANCODE_SCROLLLOCK},            // SCROLL
    {0x47, KEY_KP7, SDL_SCANCODE_KP_7},                         // NUMPAD7
    {0x48, KEY_KP8, SDL_SCANCODE_KP_8},                         // NUMPAD8
    {0x49, KEY_KP9, SDL_SCANCODE_KP_9},                         // NUMPAD9
    {0x4A, KEY_KPMINUS, SDL_SCANCODE_KP_MINUS},                 // SUBTRACT
    {0x4B, KEY_KP4, SDL_SCANCODE_KP_4},                         // NUMPAD4
    {0x4C, KEY_KP5, SDL_SCANCODE_KP_5},                         // NUMPAD5
    {0x4D, KEY_KP6, SDL_SCANCODE_KP_6},                         // NUMPAD6
    {0x4E, KEY_KPPLUS, SDL_SCANCODE_KP_PLUS},                   // ADD
    {0x4F, KEY_KP1, SDL_SCANCODE_KP_1},                         // NUMPAD1
    {0x50, KEY_KP2, SDL_SCANCODE_KP_2},                         // NUMPAD2
    {0x51, KEY_KP3, SDL_SCANCODE_KP_3},                         // NUMPAD3
    {0x52, KEY_KP0, SDL_SCANCODE_KP_0},                         // NUMPAD0
    {0x53, KEY_KPDOT, SDL_SCANCODE_KP_PERIOD},                  // DECIMAL
    {0x56, KEY_102ND, SDL_SCANCODE_NONUSBACKSLASH},             // OEM_102
    {0x57, KEY_F11, SDL_SCANCODE_F11},                          // F11
    {0x58, KEY_F12, SDL_SCANCODE_F12},                          // F12
    {0x64, KEY_F13, SDL_SCANCODE_F13},                          // F13
    {0x65, KEY_F14, SDL_SCANCODE_F14},                          // F14
    {0x66, KEY_F15, SDL_SCANCODE_F15},                          // F15
    {0x70, KEY_KATAKANAHIRAGANA, SDL_SCANCODE_INTERNATIONAL2},  // KANA
    {0x73, KEY_RO, SDL_SCANCODE_INTERNATIONAL1},                // ABNT_C1
    {0x79, KEY_HENKAN, SDL_SCANCODE_INTERNATIONAL4},            // CONVERT
    {0x7B, KEY_MUHENKAN, SDL_SCANCODE_INTERNATIONAL5},          // NOCONVERT
    {0x7D, KEY_YEN, SDL_SCANCODE_INTERNATIONAL3},               // YEN
    {0x7E, KEY_KPCOMMA, SDL_SCANCODE_KP_COMMA},                 // ABNT_C2
    {0x8D, KEY_KPEQUAL, SDL_SCANCODE_KP_EQUALS},                // NUMPADEQUALS
    {0x90, KEY_PREVIOUSSONG, SDL_SCANCODE_AUDIOPREV},           // PREVTRACK
    {0x91, 0, 0},                                               // AT
    {0x92, 0, 0},                                               // COLON
    {0x93, 0, 0},                                               // UNDERLINE
    {0x94, 0, 0},                                               // KANJI
    {0x95, KEY_STOP, SDL_SCANCODE_STOP},                        // STOP
    {0x96, 0, 0},                                               // AX
    {0x97, 0, 0},                                               // UNLABELED
    {0x99, KEY_NEXTSONG, SDL_SCANCODE_AUDIONEXT},               // NEXTTRACK
    {0x9C, KEY_KPENTER, SDL_SCANCODE_KP_ENTER},                 // NUMPADENTER
    {0x9D, KEY_RIGHTCTRL, SDL_SCANCODE_RCTRL},                  // RCONTROL
    {0xA0, KEY_MUTE, SDL_SCANCODE_MUTE},                        // MUTE
    {0xA1, KEY_CALC, SDL_SCANCODE_CALCULATOR},                  // CALCULATOR
    {0xA2, KEY_PLAYPAUSE, SDL_SCANCODE_AUDIOPLAY},              // PLAYPAUSE
    {0xA4, KEY_STOPCD, SDL_SCANCODE_AUDIOSTOP},                 // MEDIASTOP
    {0xAE, KEY_VOLUMEDOWN, SDL_SCANCODE_VOLUMEDOWN},            // VOLUMEDOWN
    {0xB0, KEY_VOLUMEUP, SDL_SCANCODE_VOLUMEUP},                // VOLUMEUP
    {0xB2, KEY_HOMEPAGE, SDL_SCANCODE_AC_HOME},                 // WEBHOME
    {0xB3, 0, 0},                                               // NUMPADCOMMA
    {0xB5, KEY_KPSLASH, SDL_SCANCODE_KP_DIVIDE},                // DIVIDE
    {0xB7, KEY_SYSRQ, SDL_SCANCODE_PRINTSCREEN},                // SYSRQ
    {0xB8, KEY_RIGHTALT, SDL_SCANCODE_RALT},                    // RMENU
    {0xC5, KEY_PAUSE, SDL_SCANCODE_PAUSE},                      // PAUSE
    {0xC7, KEY_HOME, SDL_SCANCODE_HOME},                        // HOME
    {0xC8, KEY_UP, SDL_SCANCODE_UP},                            // UP
    {0xC9, KEY_PAGEUP, SDL_SCANCODE_PAGEUP},                    // PRIOR
    {0xCB, KEY_LEFT, SDL_SCANCODE_LEFT},                        // LEFT
    {0xCD, KEY_RIGHT, SDL_SCANCODE_RIGHT},                      // RIGHT
    {0xCF, KEY_END, SDL_SCANCODE_END},                          // END
    {0xD0, KEY_DOWN, SDL_SCANCODE_DOWN},                        // DOWN
    {0xD1, KEY_PAGEDOWN, SDL_SCANCODE_PAGEDOWN},                // NEXT
    {0xD2, KEY_INSERT, SDL_SCANCODE_INSERT},                    // INSERT
    {0xD3, KEY_DELETE, SDL_SCANCODE_DELETE},                    // DELETE
    {0xDB, KEY_LEFTMETA, SDL_SCANCODE_LGUI},                    // LWIN
    {0xDC, KEY_RIGHTMETA, SDL_SCANCODE_RGUI},                   // RWIN
    {0xDD, KEY_COMPOSE, SDL_SCANCODE_APPLICATION},              // APPS
    {0xDE, KEY_POWER, SDL_SCANCODE_POWER},                      // POWER
    {0xDF, KEY_SLEEP, SDL_SCANCODE_SLEEP},                      // SLEEP
    {0xE3, KEY_WAKEUP, 0},                                      // WAKE
    {0xE5, KEY_SEARCH, SDL_SCANCODE_AC_SEARCH},                 // WEBSEARCH
    {0xE6, KEY_BOOKMARKS, SDL_SCANCODE_AC_BOOKMARKS},           // WEBFAVORITES
    {0xE7, KEY_REFRESH, SDL_SCANCODE_AC_REFRESH},               // WEBREFRESH
    {0xE8, 0, SDL_SCANCODE_AC_STOP},                            // WEBSTOP
    {0xE9, KEY_FORWARD, SDL_SCANCODE_AC_FORWARD},               // WEBFORWARD
    {0xEA, KEY_BACK, SDL_SCANCODE_AC_BACK},                     // WEBBACK
    {0xEB, KEY_COMPUTER, SDL_SCANCODE_COMPUTER},                // MYCOMPUTER
    {0xEC, KEY_MAIL, SDL_SCANCODE_MAIL},                        // MAIL
    {0xED, KEY_MEDIA, SDL_SCANCODE_MEDIASELECT},                // MEDIASELECT
};

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
