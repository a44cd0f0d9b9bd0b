// title_scene.cpp -- the plasma title scene of part 1.
#include "scenes/title_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "scenes/overlays.h"
#include "scenes/quad_strips.h"

void BuildPlasmaSheet(int32_t t, StripVertex* out) {
    const float phase = float(t) * 0.0125f;
    float y0 = -5.0f;
    float phi0 = phase;
    float v = 0.0f;
    for (int j = 0; j < kPlasmaRows; ++j) {
        const float y1 = y0 + 0.125f;
        const float phi1 = phi0 + 0.18f;
        const float c0 = cosf(phi0), c1 = cosf(phi1);
        float x = -5.0f;
        float theta = phase;
        float u = 0.0f;
        for (int i = 0; i < kPlasmaColumns; ++i) {
            const float S = sinf(theta), C = cosf(theta);
            StripVertex& upper = *out++;
            upper.s = u + 0.1f * c1 * c1 * S;
            upper.t = v + 0.0125f + 0.1f * c1 * S * (c1 * S + C);
            upper.x = x;
            upper.y = y1;
            upper.z = 2.0f * c1 * S;
            StripVertex& lower = *out++;
            lower.s = u + 0.1f * c0 * c0 * S;
            lower.t = v + 0.1f * c0 * S * (c0 * S + C);
            lower.x = x;
            lower.y = y0;
            lower.z = 2.0f * c0 * S;
            x += 0.125f;
            theta += 0.18f;
            u += 0.0125f;
        }
        y0 += 0.125f;
        phi0 += 0.18f;
        v += 0.0125f;
    }
}

void DrawPlasmaSheet(TextureId texture, int32_t t) {
    static StripVertex sheet[kPlasmaRows * kPlasmaColumns * 2];
    BuildPlasmaSheet(t, sheet);

    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glBindTexture(GL_TEXTURE_2D, texture);
    // Every vertex is white: the current colour serves them all.
    glColor3f(1, 1, 1);
    DrawQuadStrips(sheet, kPlasmaRows, kPlasmaColumns * 2);
    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
}

void DrawTitleScene(int32_t t, TextureId plasmaTexture, TextureId titleTexture) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(0, 0, 4, 0, 0, 0, 0, 1, 0);
    glPushMatrix();
    // Bright texels dominate; overlapping folds brighten each other.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
    DrawPlasmaSheet(plasmaTexture, t);
    glDisable(GL_BLEND);
    glPopMatrix();

    DrawKeyedOverlay(titleTexture);
    if (t <= 1200) DrawFadeOverlay(0, 0, 0, 1.0f - float(t) * 0.00083333335f);
    glFlush();
}
