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

/* GL_SRC_ALPHA / GL_ONE_MINUS_SRC_ALPHA and GL_SRC_COLOR /
 * GL_ONE_MINUS_SRC_COLOR are done in the fragment shader, in 8-bit
 * arithmetic, when the driver's blend rounds otherwise (gl11_Init draws a
 * small test to find out). gl11_ShaderBlend says whether they are;
 * gl11_SetShaderBlend(1 or 0) overrides the choice until the next
 * gl11_Init (for tests and comparisons). */
int gl11_ShaderBlend(void);
void gl11_SetShaderBlend(int on);

#ifdef __cplusplus
}
#endif
#endif
