// sys_native_win.cpp -- the screen under Windows: its size and depth from the
// screen's device context, and reading it with GDI (BitBlt from the screen
// DC into a DIB section); the foreground window. There is no headless OpenGL
// context here: the programs that need one (the capture tool, the bakers)
// stay on Linux.
//
// This is the only file that includes <windows.h>, and it does not include
// platform.h, whose Win32-like names (HWND, MSG, WM_*, VK_*, MB_*) would
// clash with the system's own.
#include "platform/sys_native.h"

#include <cstdio>
#include <cstring>
#include <vector>

// The build defines these two so that <GL/gl.h> does without <windows.h>;
// <windows.h> defines them its own way.
#undef APIENTRY
#undef WINGDIAPI
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/sys_native_sdl.h"

bool Sys_Native_ScreenSize(int* width, int* height, int* bits) {
    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    *width = GetDeviceCaps(screen, HORZRES);
    *height = GetDeviceCaps(screen, VERTRES);
    *bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    return *width > 0 && *height > 0;
}

bool Sys_Native_CaptureScreen(int x, int y, int width, int height, uint8_t* bgrx) {
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HDC memory = CreateCompatibleDC(screen);
    // 32 bits a pixel, top row first: B, G, R and a fourth byte, as wanted.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = memory ? CreateDIBSection(screen, &info, DIB_RGB_COLORS, &pixels, nullptr, 0) : nullptr;
    bool ok = false;
    if (bitmap && pixels) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY) != 0;
        GdiFlush();
        if (ok) {
            const size_t bytes = size_t(width) * size_t(height) * 4;
            std::memcpy(bgrx, pixels, bytes);
            for (size_t i = 3; i < bytes; i += 4) bgrx[i] = 0;
        }
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool Sys_Native_MakeHeadlessContext() { return false; }

// The splash never takes the foreground (below), so there is nothing to
// hand back; and SetForegroundWindow on another program's window would
// spend this process's one right to take the foreground, which the demo's
// own window needs when it shows.
uint64_t Sys_Native_FocusedWindow() { return 0; }

void Sys_Native_GiveFocus(uint64_t) {}

namespace {

// The Windows window behind an SDL window; null when there is none.
HWND SystemWindow(void* sdlWindow) {
    SDL_SysWMinfo info;
    return Sys_Native_WindowInfo(sdlWindow, SDL_SYSWM_WINDOWS, &info) ? info.info.win.window : nullptr;
}

}  // namespace

void Sys_Native_TakeForeground(void* sdlWindow) {
    if (HWND hwnd = SystemWindow(sdlWindow)) SetForegroundWindow(hwnd);
}

// Disabled (no keyboard or mouse input) and never activated: SDL shows a
// window of this extended style without activating it.
void Sys_Native_RefuseFocus(void* sdlWindow) {
    HWND hwnd = SystemWindow(sdlWindow);
    if (!hwnd) return;
    SetWindowLongPtrA(hwnd, GWL_EXSTYLE, GetWindowLongPtrA(hwnd, GWL_EXSTYLE) | WS_EX_NOACTIVATE);
    EnableWindow(hwnd, FALSE);
}

// SDL's message box here is a dialog of this thread: Windows activates it
// when it shows, so there is nothing to watch for. What stands above it is
// another matter under Wine: a popup without a caption or a system menu
// (the splash) becomes an X window the window manager does not stack, above
// every window it does, the box included. While a box is up, the shown
// windows that refuse the focus carry a system menu, which a window without
// a caption never shows; Wine then hands them to the window manager, which
// raises the box, shown after, above them. Windows puts the activated box on
// top either way. The style is taken out again when the box is answered.
namespace {

std::vector<HWND> g_menuAdded;

BOOL CALLBACK AddSystemMenu(HWND hwnd, LPARAM) {
    const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
    if (!IsWindowVisible(hwnd) || (style & WS_SYSMENU) || !(GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & WS_EX_NOACTIVATE))
        return TRUE;
    SetWindowLongPtrA(hwnd, GWL_STYLE, style | WS_SYSMENU);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    g_menuAdded.push_back(hwnd);
    return TRUE;
}

}  // namespace

void Sys_Native_BeginBoxFocus(const char*) {
    Sys_Native_EndBoxFocus();
    EnumThreadWindows(GetCurrentThreadId(), AddSystemMenu, 0);
}

void Sys_Native_EndBoxFocus() {
    for (HWND hwnd : g_menuAdded) {
        if (!IsWindow(hwnd)) continue;
        SetWindowLongPtrA(hwnd, GWL_STYLE, GetWindowLongPtrA(hwnd, GWL_STYLE) & ~LONG_PTR(WS_SYSMENU));
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    g_menuAdded.clear();
}

bool Sys_Native_AttachConsole(bool error) {
    const DWORD which = error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    HANDLE handle = GetStdHandle(which);
    // Redirected to a file or a pipe: the C library writes there already.
    if (handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN) return true;
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED) return false;
    // ERROR_ACCESS_DENIED: attached already.
    return std::freopen("CONOUT$", "w", error ? stderr : stdout) != nullptr;
}
