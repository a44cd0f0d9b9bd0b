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
#include <cstdlib>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// The driver allocates its per-frame storage (llvmpipe: the binned scene,
// the shaded vertices) and frees it again within the frame. glibc gives the
// top of its heap back to the kernel once more than a threshold lies free
// there, and moves that threshold as the program runs: after some orders of
// earlier allocations the heap is then shrunk and grown again many times a
// frame, every page faulted in anew, and a frame takes up to twice as long.
// Fixed thresholds (which also stop the moving) keep that storage.
void KeepDriverStorage() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

SDL_GLContext g_sdlContext = nullptr;
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

// How the picture reaches the window: blitted, or copied into a texture
// and drawn as a quad (no framebuffer objects, or a multisampled window,
// which some drivers force and which a blit cannot be made into).
bool g_blitToWindow = true;
#ifndef DEMO_GLES3  // (the OpenGL ES layer always blits)
GLuint g_picture = 0;
int g_pictureWidth = 0, g_pictureHeight = 0;  // the texture's size
#endif
bool g_powerOfTwoOnly = true;

int ClampScale(int scale) { return scale < 1 ? 1 : (scale > 4 ? 4 : scale); }

// The context's OpenGL version as major * 10 + minor ("2.1 Mesa 22" is 21).
int GLVersion() {
    const char* v = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0, minor = 0;
    if (!v || std::sscanf(v, "%d.%d", &major, &minor) != 2) return 0;
    return major * 10 + minor;
}

bool HasExtension(const char* name) {
    const char* list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!list) return false;
    const size_t n = std::strlen(name);
    for (const char* at = std::strstr(list, name); at; at = std::strstr(at + 1, name))
        if ((at == list || at[-1] == ' ') && (at[n] == ' ' || at[n] == '\0')) return true;
    return false;
}

// Framebuffer objects with their blit: OpenGL 3.0, or an older context
// with the extension that brought them under the same names. Only the
// strings tell: a driver may still answer calls it does not offer.
bool ContextHasFramebufferObjects() {
#ifdef DEMO_GLES3
    return true;  // OpenGL ES 3.0 has both
#else
    if (GLVersion() < 30 && !HasExtension("GL_ARB_framebuffer_object")) return false;
#ifdef _WIN32
    return Sys_LoadGLEntryPoints();
#else
    return true;
#endif
#endif
}

#ifdef DEMO_TEST_HOOKS
// Test builds only: a surface larger than this scale cannot be made (its
// colour buffer is asked for one pixel wider than the driver allows).
int FaultSurfaceScaleLimit() {
    const char* v = std::getenv("DEMO_FAULT_SURFACE_SCALE_LIMIT");
    return v && *v ? std::atoi(v) : 0;
}
#endif

// Forgets the errors recorded so far (a few flags at most; a lost context
// could answer forever).
void DropErrors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// Black colour (and depth at its far end) in the bound framebuffer, whatever
// the demo's clear colour, write masks and scissor.
void ClearBlack(GLbitfield buffers) {
#ifdef DEMO_GLES3
    // (OpenGL ES has no attribute stack; it has these.)
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

// A new image starts black, like a fresh window; its viewport is the whole
// surface. Nothing else sets the line width: every line the scenes and
// effect objects draw (the wireframes among them) is one logical pixel wide.
void StartSurface() {
    ClearBlack(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, kSurfaceWidth * g_scale, kSurfaceHeight * g_scale);
    Sys_LineWidth(1.0f);
}

// Makes a surface at a scale. The new one is made complete before the old
// one goes: when it cannot be (too large for the driver, out of memory),
// nothing changes and the result is false.
bool MakeSurface(int scale) {
    const int w = kSurfaceWidth * scale, h = kSurfaceHeight * scale;
    int colourWidth = w;
#ifdef DEMO_TEST_HOOKS
    if (FaultSurfaceScaleLimit() > 0 && scale > FaultSurfaceScaleLimit()) {
        GLint most = 0;
        glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &most);
        colourWidth = most + 1;
    }
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
    DropErrors();
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
    if (complete) StartSurface();
    return complete;
}

// The first surface: at the scale asked for, else the largest smaller one
// that can be made.
bool MakeFirstSurface(int scale) {
    for (int s = ClampScale(scale); s >= 1; --s)
        if (MakeSurface(s)) return true;
    return false;
}

// Headless, the first call makes the context and later calls keep it.
bool g_headlessMade = false;
bool MakeHeadlessContext() {
    if (g_headlessMade) return true;
    if (!Sys_Native_MakeHeadlessContext()) return false;
    g_headlessMade = true;
    return MakeFirstSurface(Sys_Internal_HeadlessScale());
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

// The drawing goes to the window's back buffer (no framebuffer objects).
void UseWindowSurface() {
    g_windowSurface = true;
    g_blitToWindow = false;
    g_scale = 1;
    StartSurface();
}

}  // namespace

bool Sys_CreateGLContext(HWND window) {
    KeepDriverStorage();
    if (Sys_IsHeadless()) return MakeHeadlessContext();
    SDL_Window* sdl = static_cast<SDL_Window*>(Sys_NativeWindow(window));
    if (!sdl) return false;
#ifdef DEMO_GLES3
    Sys_Gles_RequestWindowContext();
#else
    // No profile and no version asked for: SDL then makes the context the
    // old way (wglCreateContext, glXCreateContext), which every driver
    // offers, Windows' own OpenGL 1.1 included, at the newest version the
    // driver has that runs OpenGL 1.1 programs.
#endif
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_BUFFER_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
#ifdef DEMO_TEST_HOOKS
    // Test builds only: a multisampled window, as drivers told to force
    // multisampling give.
    if (std::getenv("DEMO_FAULT_MULTISAMPLED_WINDOW")) {
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 4);
    }
#endif
    g_sdlContext = SDL_GL_CreateContext(sdl);
    if (g_sdlContext && GLVersion() < 11) {
        SDL_GL_DeleteContext(g_sdlContext);
        g_sdlContext = nullptr;
        SDL_SetError("OpenGL %s, the demo needs 1.1", reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    }
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
#ifdef DEMO_GLES3
    if (!Sys_Gles_StartLayer()) return false;
#endif
    SDL_GL_SetSwapInterval(1);
    g_powerOfTwoOnly = GLVersion() < 20 && !HasExtension("GL_ARB_texture_non_power_of_two");
    // Where framebuffer objects are missing, or none can be made, the demo
    // draws straight into the window, as OpenGL 1.1 programs do.
    if (!ContextHasFramebufferObjects() || !MakeFirstSurface(g_requestedScale ? g_requestedScale : 1)) {
        UseWindowSurface();
        return true;
    }
    GLint samples = 0;
#ifndef DEMO_GLES3
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glGetIntegerv(GL_SAMPLE_BUFFERS, &samples);
    glBindFramebuffer(GL_FRAMEBUFFER, g_fbo);
#endif
    g_blitToWindow = samples == 0;
    return true;
}

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

#ifndef DEMO_GLES3
int PowerOfTwoAtLeast(int n) {
    int p = 1;
    while (p < n) p *= 2;
    return p;
}
#endif

// Draws the picture texture's lower left sw x sh texels into the rectangle
// of the bound framebuffer, with only this call's own state.
void DrawPicture(int x, int y, int w, int h, GLint filter) {
#ifdef DEMO_GLES3
    // The OpenGL ES layer always blits (its window is never multisampled).
    (void)x, (void)y, (void)w, (void)h, (void)filter;
#else
    const int sw = kSurfaceWidth * g_scale, sh = kSurfaceHeight * g_scale;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    const GLenum off[] = {GL_LIGHTING, GL_DEPTH_TEST, GL_BLEND, GL_ALPHA_TEST, GL_CULL_FACE,
                          GL_FOG, GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T,
                          GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q, GL_COLOR_MATERIAL, GL_POLYGON_STIPPLE,
                          GL_COLOR_LOGIC_OP, GL_TEXTURE_1D, GL_CLIP_PLANE0, GL_CLIP_PLANE1,
                          GL_CLIP_PLANE2, GL_CLIP_PLANE3, GL_CLIP_PLANE4, GL_CLIP_PLANE5};
    for (GLenum cap : off) glDisable(cap);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, g_picture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glViewport(x, y, w, h);
    const GLenum stacks[3] = {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW};
    for (GLenum m : stacks) {
        glMatrixMode(m);
        glPushMatrix();
        glLoadIdentity();
    }
    const float s = float(sw) / float(g_pictureWidth), t = float(sh) / float(g_pictureHeight);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(s, 0);
    glVertex2f(1, -1);
    glTexCoord2f(s, t);
    glVertex2f(1, 1);
    glTexCoord2f(0, t);
    glVertex2f(-1, 1);
    glEnd();
    for (GLenum m : stacks) {
        glMatrixMode(m);
        glPopMatrix();
    }
    glPopAttrib();
#endif
}

// Copies the surface into the picture texture (made at the first use).
bool CopyPicture() {
#ifdef DEMO_GLES3
    return false;
#else
    const int sw = kSurfaceWidth * g_scale, sh = kSurfaceHeight * g_scale;
    const int tw = g_powerOfTwoOnly ? PowerOfTwoAtLeast(sw) : sw;
    const int th = g_powerOfTwoOnly ? PowerOfTwoAtLeast(sh) : sh;
    glPushAttrib(GL_TEXTURE_BIT | GL_PIXEL_MODE_BIT);
    if (!g_picture || tw != g_pictureWidth || th != g_pictureHeight) {
        if (!g_picture) glGenTextures(1, &g_picture);
        glBindTexture(GL_TEXTURE_2D, g_picture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, tw, th, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
        g_pictureWidth = tw, g_pictureHeight = th;
    }
    glBindTexture(GL_TEXTURE_2D, g_picture);
    if (g_windowSurface) glReadBuffer(GL_BACK);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, sw, sh);
    glPopAttrib();
    return glGetError() == GL_NO_ERROR;
#endif
}

// Blits the surface into the window's back buffer. False when the driver
// refuses.
bool BlitPicture(const Sys_Placement& p) {
    const int sw = kSurfaceWidth * g_scale, sh = kSurfaceHeight * g_scale;
    const GLboolean scissoring = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_fbo);
    glBlitFramebuffer(0, 0, sw, sh, p.x, p.y, p.x + p.w, p.y + p.h, GL_COLOR_BUFFER_BIT,
                      p.wholeMultiple ? GL_NEAREST : GL_LINEAR);
    if (scissoring) glEnable(GL_SCISSOR_TEST);
    return glGetError() == GL_NO_ERROR;
}

}  // namespace

bool Sys_ReadSurface(uint8_t* rgb) { return ReadSurfaceAs(GL_RGB, 1, rgb); }

bool Sys_ReadSurfaceRgbx(uint8_t* rgbx) { return ReadSurfaceAs(GL_RGBA, 4, rgbx); }

void Sys_SwapBuffers(HWND window) {
    if (!g_fbo && !g_windowSurface) return;
    SDL_Window* sdl = g_sdlContext ? static_cast<SDL_Window*>(Sys_NativeWindow(window)) : nullptr;
    if (sdl) {
        // Present the surface, aspect kept, with black bars, without
        // changing any of the demo's GL state. Whole multiples are shown
        // sharp: every pixel drawn becomes an N x N block.
        int dw = 0, dh = 0;
        SDL_GL_GetDrawableSize(sdl, &dw, &dh);
        const Sys_Placement p = Sys_Internal_Place(dw, dh, g_scale, Sys_Internal_WindowIsFullscreen(window));
        // Errors the frame left are no answer to the calls below.
        DropErrors();
        // The window surface holds the picture in its corner: it is taken
        // out before the back buffer is made black.
        const bool copied = !g_blitToWindow && CopyPicture();
        if (g_fbo) glBindFramebuffer(GL_FRAMEBUFFER, 0);
        ClearBlack(GL_COLOR_BUFFER_BIT);
        if (g_blitToWindow && !BlitPicture(p)) {
            // A window the driver made multisampled takes no blit: from now
            // on the picture goes as a quad.
            std::fprintf(stderr, "drawing surface: the window takes no blit, drawn as a quad from now on\n");
            g_blitToWindow = false;
            glBindFramebuffer(GL_FRAMEBUFFER, g_fbo);
            if (CopyPicture()) {
                glBindFramebuffer(GL_FRAMEBUFFER, 0);
                DrawPicture(p.x, p.y, p.w, p.h, p.wholeMultiple ? GL_NEAREST : GL_LINEAR);
            }
        } else if (copied) {
            DrawPicture(p.x, p.y, p.w, p.h, p.wholeMultiple ? GL_NEAREST : GL_LINEAR);
        }
        SDL_GL_SwapWindow(sdl);
        if (g_fbo) {
            glBindFramebuffer(GL_FRAMEBUFFER, g_fbo);
        } else if (copied) {
            // After a swap the back buffer holds anything: the surface keeps
            // its contents, so the picture goes back into its corner.
            ClearBlack(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            DrawPicture(0, 0, kSurfaceWidth, kSurfaceHeight, GL_NEAREST);
        }
    }
    if (g_frameHook) g_frameHook();
}
