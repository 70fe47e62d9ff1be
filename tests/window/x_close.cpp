// Asks a window to close, as a window manager's close button does: a WM_DELETE_WINDOW
// message. Apart from the tests, whose names Xlib's macros would clash with.
#include <X11/Xlib.h>

bool askWindowToClose(unsigned long window) {
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) return false;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  const bool sent = XSendEvent(d, window, False, NoEventMask, &e) != 0;
  XFlush(d);
  XCloseDisplay(d);
  return sent;
}
