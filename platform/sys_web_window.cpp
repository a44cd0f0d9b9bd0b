// sys_web_window.cpp -- the browser's windows, input, message boxes, full
// screen and screen, and the end of the program: the page (web/demo-page.js,
// its DemoPage object) is the desktop.
//
// The main window is the page's canvas, the splash window the page's splash
// canvas. Keys, taps and the browser leaving full screen are queued by the
// page and read at each peek. A Yes/No box is the page's question dialog and
// waits for its answer (Asyncify); an OK box is a notice on the page that
// does not wait, since nothing on a page can be "modal" over a program that
// is still loading. The page cannot be read back: a capture of the screen
// reads as the page's own background colour, so the splash shows with its
// soft edge over the page.
#include "platform/platform.h"
#include "platform/sys_device.h"
#include "platform/sys_internal.h"

#include <emscripten.h>

#include <cstring>
#include <vector>

namespace {

// A canvas of the page standing for a window.
struct PageWindow {
    bool splash;
    int width = 0;
    int height = 0;
    bool painted = false;  // painted since the page last drew it
};

PageWindow g_canvas{false};
PageWindow g_splash{true};

PageWindow* Page(DeviceWindow window) { return static_cast<PageWindow*>(window); }

}  // namespace

// The page's next event: a virtual-key code for a key press or tap, -1 when
// none waits.
EM_JS(int, web_next_key, (), { return DemoPage.nextKey(); });

EM_JS(void, web_place_window, (int splash, int x, int y, int width, int height), {
    DemoPage.placeWindow(!!splash, x, y, width, height);
});

EM_JS(void, web_show_window, (int splash, int show), { DemoPage.showWindow(!!splash, !!show); });

EM_ASYNC_JS(int, web_question, (const char* text, const char* caption), {
    return await DemoPage.question(UTF8ToString(text), UTF8ToString(caption));
});

EM_JS(void, web_notice, (const char* text, const char* caption), {
    DemoPage.notice(UTF8ToString(text), UTF8ToString(caption));
});

EM_JS(void, web_full_screen, (int on, int* screen), {
    DemoPage.fullScreen(!!on);
    const s = DemoPage.screenPixels();
    HEAP32[screen >> 2] = s[0];
    HEAP32[(screen >> 2) + 1] = s[1];
});

EM_JS(void, web_screen_size, (int* size), {
    const s = DemoPage.screenSize();
    HEAP32[size >> 2] = s[0];
    HEAP32[(size >> 2) + 1] = s[1];
});

EM_JS(int, web_background, (), { return DemoPage.backgroundRgb(); });

EM_JS(void, web_paint_splash, (const uint8_t* rgba, int width, int height), {
    DemoPage.paintSplash(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height);
});

// Waits until the page has drawn what was painted.
EM_ASYNC_JS(void, web_show_painted, (), { await DemoPage.showPainted(); });

EM_ASYNC_JS(void, web_end_page, (int status), {
    DemoPage.ended(status);
    // Never resumes: the program has ended.
    await new Promise(() => {});
});

bool Sys_Device_VideoUp() { return true; }

DeviceWindow Sys_Device_CreateWindow(const char*, WindowStyle style, int x, int y, int width, int height) {
    PageWindow* w = style == WindowStyle::Splash ? &g_splash : &g_canvas;
    w->width = width;
    w->height = height;
    w->painted = false;
    web_place_window(w->splash, x, y, width, height);
    return w;
}

void Sys_Device_ShowWindow(DeviceWindow window, WindowStyle, bool show) { web_show_window(Page(window)->splash, show); }

void Sys_Device_DestroyWindow(DeviceWindow window) { web_show_window(Page(window)->splash, false); }

void Sys_Device_WindowPainted(DeviceWindow window) {
    PageWindow* w = Page(window);
    if (!w->painted) return;
    w->painted = false;
    web_show_painted();
}

void Sys_Device_PumpEvents() {
    for (int vk; (vk = web_next_key()) >= 0;) Sys_Internal_QueueKey(&g_canvas, uint32_t(vk), 1);
}

int Sys_Device_MessageBox(const char* text, const char* caption, bool yesNo) {
    if (yesNo) return web_question(text, caption) ? IDYES : IDNO;
    web_notice(text, caption);
    return IDOK;
}

// The page lays the canvas out for full screen and hides the cursor; the
// screen full screen covers, in device pixels, is known before the browser
// has entered it.
void Sys_Device_SetFullScreen(DeviceWindow, bool on, int* screenWidth, int* screenHeight) {
    int screen[2] = {0, 0};
    web_full_screen(on, screen);
    if (!on) return;
    *screenWidth = screen[0];
    *screenHeight = screen[1];
}

// ---------------------------------------------------------------------------
// The page as the screen: its size is the browser's viewport.

bool Sys_Device_ScreenSize(int* width, int* height, int* bits) {
    int size[2] = {0, 0};
    web_screen_size(size);
    *width = size[0];
    *height = size[1];
    *bits = 24;
    return *width > 0 && *height > 0;
}

bool Sys_Device_CaptureScreen(int, int, int width, int height, uint8_t* bgrx) {
    const uint32_t rgb = uint32_t(web_background());
    const uint8_t pixel[4] = {uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), 0};
    for (size_t i = 0, n = size_t(width) * height; i < n; ++i) std::memcpy(bgrx + 4 * i, pixel, 4);
    return true;
}

bool Sys_Device_ClientSize(DeviceWindow window, int* width, int* height) {
    *width = Page(window)->width;
    *height = Page(window)->height;
    return true;
}

// Only the splash is painted: the canvas shows the drawing surface.
void Sys_Device_PresentClient(DeviceWindow window, const uint8_t* bgr, int width, int height) {
    PageWindow* w = Page(window);
    if (!w->splash) return;
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    for (size_t i = 0, n = size_t(width) * height; i < n; ++i) {
        rgba[4 * i] = bgr[3 * i + 2];
        rgba[4 * i + 1] = bgr[3 * i + 1];
        rgba[4 * i + 2] = bgr[3 * i];
        rgba[4 * i + 3] = 255;
    }
    web_paint_splash(rgba.data(), width, height);
    w->painted = true;
}

// A page cannot exit. The page stops the music, leaves full screen and puts
// its "ended" view in place of the canvas; then the program sleeps for good
// (its stack unwound by Asyncify), so nothing after the exit runs, as
// nothing after exit() would.
void Sys_Internal_EndProcess(int status) {
    web_end_page(status);
    __builtin_unreachable();
}
