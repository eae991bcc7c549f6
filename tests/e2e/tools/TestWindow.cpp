// A plain X window for the end-to-end tests, standing in for the window that
// xscreensaver makes: black, WIDTHxHEIGHT (default 320x240), mapped at once.
// Prints its id in decimal on standard output, then keeps the window alive
// until it is killed.
#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t stop = 0;
void OnSignal(int) { stop = 1; }
}  // namespace

int main(int argc, char** argv) {
    unsigned width = 320;
    unsigned height = 240;
    if (argc > 2) {
        width = static_cast<unsigned>(std::atoi(argv[1]));
        height = static_cast<unsigned>(std::atoi(argv[2]));
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "test window: no display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 10, 10, width, height,
                                        0, BlackPixel(display, screen), BlackPixel(display, screen));
    XStoreName(display, window, "marrowick test window");
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    for (;;) {  // until it is on screen
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify) break;
    }
    std::printf("%lu\n", static_cast<unsigned long>(window));
    std::fflush(stdout);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    while (stop == 0) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
        }
        usleep(20000);
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return 0;
}
