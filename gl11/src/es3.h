// es3.h -- the ES loader's table: the OpenGL ES 3.0 functions and tokens
// the layer draws with, looked up at start through the caller's getProc
// (nothing is linked against a GLES library).
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>

typedef char GLchar;
typedef ptrdiff_t GLsizeiptr;
typedef ptrdiff_t GLintptr;

#define ES_ARRAY_BUFFER 0x8892
#define ES_ELEMENT_ARRAY_BUFFER 0x8893
#define ES_STREAM_DRAW 0x88E0
#define ES_STATIC_DRAW 0x88E4
#define ES_FRAGMENT_SHADER 0x8B30
#define ES_VERTEX_SHADER 0x8B31
#define ES_COMPILE_STATUS 0x8B81
#define ES_LINK_STATUS 0x8B82
#define ES_INFO_LOG_LENGTH 0x8B84
#define ES_TEXTURE0 0x84C0
#define ES_TEXTURE1 0x84C1
#define ES_ALPHA_BITS 0x0D55
#define ES_MAX_TEXTURE_SIZE 0x0D33
#define ES_ALIASED_POINT_SIZE_RANGE 0x846D
#define ES_ALIASED_LINE_WIDTH_RANGE 0x846E

#define GL11_ES_FUNCTIONS(X)                                                                               \
    X(void, Enable, (GLenum cap))                                                                          \
    X(void, Disable, (GLenum cap))                                                                         \
    X(void, BlendFunc, (GLenum s, GLenum d))                                                               \
    X(void, DepthFunc, (GLenum f))                                                                         \
    X(void, DepthMask, (GLboolean f))                                                                      \
    X(void, ColorMask, (GLboolean r, GLboolean g, GLboolean b, GLboolean a))                               \
    X(void, CullFace, (GLenum m))                                                                          \
    X(void, LineWidth, (GLfloat w))                                                                        \
    X(void, FrontFace, (GLenum m))                                                                         \
    X(void, Scissor, (GLint x, GLint y, GLsizei w, GLsizei h))                                             \
    X(void, Viewport, (GLint x, GLint y, GLsizei w, GLsizei h))                                            \
    X(void, Clear, (GLbitfield m))                                                                         \
    X(void, ClearColor, (GLfloat r, GLfloat g, GLfloat b, GLfloat a))                                      \
    X(void, ClearDepthf, (GLfloat d))                                                                      \
    X(void, PixelStorei, (GLenum p, GLint v))                                                              \
    X(void, ReadPixels, (GLint x, GLint y, GLsizei w, GLsizei h, GLenum f, GLenum t, void* p))            \
    X(const GLubyte*, GetString, (GLenum n))                                                               \
    X(void, GetIntegerv, (GLenum p, GLint* v))                                                             \
    X(void, GetFloatv, (GLenum p, GLfloat* v))                                                             \
    X(GLenum, GetError, (void))                                                                            \
    X(void, Flush, (void))                                                                                 \
    X(void, Finish, (void))                                                                                \
    X(void, GenTextures, (GLsizei n, GLuint* t))                                                           \
    X(void, DeleteTextures, (GLsizei n, const GLuint* t))                                                  \
    X(void, BindTexture, (GLenum target, GLuint t))                                                        \
    X(void, ActiveTexture, (GLenum unit))                                                                  \
    X(void, TexImage2D, (GLenum t, GLint l, GLint i, GLsizei w, GLsizei h, GLint b, GLenum f, GLenum ty,   \
                         const void* p))                                                                   \
    X(void, TexParameteri, (GLenum t, GLenum p, GLint v))                                                  \
    X(void, CopyTexSubImage2D, (GLenum t, GLint l, GLint dx, GLint dy, GLint x, GLint y, GLsizei w,        \
                                GLsizei h))                                                                \
    X(GLuint, CreateShader, (GLenum type))                                                                 \
    X(void, ShaderSource, (GLuint s, GLsizei n, const GLchar* const* src, const GLint* len))              \
    X(void, CompileShader, (GLuint s))                                                                     \
    X(void, GetShaderiv, (GLuint s, GLenum p, GLint* v))                                                   \
    X(void, GetShaderInfoLog, (GLuint s, GLsizei n, GLsizei* len, GLchar* log))                            \
    X(void, DeleteShader, (GLuint s))                                                                      \
    X(GLuint, CreateProgram, (void))                                                                       \
    X(void, AttachShader, (GLuint p, GLuint s))                                                            \
    X(void, BindAttribLocation, (GLuint p, GLuint i, const GLchar* name))                                  \
    X(void, LinkProgram, (GLuint p))                                                                       \
    X(void, GetProgramiv, (GLuint p, GLenum n, GLint* v))                                                  \
    X(void, GetProgramInfoLog, (GLuint p, GLsizei n, GLsizei* len, GLchar* log))                           \
    X(void, UseProgram, (GLuint p))                                                                        \
    X(void, DeleteProgram, (GLuint p))                                                                     \
    X(GLint, GetUniformLocation, (GLuint p, const GLchar* name))                                           \
    X(void, Uniform1i, (GLint l, GLint v))                                                                 \
    X(void, Uniform1f, (GLint l, GLfloat v))                                                               \
    X(void, Uniform2f, (GLint l, GLfloat a, GLfloat b))                                                    \
    X(void, Uniform1fv, (GLint l, GLsizei n, const GLfloat* v))                                            \
    X(void, Uniform3fv, (GLint l, GLsizei n, const GLfloat* v))                                            \
    X(void, Uniform4fv, (GLint l, GLsizei n, const GLfloat* v))                                            \
    X(void, UniformMatrix3fv, (GLint l, GLsizei n, GLboolean t, const GLfloat* v))                         \
    X(void, UniformMatrix4fv, (GLint l, GLsizei n, GLboolean t, const GLfloat* v))                         \
    X(void, GenBuffers, (GLsizei n, GLuint* b))                                                            \
    X(void, DeleteBuffers, (GLsizei n, const GLuint* b))                                                   \
    X(void, BindBuffer, (GLenum t, GLuint b))                                                              \
    X(void, BufferData, (GLenum t, GLsizeiptr n, const void* d, GLenum u))                                 \
    X(void, BufferSubData, (GLenum t, GLintptr o, GLsizeiptr n, const void* d))                            \
    X(void, GenVertexArrays, (GLsizei n, GLuint* a))                                                       \
    X(void, BindVertexArray, (GLuint a))                                                                   \
    X(void, VertexAttribPointer, (GLuint i, GLint n, GLenum t, GLboolean norm, GLsizei s, const void* p))  \
    X(void, EnableVertexAttribArray, (GLuint i))                                                           \
    X(void, DisableVertexAttribArray, (GLuint i))                                                          \
    X(void, VertexAttrib4f, (GLuint i, GLfloat x, GLfloat y, GLfloat z, GLfloat w))                        \
    X(void, DrawArrays, (GLenum m, GLint f, GLsizei n))                                                    \
    X(void, DrawElements, (GLenum m, GLsizei n, GLenum t, const void* i))                                  \
    X(void, DrawRangeElements, (GLenum m, GLuint lo, GLuint hi, GLsizei n, GLenum t, const void* i))       \
    X(void, GenFramebuffers, (GLsizei n, GLuint* f))                                                       \
    X(void, DeleteFramebuffers, (GLsizei n, const GLuint* f))                                              \
    X(void, BindFramebuffer, (GLenum t, GLuint f))                                                         \
    X(void, FramebufferRenderbuffer, (GLenum t, GLenum a, GLenum rt, GLuint r))                            \
    X(GLenum, CheckFramebufferStatus, (GLenum t))                                                          \
    X(void, BlitFramebuffer, (GLint a, GLint b, GLint c, GLint d, GLint e, GLint f, GLint g, GLint h,      \
                              GLbitfield m, GLenum fi))                                                    \
    X(void, GenRenderbuffers, (GLsizei n, GLuint* r))                                                      \
    X(void, DeleteRenderbuffers, (GLsizei n, const GLuint* r))                                             \
    X(void, BindRenderbuffer, (GLenum t, GLuint r))                                                        \
    X(void, RenderbufferStorage, (GLenum t, GLenum f, GLsizei w, GLsizei h))                               \
    X(void, ClearBufferfv, (GLenum b, GLint d, const GLfloat* v))

namespace gl11 {
struct Es {
#define GL11_ES_MEMBER(ret, name, params) ret(*name) params = nullptr;
    GL11_ES_FUNCTIONS(GL11_ES_MEMBER)
#undef GL11_ES_MEMBER
};
extern Es es;
}  // namespace gl11
