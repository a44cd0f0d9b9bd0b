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
 * current; calling it again (a new context) starts over: every texture and
 * display list of before is gone and must be made again. Returns 0 when a
 * function is missing or the shaders do not build (a line on stderr says
 * which), 1 otherwise. Until it has returned 1 every GL call records
 * GL_INVALID_OPERATION and does nothing. */
int gl11_Init(gl11_GetProcFn getProc);

/* 1 once the driver has reported the context lost (to glGetError or to
 * this call, which asks it). From then on every GL call records
 * GL_CONTEXT_LOST (0x0507) and does nothing, until gl11_Init on a new
 * context; the caller then uploads its textures and lists again. */
int gl11_ContextLost(void);

/* GL_SRC_ALPHA / GL_ONE_MINUS_SRC_ALPHA and GL_SRC_COLOR /
 * GL_ONE_MINUS_SRC_COLOR are done in the fragment shader, in 8-bit
 * arithmetic, when the driver's blend rounds otherwise (gl11_Init draws a
 * small test to find out). gl11_ShaderBlend says whether they are;
 * gl11_SetShaderBlend(1 or 0) overrides the choice until the next
 * gl11_Init (for tests and comparisons). */
int gl11_ShaderBlend(void);
void gl11_SetShaderBlend(int on);

/* Lines wider than a pixel are drawn by the driver where its range of line
 * widths reaches that far (Mesa's llvmpipe draws up to 255), otherwise as
 * triangles by the layer (a browser's WebGL draws lines 1 pixel wide only;
 * those triangles end where the line's vertices are, where GL would end a
 * line by the diamond-exit rule: the ends may differ by a pixel).
 * gl11_SetLineEmulation(1) draws them as triangles on every driver, until the
 * next gl11_Init (for tests and comparisons). */
void gl11_SetLineEmulation(int on);

#ifdef __cplusplus
}
#endif
#endif
