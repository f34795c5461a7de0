// SPDX-License-Identifier: GPL-3.0-or-later
// Asks a window to close the way a window manager's close button does (WM_DELETE_WINDOW),
// for a display that has no window manager.
#include <X11/Xlib.h>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: wmclose WINDOW_ID\n");
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = std::strtoul(argv[1], nullptr, 0);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XCloseDisplay(display);
    return 0;
}
