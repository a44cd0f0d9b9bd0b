// gl_test.cpp -- the headless test context and its helpers.
#include "tests/support/gl_test.h"

#include <GL/gl.h>

#include "platform/platform.h"

bool MakeHeadlessGL() {
    static int made = -1;
    if (made < 0) {
        Sys_SetHeadless(1);
        made = Sys_CreateGLContext(0) ? 1 : 0;
    }
    return made == 1;
}

std::vector<uint8_t> ReadSurface() {
    std::vector<uint8_t> rgb(size_t(kSurfaceWidth) * kSurfaceHeight * 3 * Sys_SurfaceScale() *
                             Sys_SurfaceScale());
    Sys_ReadSurface(rgb.data());
    return rgb;
}

Rgb PixelAt(int x, int y) {
    uint8_t p[3] = {0, 0, 0};
    GLint pack = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    glPixelStorei(GL_PACK_ALIGNMENT, pack);
    return Rgb{p[0], p[1], p[2]};
}

void ResetGLState() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    Sys_Viewport(0, 0, kSurfaceWidth, kSurfaceHeight);
    const GLenum off[] = {GL_BLEND, GL_LIGHTING, GL_TEXTURE_2D, GL_DEPTH_TEST, GL_NORMALIZE,
                          GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_CULL_FACE, GL_COLOR_MATERIAL};
    for (GLenum cap : off) glDisable(cap);
    for (GLenum light = GL_LIGHT0; light <= GL_LIGHT7; ++light) glDisable(light);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glBlendFunc(GL_ONE, GL_ZERO);
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
