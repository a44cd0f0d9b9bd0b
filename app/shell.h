// shell.h -- process entry, the main window's procedure and the frame loop.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// The procedure of the class "Application": Escape ends the program, Left
// and Right step the part (1 to 8; Right past 8 ends it), other keys are
// swallowed, WM_SIZE sets the viewport, WM_DESTROY releases the assets and
// ends the process with status 1.
LRESULT MainWindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

// Leaves full screen when it is on, then ends the process with status 1.
[[noreturn]] void EndProgram();

// What the command line asks for. The demo had no command line; these exist
// only for showing it (a party screen, a kiosk, a recording) and change
// nothing unless given.
struct DemoOptions {
    int answer = 0;  // the start-up question's answer in advance: IDYES, IDNO, or 0 to ask
    int scale = 0;   // the drawing scale, 1 to 4, or 0 to let full screen choose
};

enum class OptionsVerdict { Run, Help, Bad };

// Reads argv[1..argc-1]: --fullscreen, --window, --scale N (1 to 4),
// --help. Bad is anything else, a scale outside 1 to 4, or --fullscreen
// with --window; then *error says why. Opens nothing.
OptionsVerdict ParseOptions(int argc, const char* const* argv, DemoOptions* options, std::string* error);

// The program's name as it was started (argv[0]: "build/demo", "demo017",
// "demo.exe"), "demo" when the system gives none; the usage and the errors
// name it so.
std::string ProgramName(int argc, const char* const* argv);
// Its last path component ("/usr/games/demo017" -> "demo017", "C:\\Games\\demo.exe"
// -> "demo.exe"): the caption of the box that shows the usage.
std::string ProgramFileName(const std::string& program);

// The usage text naming the program, for --help (standard output) and bad
// options (standard error, after "PROGRAM: why").
std::string DemoUsage(const std::string& program);

// The start-up sequence: the class, the full-screen question (unless the
// options answer it), the hidden 640 x 480 window and its context, the
// splash while the assets are made and the music starts, the shown window,
// the render state of part 1, full screen if asked, the start of the part
// clock. Start-up failures show their box and end the process with status 1.
void StartUp(const DemoOptions& options = DemoOptions());

// One pass of the frame loop: takes and dispatches one waiting message, or
// draws a frame (RunPartFrame, then the swap) when none waits. Returns true
// when a frame was drawn.
bool RunFramePass();

// StartUp, then the frame loop, forever: the process ends only through the
// exits of the window procedure.
[[noreturn]] void RunDemo(const DemoOptions& options = DemoOptions());
