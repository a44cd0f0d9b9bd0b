// sys_web.h -- shared between the browser files of the platform layer only.
//
// The page (web/demo-page.js) owns the document: the question, the notices,
// the canvas and its layout, full screen, the splash canvas and the events.
// These files reach it through the global DemoPage object.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Stops the music for good (the end of the program).
void Sys_Web_StopAudio();

// The client size a window was made with; false for an unknown window.
bool Sys_Web_WindowSize(HWND window, int* width, int* height);
