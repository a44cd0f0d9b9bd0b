// sys_gles.cpp -- OpenGL ES 3.0 contexts for the build on the gl11 layer:
// headless through EGL's surfaceless platform (Mesa), windowed through SDL.
// Replaces sys_native_egl.cpp in that build.
#include "platform/sys_gles.h"
#include "platform/sys_native.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <SDL.h>

#include <cstdio>

#include "gl11/include/gl11.h"

namespace {

void* EglProc(const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }
void* SdlProc(const char* name) { return SDL_GL_GetProcAddress(name); }

}  // namespace

bool Sys_Native_MakeHeadlessContext() {
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return false;
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        std::fprintf(stderr, "EGL: no surfaceless display\n");
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_ES_API)) return false;
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0, EGL_NONE};
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) {
        std::fprintf(stderr, "EGL: no OpenGL ES 3.0 context\n");
        return false;
    }
    if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) != EGL_TRUE) return false;
    return gl11_Init(EglProc) != 0;
}

void Sys_Gles_RequestWindowContext() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
}

bool Sys_Gles_StartLayer() { return gl11_Init(SdlProc) != 0; }
