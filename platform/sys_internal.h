// sys_internal.h -- shared between the files of the platform layer only.
#pragma once

#include "platform/platform.h"

int Sys_Internal_HeadlessScale();
bool Sys_Internal_VideoUp();
bool Sys_Internal_WindowIsFullscreen(HWND window);

// Full screen on a screen of this size: the drawing surface takes the scale
// Sys_FullScreenScale gives for it and the renderer.
void Sys_Internal_FitSurfaceToScreen(int screenWidth, int screenHeight);

// Test builds (DEMO_TEST_HOOKS) with DEMO_TIMELINE_LOG naming a file: appends
// "<Sys_GetTickCount ms> <event>", so that a test can time the demo on its
// own clock. Elsewhere it does nothing.
void Sys_Internal_TraceEvent(const char* event);

// The end of the program after Sys_Exit's hook: exit() on the desktop; in
// the browser, which cannot exit, the music stops and the page says the demo
// has ended, and nothing after it runs.
[[noreturn]] void Sys_Internal_EndProcess(int status);
