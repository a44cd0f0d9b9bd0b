// billboard.cpp -- the display-listed sprite quad and its facing draw.
#include "fx/billboard.h"

#include <GL/gl.h>

#include "image/texture_loader.h"

Billboard::Billboard() {
    BuildList();  // the unit quad, size 1.0
}

void Billboard::LoadTexture(const char* resourceName) {
    ::LoadTexture(texture, resourceName);
}

void Billboard::BuildList() {
    // The quad it replaces is never drawn again: release its name, so that
    // rebuilding every frame keeps the number of live lists constant.
    if (list != 0) glDeleteLists(list, 1);
    const float h = size * 0.5f;
    list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glTexCoord2f(0, 0);
    glVertex3f(-h, -h, 0);
    glTexCoord2f(1, 0);
    glVertex3f(h, -h, 0);
    glTexCoord2f(1, 1);
    glVertex3f(h, h, 0);
    glTexCoord2f(0, 1);
    glVertex3f(-h, h, 0);
    glEnd();
    glEndList();
}

void Billboard::Draw() {
    // F: the transpose of the modelview's rotation block, no translation;
    // it cancels the view's rotation so the quad faces the viewer.
    GLfloat m[16], f[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    f[0] = m[0], f[1] = m[4], f[2] = m[8], f[3] = 0;
    f[4] = m[1], f[5] = m[5], f[6] = m[9], f[7] = 0;
    f[8] = m[2], f[9] = m[6], f[10] = m[10], f[11] = 0;
    f[12] = 0, f[13] = 0, f[14] = 0, f[15] = 1;

    glEnable(GL_TEXTURE_2D);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, texture);

    glPushMatrix();
    const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
    glTranslatef(position[0], position[1], position[2]);
    glMultMatrixf(f);
    glCallList(list);
    glPopMatrix();

    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glDisable(GL_TEXTURE_2D);
}
