// sys_window.cpp -- windows, the message queue, message boxes and the
// emulated display-mode change, on SDL2.
#include "platform/platform.h"
#include "platform/sys_internal.h"
#include "platform/sys_native.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace {

struct WindowRecord {
    std::string className;
    WindowProc proc = nullptr;
    WindowStyle style = WindowStyle::Overlapped;
    SDL_Window* sdl = nullptr;
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
bool g_videoUp = false;

WindowRecord* Find(HWND window) {
    if (window == 0 || window > g_windows.size()) return nullptr;
    WindowRecord* w = &g_windows[window - 1];
    return w->destroyed ? nullptr : w;
}

HWND FromSdl(uint32_t sdlWindowId) {
    for (size_t i = 0; i < g_windows.size(); ++i) {
        const WindowRecord& w = g_windows[i];
        if (!w.destroyed && w.sdl && SDL_GetWindowID(w.sdl) == sdlWindowId) return HWND(i + 1);
    }
    return 0;
}

// Starts SDL's video subsystem once. SDL falls back to its offscreen driver
// when no display server answers; the demo must not then run invisibly, so
// that driver is accepted only when it was asked for by name.
bool VideoUp() {
    if (g_videoUp) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL video: %s\n", SDL_GetError());
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (driver && std::strcmp(driver, "offscreen") == 0 &&
        !(asked && std::strcmp(asked, "offscreen") == 0)) {
        std::fprintf(stderr, "SDL video: no display server (only the offscreen driver answered)\n");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    g_videoUp = true;
    return true;
}

uint32_t VirtualKey(SDL_Keycode key) {
    switch (key) {
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_UP: return VK_UP;
        case SDLK_DOWN: return VK_DOWN;
        case SDLK_RETURN: return VK_RETURN;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_TAB: return VK_TAB;
        case SDLK_BACKSPACE: return VK_BACK;
        default: break;
    }
    if (key >= SDLK_a && key <= SDLK_z) return uint32_t('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return uint32_t('0' + (key - SDLK_0));
    return VK_OTHER;
}

LPARAM SizeParam(int w, int h) {
    return LPARAM((uint32_t(w) & 0xFFFF) | ((uint32_t(h) & 0xFFFF) << 16));
}

// The client size a window procedure sees: the size the window was made
// with, which for the main window is its drawing surface's. Whatever the
// window's real size (full screen, or resized by someone), the whole
// surface is shown in it, scaled with aspect kept (Sys_SwapBuffers), so the
// procedure's viewport must keep covering the surface.
void ClientSize(const WindowRecord& w, int* width, int* height) {
    *width = w.width;
    *height = w.height;
}

// Moves SDL's waiting events into the message queue.
void PumpEvents() {
    if (!g_videoUp) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
            case SDL_KEYDOWN: {
                HWND h = FromSdl(e.key.windowID);
                if (!h) break;
                LPARAM lp = LPARAM(1 | (uint32_t(e.key.keysym.scancode & 0xFF) << 16) |
                                   (e.key.repeat ? (1u << 30) : 0u));
                g_queue.push_back(MSG{h, WM_KEYDOWN, VirtualKey(e.key.keysym.sym), lp});
                break;
            }
            case SDL_WINDOWEVENT: {
                HWND h = FromSdl(e.window.windowID);
                if (!h) break;
                if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                    g_queue.push_back(MSG{h, WM_CLOSE, 0, 0});
                } else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    int w = 0, hgt = 0;
                    ClientSize(g_windows[h - 1], &w, &hgt);
                    g_queue.push_back(MSG{h, WM_SIZE, 0, SizeParam(w, hgt)});
                } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
                    g_queue.push_back(MSG{h, WM_PAINT, 0, 0});
                }
                break;
            }
            case SDL_QUIT:
                // Closing the last window also brings SDL_QUIT; the window's
                // own close event has already been queued then. A quit from
                // elsewhere (a signal) closes every shown window.
                for (size_t i = 0; i < g_windows.size(); ++i) {
                    const WindowRecord& w = g_windows[i];
                    if (w.destroyed || !w.everShown || w.style == WindowStyle::Splash) continue;
                    bool queued = false;
                    for (const MSG& m : g_queue)
                        if (m.window == HWND(i + 1) && m.message == WM_CLOSE) queued = true;
                    if (!queued) g_queue.push_back(MSG{HWND(i + 1), WM_CLOSE, 0, 0});
                }
                break;
            default:
                break;
        }
    }
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
        if (!VideoUp()) return 0;
        uint32_t flags = SDL_WINDOW_HIDDEN;
        if (style != WindowStyle::Overlapped) flags |= SDL_WINDOW_BORDERLESS;
        // The splash is not kept on top: a message box shown during start-up
        // must come above it.
        if (style == WindowStyle::Splash) flags |= SDL_WINDOW_SKIP_TASKBAR;
        else flags |= SDL_WINDOW_OPENGL;
        rec.sdl = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
        if (!rec.sdl) {
            std::fprintf(stderr, "SDL window: %s\n", SDL_GetError());
            return 0;
        }
        if (style == WindowStyle::Splash) Sys_Native_RefuseFocus(rec.sdl);
    }
    g_windows.push_back(rec);
    return HWND(g_windows.size());
}

void* Sys_NativeWindow(HWND window) {
    WindowRecord* w = Find(window);
    return w ? w->sdl : nullptr;
}

void Sys_ShowWindow(HWND window, bool show) {
    WindowRecord* w = Find(window);
    if (!w) return;
    if (w->sdl) {
        if (show && w->style == WindowStyle::Splash) {
            // The splash takes no input: whoever had the keyboard focus
            // keeps it (without a window manager SDL focuses what it shows).
            const uint64_t focused = Sys_Native_FocusedWindow();
            SDL_ShowWindow(w->sdl);
            Sys_Native_GiveFocus(focused);
        } else if (show) {
            SDL_ShowWindow(w->sdl);
#ifdef _WIN32
            Sys_Native_TakeForeground(w->sdl);
#endif
        } else {
            SDL_HideWindow(w->sdl);
        }
    }
    if (show && !w->everShown) {
        w->everShown = true;
        int cw = 0, ch = 0;
        ClientSize(*w, &cw, &ch);
        w->proc(window, WM_SIZE, 0, SizeParam(cw, ch));
    }
}

void Sys_UpdateWindow(HWND window) {
    if (Find(window)) Sys_SendMessage(window, WM_PAINT, 0, 0);
}

void Sys_DestroyWindow(HWND window) {
    WindowRecord* w = Find(window);
    if (!w) return;
    WindowProc proc = w->proc;
    // The procedure may end the process here (the demo's does).
    proc(window, WM_DESTROY, 0, 0);
    w = Find(window);
    if (!w) return;
    if (w->sdl) SDL_DestroyWindow(w->sdl);
    w->sdl = nullptr;
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
        if (w.sdl) SDL_DestroyWindow(w.sdl);
    g_windows.clear();
    g_classes.clear();
    g_queue.clear();
}

// ---------------------------------------------------------------------------

void Sys_SetMessageBoxHook(MessageBoxHook hook) { g_boxHook = hook; }

int Sys_MessageBox(HWND owner, const char* text, const char* caption, uint32_t type) {
    if (g_boxHook) return g_boxHook(owner, text, caption, type);
    const bool yesNo = (type & 0xF) == MB_YESNO;
    if (!g_headless) {
        SDL_MessageBoxButtonData buttons[2];
        int count = 0;
        if (yesNo) {
            buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"};
            buttons[1] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"};
            count = 2;
        } else {
            buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                          IDOK, "OK"};
            count = 1;
        }
        SDL_MessageBoxData data{};
        data.flags = yesNo ? SDL_MESSAGEBOX_INFORMATION : SDL_MESSAGEBOX_WARNING;
        data.window = nullptr;
        data.title = caption ? caption : "";
        data.message = text ? text : "";
        data.numbuttons = count;
        data.buttons = buttons;
        int pressed = -1;
        // The box takes the keyboard focus, whoever has it (the splash keeps
        // none), so Return and Escape answer it.
        Sys_Native_BeginBoxFocus(data.title);
        const int shown = SDL_ShowMessageBox(&data, &pressed);
        Sys_Native_EndBoxFocus();
        if (shown == 0) {
            if (pressed == IDYES || pressed == IDNO || pressed == IDOK) return pressed;
            return yesNo ? IDNO : IDOK;  // closed without a button
        }
    }
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    return 0;
}

// ---------------------------------------------------------------------------

void Sys_ShowText(const char* caption, const char* text, bool error) {
#ifdef _WIN32
    if (!Sys_Native_AttachConsole(error)) {
        SDL_ShowSimpleMessageBox(error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION, caption, text, nullptr);
        return;
    }
#else
    (void)caption;
#endif
    std::FILE* out = error ? stderr : stdout;
    std::fputs(text, out);
    std::fflush(out);
}

// ---------------------------------------------------------------------------

void Sys_ChangeDisplayMode(HWND window, bool fullscreen640x480) {
    WindowRecord* w = Find(window);
    if (!w) return;
    w->fullscreen = fullscreen640x480;
    if (!w->sdl) return;
    SDL_SetWindowFullscreen(w->sdl, fullscreen640x480 ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    // Full screen shows the picture only: no arrow on it.
    if (fullscreen640x480) SDL_ShowCursor(SDL_DISABLE);
    else SDL_ShowCursor(SDL_ENABLE);
    SDL_DisplayMode desktop;
    if (fullscreen640x480 && SDL_GetDesktopDisplayMode(SDL_GetWindowDisplayIndex(w->sdl), &desktop) == 0)
        Sys_Internal_FitSurfaceToScreen(desktop.w, desktop.h);
}

bool Sys_Internal_VideoUp() { return VideoUp(); }

bool Sys_Internal_WindowIsFullscreen(HWND window) {
    WindowRecord* w = Find(window);
    return w && w->fullscreen;
}
