// shell.cpp -- start-up, the frame loop and the main window's procedure.
#include "app/shell.h"

#include <GL/gl.h>

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

void StartUp() {
    if (!Sys_RegisterClass("Application", MainWindowProc)) {
        Sys_MessageBox(0, "RegisterClass failed", "Error", MB_OK);
        Sys_Exit(1);
    }
    app.fullscreen = false;
    if (Sys_MessageBox(0, "Switch to Fullscreen ?", "Question", MB_YESNO) == IDYES) app.fullscreen = true;

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

void RunDemo() {
    StartUp();
    for (;;) RunFramePass();
}
