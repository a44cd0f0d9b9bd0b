/* gl11 -- the few entry points past OpenGL 1.1 that a program's platform
 * code may need beside the layer: framebuffer and renderbuffer objects,
 * framebuffer blits and buffer clears. They are ES 3.0 calls with the same
 * meaning, passed straight through (the layer keeps no state of them). */
#ifndef GL11_GLEXT_H
#define GL11_GLEXT_H
#define __glext_h_ 1
#include <GL/gl.h>

#ifdef __cplusplus
extern "C" {
#endif

#define GL_FRAMEBUFFER 0x8D40
#define GL_READ_FRAMEBUFFER 0x8CA8
#define GL_DRAW_FRAMEBUFFER 0x8CA9
#define GL_RENDERBUFFER 0x8D41
#define GL_COLOR_ATTACHMENT0 0x8CE0
#define GL_DEPTH_ATTACHMENT 0x8D00
#define GL_FRAMEBUFFER_COMPLETE 0x8CD5
#define GL_DEPTH_COMPONENT24 0x81A6
#define GL_FRAMEBUFFER_BINDING 0x8CA6

#define glGenFramebuffers gl11_glGenFramebuffers
#define glDeleteFramebuffers gl11_glDeleteFramebuffers
#define glBindFramebuffer gl11_glBindFramebuffer
#define glFramebufferRenderbuffer gl11_glFramebufferRenderbuffer
#define glCheckFramebufferStatus gl11_glCheckFramebufferStatus
#define glBlitFramebuffer gl11_glBlitFramebuffer
#define glGenRenderbuffers gl11_glGenRenderbuffers
#define glDeleteRenderbuffers gl11_glDeleteRenderbuffers
#define glBindRenderbuffer gl11_glBindRenderbuffer
#define glRenderbufferStorage gl11_glRenderbufferStorage
#define glClearBufferfv gl11_glClearBufferfv

void gl11_glGenFramebuffers(GLsizei n, GLuint* framebuffers);
void gl11_glDeleteFramebuffers(GLsizei n, const GLuint* framebuffers);
void gl11_glBindFramebuffer(GLenum target, GLuint framebuffer);
void gl11_glFramebufferRenderbuffer(GLenum target, GLenum attachment, GLenum renderbuffertarget,
                                    GLuint renderbuffer);
GLenum gl11_glCheckFramebufferStatus(GLenum target);
void gl11_glBlitFramebuffer(GLint srcX0, GLint srcY0, GLint srcX1, GLint srcY1, GLint dstX0, GLint dstY0,
                            GLint dstX1, GLint dstY1, GLbitfield mask, GLenum filter);
void gl11_glGenRenderbuffers(GLsizei n, GLuint* renderbuffers);
void gl11_glDeleteRenderbuffers(GLsizei n, const GLuint* renderbuffers);
void gl11_glBindRenderbuffer(GLenum target, GLuint renderbuffer);
void gl11_glRenderbufferStorage(GLenum target, GLenum internalformat, GLsizei width, GLsizei height);
void gl11_glClearBufferfv(GLenum buffer, GLint drawbuffer, const GLfloat* value);

#ifdef __cplusplus
}
#endif
#endif
