// sys_native.h -- what the platform layer asks of the operating system
// itself, where SDL2 offers nothing: one implementation per system
// (on Linux sys_native_x11.cpp and sys_native_egl.cpp, on Windows
// sys_native_win.cpp).
//
// Plain types only: this header is included by files that also include the
// system's own headers (<windows.h>), whose names platform.h would clash with.
// The screen operations are called only while SDL's video is up and the
// layer is not headless.
#pragma once

#include <cstdint>

// The screen's size in pixels and its colour depth in bits per pixel. False
// where the system's screen cannot be asked (Wayland, SDL's offscreen driver);
// the caller then asks SDL.
bool Sys_Native_ScreenSize(int* width, int* height, int* bits);

// Reads the screen rectangle [x, x + width) x [y, y + height), which lies
// inside the screen, as it is on screen: top row first, 4 bytes a pixel
// (B, G, R, 0). False when it cannot be read (the caller shows black).
bool Sys_Native_CaptureScreen(int x, int y, int width, int height, uint8_t* bgrx);

// Makes an OpenGL compatibility context with no display and no window
// surface, and makes it current; drawing then goes to framebuffer objects
// only. Called once. False where the system has none.
bool Sys_Native_MakeHeadlessContext();

// The keyboard focus, for a window that must not take it (the splash). The
// window values are the system's own handles, kept only to be given back.
// The window that has the keyboard focus now; 0 when none is known.
uint64_t Sys_Native_FocusedWindow();
// Gives the keyboard focus back to a window Sys_Native_FocusedWindow named (0: nothing).
void Sys_Native_GiveFocus(uint64_t window);
// Makes an SDL window (not yet shown) one that never takes input or the focus.
void Sys_Native_RefuseFocus(void* sdlWindow);
// From now until Sys_Native_EndBoxFocus, gives the focus to the message box titled caption once it shows
// and lets it stand above the splash.
void Sys_Native_BeginBoxFocus(const char* caption);
// Ends what Sys_Native_BeginBoxFocus started.
void Sys_Native_EndBoxFocus();

#ifdef _WIN32
// Makes standard output (error: standard error) lead somewhere: where it was
// redirected to, else the console of the parent process, attached. False
// when there is neither (started from the desktop).
bool Sys_Native_AttachConsole(bool error);
// Brings a shown SDL window to the front with the keyboard.
void Sys_Native_TakeForeground(void* sdlWindow);
#endif
