// shell.cpp -- start-up, the frame loop and the main window's procedure.
#include "app/shell.h"

#include <GL/gl.h>

#include <cstring>
#include <new>

#include "app/globals.h"
#include "app/render_state.h"
#include "splash/splash_window.h"
#include "timeline/dispatcher.h"

AppState app;
AssetSet assets;

namespace {

constexpr int32_t kFirstPart = 1;
constexpr int32_t kLastPart = 8;

void StartPart(int32_t part) {
    app.currentPart = part;
    ApplyPartRenderState(app.currentPart);
    app.partStartTime = Sys_GetTickCount();
}

}  // namespace

void EndProgram() {
    if (app.fullscreen) Sys_ChangeDisplayMode(app.mainWindow, false);
    Sys_Exit(1);
}

LRESULT MainWindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                EndProgram();
            } else if (wParam == VK_LEFT) {
                StartPart(app.currentPart > kFirstPart ? app.currentPart - 1 : app.currentPart);
            } else if (wParam == VK_RIGHT) {
                if (app.currentPart >= kLastPart) EndProgram();
                StartPart(app.currentPart + 1);
            }
            return 0;  // every other key is swallowed
        case WM_SIZE:
            Sys_Viewport(0, 0, int(lParam & 0xFFFF), int((lParam >> 16) & 0xFFFF));
            Sys_PostMessage(window, WM_PAINT, 0, 0);
            return 0;
        case WM_DESTROY:
            ReleaseAssets();
            // Like Escape, leave full screen: the desktop must come back.
            if (app.fullscreen) Sys_ChangeDisplayMode(window, false);
            Sys_Exit(1);
        default:
            return Sys_DefWindowProc(window, message, wParam, lParam);
    }
}

std::string ProgramName(int argc, const char* const* argv) {
    return argc > 0 && argv[0] && argv[0][0] ? argv[0] : "demo";
}

std::string ProgramFileName(const std::string& program) {
    const size_t slash = program.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? program : program.substr(slash + 1);
    return name.empty() ? "demo" : name;
}

std::string DemoUsage(const std::string& program) {
    return "usage: " + program +
           " [--fullscreen | --window] [--scale N] [--help]\n"
           "  --fullscreen  full screen, without asking\n"
           "  --window      in the 640 x 480 window, without asking\n"
           "  --scale N     draw at 640 x 480 times N (1 to 4), lines N pixels wide\n"
           "  --help        this text\n"
           "Without options the demo asks \"Switch to Fullscreen ?\" and full screen\n"
           "draws at the largest scale that fits the display (1 on a software renderer).\n";
}

OptionsVerdict ParseOptions(int argc, const char* const* argv, DemoOptions* options, std::string* error) {
    *options = DemoOptions();
    error->clear();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return OptionsVerdict::Help;
        if (arg == "--fullscreen" || arg == "--window") {
            const int answer = arg == "--fullscreen" ? IDYES : IDNO;
            if (options->answer && options->answer != answer) {
                *error = "--fullscreen and --window exclude each other";
                return OptionsVerdict::Bad;
            }
            options->answer = answer;
        } else if (arg == "--scale") {
            const char* n = i + 1 < argc ? argv[++i] : "";
            if (std::strlen(n) != 1 || n[0] < '1' || n[0] > '4') {
                *error = "--scale takes a whole number from 1 to 4";
                return OptionsVerdict::Bad;
            }
            options->scale = n[0] - '0';
        } else {
            *error = "unknown option " + arg;
            return OptionsVerdict::Bad;
        }
    }
    return OptionsVerdict::Run;
}

void StartUp(const DemoOptions& options) {
    if (!Sys_RegisterClass("Application", MainWindowProc)) {
        Sys_MessageBox(0, "RegisterClass failed", "Error", MB_OK);
        Sys_Exit(1);
    }
    app.fullscreen = false;
    const int answer =
        options.answer ? options.answer : Sys_MessageBox(0, "Switch to Fullscreen ?", "Question", MB_YESNO);
    if (answer == IDYES) app.fullscreen = true;
    Sys_RequestSurfaceScale(options.scale);

    app.mainWindow = Sys_CreateWindow("Application", "Demo v0.17",
                                      app.fullscreen ? WindowStyle::Popup : WindowStyle::Overlapped, 0, 0,
                                      640, 480);
    if (!app.mainWindow) {
        Sys_MessageBox(0, "Window-Creation failed!", "Error", MB_OK);
        Sys_Exit(1);
    }
    if (!Sys_CreateGLContext(app.mainWindow)) {
        Sys_MessageBox(app.mainWindow, "Choosing Pixelformat failed!", "Error", MB_OK);
        Sys_Exit(1);
    }
    Sys_ShowWindow(app.mainWindow, false);

    // The splash stays on screen while the assets are made; without memory
    // for it, start-up goes on without one.
    SplashWindow* splash = new (std::nothrow) SplashWindow("SPLASH.TGA");

    app.currentPart = 1;
    SetUpAssets(app.mainWindow);

    delete splash;

    Sys_ShowWindow(app.mainWindow, true);
    ApplyPartRenderState(app.currentPart);
    if (app.fullscreen) Sys_ChangeDisplayMode(app.mainWindow, true);
    app.partStartTime = Sys_GetTickCount();
}

bool RunFramePass() {
    const int32_t partClock = PartClock(Sys_GetTickCount(), app.partStartTime);
    MSG msg;
    if (Sys_PeekMessage(&msg)) {
        // A WM_QUIT is dispatched like any other message and ends nothing.
        Sys_DispatchMessage(msg);
        return false;
    }
    RunPartFrame(app.currentPart, partClock, app.mainWindow);
    Sys_SwapBuffers(app.mainWindow);
    return true;
}

void RunDemo(const DemoOptions& options) {
    StartUp(options);
    for (;;) RunFramePass();
}
