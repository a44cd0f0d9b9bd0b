// sys_glext_win.cpp -- looks up the OpenGL entry points of sys_glext.h in
// the current context (through SDL, which asks WGL).
#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>

#include <cstdio>

#include "platform/sys_glext.h"

#define SYS_GL_DEFINE(type, name) type sys_##name = nullptr;
SYS_GL_ENTRY_POINTS(SYS_GL_DEFINE)
#undef SYS_GL_DEFINE

bool Sys_LoadGLEntryPoints() {
    bool all = true;
#define SYS_GL_LOAD(type, name)                                                      \
    sys_##name = reinterpret_cast<type>(SDL_GL_GetProcAddress(#name));               \
    if (!sys_##name) {                                                               \
        std::fprintf(stderr, "OpenGL: no %s in this context\n", #name);              \
        all = false;                                                                 \
    }
    SYS_GL_ENTRY_POINTS(SYS_GL_LOAD)
#undef SYS_GL_LOAD
    return all;
}
