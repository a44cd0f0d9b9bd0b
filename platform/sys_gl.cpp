// sys_gl.cpp -- the drawing surface every frame is drawn into, its scale,
// where its picture is placed and the swap, the same in every build. How a
// context is made (Sys_CreateGLContext) and how the picture is put on
// screen are the device's (sys_sdl_gl.cpp, sys_web_gl.cpp).
#define GL_GLEXT_PROTOTYPES 1
#include "platform/platform.h"
#include "platform/sys_device.h"
#include "platform/sys_internal.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "platform/sys_glext.h"
#include "platform/sys_readback.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

FrameHook g_frameHook = nullptr;

// The drawing surface: a framebuffer object of our own (g_fbo), or, where
// the context has none, the window's back buffer at scale 1, the picture in
// its lower left 640 x 480 pixels (g_windowSurface).
GLuint g_fbo = 0;
GLuint g_colour = 0;
GLuint g_depth = 0;
bool g_windowSurface = false;
int g_scale = 1;
int g_requestedScale = 0;  // 0: full screen chooses, windowed is 1

int ClampScale(int scale) { return scale < 1 ? 1 : (scale > 4 ? 4 : scale); }

#ifdef DEMO_TEST_HOOKS
// Test builds only: a surface larger than this scale cannot be made (its
// colour buffer is asked for wider than any driver allows).
int FaultSurfaceScaleLimit() {
    const char* v = std::getenv("DEMO_FAULT_SURFACE_SCALE_LIMIT");
    return v && *v ? std::atoi(v) : 0;
}
#endif

// A new image starts black, like a fresh window; its viewport is the whole
// surface. Nothing else sets the line width: every line the scenes and
// effect objects draw (the wireframes among them) is one logical pixel wide.
void StartSurface() {
    Sys_Internal_ClearBlack(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, kSurfaceWidth * g_scale, kSurfaceHeight * g_scale);
    Sys_LineWidth(1.0f);
}

// Makes a surface at a scale. The new one is made complete before the old
// one goes: when it cannot be (too large for the driver, out of memory),
// nothing changes, the old one stays bound with its picture, and the result
// is false.
bool MakeSurface(int scale) {
    const int w = kSurfaceWidth * scale, h = kSurfaceHeight * scale;
    int colourWidth = w;
#ifdef DEMO_TEST_HOOKS
    if (FaultSurfaceScaleLimit() > 0 && scale > FaultSurfaceScaleLimit()) colourWidth = 1 << 20;
#endif
    GLuint fbo = 0, colour = 0, depth = 0;
    glGenFramebuffers(1, &fbo);
    glGenRenderbuffers(1, &colour);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, colourWidth, h);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    // What failed leaves its error behind; the demo's frames must not see it.
    Sys_Internal_DropErrors();
    GLuint gone[3] = {fbo, colour, depth};
    if (complete) {
        gone[0] = g_fbo, gone[1] = g_colour, gone[2] = g_depth;
        g_fbo = fbo, g_colour = colour, g_depth = depth;
        g_scale = scale;
    } else {
        std::fprintf(stderr, "drawing surface: %d x %d cannot be made\n", w, h);
        glBindFramebuffer(GL_FRAMEBUFFER, g_fbo);
    }
    if (gone[0]) glDeleteFramebuffers(1, &gone[0]);
    if (gone[1]) glDeleteRenderbuffers(1, &gone[1]);
    if (gone[2]) glDeleteRenderbuffers(1, &gone[2]);
    if (complete) {
        StartSurface();
        // (Test builds: the scale a test sees the surface take.)
        char event[24];
        std::snprintf(event, sizeof event, "surface %d", scale);
        Sys_Internal_TraceEvent(event);
    }
    return complete;
}

bool SoftwareRenderer() {
    const char* renderer = Sys_Device_RendererName();
#ifdef DEMO_TEST_HOOKS
    // Test builds only: the renderer is taken for the one named here, so
    // that a software renderer can stand in for one that draws full screen
    // at the screen's scale.
    if (const char* named = std::getenv("DEMO_FAULT_RENDERER")) renderer = named;
#endif
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "SwiftShader"})
        if (std::strstr(renderer, name)) return true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// For the devices

int Sys_Internal_RequestedScale() { return g_requestedScale; }

bool Sys_Internal_MakeFirstSurface(int scale) {
    for (int s = ClampScale(scale); s >= 1; --s)
        if (MakeSurface(s)) return true;
    return false;
}

void Sys_Internal_UseWindowSurface() {
    g_windowSurface = true;
    g_scale = 1;
    // Only a surface of our own can be larger than the window: a larger
    // scale asked for is not drawn. The picture is shown as a software
    // renderer's is, enlarged to a whole multiple in full screen.
    if (g_requestedScale > 1)
        std::fprintf(stderr, "drawing surface: without framebuffer objects it is drawn at %d x %d, not at scale %d\n",
                     kSurfaceWidth, kSurfaceHeight, g_requestedScale);
    StartSurface();
}

bool Sys_Internal_SurfaceInWindow() { return g_windowSurface; }

void Sys_Internal_DropErrors() {
    // A few flags at most; a lost context could answer forever.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

void Sys_Internal_ClearBlack(uint32_t buffers) {
#ifdef DEMO_GLES3
    // (The OpenGL ES layer has no attribute stack; it has these.)
    const GLfloat black[4] = {0, 0, 0, 1};
    const GLfloat far = 1.0f;
    if (buffers & GL_COLOR_BUFFER_BIT) glClearBufferfv(GL_COLOR, 0, black);
    if (buffers & GL_DEPTH_BUFFER_BIT) glClearBufferfv(GL_DEPTH, 0, &far);
#else
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_SCISSOR_BIT);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glClear(buffers);
    glPopAttrib();
#endif
}

// ---------------------------------------------------------------------------

void Sys_RequestSurfaceScale(int scale) { g_requestedScale = scale <= 0 ? 0 : ClampScale(scale); }

bool Sys_SetSurfaceScale(int scale) {
    scale = ClampScale(scale);
    if (!g_fbo) return g_windowSurface && scale == 1;
    if (scale == g_scale) return true;
    // The viewport stays where it was in logical pixels.
    GLint vp[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, vp);
    const int old = g_scale;
    // Where the scale asked for cannot be made, a smaller one is tried, down
    // to the one in use, which then stays.
    for (int s = scale; s >= 1 && s != old; --s) {
        if (!MakeSurface(s)) continue;
        Sys_Viewport(vp[0] / old, vp[1] / old, vp[2] / old, vp[3] / old);
        return s == scale;
    }
    return false;
}

int Sys_FullScreenScale(int screenWidth, int screenHeight, int requested, bool softwareRenderer) {
    if (requested > 0) return ClampScale(requested);
    if (softwareRenderer) return 1;
    const int fit = std::min(screenWidth / kSurfaceWidth, screenHeight / kSurfaceHeight);
    return ClampScale(fit);
}

void Sys_Internal_FitSurfaceToScreen(int screenWidth, int screenHeight) {
    if (!g_fbo) return;
    Sys_SetSurfaceScale(Sys_FullScreenScale(screenWidth, screenHeight, g_requestedScale, SoftwareRenderer()));
}

Sys_Placement Sys_PlacePicture(int dw, int dh, int scale, bool fullscreen) {
    const int sw = kSurfaceWidth * scale, sh = kSurfaceHeight * scale;
    int w = dw, h = int(int64_t(dw) * sh / sw);
    if (h > dh) {
        h = dh;
        w = int(int64_t(dh) * sw / sh);
    }
    // Full screen, where 640 x 480 fits at least twice, the picture is the
    // largest whole multiple of it up to four times: drawn at that scale it
    // is shown pixel for pixel (1920 x 1080: 1280 x 960 and bars of 320 and
    // 60; 5120 x 2880: 2560 x 1920, never stretched past what is drawn).
    // Below that it fills the screen's height or width, as it always did.
    const int fit = std::min(dw / kSurfaceWidth, dh / kSurfaceHeight);
    if (fullscreen && fit >= 2) {
        w = kSurfaceWidth * std::min(fit, 4);
        h = kSurfaceHeight * std::min(fit, 4);
    }
    const bool whole = w % sw == 0 && h % sh == 0 && w / sw == h / sh;
    return Sys_Placement{(dw - w) / 2, (dh - h) / 2, w, h, whole};
}

int Sys_SurfaceScale() { return g_scale; }

void Sys_Viewport(int x, int y, int width, int height) {
    glViewport(x * g_scale, y * g_scale, width * g_scale, height * g_scale);
}

void Sys_LineWidth(float width) { glLineWidth(width * float(g_scale)); }

uint32_t Sys_SurfaceFramebuffer() { return g_fbo; }

void Sys_SetFrameHook(FrameHook hook) { g_frameHook = hook; }

namespace {
// The whole surface, bottom row first, rows packed to `alignment`.
bool ReadSurfaceAs(GLenum format, GLint alignment, uint8_t* out) {
    if (!g_fbo) return false;
    GLint pack = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_fbo);
    glReadPixels(0, 0, kSurfaceWidth * g_scale, kSurfaceHeight * g_scale, format, GL_UNSIGNED_BYTE, out);
    glPixelStorei(GL_PACK_ALIGNMENT, pack);
    return true;
}
}  // namespace

bool Sys_ReadSurface(uint8_t* rgb) { return ReadSurfaceAs(GL_RGB, 1, rgb); }

bool Sys_ReadSurfaceRgbx(uint8_t* rgbx) { return ReadSurfaceAs(GL_RGBA, 4, rgbx); }

namespace {
// What full screen last fitted the surface to: the drawable's size (0 x 0
// when not full screen).
int g_fittedWidth = 0, g_fittedHeight = 0;
}  // namespace

// The screen a full-screen window covers can change while the demo runs (a
// new resolution, a monitor unplugged, a phone turned, a browser window
// resized): its drawable follows, and with it the scale is decided again, as
// when full screen began.

void Sys_Internal_FollowDrawable(int drawableWidth, int drawableHeight, bool fullscreen) {
    if (!fullscreen) {
        g_fittedWidth = g_fittedHeight = 0;
        return;
    }
    if (drawableWidth == g_fittedWidth && drawableHeight == g_fittedHeight) return;
    g_fittedWidth = drawableWidth, g_fittedHeight = drawableHeight;
    Sys_Internal_FitSurfaceToScreen(drawableWidth, drawableHeight);
}

void Sys_SwapBuffers(HWND window) {
    if (!g_fbo && !g_windowSurface) return;
    int dw = 0, dh = 0;
    if (Sys_Device_DrawableSize(window, &dw, &dh)) {
        const bool fullscreen = Sys_Internal_WindowIsFullscreen(window);
        // Placed anew every frame; the frame drawn at the old scale is shown
        // before the surface takes a new one (which starts black).
        Sys_Device_Present(window, Sys_PlacePicture(dw, dh, g_scale, fullscreen));
        Sys_Internal_FollowDrawable(dw, dh, fullscreen);
    }
    if (g_frameHook) g_frameHook();
}
