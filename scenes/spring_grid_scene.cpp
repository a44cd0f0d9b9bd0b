// spring_grid_scene.cpp -- the spring grid scene of part 6.
#include "scenes/spring_grid_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "fx/spring_mesh.h"
#include "scenes/overlays.h"

bool pullStarted = false;
int32_t pulledNode = 0;

int32_t PulledNode(int32_t t) {
    const float u = float(t) * 0.01f;
    const float s = sinf(u);
    const int32_t colTerm = int32_t(25.0f + 15.0f * s * cosf(u));
    const int32_t rowTerm = int32_t(25.0f + 10.0f * s);
    return colTerm + 50 * rowTerm + 25;
}

namespace {

// Sets a node's downward force, keeping x, z and w from node 0's force.
void SetPull(SpringMesh* mesh, int32_t node, float y) {
    const Vec4 model = mesh->GetNode(0);
    mesh->SetNode(node, model.x, y, model.z, model.w);
}

}  // namespace

void DrawSpringGridScene(int32_t t, SpringMesh* mesh, TextureId gridTexture) {
    const float tf = float(t);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(10, 15, 10, 0, 0, 0, 0, 1, 0);
    glPushMatrix();
    glRotatef(tf * 0.1f, 0, 1, 0);

    // The lit, textured cloth.
    static const float kAmbient[4] = {0.2f, 0.4f, 0.6f, 1.0f};
    glEnable(GL_LIGHTING);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, kAmbient);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, gridTexture);
    mesh->Draw();

    // Its black wireframe, just above it. Texturing stays on for what
    // follows, but black times the picture is black: the lines skip it.
    glDisable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glColor3f(0, 0, 0);
    glTranslatef(0, 0.05f, 0);
    glDisable(GL_TEXTURE_2D);
    mesh->Draw();
    glEnable(GL_TEXTURE_2D);
    glTranslatef(0, -0.05f, 0);

    glEnable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glPopMatrix();

    const int32_t node = PulledNode(t);
    if (!pullStarted) {
        pullStarted = true;
    } else {
        SetPull(mesh, pulledNode, 0.0f);
    }
    SetPull(mesh, node, -100.0f);
    pulledNode = node;

    mesh->Step();

    // GL_TEXTURE_2D is still on: the fade is tinted by the grid picture.
    if (t <= 600) DrawFadeOverlay(1, 1, 1, 1.0f - tf * 0.0016666667f);
    glFlush();
}
