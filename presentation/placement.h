// Where a frame goes on a screen or window of another size, and which of a
// display's modes a full-screen device asked for: the same on every host and
// on every device that shows its frames itself.
#pragma once

#include "platform/d3d8types.h"

struct Placement {
  int x = 0, y = 0, width = 0, height = 0;
};

// The largest rectangle of the frame's aspect that fits the screen, centred;
// the rest of the screen is bars.
Placement FitWithAspect(int frameWidth, int frameHeight, int screenWidth, int screenHeight);

// A full-screen device's parameters ask for `mode`: its size and format, and
// its refresh rate unless they leave that to the display (0).
bool ModeMatches(const D3DDISPLAYMODE& mode, const D3DPRESENT_PARAMETERS& params);
