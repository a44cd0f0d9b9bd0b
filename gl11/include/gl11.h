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

/* Draws wait: consecutive filled draws that differ only in their matrices
 * and diffuse colour (of up to 32 vertices each, of any size where the
 * modelview is the same) are sent to the driver as one draw, so each waits in the layer until a call that is not a
 * matrix, material, current-attribute, drawing or glCallList call (any
 * query, glFlush and glFinish among them), as GL lets commands wait until
 * glFlush. A program that presents through EGL, SDL or a browser makes a
 * GL call of its own first (glFlush will do). */

/* Shader variants: the layer draws with one ES program per combination of
 * the fixed-function state that changes the shader (a variant), built when
 * a draw first needs it, which can stall that frame (a browser compiles on
 * demand). A program that knows what it will draw can have them built
 * ahead: gl11_Variants writes the ids of the variants built so far into
 * `ids` (at most `max`; `ids` may be null) and returns how many there are;
 * gl11_PrepareVariants starts building those of `ids` and returns without
 * waiting for the driver (which compiles them meanwhile, on threads of its
 * own where it offers KHR_parallel_shader_compile); each is finished at its
 * first draw. Ids are opaque and belong to this build of the layer; an id
 * the layer never makes is left out. In a debug build, once
 * gl11_PrepareVariants has been called, a variant built at its first draw
 * is reported on stderr with its id (once: it is built once).
 * gl11_FinishVariants finishes at once every prepared variant not yet
 * finished: it reads each link's outcome and uniforms, which waits for the
 * driver (a browser's WebGL answers such a query only after all the work
 * sent before it, a whole frame's drawing in the middle of a scene). Call
 * it where that wait is short, as after the first frame has been shown. */
int gl11_Variants(unsigned long long* ids, int max);
void gl11_PrepareVariants(const unsigned long long* ids, int count);
void gl11_FinishVariants(void);

#ifdef __cplusplus
}
#endif
#endif
