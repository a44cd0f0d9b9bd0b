// frame_driver.cpp -- the demo's start-up and frame loop on an injected clock.
#include "app/frame_driver.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/globals.h"
#include "app/shell.h"
#include "fx/random.h"
#include "platform/platform.h"
#include "timeline/dispatcher.h"

// The audio layer comes with the music player; until it is built in, the
// demo has no music and the driver has nothing to silence.
#if __has_include("platform/sys_audio.h")
#include "platform/sys_audio.h"
#define FRAME_DRIVER_SILENT_AUDIO 1
#endif

namespace {

// The platform's hooks are plain functions: the one running driver and its
// clock live here.
FrameDriver* g_driver = nullptr;
uint32_t g_now = 0;

// Thrown by the exit hook, caught by the driver: the demo's way out.
struct DemoExit {
    int status;
};

uint32_t DriverTicks() { return g_now; }

[[noreturn]] void DriverExit(int status) { throw DemoExit{status}; }

std::vector<std::string>* g_messages = nullptr;

int DriverMessageBox(HWND, const char* text, const char* caption, uint32_t type) {
    if ((type & 0xF) == MB_YESNO) return IDNO;  // "Switch to Fullscreen ?": windowed
    std::string line = std::string(caption ? caption : "") + ": " + (text ? text : "");
    std::fprintf(stderr, "%s\n", line.c_str());
    if (g_messages) g_messages->push_back(line);
    return IDOK;
}

// OpenGL state as a fresh context has it, saved once on the attribute
// stacks and put back at each later start, so that a run does not inherit
// the state the last run ended with.
bool g_defaultsSaved = false;

void RestoreDefaultGLState() {
    if (g_defaultsSaved) {
        glPopClientAttrib();
        glPopAttrib();
    }
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    g_defaultsSaved = true;
    const GLenum modes[3] = {GL_PROJECTION, GL_TEXTURE, GL_MODELVIEW};
    const GLenum depths[3] = {GL_PROJECTION_STACK_DEPTH, GL_TEXTURE_STACK_DEPTH, GL_MODELVIEW_STACK_DEPTH};
    for (int i = 0; i < 3; ++i) {
        glMatrixMode(modes[i]);
        GLint depth = 1;
        glGetIntegerv(depths[i], &depth);
        for (; depth > 1; --depth) glPopMatrix();
        glLoadIdentity();
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    // A new window starts black.
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    while (glGetError() != GL_NO_ERROR) {
    }
}

}  // namespace

FrameDriver::FrameDriver(int fps, int scale)
    : fps_(fps < 1 ? 1 : (fps > 1000 ? 1000 : fps)), scale_(scale < 1 ? 1 : (scale > 4 ? 4 : scale)) {}

FrameDriver::~FrameDriver() { Finish(); }

bool FrameDriver::Start() {
    if (started_ || g_driver) return false;
    g_driver = this;
    started_ = true;
    g_now = 0;
    g_messages = &messages_;
    Sys_SetTickSource(DriverTicks);
    Sys_SetExitHook(DriverExit);
    Sys_SetMessageBoxHook(DriverMessageBox);
#ifdef FRAME_DRIVER_SILENT_AUDIO
    Sys_SetSilentAudio(true);
#endif
    Sys_SetHeadless(scale_);
    // A clean slate: no windows, no messages, no assets of an earlier run.
    Sys_ResetWindowing();
    app = AppState{};
    assets = AssetSet{};
    SetDemoRandState(1);  // the sequence as a new process starts it
    // The context is made here already (start-up keeps it) so that the
    // surface and the state can be reset before the demo draws anything.
    if (!Sys_CreateGLContext(0)) {
        ended_ = true;
        exitStatus_ = 1;
        return false;
    }
    RestoreDefaultGLState();
    try {
        StartUp();
    } catch (const DemoExit& e) {
        ended_ = true;
        exitStatus_ = e.status;
        return false;
    }
    return true;
}

bool FrameDriver::RunFrame() {
    if (!started_ || ended_ || g_driver != this) return false;
    g_now = TickOfFrame(frame_);
    try {
        // Messages first, at the same tick; a pass that draws ends the frame.
        // The queue only holds what was posted, so it always drains.
        while (!RunFramePass()) {
        }
    } catch (const DemoExit& e) {
        ended_ = true;
        exitStatus_ = e.status;
        return false;
    }
    ++frame_;
    drawn_ = true;
    return true;
}

bool FrameDriver::RunUntil(int64_t frame) {
    while (frame_ < frame && RunFrame()) {
    }
    return frame_ == frame;
}

void FrameDriver::PostKey(uint32_t vk) {
    if (started_ && !ended_) Sys_PostMessage(app.mainWindow, WM_KEYDOWN, vk, 0);
}

int32_t FrameDriver::CurrentPart() const { return app.currentPart; }

uint32_t FrameDriver::TickOfFrame(int64_t n) const { return uint32_t(n * 1000 / fps_); }

int64_t FrameDriver::FrameAtSeconds(double seconds) const {
    if (seconds <= 0) return 0;
    // Smallest n with n * 1000 / fps >= ms, ms the time in whole milliseconds
    // rounded up (a time given in milliseconds stays itself: 8.3 s is 8300).
    const int64_t ms = int64_t(std::ceil(seconds * 1000.0 - 1e-6));
    int64_t n = ms * fps_ / 1000;
    while (int64_t(TickOfFrame(n)) < ms) ++n;
    while (n > 0 && int64_t(TickOfFrame(n - 1)) >= ms) --n;
    return n;
}

int FrameDriver::Scale() const { return started_ ? Sys_SurfaceScale() : scale_; }
int FrameDriver::Width() const { return kSurfaceWidth * Scale(); }
int FrameDriver::Height() const { return kSurfaceHeight * Scale(); }

bool FrameDriver::ReadFrame(std::vector<uint8_t>* rgb) const {
    if (!drawn_ || g_driver != this) return false;
    rgb->resize(size_t(Width()) * size_t(Height()) * 3);
    return Sys_ReadSurface(rgb->data());
}

void FrameDriver::Finish() {
    if (g_driver != this) return;
    // The demo's own ways out end the process without releasing anything;
    // here the process goes on, so the asset set is released in its place.
    try {
        ReleaseAssets();
    } catch (const DemoExit&) {
    }
    assets = AssetSet{};
    Sys_ResetWindowing();
#ifdef FRAME_DRIVER_SILENT_AUDIO
    Sys_SetSilentAudio(false);
#endif
    Sys_SetMessageBoxHook(nullptr);
    Sys_SetExitHook(nullptr);
    Sys_SetTickSource(nullptr);
    g_messages = nullptr;
    g_driver = nullptr;
}
