// shell.h -- process entry, the main window's procedure and the frame loop.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The procedure of the class "Application": Escape ends the program, Left
// and Right step the part (1 to 8; Right past 8 ends it), other keys are
// swallowed, WM_SIZE sets the viewport, WM_DESTROY releases the assets and
// ends the process with status 1.
LRESULT MainWindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

// Leaves full screen when it is on, then ends the process with status 1.
[[noreturn]] void EndProgram();

// The start-up sequence: the class, the full-screen question, the hidden
// 640 x 480 window and its context, the splash while the assets are made and
// the music starts, the shown window, the render state of part 1, full
// screen if asked, the start of the part clock. Start-up failures show their
// box and end the process with status 1.
void StartUp();

// One pass of the frame loop: takes and dispatches one waiting message, or
// draws a frame (RunPartFrame, then the swap) when none waits. Returns true
// when a frame was drawn.
bool RunFramePass();

// StartUp, then the frame loop, forever: the process ends only through the
// exits of the window procedure.
[[noreturn]] void RunDemo();
