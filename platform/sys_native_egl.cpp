// sys_native_egl.cpp -- the headless OpenGL context on Linux: EGL's
// surfaceless platform (Mesa), which needs no display server. A
// compatibility context, or, in the build on the gl11 layer, an OpenGL ES
// 3.0 context with the layer started on it.
#include "platform/sys_native.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstdlib>

#ifdef DEMO_GLES3
#include "gl11/include/gl11.h"
#include "platform/sys_gl11_variants.h"
#endif

bool Sys_Native_MakeHeadlessContext() {
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return false;
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        std::fprintf(stderr, "EGL: no surfaceless display\n");
        return false;
    }
#ifdef DEMO_GLES3
    const EGLenum api = EGL_OPENGL_ES_API;
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0, EGL_NONE};
    const char* what = "OpenGL ES 3.0";
#else
    const EGLenum api = EGL_OPENGL_API;
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    const char* what = "compatibility";
#endif
    if (!eglBindAPI(api)) return false;
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) {
        std::fprintf(stderr, "EGL: no %s context\n", what);
        return false;
    }
    if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) != EGL_TRUE) return false;
#ifdef DEMO_GLES3
    if (!gl11_Init([](const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); })) return false;
    // The blend done in the shader, as on a browser's renderer, on Mesa too:
    // for comparisons, and to find the shader variants a browser needs.
    if (const char* blend = std::getenv("DEMO_GL11_SHADER_BLEND")) gl11_SetShaderBlend(blend[0] == '1');
    Sys_Internal_PrepareGl11Variants();
    return true;
#else
    return true;
#endif
}
