// Hiding and showing the cursor by driving the display counter across zero,
// whatever other code did to it before.
#include "timing/cursor.h"

#include "graphics/platform_access.h"

namespace moduleDX8 {

void ShowMouse(const std::int16_t& bShow) {
  WindowSystem& windows = WindowsOrRaise();
  if (bShow != 0) {
    while (windows.ShowCursor(1) < 0) {
    }
  } else {
    while (windows.ShowCursor(0) >= 0) {
    }
  }
}

}  // namespace moduleDX8
