// SPDX-License-Identifier: GPL-3.0-or-later
// Times a program's windows onto the screen, to the millisecond, from the moment it is started.
// Usage: xstart [--answer] FIRST_TITLE [SECOND_TITLE] -- PROGRAM [ARGS...]
// Prints "first_ms=... second_ms=... pid=..."; the program is left running.
// --answer presses Return once the first window is up (timing the second from that key).
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {
double now()
{
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string nameOf(Display *display, Window window)
{
    char *name = nullptr;
    std::string result;
    if (XFetchName(display, window, &name) && name)
        result = name;
    if (name)
        XFree(name);
    return result;
}

// Waits for a window with this exact title to be mapped; returns it, or 0 after 20 s.
Window waitForMap(Display *display, const std::string &title)
{
    const double deadline = now() + 20000;
    while (now() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && nameOf(display, event.xmap.window) == title)
                return event.xmap.window;
        }
        usleep(200);
    }
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    int i = 1;
    const bool answer = i < argc && std::strcmp(argv[i], "--answer") == 0;
    i += answer;
    std::string first, second;
    if (i < argc && std::strcmp(argv[i], "--") != 0)
        first = argv[i++];
    if (i < argc && std::strcmp(argv[i], "--") != 0)
        second = argv[i++];
    if (i >= argc || std::strcmp(argv[i], "--") != 0 || i + 1 >= argc || first.empty()) {
        std::fprintf(stderr,
                     "usage: xstart [--answer] FIRST_TITLE [SECOND_TITLE] -- PROGRAM [ARGS...]\n");
        return 2;
    }
    char **program = argv + i + 1;

    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        // The program must not hold our output open: callers wait for it to close.
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp(program[0], program);
        _exit(127);
    }
    const Window shown = waitForMap(display, first);
    const double firstMs = now() - start;
    if (!shown) {
        std::fprintf(stderr, "no window '%s'\n", first.c_str());
        return 1;
    }
    double secondMs = -1;
    if (!second.empty()) {
        double from = now();
        if (answer) {
            usleep(300000); // let the box settle, as a player would take longer still
            XSetInputFocus(display, shown, RevertToParent, CurrentTime);
            XSync(display, False);
            from = now();
            const KeyCode enter = XKeysymToKeycode(display, XK_Return);
            XTestFakeKeyEvent(display, enter, True, 0);
            XTestFakeKeyEvent(display, enter, False, 0);
            XFlush(display);
        }
        if (!waitForMap(display, second)) {
            std::fprintf(stderr, "no window '%s'\n", second.c_str());
            return 1;
        }
        secondMs = now() - from;
    }
    std::printf("first_ms=%.1f second_ms=%.1f pid=%d\n", firstMs, secondMs, pid);
    XCloseDisplay(display);
    return 0;
}
