// sys_web_gl.cpp -- the WebGL 2 context on the page's canvas and the drawing
// surface every frame is drawn into, in the browser.
//
// As on the desktop, frames are drawn into a surface of our own (a
// framebuffer object, RGB8 and 24-bit depth) that keeps its contents; a swap
// copies it to the canvas, aspect kept with black bars, then waits for the
// browser's next animation frame (Asyncify), which is what lets the page
// show it. Headless (one exact moment, ?at=), swaps do not wait.
#include "platform/platform.h"
#include "platform/sys_internal.h"
#include "platform/sys_readback.h"
#include "platform/sys_web.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <emscripten.h>
#include <emscripten/html5.h>
#if DEMO_GLES3
#include <gl11.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// A framebuffer object of width x height (RGB8 colour, 24-bit depth),
// cleared to black and far, left bound. False when incomplete.
bool MakeFramebuffer(int width, int height, uint32_t* fbo, uint32_t* colour, uint32_t* depth) {
    glGenFramebuffers(1, fbo);
    glGenRenderbuffers(1, colour);
    glGenRenderbuffers(1, depth);
    glBindRenderbuffer(GL_RENDERBUFFER, *colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, *depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, *fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, *colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, *depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
    const GLfloat black[4] = {0, 0, 0, 1};
    const GLfloat far = 1.0f;
    glClearBufferfv(GL_COLOR, 0, black);
    glClearBufferfv(GL_DEPTH, 0, &far);
    return true;
}

void DeleteFramebuffer(uint32_t fbo, uint32_t colour, uint32_t depth) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fbo);
    glDeleteRenderbuffers(1, &colour);
    glDeleteRenderbuffers(1, &depth);
}

// Copies the surface (sw x sh) into the canvas at (x, y, w, h), black
// around it, then binds the surface again.
void BlitToCanvas(uint32_t fbo, int sw, int sh, int x, int y, int w, int h) {
    const GLfloat black[4] = {0, 0, 0, 1};
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glClearBufferfv(GL_COLOR, 0, black);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glBlitFramebuffer(0, 0, sw, sh, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT,
                      (w == sw && h == sh) ? GL_NEAREST : GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
}

// WebGL reads RGBA only: 4 bytes a pixel, bottom row first.
void ReadFramebufferRgba(uint32_t fbo, int width, int height, uint8_t* rgba) {
    GLint pack = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glPixelStorei(GL_PACK_ALIGNMENT, pack);
}

EMSCRIPTEN_WEBGL_CONTEXT_HANDLE g_context = 0;
FrameHook g_frameHook = nullptr;

uint32_t g_fbo = 0;
uint32_t g_colour = 0;
uint32_t g_depth = 0;
int g_scale = 1;
int g_requestedScale = 0;  // 0: full screen chooses, windowed is 1

int ClampScale(int scale) { return scale < 1 ? 1 : (scale > 4 ? 4 : scale); }

bool MakeSurface(int scale) {
    if (g_fbo) DeleteFramebuffer(g_fbo, g_colour, g_depth);
    g_fbo = g_colour = g_depth = 0;
    g_scale = scale;
    if (!MakeFramebuffer(kSurfaceWidth * scale, kSurfaceHeight * scale, &g_fbo, &g_colour, &g_depth)) {
        std::fprintf(stderr, "drawing surface: framebuffer incomplete\n");
        return false;
    }
    // A new image starts black, like a fresh window; lines one logical pixel.
    Sys_Viewport(0, 0, kSurfaceWidth, kSurfaceHeight);
    Sys_LineWidth(1.0f);
    return true;
}

bool MakeContext() {
    if (g_context) return true;
    EmscriptenWebGLContextAttributes attrs;
    emscripten_webgl_init_context_attributes(&attrs);
    attrs.majorVersion = 2;
    attrs.minorVersion = 0;
    attrs.alpha = false;
    attrs.depth = false;  // the surface has its own depth buffer
    attrs.stencil = false;
    attrs.antialias = false;
    attrs.premultipliedAlpha = false;
    attrs.preserveDrawingBuffer = false;
    g_context = emscripten_webgl_create_context("#canvas", &attrs);
    if (g_context <= 0) {
        g_context = 0;
        std::fprintf(stderr, "no WebGL 2 context\n");
        return false;
    }
    emscripten_webgl_make_context_current(g_context);
#if DEMO_GLES3
    // The demo's OpenGL 1.1 runs on the layer, which finds WebGL 2's calls here.
    if (!gl11_Init([](const char* name) { return emscripten_webgl_get_proc_address(name); })) {
        std::fprintf(stderr, "the OpenGL 1.1 layer did not start on WebGL 2\n");
        return false;
    }
#endif
    return true;
}

}  // namespace

// The largest renderbuffer side WebGL allows here (asked of the browser,
// not of the layer, which knows only OpenGL 1.1's state).
EM_JS(int, web_max_renderbuffer_size, (), { return GLctx.getParameter(GLctx.MAX_RENDERBUFFER_SIZE); });

EM_JS(int, web_software_renderer, (), { return DemoPage.softwareRenderer(GLctx) ? 1 : 0; });

// Waits for the browser's next animation frame: the canvas is shown then.
EM_ASYNC_JS(void, web_wait_frame, (), { await DemoPage.nextFrame(); });

bool Sys_CreateGLContext(HWND) {
    if (g_fbo) return true;
    if (!MakeContext()) return false;
    return MakeSurface(Sys_IsHeadless() ? Sys_Internal_HeadlessScale()
                                        : (g_requestedScale ? g_requestedScale : 1));
}

void Sys_RequestSurfaceScale(int scale) { g_requestedScale = scale <= 0 ? 0 : ClampScale(scale); }

bool Sys_SetSurfaceScale(int scale) {
    if (!g_fbo) return false;
    scale = ClampScale(scale);
    if (scale == g_scale) return true;
    GLint vp[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, vp);
    const int old = g_scale;
    if (!MakeSurface(scale)) return false;
    Sys_Viewport(vp[0] / old, vp[1] / old, vp[2] / old, vp[3] / old);
    return true;
}

int Sys_FullScreenScale(int screenWidth, int screenHeight, int requested, bool softwareRenderer) {
    if (requested > 0) return ClampScale(requested);
    if (softwareRenderer) return 1;
    return ClampScale(std::min(screenWidth / kSurfaceWidth, screenHeight / kSurfaceHeight));
}

void Sys_Internal_FitSurfaceToScreen(int screenWidth, int screenHeight) {
    if (!g_fbo) return;
    // As on the desktop: 1 on a software renderer (where the browser names
    // it), else as large as the screen and the GPU's largest surface allow.
    const int largest = web_max_renderbuffer_size();
    int scale = Sys_FullScreenScale(screenWidth, screenHeight, g_requestedScale, web_software_renderer() != 0);
    while (scale > 1 && (kSurfaceWidth * scale > largest || kSurfaceHeight * scale > largest)) --scale;
    Sys_SetSurfaceScale(scale);
}

int Sys_SurfaceScale() { return g_scale; }

void Sys_Viewport(int x, int y, int width, int height) {
    glViewport(x * g_scale, y * g_scale, width * g_scale, height * g_scale);
}

void Sys_LineWidth(float width) { glLineWidth(width * float(g_scale)); }

uint32_t Sys_SurfaceFramebuffer() { return g_fbo; }

void Sys_SetFrameHook(FrameHook hook) { g_frameHook = hook; }

namespace {
// The whole surface as RGBA, bottom row first (WebGL reads RGBA only).
bool ReadSurfaceRgba(uint8_t* out) {
    if (!g_fbo) return false;
    ReadFramebufferRgba(g_fbo, kSurfaceWidth * g_scale, kSurfaceHeight * g_scale, out);
    return true;
}
}  // namespace

bool Sys_ReadSurface(uint8_t* rgb) {
    const size_t pixels = size_t(kSurfaceWidth * g_scale) * size_t(kSurfaceHeight * g_scale);
    std::vector<uint8_t> rgba(pixels * 4);
    if (!ReadSurfaceRgba(rgba.data())) return false;
    for (size_t i = 0; i < pixels; ++i) std::memcpy(rgb + 3 * i, &rgba[4 * i], 3);
    return true;
}

bool Sys_ReadSurfaceRgbx(uint8_t* rgbx) { return ReadSurfaceRgba(rgbx); }

void Sys_SwapBuffers(HWND window) {
    if (!g_fbo) return;
    // The canvas's drawing buffer is sized by the page: 640 x 480 on the
    // page, the largest whole multiple of it that fits in full screen.
    int dw = 0, dh = 0;
    emscripten_get_canvas_element_size("#canvas", &dw, &dh);
    const Sys_Placement p = Sys_Internal_Place(dw, dh, g_scale, Sys_Internal_WindowIsFullscreen(window));
    BlitToCanvas(g_fbo, kSurfaceWidth * g_scale, kSurfaceHeight * g_scale, p.x, p.y, p.w, p.h);
    if (g_frameHook) g_frameHook();
    if (!Sys_IsHeadless()) web_wait_frame();
}
