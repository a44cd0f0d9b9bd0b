// sys_internal.h -- shared between the files of the platform layer only.
#pragma once

#include "platform/platform.h"
#include "platform/sys_device.h"

int Sys_Internal_HeadlessScale();
bool Sys_Internal_WindowIsFullscreen(HWND window);

// Full screen on a screen of this size: the drawing surface takes the scale
// Sys_FullScreenScale gives for it and the renderer.
void Sys_Internal_FitSurfaceToScreen(int screenWidth, int screenHeight);
// After each frame shown: full screen, a drawable of another size than the
// last one fits the surface to it (Sys_Internal_FitSurfaceToScreen);
// windowed, nothing changes and the next full screen fits anew.
void Sys_Internal_FollowDrawable(int drawableWidth, int drawableHeight, bool fullscreen);

// Input a device read, queued for the window behind `window` (dropped when
// no window of the layer has it): a key press, and WM_CLOSE, WM_PAINT or
// WM_SIZE (with the client size the window's procedure knows).
void Sys_Internal_QueueKey(DeviceWindow window, uint32_t virtualKey, LPARAM lParam);
void Sys_Internal_QueueWindowMessage(DeviceWindow window, uint32_t message);
// A quit from outside (a signal): WM_CLOSE for every shown window but the
// splash that has none queued yet.
void Sys_Internal_QueueCloseAll();

// Test builds (DEMO_TEST_HOOKS) with DEMO_TIMELINE_LOG naming a file: appends
// "<Sys_GetTickCount ms> <event>", so that a test can time the demo on its
// own clock. Elsewhere it does nothing.
void Sys_Internal_TraceEvent(const char* event);

// The end of the program after Sys_Exit's hook: exit() on the desktop; in
// the browser, which cannot exit, the page says the demo has ended (and
// stops the music), and nothing after it runs.
[[noreturn]] void Sys_Internal_EndProcess(int status);

// The drawing surface, for the device's Sys_CreateGLContext and present.
// The scale the command line asked for (0: none).
int Sys_Internal_RequestedScale();
// Makes the first surface: at `scale`, else the largest smaller one that
// can be made. False when none can.
bool Sys_Internal_MakeFirstSurface(int scale);
// The context has no framebuffer objects: the picture is drawn straight
// into the window's back buffer, its lower left 640 x 480 pixels (scale 1).
void Sys_Internal_UseWindowSurface();
bool Sys_Internal_SurfaceInWindow();
// Black colour (and far depth) in the bound framebuffer, whatever the
// demo's clear colour, masks and scissor; GL_COLOR_BUFFER_BIT and
// GL_DEPTH_BUFFER_BIT as `buffers`.
void Sys_Internal_ClearBlack(uint32_t buffers);
// Forgets the GL errors recorded so far.
void Sys_Internal_DropErrors();
