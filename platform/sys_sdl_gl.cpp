// sys_sdl_gl.cpp -- the desktop's OpenGL: a context for an SDL window (or,
// headless, sys_native's with no display), and the drawing surface's
// picture put into the window: blitted, or, where a blit cannot be made
// into the window, drawn as a textured quad.
#define GL_GLEXT_PROTOTYPES 1
#include "platform/platform.h"
#include "platform/sys_device.h"
#include "platform/sys_internal.h"
#include "platform/sys_native.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>

#include "platform/sys_glext.h"
#ifdef DEMO_GLES3
#include "platform/sys_gles.h"
#endif

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

// How the picture reaches the window: blitted, or copied into a texture
// and drawn as a quad (no framebuffer objects, or a multisampled window,
// which some drivers force and which a blit cannot be made into).
bool g_blitToWindow = true;
#ifndef DEMO_GLES3  // (the OpenGL ES layer always blits)
GLuint g_picture = 0;
int g_pictureWidth = 0, g_pictureHeight = 0;  // the texture's size
#endif
bool g_powerOfTwoOnly = true;

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

// Headless, the first call makes the context and later calls keep it.
bool g_headlessMade = false;
bool MakeHeadlessContext() {
    if (g_headlessMade) return true;
    if (!Sys_Native_MakeHeadlessContext()) return false;
    g_headlessMade = true;
    return Sys_Internal_MakeFirstSurface(Sys_Internal_HeadlessScale());
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
    const int scale = Sys_SurfaceScale();
    const int sw = kSurfaceWidth * scale, sh = kSurfaceHeight * scale;
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
    const int scale = Sys_SurfaceScale();
    const int sw = kSurfaceWidth * scale, sh = kSurfaceHeight * scale;
    const int tw = g_powerOfTwoOnly ? PowerOfTwoAtLeast(sw) : sw;
    const int th = g_powerOfTwoOnly ? PowerOfTwoAtLeast(sh) : sh;
    glPushAttrib(GL_TEXTURE_BIT | GL_PIXEL_MODE_BIT);
    if (!g_picture || tw != g_pictureWidth || th != g_pictureHeight) {
        if (!g_picture) glGenTextures(1, &g_picture);
        glBindTexture(GL_TEXTURE_2D, g_picture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, tw, th, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
        g_pictureWidth = tw, g_pictureHeight = th;
        char event[48];
        std::snprintf(event, sizeof event, "picture texture %d x %d", tw, th);
        Sys_Internal_TraceEvent(event);
    }
    glBindTexture(GL_TEXTURE_2D, g_picture);
    if (Sys_Internal_SurfaceInWindow()) glReadBuffer(GL_BACK);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, sw, sh);
    glPopAttrib();
    return glGetError() == GL_NO_ERROR;
#endif
}

// Blits the surface into the window's back buffer. False when the driver
// refuses.
bool BlitPicture(const Sys_Placement& p) {
    const int scale = Sys_SurfaceScale();
    const int sw = kSurfaceWidth * scale, sh = kSurfaceHeight * scale;
    const GLboolean scissoring = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, Sys_SurfaceFramebuffer());
    glBlitFramebuffer(0, 0, sw, sh, p.x, p.y, p.x + p.w, p.y + p.h, GL_COLOR_BUFFER_BIT,
                      p.wholeMultiple ? GL_NEAREST : GL_LINEAR);
    if (scissoring) glEnable(GL_SCISSOR_TEST);
    return glGetError() == GL_NO_ERROR;
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
        const int requested = Sys_Internal_RequestedScale();
        return requested == 0 || Sys_SetSurfaceScale(requested);
    }
    SDL_GL_MakeCurrent(sdl, g_sdlContext);
#ifdef DEMO_GLES3
    if (!Sys_Gles_StartLayer()) return false;
#endif
    SDL_GL_SetSwapInterval(1);
    g_powerOfTwoOnly = GLVersion() < 20 && !HasExtension("GL_ARB_texture_non_power_of_two");
    // Where framebuffer objects are missing, or none can be made, the demo
    // draws straight into the window, as OpenGL 1.1 programs do.
    const int requested = Sys_Internal_RequestedScale();
    if (!ContextHasFramebufferObjects() || !Sys_Internal_MakeFirstSurface(requested ? requested : 1)) {
        Sys_Internal_UseWindowSurface();
        g_blitToWindow = false;
        return true;
    }
    GLint samples = 0;
#ifndef DEMO_GLES3
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glGetIntegerv(GL_SAMPLE_BUFFERS, &samples);
    glBindFramebuffer(GL_FRAMEBUFFER, Sys_SurfaceFramebuffer());
#endif
    g_blitToWindow = samples == 0;
    return true;
}

const char* Sys_Device_RendererName() {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return renderer ? renderer : "";
}

bool Sys_Device_DrawableSize(HWND window, int* width, int* height) {
    SDL_Window* sdl = g_sdlContext ? static_cast<SDL_Window*>(Sys_NativeWindow(window)) : nullptr;
    if (!sdl) return false;
    SDL_GL_GetDrawableSize(sdl, width, height);
    return true;
}

// Presents the surface without changing any of the demo's GL state. Whole
// multiples are shown sharp: every pixel drawn becomes an N x N block.
void Sys_Device_Present(HWND window, const Sys_Placement& p) {
    SDL_Window* sdl = static_cast<SDL_Window*>(Sys_NativeWindow(window));
    const GLuint fbo = Sys_SurfaceFramebuffer();
    const GLint filter = p.wholeMultiple ? GL_NEAREST : GL_LINEAR;
    // Errors the frame left are no answer to the calls below.
    Sys_Internal_DropErrors();
    // The window surface holds the picture in its corner: it is taken out
    // before the back buffer is made black.
    const bool copied = !g_blitToWindow && CopyPicture();
    if (fbo) glBindFramebuffer(GL_FRAMEBUFFER, 0);
    Sys_Internal_ClearBlack(GL_COLOR_BUFFER_BIT);
    if (g_blitToWindow && !BlitPicture(p)) {
        // A window the driver made multisampled takes no blit: from now on
        // the picture goes as a quad.
        std::fprintf(stderr, "drawing surface: the window takes no blit, drawn as a quad from now on\n");
        g_blitToWindow = false;
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        if (CopyPicture()) {
            glBindFramebuffer(GL_FRAMEBUFFER, 0);
            DrawPicture(p.x, p.y, p.w, p.h, filter);
        }
    } else if (copied) {
        DrawPicture(p.x, p.y, p.w, p.h, filter);
    }
    SDL_GL_SwapWindow(sdl);
    if (fbo) {
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    } else if (copied) {
        // After a swap the back buffer holds anything: the surface keeps its
        // contents, so the picture goes back into its corner.
        Sys_Internal_ClearBlack(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        DrawPicture(0, 0, kSurfaceWidth, kSurfaceHeight, GL_NEAREST);
    }
}
