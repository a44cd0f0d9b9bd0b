// sys_glext.h -- OpenGL entry points past version 1.1 that the platform layer
// calls. On Linux libGL exports them (GL_GLEXT_PROTOTYPES); on Windows
// opengl32.dll stops at 1.1, so they are looked up once a context is
// current, and the names below stand for the pointers found.
// Include after <GL/gl.h> and <GL/glext.h>.
#pragma once

#ifdef _WIN32
#define SYS_GL_ENTRY_POINTS(X)                                      \
    X(PFNGLGENFRAMEBUFFERSPROC, glGenFramebuffers)                  \
    X(PFNGLDELETEFRAMEBUFFERSPROC, glDeleteFramebuffers)            \
    X(PFNGLBINDFRAMEBUFFERPROC, glBindFramebuffer)                  \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, glFramebufferRenderbuffer)  \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, glCheckFramebufferStatus)    \
    X(PFNGLBLITFRAMEBUFFERPROC, glBlitFramebuffer)                  \
    X(PFNGLGENRENDERBUFFERSPROC, glGenRenderbuffers)                \
    X(PFNGLDELETERENDERBUFFERSPROC, glDeleteRenderbuffers)          \
    X(PFNGLBINDRENDERBUFFERPROC, glBindRenderbuffer)                \
    X(PFNGLRENDERBUFFERSTORAGEPROC, glRenderbufferStorage)

#define SYS_GL_DECLARE(type, name) extern type sys_##name;
SYS_GL_ENTRY_POINTS(SYS_GL_DECLARE)
#undef SYS_GL_DECLARE

#define glGenFramebuffers sys_glGenFramebuffers
#define glDeleteFramebuffers sys_glDeleteFramebuffers
#define glBindFramebuffer sys_glBindFramebuffer
#define glFramebufferRenderbuffer sys_glFramebufferRenderbuffer
#define glCheckFramebufferStatus sys_glCheckFramebufferStatus
#define glBlitFramebuffer sys_glBlitFramebuffer
#define glGenRenderbuffers sys_glGenRenderbuffers
#define glDeleteRenderbuffers sys_glDeleteRenderbuffers
#define glBindRenderbuffer sys_glBindRenderbuffer
#define glRenderbufferStorage sys_glRenderbufferStorage

// Looks every entry point up in the current context. False when one is
// missing: the context then has no framebuffer objects for the demo.
bool Sys_LoadGLEntryPoints();
#endif

#include <cstdint>

// What wglGetProcAddress answers for a function the driver lacks: null, or
// on some drivers 1, 2, 3 or -1, which would crash the first call.
inline bool Sys_GLEntryPointFound(const void* address) {
    const intptr_t a = reinterpret_cast<intptr_t>(address);
    return !(a == 0 || a == 1 || a == 2 || a == 3 || a == -1);
}
