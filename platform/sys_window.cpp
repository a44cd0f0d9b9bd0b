// sys_window.cpp -- window records, the message queue and dispatch, message
// boxes and the emulated display-mode change, the same in every build. How
// a window is made and shown, how input arrives and how a box is put on
// screen are the device's (sys_device.h).
#include "platform/platform.h"
#include "platform/sys_device.h"
#include "platform/sys_internal.h"

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
    DeviceWindow device = nullptr;  // none when headless
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

WindowRecord* Find(HWND window) {
    if (window == 0 || window > g_windows.size()) return nullptr;
    WindowRecord* w = &g_windows[window - 1];
    return w->destroyed ? nullptr : w;
}

// The newest window the device's window belongs to; 0 when none.
HWND FromDevice(DeviceWindow device) {
    if (!device) return 0;
    for (size_t i = g_windows.size(); i-- > 0;)
        if (!g_windows[i].destroyed && g_windows[i].device == device) return HWND(i + 1);
    return 0;
}

LPARAM SizeParam(int w, int h) {
    return LPARAM((uint32_t(w) & 0xFFFF) | ((uint32_t(h) & 0xFFFF) << 16));
}

// The client size a window procedure sees: the size the window was made
// with, which for the main window is its drawing surface's. Whatever the
// window's real size (full screen, or resized by someone), the whole
// surface is shown in it (Sys_SwapBuffers), so the procedure's viewport
// must keep covering the surface.
LPARAM ClientSizeParam(const WindowRecord& w) { return SizeParam(w.width, w.height); }

void PumpEvents() {
    if (!g_headless) Sys_Device_PumpEvents();
}

}  // namespace

// ---------------------------------------------------------------------------

void Sys_Internal_QueueKey(DeviceWindow window, uint32_t virtualKey, LPARAM lParam) {
    if (const HWND h = FromDevice(window)) g_queue.push_back(MSG{h, WM_KEYDOWN, virtualKey, lParam});
}

void Sys_Internal_QueueWindowMessage(DeviceWindow window, uint32_t message) {
    const HWND h = FromDevice(window);
    if (!h) return;
    const LPARAM lParam = message == WM_SIZE ? ClientSizeParam(g_windows[h - 1]) : 0;
    g_queue.push_back(MSG{h, message, 0, lParam});
}

void Sys_Internal_QueueCloseAll() {
    for (size_t i = 0; i < g_windows.size(); ++i) {
        const WindowRecord& w = g_windows[i];
        if (w.destroyed || !w.everShown || w.style == WindowStyle::Splash) continue;
        bool queued = false;
        for (const MSG& m : g_queue)
            if (m.window == HWND(i + 1) && m.message == WM_CLOSE) queued = true;
        if (!queued) g_queue.push_back(MSG{HWND(i + 1), WM_CLOSE, 0, 0});
    }
}

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

HWND Sys_CreateWindow(const char* className, const char* title, WindowStyle style,
                      int x, int y, int width, int height) {
    auto cls = g_classes.find(className ? className : "");
    if (cls == g_classes.end()) return 0;
    WindowRecord rec;
    rec.className = cls->first;
    rec.proc = cls->second;
    rec.style = style;
    rec.width = width;
    rec.height = height;
    if (!g_headless) {
        if (!Sys_Device_VideoUp()) return 0;
        rec.device = Sys_Device_CreateWindow(title ? title : "", style, x, y, width, height);
        if (!rec.device) return 0;
    }
    g_windows.push_back(rec);
    return HWND(g_windows.size());
}

void* Sys_NativeWindow(HWND window) {
    WindowRecord* w = Find(window);
    return w ? w->device : nullptr;
}

void Sys_ShowWindow(HWND window, bool show) {
    WindowRecord* w = Find(window);
    if (!w) return;
    if (w->device) Sys_Device_ShowWindow(w->device, w->style, show);
    if (show && !w->everShown) {
        w->everShown = true;
        w->proc(window, WM_SIZE, 0, ClientSizeParam(*w));
    }
}

void Sys_UpdateWindow(HWND window) {
    if (!Find(window)) return;
    Sys_SendMessage(window, WM_PAINT, 0, 0);
    // (The procedure may have destroyed it.)
    if (WindowRecord* w = Find(window))
        if (w->device) Sys_Device_WindowPainted(w->device);
}

void Sys_DestroyWindow(HWND window) {
    WindowRecord* w = Find(window);
    if (!w) return;
    WindowProc proc = w->proc;
    // The procedure may end the process here (the demo's does).
    proc(window, WM_DESTROY, 0, 0);
    w = Find(window);
    if (!w) return;
    if (w->device) Sys_Device_DestroyWindow(w->device);
    w->device = nullptr;
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

void Sys_PostQuitMessage(int exitCode) {
    g_queue.push_back(MSG{0, WM_QUIT, WPARAM(exitCode), 0});
}

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
    for (WindowRecord& w : g_windows)
        if (w.device) Sys_Device_DestroyWindow(w.device);
    g_windows.clear();
    g_classes.clear();
    g_queue.clear();
}

// ---------------------------------------------------------------------------

void Sys_SetMessageBoxHook(MessageBoxHook hook) { g_boxHook = hook; }

int Sys_MessageBox(HWND owner, const char* text, const char* caption, uint32_t type) {
    if (g_boxHook) return g_boxHook(owner, text, caption, type);
    text = text ? text : "";
    caption = caption ? caption : "";
    if (!g_headless) {
        const int answer = Sys_Device_MessageBox(text, caption, (type & 0xF) == MB_YESNO);
        if (answer) return answer;
    }
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return 0;
}

// ---------------------------------------------------------------------------

void Sys_ChangeDisplayMode(HWND window, bool fullscreen640x480) {
    WindowRecord* w = Find(window);
    if (!w) return;
    w->fullscreen = fullscreen640x480;
    if (!w->device) return;
    int screenWidth = 0, screenHeight = 0;
    Sys_Device_SetFullScreen(w->device, fullscreen640x480, &screenWidth, &screenHeight);
    if (fullscreen640x480 && screenWidth > 0 && screenHeight > 0)
        Sys_Internal_FitSurfaceToScreen(screenWidth, screenHeight);
}

bool Sys_Internal_WindowIsFullscreen(HWND window) {
    WindowRecord* w = Find(window);
    return w && w->fullscreen;
}
