// sprite_quad.cpp -- the camera-facing quad of the sprites.
#include "fx/sprite_quad.h"

#include <GL/gl.h>

void FacingMatrix(float* b) {
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    b[0] = m[0], b[1] = m[4], b[2] = m[8], b[3] = 0;
    b[4] = m[1], b[5] = m[5], b[6] = m[9], b[7] = 0;
    b[8] = m[2], b[9] = m[6], b[10] = m[10], b[11] = 0;
    b[12] = 0, b[13] = 0, b[14] = 0, b[15] = 1;
}

void TexturedCorners(float h) {
    glTexCoord2f(0, 0);
    glVertex3f(-h, -h, 0);
    glTexCoord2f(1, 0);
    glVertex3f(h, -h, 0);
    glTexCoord2f(1, 1);
    glVertex3f(h, h, 0);
    glTexCoord2f(0, 1);
    glVertex3f(-h, h, 0);
}
