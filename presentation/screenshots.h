// F12's pictures: the folder they go to where the desktop follows the XDG
// user directories, and a time-stamped name in it that no other picture has.
#pragma once

#include <ctime>
#include <string>

// $XDG_PICTURES_DIR/quillon, XDG_PICTURES_DIR taken from the environment or
// the user's user-dirs.dirs (in XDG_CONFIG_HOME, else `home`/.config), by
// default `home`/Pictures/quillon. `home` is the user's home as the host
// knows it; with none (empty) only an absolute XDG_PICTURES_DIR gives a
// folder, else the result is empty.
std::string XdgScreenshotFolder(const std::string& home);

// A name in `folder` for a picture taken at `now`, by the local time
// ("quillon-2024-05-01_12-00-00.png", after the system's separator); a
// second picture within the same second gets a number ("...-2.png"). The
// names are UTF-8. The file is created empty, so that no other program takes
// the name before the picture is written over it; the caller removes it if
// the picture cannot be written. Empty, with the reason, when the folder
// cannot be written in.
std::string ClaimScreenshotPath(const std::string& folder, std::time_t now, std::string& reason);
