// lattice_scene.cpp -- the billboard lattice scene of part 7.
#include "scenes/lattice_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "fx/billboard.h"

int LatticeGlow(int j, int k) {
    const int s = j + k;
    if (s % 2 == 0) return 1;
    if (s % 3 != 0) return 3;
    return 2;
}

void DrawBillboardLatticeScene(int32_t t, Billboard* glow1, Billboard* glow2, Billboard* glow3) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(7, 7, 7, 0, 0, 0, 0, 1, 0);

    Billboard* const glows[3] = {glow1, glow2, glow3};
    for (Billboard* glow : glows) {
        glow->size = 6.0f;
        glow->BuildList();
    }

    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glPushMatrix();
    glRotatef(float(t) * 0.5f, 0.5f, 1, 0);

    // The sprites add light and write no depth, so the order in which they
    // are drawn does not change the picture (a saturating sum of the same
    // terms): each billboard draws all its places at once, in lattice order.
    // Nothing has written depth since the clear, so the depth test would
    // pass everywhere and is left out.
    float places[3][216][3];
    int counts[3] = {0, 0, 0};
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            for (int k = 0; k < 6; ++k) {
                const int g = LatticeGlow(j, k) - 1;
                float* p = places[g][counts[g]++];
                p[0] = float(5 * i - 15);
                p[1] = float(5 * j - 15);
                p[2] = float(5 * k - 15);
            }
        }
    }
    const GLboolean depthTest = glIsEnabled(GL_DEPTH_TEST);
    glDisable(GL_DEPTH_TEST);
    for (int g = 0; g < 3; ++g) glows[g]->DrawAt(places[g], counts[g]);
    if (depthTest) glEnable(GL_DEPTH_TEST);
    glPopMatrix();
    glFlush();
}
