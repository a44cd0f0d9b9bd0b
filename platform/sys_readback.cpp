// sys_readback.cpp -- glReadPixels of the drawing surface, 4 bytes a pixel.
#define GL_GLEXT_PROTOTYPES 1
#include "platform/sys_readback.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "platform/platform.h"
#include "platform/sys_glext.h"

bool Sys_ReadSurfaceRgbx(uint8_t* rgbx) {
    const GLuint fbo = Sys_SurfaceFramebuffer();
    if (!fbo) return false;
    const int scale = Sys_SurfaceScale();
    GLint pack = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glReadPixels(0, 0, kSurfaceWidth * scale, kSurfaceHeight * scale, GL_RGBA, GL_UNSIGNED_BYTE, rgbx);
    glPixelStorei(GL_PACK_ALIGNMENT, pack);
    return true;
}
