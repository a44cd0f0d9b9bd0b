// sys_sdl_window.cpp -- the desktop's windows, input, message boxes, full
// screen and screen, on SDL2 (Linux, Windows), with sys_native_*.cpp for
// what SDL does not offer (reading the screen, the keyboard focus).
#include "platform/platform.h"
#include "platform/sys_device.h"
#include "platform/sys_internal.h"
#include "platform/sys_native.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

bool g_videoUp = false;

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

DeviceWindow FromId(uint32_t sdlWindowId) { return SDL_GetWindowFromID(sdlWindowId); }

// The screen as SDL's desktop mode tells it.
bool SdlDesktop(int* width, int* height, int* bits) {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
    *width = mode.w;
    *height = mode.h;
    *bits = int(SDL_BITSPERPIXEL(mode.format));
    return true;
}

#ifdef _WIN32
// Windows places a window by its frame: a program that makes its titled
// window at 0, 0 has the title bar at the top-left corner of the screen.
// SDL takes the position as the client area's, which puts the title bar
// above the screen's top edge, out of reach. The window is moved so that its
// frame starts x, y into the work area (the screen without the task bar).
void PlaceFrame(SDL_Window* window, int x, int y) {
    SDL_Rect area;
    int top = 0, left = 0;
    if (SDL_GetDisplayUsableBounds(std::max(SDL_GetWindowDisplayIndex(window), 0), &area) != 0 ||
        SDL_GetWindowBordersSize(window, &top, &left, nullptr, nullptr) != 0)
        return;
    SDL_SetWindowPosition(window, area.x + x + left, area.y + y + top);
}
#endif

}  // namespace

// Starts SDL's video subsystem once. SDL falls back to its offscreen driver
// when no display server answers; the demo must not then run invisibly, so
// that driver is accepted only when it was asked for by name.
bool Sys_Device_VideoUp() {
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

DeviceWindow Sys_Device_CreateWindow(const char* title, WindowStyle style, int x, int y, int width,
                                     int height) {
    uint32_t flags = SDL_WINDOW_HIDDEN;
    if (style != WindowStyle::Overlapped) flags |= SDL_WINDOW_BORDERLESS;
    // The splash is not kept on top: a message box shown during start-up
    // must come above it.
    if (style == WindowStyle::Splash) flags |= SDL_WINDOW_SKIP_TASKBAR;
    else flags |= SDL_WINDOW_OPENGL;
    SDL_Window* window = SDL_CreateWindow(title, x, y, width, height, flags);
    if (!window) {
        std::fprintf(stderr, "SDL window: %s\n", SDL_GetError());
        return nullptr;
    }
    if (style == WindowStyle::Splash) Sys_Native_RefuseFocus(window);
#ifdef _WIN32
    if (style == WindowStyle::Overlapped) PlaceFrame(window, x, y);
#endif
    return window;
}

void Sys_Device_ShowWindow(DeviceWindow window, WindowStyle style, bool show) {
    SDL_Window* sdl = static_cast<SDL_Window*>(window);
    if (!show) {
        SDL_HideWindow(sdl);
    } else if (style == WindowStyle::Splash) {
        // The splash takes no input: whoever had the keyboard focus keeps
        // it (without a window manager SDL focuses what it shows).
        const uint64_t focused = Sys_Native_FocusedWindow();
        SDL_ShowWindow(sdl);
        Sys_Native_GiveFocus(focused);
    } else {
        SDL_ShowWindow(sdl);
#ifdef _WIN32
        Sys_Native_TakeForeground(sdl);
#endif
    }
}

void Sys_Device_DestroyWindow(DeviceWindow window) { SDL_DestroyWindow(static_cast<SDL_Window*>(window)); }

// SDL_UpdateWindowSurface has put the painting on screen.
void Sys_Device_WindowPainted(DeviceWindow) {}

void Sys_Device_PumpEvents() {
    if (!g_videoUp) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
            case SDL_KEYDOWN: {
                const LPARAM lp = LPARAM(1 | (uint32_t(e.key.keysym.scancode & 0xFF) << 16) |
                                         (e.key.repeat ? (1u << 30) : 0u));
                Sys_Internal_QueueKey(FromId(e.key.windowID), VirtualKey(e.key.keysym.sym), lp);
                break;
            }
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_CLOSE)
                    Sys_Internal_QueueWindowMessage(FromId(e.window.windowID), WM_CLOSE);
                else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                    Sys_Internal_QueueWindowMessage(FromId(e.window.windowID), WM_SIZE);
                else if (e.window.event == SDL_WINDOWEVENT_EXPOSED)
                    Sys_Internal_QueueWindowMessage(FromId(e.window.windowID), WM_PAINT);
                break;
            case SDL_QUIT:
                // Closing the last window also brings SDL_QUIT; the window's
                // own close event has already been queued then. A quit from
                // elsewhere (a signal) closes every shown window.
                Sys_Internal_QueueCloseAll();
                break;
            default:
                break;
        }
    }
}

int Sys_Device_MessageBox(const char* text, const char* caption, bool yesNo) {
    SDL_MessageBoxButtonData buttons[2];
    int count = 0;
    if (yesNo) {
        buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"};
        buttons[1] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"};
        count = 2;
    } else {
        buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK,
                      "OK"};
        count = 1;
    }
    SDL_MessageBoxData data{};
    data.flags = yesNo ? SDL_MESSAGEBOX_INFORMATION : SDL_MESSAGEBOX_WARNING;
    data.window = nullptr;
    data.title = caption;
    data.message = text;
    data.numbuttons = count;
    data.buttons = buttons;
    int pressed = -1;
    // The box takes the keyboard focus, whoever has it (the splash keeps
    // none), so Return and Escape answer it.
    Sys_Native_BeginBoxFocus(caption);
    const int shown = SDL_ShowMessageBox(&data, &pressed);
    Sys_Native_EndBoxFocus();
    if (shown != 0) return 0;
    if (pressed == IDYES || pressed == IDNO || pressed == IDOK) return pressed;
    return yesNo ? IDNO : IDOK;  // closed without a button
}

void Sys_Device_SetFullScreen(DeviceWindow window, bool on, int* screenWidth, int* screenHeight) {
    SDL_Window* sdl = static_cast<SDL_Window*>(window);
    SDL_SetWindowFullscreen(sdl, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    // Full screen shows the picture only: no arrow on it.
    SDL_ShowCursor(on ? SDL_DISABLE : SDL_ENABLE);
    SDL_DisplayMode desktop;
    if (on && SDL_GetDesktopDisplayMode(SDL_GetWindowDisplayIndex(sdl), &desktop) == 0) {
        *screenWidth = desktop.w;
        *screenHeight = desktop.h;
    }
}

// ---------------------------------------------------------------------------
// The screen: the system's own where sys_native reads it, else SDL's
// desktop mode (and no capture).

bool Sys_Device_ScreenSize(int* width, int* height, int* bits) {
    if (!Sys_Device_VideoUp()) return false;
    return Sys_Native_ScreenSize(width, height, bits) || SdlDesktop(width, height, bits);
}

bool Sys_Device_CaptureScreen(int x, int y, int width, int height, uint8_t* bgrx) {
    return Sys_Device_VideoUp() && Sys_Native_CaptureScreen(x, y, width, height, bgrx);
}

bool Sys_Device_ClientSize(DeviceWindow window, int* width, int* height) {
    SDL_GetWindowSize(static_cast<SDL_Window*>(window), width, height);
    return true;
}

// Copies the painting to the SDL window's surface and shows it.
void Sys_Device_PresentClient(DeviceWindow window, const uint8_t* bgr, int width, int height) {
    SDL_Window* sdl = static_cast<SDL_Window*>(window);
    // SDL would otherwise back the surface with a renderer of its own, whose
    // OpenGL context would become current in place of the demo's.
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
    SDL_Surface* surface = SDL_GetWindowSurface(sdl);
    if (!surface) return;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    const int w = std::min(surface->w, width);
    const int h = std::min(surface->h, height);
    const int bpp = surface->format->BytesPerPixel;
    for (int row = 0; row < h; ++row) {
        uint8_t* out = static_cast<uint8_t*>(surface->pixels) + size_t(row) * surface->pitch;
        const uint8_t* in = bgr + size_t(row) * width * 3;
        for (int col = 0; col < w; ++col, in += 3, out += bpp) {
            const uint32_t p = SDL_MapRGB(surface->format, in[2], in[1], in[0]);
            std::memcpy(out, &p, size_t(bpp));  // little-endian: the low bytes
        }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(sdl);
#ifdef _WIN32
    // Wine puts what GDI drew into a window on screen only when the thread
    // next looks at its messages, and the splash is painted while start-up
    // looks at none: look now (the events wait in SDL's queue).
    SDL_PumpEvents();
#endif
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
