// Prints how many pixels of the X server's current cursor are visible
// (0 when the cursor is hidden); exit status 2 when it cannot tell.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "cursor_probe: no display\n");
    return 2;
  }
  int event = 0, error = 0;
  if (!XFixesQueryExtension(display, &event, &error)) {
    std::fprintf(stderr, "cursor_probe: no XFIXES\n");
    return 2;
  }
  XFixesCursorImage* image = XFixesGetCursorImage(display);
  if (!image) return 2;
  long visible = 0;
  for (int i = 0; i < image->width * image->height; ++i)
    if ((image->pixels[i] >> 24) & 0xFF) ++visible;
  std::printf("%ld\n", visible);
  XFree(image);
  XCloseDisplay(display);
  return 0;
}
