// What the end-to-end tests ask of their private X server that xdotool cannot:
//
//   x_tool cursor             how many pixels of the current cursor are
//                             visible (0 when the cursor is hidden)
//   x_tool close WINDOW-ID    asks the window to close as a window manager
//                             does for its close button or Alt+F4: a
//                             WM_DELETE_WINDOW client message (the window is
//                             not destroyed)
// Exit status 2 on a usage error or when it cannot tell.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int CursorPixels(Display* display) {
  int event = 0, error = 0;
  XFixesCursorImage* image =
      XFixesQueryExtension(display, &event, &error) ? XFixesGetCursorImage(display) : nullptr;
  if (!image) return 2;
  long visible = 0;
  for (int i = 0; i < image->width * image->height; ++i)
    visible += ((image->pixels[i] >> 24) & 0xFF) != 0;
  std::printf("%ld\n", visible);
  XFree(image);
  return 0;
}

int RequestClose(Display* display, Window window) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, window, False, NoEventMask, &e);
  XSync(display, False);
  return sent ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  const bool cursor = argc == 2 && std::strcmp(argv[1], "cursor") == 0;
  if (!cursor && !(argc == 3 && std::strcmp(argv[1], "close") == 0)) {
    std::fprintf(stderr, "usage: x_tool cursor | x_tool close WINDOW-ID\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "x_tool: no display\n");
    return 2;
  }
  const int status =
      cursor ? CursorPixels(display) : RequestClose(display, std::strtoul(argv[2], nullptr, 0));
  XCloseDisplay(display);
  return status;
}
