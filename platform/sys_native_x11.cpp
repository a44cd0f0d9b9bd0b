// sys_native_x11.cpp -- the screen under X11: size, depth and reading the
// root window, on a connection of our own to the server SDL runs on.
#include "platform/sys_native.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

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
