#include "sdlhost/sdl_config.h"

HostSettingList SdlSettings() { return ShellSettings(); }

HostUsage SdlUsage() {
  HostUsage usage;
  usage.keys =
      "  F12           save the picture on screen as PNG in\n"
      "                $XDG_PICTURES_DIR/quillon (~/Pictures/quillon)\n"
      "  Alt+Enter     show the picture in a window, and full screen again\n";
  usage.notes =
      "Without a display it runs invisibly on SDL's offscreen driver and its keys\n"
      "come from a key script (--keys, QUILLON_KEYS) only: without one it says\n"
      "that there is no keyboard and ends.\n";
  return usage;
}
