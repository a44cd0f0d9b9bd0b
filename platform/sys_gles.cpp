// sys_gles.cpp -- the OpenGL ES 3.0 context of an SDL window for the build
// on the gl11 layer (the headless one is sys_native_egl.cpp's).
#include "platform/sys_gles.h"

#include <SDL.h>

#include "gl11/include/gl11.h"
#include "platform/sys_gl11_variants.h"

void Sys_Gles_RequestWindowContext() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
}

bool Sys_Gles_StartLayer() {
    if (!gl11_Init(SDL_GL_GetProcAddress)) return false;
    Sys_Internal_PrepareGl11Variants();
    return true;
}
