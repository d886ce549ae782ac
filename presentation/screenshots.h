// F12's pictures: the folder they go to where the desktop follows the XDG
// user directories, and a free time-stamped name in it.
#pragma once

#include <ctime>
#include <string>

// $XDG_PICTURES_DIR/quillon, XDG_PICTURES_DIR taken from the environment or
// the user's user-dirs.dirs (in XDG_CONFIG_HOME, else `home`/.config), by
// default `home`/Pictures/quillon. `home` is the user's home as the host
// knows it; with none (empty) only an absolute XDG_PICTURES_DIR gives a
// folder, else the result is empty.
std::string XdgScreenshotFolder(const std::string& home);

// A free name in `folder` for a picture taken at `now`, by the local time
// ("quillon-2024-05-01_12-00-00.png"); a second picture within the same
// second gets a number ("...-2.png"). Empty, with the reason, when the folder
// cannot be looked into.
std::string FreeScreenshotPath(const std::string& folder, std::time_t now, std::string& reason);
