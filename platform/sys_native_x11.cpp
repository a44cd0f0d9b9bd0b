// sys_native_x11.cpp -- the screen under X11: size, depth and reading the
// root window, and the keyboard focus, on a connection of our own to the
// server SDL runs on.
#include "platform/sys_native.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/sys_native_sdl.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// Our own connection to the X server SDL runs on; null where there is none.
Display* g_x11 = nullptr;
bool g_x11Tried = false;

Display* X11Display() {
    if (g_x11Tried) return g_x11;
    g_x11Tried = true;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") != 0) return nullptr;
    g_x11 = XOpenDisplay(nullptr);
    return g_x11;
}

int g_xError = 0;
int CatchXError(Display*, XErrorEvent* e) {
    g_xError = e->error_code;
    return 0;
}

// Number of the lowest set bit and the width of the run of set bits.
void MaskShift(unsigned long mask, int* shift, int* bits) {
    *shift = 0;
    *bits = 0;
    if (!mask) return;
    while (!(mask & 1)) {
        mask >>= 1;
        ++*shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++*bits;
    }
}

uint8_t Channel(unsigned long pixel, int shift, int bits) {
    if (bits == 0) return 0;
    const unsigned long v = (pixel >> shift) & ((1ul << bits) - 1);
    return bits >= 8 ? uint8_t(v >> (bits - 8)) : uint8_t(v * 255 / ((1ul << bits) - 1));
}

// Reads [x, x + w) x [y, y + h) of the X root window into B, G, R, 0.
bool CaptureX11(Display* dpy, int x, int y, int w, int h, uint8_t* bgrx) {
    const int screen = DefaultScreen(dpy);
    XSync(dpy, False);
    g_xError = 0;
    XErrorHandler old = XSetErrorHandler(CatchXError);
    XImage* image =
        XGetImage(dpy, RootWindow(dpy, screen), x, y, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    XSync(dpy, False);
    XSetErrorHandler(old);
    if (!image || g_xError) {
        if (image) XDestroyImage(image);
        return false;
    }
    Visual* visual = DefaultVisual(dpy, screen);
    int rs, rb, gs, gb, bs, bb;
    MaskShift(visual->red_mask, &rs, &rb);
    MaskShift(visual->green_mask, &gs, &gb);
    MaskShift(visual->blue_mask, &bs, &bb);
    for (int row = 0; row < h; ++row) {
        uint8_t* out = bgrx + size_t(row) * w * 4;
        for (int col = 0; col < w; ++col, out += 4) {
            const unsigned long p = XGetPixel(image, col, row);
            out[0] = Channel(p, bs, bb);
            out[1] = Channel(p, gs, gb);
            out[2] = Channel(p, rs, rb);
            out[3] = 0;
        }
    }
    XDestroyImage(image);
    return true;
}

}  // namespace

bool Sys_Native_ScreenSize(int* width, int* height, int* bits) {
    Display* dpy = X11Display();
    if (!dpy) return false;
    *width = DisplayWidth(dpy, DefaultScreen(dpy));
    *height = DisplayHeight(dpy, DefaultScreen(dpy));
    *bits = DefaultDepth(dpy, DefaultScreen(dpy));
    return true;
}

bool Sys_Native_CaptureScreen(int x, int y, int width, int height, uint8_t* bgrx) {
    Display* dpy = X11Display();
    return dpy && CaptureX11(dpy, x, y, width, height, bgrx);
}

uint64_t Sys_Native_FocusedWindow() {
    Display* dpy = X11Display();
    if (!dpy) return 0;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    return uint64_t(focus);  // PointerRoot (1) is given back as it is
}

void Sys_Native_GiveFocus(uint64_t window) {
    Display* dpy = X11Display();
    if (!dpy || window == None) return;
    // The window may have gone meanwhile: its BadWindow is no fault of ours.
    XSync(dpy, False);
    XErrorHandler old = XSetErrorHandler(CatchXError);
    XSetInputFocus(dpy, Window(window), RevertToPointerRoot, CurrentTime);
    XSync(dpy, False);
    XSetErrorHandler(old);
}

void Sys_Native_RefuseFocus(void* sdlWindow) {
    SDL_SysWMinfo info;
    if (!Sys_Native_WindowInfo(sdlWindow, SDL_SYSWM_X11, &info)) return;
    Display* dpy = info.info.x11.display;
    const Window w = info.info.x11.window;
    // No input hint and no WM_TAKE_FOCUS: the window manager never focuses
    // it (the "no input" model of the ICCCM).
    XWMHints* hints = XGetWMHints(dpy, w);
    if (!hints) hints = XAllocWMHints();
    if (!hints) return;
    hints->flags |= InputHint;
    hints->input = False;
    XSetWMHints(dpy, w, hints);
    XFree(hints);
    Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(dpy, w, &deleteWindow, 1);
    XFlush(dpy);
}

// --- the message box's focus -------------------------------------------------
//
// SDL shows a message box from a child process of its own and waits for it,
// and a window manager that prevents focus stealing does not focus a window
// the user did not ask for: the box would stand there without the keyboard.
// While SDL waits, a thread with a connection of its own watches for the
// box (a new top-level window with the box's title) and focuses it once it
// is on screen.

namespace {

struct BoxWatch {
    std::string caption;
    std::atomic<bool> stop{false};
    Display* dpy = nullptr;
    std::thread thread;
};
BoxWatch* g_boxWatch = nullptr;
XErrorHandler g_handlerBeforeWatch = nullptr;

// Windows that vanish while they are looked at are no fault; errors on other
// connections go where they went before.
int WatchErrors(Display* dpy, XErrorEvent* e) {
    if (g_boxWatch && dpy == g_boxWatch->dpy) return 0;
    return g_handlerBeforeWatch ? g_handlerBeforeWatch(dpy, e) : 0;
}

bool TitleIs(Display* dpy, Window w, const std::string& caption) {
    const Atom names[2] = {XInternAtom(dpy, "_NET_WM_NAME", False), XA_WM_NAME};
    for (Atom name : names) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, w, name, 0, 256, False, AnyPropertyType, &type, &format, &count, &after,
                               &data) == Success &&
            data) {
            const bool same = format == 8 && std::string(reinterpret_cast<char*>(data), count) == caption;
            XFree(data);
            if (same) return true;
        }
    }
    return false;
}

void WatchForBox(BoxWatch* watch) {
    Display* dpy = watch->dpy;
    std::vector<Window> created;  // top-level windows made since the watch began
    while (!watch->stop.load()) {
        while (XPending(dpy) > 0) {
            XEvent e;
            XNextEvent(dpy, &e);
            if (e.type == CreateNotify) created.push_back(e.xcreatewindow.window);
        }
        for (Window w : created) {
            XWindowAttributes a;
            if (!XGetWindowAttributes(dpy, w, &a) || a.map_state != IsViewable || !TitleIs(dpy, w, watch->caption))
                continue;
            XSetInputFocus(dpy, w, RevertToPointerRoot, CurrentTime);
            XSync(dpy, False);
            return;  // once: from here on the focus is the user's
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

void Sys_Native_BeginBoxFocus(const char* caption) {
    Sys_Native_EndBoxFocus();
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return;
    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    XSync(dpy, False);  // windows made from here on are seen
    g_boxWatch = new BoxWatch;
    g_boxWatch->caption = caption ? caption : "";
    g_boxWatch->dpy = dpy;
    g_handlerBeforeWatch = XSetErrorHandler(WatchErrors);
    g_boxWatch->thread = std::thread(WatchForBox, g_boxWatch);
}

void Sys_Native_EndBoxFocus() {
    if (!g_boxWatch) return;
    g_boxWatch->stop.store(true);
    g_boxWatch->thread.join();
    XSetErrorHandler(g_handlerBeforeWatch);
    XCloseDisplay(g_boxWatch->dpy);
    delete g_boxWatch;
    g_boxWatch = nullptr;
}
