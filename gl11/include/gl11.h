/* gl11 -- starting the layer. See GL/gl.h for what it implements. */
#ifndef GL11_H
#define GL11_H

#ifdef __cplusplus
extern "C" {
#endif

/* Looks an ES 3.0 function up by name (eglGetProcAddress,
 * SDL_GL_GetProcAddress, emscripten_webgl_get_proc_address). */
typedef void* (*gl11_GetProcFn)(const char* name);

/* Loads the ES 3.0 functions the layer draws with from the current context
 * and sets the GL 1.1 state to its defaults. Call once the context is
 * current; calling it again (a new context) starts over. Returns 0 when a
 * function is missing or the shaders do not build (a line on stderr says
 * which), 1 otherwise. */
int gl11_Init(gl11_GetProcFn getProc);

#ifdef __cplusplus
}
#endif
#endif
