// sys_glext_win.cpp -- looks up the OpenGL entry points of sys_glext.h in
// the current context (through SDL, which asks WGL).
#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>

#include "platform/sys_glext.h"

#define SYS_GL_DEFINE(type, name) type sys_##name = nullptr;
SYS_GL_ENTRY_POINTS(SYS_GL_DEFINE)
#undef SYS_GL_DEFINE

bool Sys_LoadGLEntryPoints() {
    bool all = true;
#define SYS_GL_LOAD(type, name)                                       \
    {                                                                 \
        void* found = SDL_GL_GetProcAddress(#name);                   \
        sys_##name = Sys_GLEntryPointFound(found) ? reinterpret_cast<type>(found) : nullptr; \
        all = all && sys_##name;                                      \
    }
    SYS_GL_ENTRY_POINTS(SYS_GL_LOAD)
#undef SYS_GL_LOAD
    return all;
}
