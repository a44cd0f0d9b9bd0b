// sys_web_window.cpp -- windows, the message queue, message boxes and full
// screen, in the browser.
//
// The page is the desktop. The main window is the page's canvas, the splash
// window the page's splash canvas; both are laid out by the page. Keys,
// taps and the browser leaving full screen are queued by the page and read
// into the message queue at each peek. A Yes/No box is the page's question
// dialog and waits for its answer (Asyncify); an OK box is a notice on the
// page that does not wait, since nothing on a page can be "modal" over a
// program that is still loading.
#include "platform/platform.h"
#include "platform/sys_internal.h"
#include "platform/sys_web.h"

#include <emscripten.h>

#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace {

struct WindowRecord {
    std::string className;
    WindowProc proc = nullptr;
    WindowStyle style = WindowStyle::Overlapped;
    int width = 0;
    int height = 0;
    bool everShown = false;
    bool destroyed = false;
    bool fullscreen = false;
};

std::map<std::string, WindowProc> g_classes;
std::vector<WindowRecord> g_windows;  // handle h is g_windows[h - 1]
std::deque<MSG> g_queue;
MessageBoxHook g_boxHook = nullptr;
bool g_headless = false;
int g_headlessScale = 1;
HWND g_mainWindow = 0;  // the window the page's events go to

WindowRecord* Find(HWND window) {
    if (window == 0 || window > g_windows.size()) return nullptr;
    WindowRecord* w = &g_windows[window - 1];
    return w->destroyed ? nullptr : w;
}

LPARAM SizeParam(int w, int h) {
    return LPARAM((uint32_t(w) & 0xFFFF) | ((uint32_t(h) & 0xFFFF) << 16));
}

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

EM_JS(void, web_full_screen, (int on), { DemoPage.fullScreen(!!on); });

namespace {

// Moves the page's waiting events into the message queue.
void PumpEvents() {
    if (g_headless || !Find(g_mainWindow)) return;
    for (int vk; (vk = web_next_key()) >= 0;) g_queue.push_back(MSG{g_mainWindow, WM_KEYDOWN, WPARAM(vk), 1});
}

}  // namespace

// ---------------------------------------------------------------------------

void Sys_SetHeadless(int scale) {
    g_headless = true;
    g_headlessScale = scale < 1 ? 1 : (scale > 4 ? 4 : scale);
}

bool Sys_IsHeadless() { return g_headless; }

int Sys_Internal_HeadlessScale() { return g_headlessScale; }

bool Sys_RegisterClass(const char* className, WindowProc proc) {
    if (!className || !proc) return false;
    g_classes[className] = proc;
    return true;
}

HWND Sys_CreateWindow(const char* className, const char*, WindowStyle style, int x, int y, int width,
                      int height) {
    auto cls = g_classes.find(className ? className : "");
    if (cls == g_classes.end()) return 0;
    WindowRecord rec;
    rec.className = cls->first;
    rec.proc = cls->second;
    rec.style = style;
    rec.width = width;
    rec.height = height;
    g_windows.push_back(rec);
    const HWND handle = HWND(g_windows.size());
    if (style != WindowStyle::Splash) g_mainWindow = handle;
    if (!g_headless) web_place_window(style == WindowStyle::Splash, x, y, width, height);
    return handle;
}

void* Sys_NativeWindow(HWND) { return nullptr; }

void Sys_ShowWindow(HWND window, bool show) {
    WindowRecord* w = Find(window);
    if (!w) return;
    if (!g_headless) web_show_window(w->style == WindowStyle::Splash, show);
    if (show && !w->everShown) {
        w->everShown = true;
        w->proc(window, WM_SIZE, 0, SizeParam(w->width, w->height));
    }
}

void Sys_UpdateWindow(HWND window) {
    if (Find(window)) Sys_SendMessage(window, WM_PAINT, 0, 0);
}

void Sys_DestroyWindow(HWND window) {
    WindowRecord* w = Find(window);
    if (!w) return;
    WindowProc proc = w->proc;
    // The procedure may end the program here (the demo's does).
    proc(window, WM_DESTROY, 0, 0);
    w = Find(window);
    if (!w) return;
    if (!g_headless) web_show_window(w->style == WindowStyle::Splash, false);
    w->destroyed = true;
}

LRESULT Sys_SendMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* w = Find(window);
    if (!w) return 0;
    return w->proc(window, message, wParam, lParam);
}

void Sys_PostMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam) {
    g_queue.push_back(MSG{window, message, wParam, lParam});
}

void Sys_PostQuitMessage(int exitCode) { g_queue.push_back(MSG{0, WM_QUIT, WPARAM(exitCode), 0}); }

bool Sys_PeekMessage(MSG* msg) {
    PumpEvents();
    if (g_queue.empty()) return false;
    *msg = g_queue.front();
    g_queue.pop_front();
    return true;
}

LRESULT Sys_DispatchMessage(const MSG& msg) {
    return Sys_SendMessage(msg.window, msg.message, msg.wParam, msg.lParam);
}

LRESULT Sys_DefWindowProc(HWND window, uint32_t message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) Sys_DestroyWindow(window);
    return 0;
}

size_t Sys_PendingMessageCount() {
    PumpEvents();
    return g_queue.size();
}

void Sys_ResetWindowing() {
    g_windows.clear();
    g_classes.clear();
    g_queue.clear();
    g_mainWindow = 0;
}

// ---------------------------------------------------------------------------

void Sys_SetMessageBoxHook(MessageBoxHook hook) { g_boxHook = hook; }

int Sys_MessageBox(HWND owner, const char* text, const char* caption, uint32_t type) {
    if (g_boxHook) return g_boxHook(owner, text, caption, type);
    text = text ? text : "";
    caption = caption ? caption : "";
    if (g_headless) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return 0;
    }
    if ((type & 0xF) == MB_YESNO) return web_question(text, caption) ? IDYES : IDNO;
    web_notice(text, caption);
    return IDOK;
}

// ---------------------------------------------------------------------------

void Sys_ChangeDisplayMode(HWND window, bool fullscreen640x480) {
    WindowRecord* w = Find(window);
    if (!w) return;
    w->fullscreen = fullscreen640x480;
    if (g_headless) return;
    // The page lays the canvas out: full screen at the largest whole multiple
    // of 640 x 480 that fits, centred, no cursor; else 640 x 480 on the page.
    web_full_screen(fullscreen640x480);
    if (fullscreen640x480) {
        const int width = EM_ASM_INT({ return DemoPage.screenPixels()[0]; });
        const int height = EM_ASM_INT({ return DemoPage.screenPixels()[1]; });
        Sys_Internal_FitSurfaceToScreen(width, height);
    }
}

bool Sys_Internal_WindowIsFullscreen(HWND window) {
    WindowRecord* w = Find(window);
    return w && w->fullscreen;
}

bool Sys_Web_WindowSize(HWND window, int* width, int* height) {
    WindowRecord* w = Find(window);
    if (!w) return false;
    *width = w->width;
    *height = w->height;
    return true;
}
