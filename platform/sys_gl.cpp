// sys_gl.cpp -- OpenGL contexts (SDL for windows, sys_native headless)
// and the drawing surface every frame is drawn into.
#define GL_GLEXT_PROTOTYPES 1
#include "platform/platform.h"
#include "platform/sys_internal.h"
#include "platform/sys_native.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>

#include "platform/sys_glext.h"
#include "platform/sys_readback.h"
#ifdef DEMO_GLES3
#include "platform/sys_gles.h"
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

SDL_GLContext g_sdlContext = nullptr;
FrameHook g_frameHook = nullptr;

// The drawing surface.
GLuint g_fbo = 0;
GLuint g_colour = 0;
GLuint g_depth = 0;
int g_scale = 1;
int g_requestedScale = 0;  // 0: full screen chooses, windowed is 1

int ClampScale(int scale) { return scale < 1 ? 1 : (scale > 4 ? 4 : scale); }

// Makes the surface (anew, when one exists) at a scale, black, its viewport
// the whole surface, lines as wide as one logical pixel.
bool MakeSurface(int scale) {
    if (g_fbo) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &g_fbo);
        glDeleteRenderbuffers(1, &g_colour);
        glDeleteRenderbuffers(1, &g_depth);
        g_fbo = g_colour = g_depth = 0;
    }
    g_scale = scale;
    const int w = kSurfaceWidth * scale, h = kSurfaceHeight * scale;
    glGenFramebuffers(1, &g_fbo);
    glGenRenderbuffers(1, &g_colour);
    glGenRenderbuffers(1, &g_depth);
    glBindRenderbuffer(GL_RENDERBUFFER, g_colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, w, h);
    glBindRenderbuffer(GL_RENDERBUFFER, g_depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, g_fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, g_colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, g_depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::fprintf(stderr, "drawing surface: framebuffer incomplete\n");
        return false;
    }
    // A new image starts black, like a fresh window.
    const GLfloat black[4] = {0, 0, 0, 1};
    const GLfloat far = 1.0f;
    glClearBufferfv(GL_COLOR, 0, black);
    glClearBufferfv(GL_DEPTH, 0, &far);
    glViewport(0, 0, w, h);
    // Nothing else sets the line width: every line the scenes and effect
    // objects draw (the wireframes among them) is one logical pixel wide.
    Sys_LineWidth(1.0f);
    return true;
}

// Headless, the first call makes the context and later calls keep it.
bool g_headlessMade = false;
bool MakeHeadlessContext() {
    if (g_headlessMade) return true;
    if (!Sys_Native_MakeHeadlessContext()) return false;
    g_headlessMade = true;
    return MakeSurface(Sys_Internal_HeadlessScale());
}

// True on Mesa's software rasterisers, where four times the pixels cost
// four times the time.
bool SoftwareRenderer() {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!renderer) return true;
    for (const char* name : {"llvmpipe", "softpipe", "swrast"})
        if (std::strstr(renderer, name)) return true;
    return false;
}

}  // namespace

bool Sys_CreateGLContext(HWND window) {
    if (Sys_IsHeadless()) return MakeHeadlessContext();
    SDL_Window* sdl = static_cast<SDL_Window*>(Sys_NativeWindow(window));
    if (!sdl) return false;
#ifdef DEMO_GLES3
    Sys_Gles_RequestWindowContext();
#else
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
#endif
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_BUFFER_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    g_sdlContext = SDL_GL_CreateContext(sdl);
    if (!g_sdlContext) {
        std::fprintf(stderr, "SDL GL context: %s\n", SDL_GetError());
        // SDL's offscreen driver offers no desktop GL: draw headless there,
        // so the demo still runs its frames (tests ask for that driver by
        // name). On a real display a failed context is a failure: a black
        // window with music playing would tell the viewer nothing.
        const char* driver = SDL_GetCurrentVideoDriver();
        if (!driver || std::strcmp(driver, "offscreen") != 0) return false;
        if (!MakeHeadlessContext()) return false;
        return g_requestedScale == 0 || Sys_SetSurfaceScale(g_requestedScale);
    }
    SDL_GL_MakeCurrent(sdl, g_sdlContext);
#ifdef _WIN32
    if (!Sys_LoadGLEntryPoints()) return false;
#endif
#ifdef DEMO_GLES3
    if (!Sys_Gles_StartLayer()) return false;
#endif
    SDL_GL_SetSwapInterval(1);
    return MakeSurface(g_requestedScale ? g_requestedScale : 1);
}

void Sys_RequestSurfaceScale(int scale) { g_requestedScale = scale <= 0 ? 0 : ClampScale(scale); }

bool Sys_SetSurfaceScale(int scale) {
    if (!g_fbo) return false;
    scale = ClampScale(scale);
    if (scale == g_scale) return true;
    // The viewport stays where it was in logical pixels.
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
    const int fit = std::min(screenWidth / kSurfaceWidth, screenHeight / kSurfaceHeight);
    return ClampScale(fit);
}

void Sys_Internal_FitSurfaceToScreen(int screenWidth, int screenHeight) {
    if (!g_fbo) return;
    Sys_SetSurfaceScale(Sys_FullScreenScale(screenWidth, screenHeight, g_requestedScale, SoftwareRenderer()));
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

void Sys_SwapBuffers(HWND window) {
    if (!g_fbo) return;
    SDL_Window* sdl = g_sdlContext ? static_cast<SDL_Window*>(Sys_NativeWindow(window)) : nullptr;
    if (sdl) {
        // Present the surface, aspect kept, with black bars. Only calls that
        // ignore the demo's GL state are used (no clear colour, no viewport).
        int dw = 0, dh = 0;
        SDL_GL_GetDrawableSize(sdl, &dw, &dh);
        const int sw = kSurfaceWidth * g_scale, sh = kSurfaceHeight * g_scale;
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
        if (Sys_Internal_WindowIsFullscreen(window) && fit >= 2) {
            w = kSurfaceWidth * fit;
            h = kSurfaceHeight * fit;
        }
        const int x = (dw - w) / 2, y = (dh - h) / 2;
        const GLfloat black[4] = {0, 0, 0, 1};
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glClearBufferfv(GL_COLOR, 0, black);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, g_fbo);
        glBlitFramebuffer(0, 0, sw, sh, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT,
                          (w == sw && h == sh) ? GL_NEAREST : GL_LINEAR);
        SDL_GL_SwapWindow(sdl);
        glBindFramebuffer(GL_FRAMEBUFFER, g_fbo);
    }
    if (g_frameHook) g_frameHook();
}
