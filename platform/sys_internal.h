// sys_internal.h -- shared between the files of the platform layer only.
#pragma once

#include "platform/platform.h"

#include <algorithm>

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

// Where the picture of a surface at `scale` goes in a drawable of dw x dh:
// aspect kept, centred.
struct Sys_Placement {
    int x, y, w, h;
    bool wholeMultiple;  // w and h the same whole multiple of the surface's size
};

inline Sys_Placement Sys_Internal_Place(int dw, int dh, int scale, bool fullscreen) {
    const int sw = kSurfaceWidth * scale, sh = kSurfaceHeight * scale;
    int w = dw, h = dw * sh / sw;
    if (h > dh) {
        h = dh;
        w = dh * sw / sh;
    }
    // Full screen, where 640 x 480 fits at least twice, the picture is
    // the largest whole multiple of it: drawn at that scale it is shown
    // pixel for pixel (1920 x 1080: 1280 x 960 and bars of 320 and 60).
    // Below that it fills the screen's height or width, as it always did.
    const int fit = std::min(dw / kSurfaceWidth, dh / kSurfaceHeight);
    if (fullscreen && fit >= 2) {
        w = kSurfaceWidth * fit;
        h = kSurfaceHeight * fit;
    }
    const bool whole = w % sw == 0 && h % sh == 0 && w / sw == h / sh;
    return Sys_Placement{(dw - w) / 2, (dh - h) / 2, w, h, whole};
}
