// billboard.cpp -- the display-listed sprite quad and its facing draw.
#include "fx/billboard.h"

#include <GL/gl.h>

#include "fx/sprite_quad.h"
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
    TexturedCorners(h);
    glEnd();
    glEndList();
}

void Billboard::Draw() {
    // F cancels the view's rotation so the quad faces the viewer.
    GLfloat f[16];
    FacingMatrix(f);

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
