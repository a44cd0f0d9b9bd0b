// spiral_scene.cpp -- the helix spiral scene of part 3.
#include "scenes/spiral_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "fx/helix_ribbon.h"
#include "fx/particle_system.h"
#include "scenes/overlays.h"

float spiralPhase = 0.0f;

float AdvanceSpiralPhase(float phase) {
    phase = phase + 0.05f;
    if (phase >= 6.28318f) phase = 0.0f;
    return phase;
}

namespace {

struct RibbonLook {
    float r, g, b;
    float angleStep;
    float radius;
};

// Colour, angle step (both edges) and radius of the six ribbons.
const RibbonLook kRibbons[6] = {
    {0.5f, 0.0f, 0.0f, 0.3f, 4.0f},  {0.0f, 0.5f, 0.0f, 0.3f, 3.0f},
    {0.0f, 0.0f, 0.5f, 0.5f, 15.0f}, {0.5f, 0.5f, 0.0f, 1.3f, 25.0f},
    {0.5f, 0.2f, 0.0f, 0.2f, 35.0f}, {0.5f, 0.5f, 0.0f, 0.1f, 45.0f},
};

}  // namespace

void DrawSpiralScene(int32_t t, HelixRibbon* ribbon, ParticleSystem* system6,
                     TextureId spiralTexture, TextureId spiralFrontTexture) {
    glClear(GL_DEPTH_BUFFER_BIT);
    const float eyeX = 100.0f * sinf(float(t) * 0.01f);
    glLoadIdentity();
    gluLookAt(eyeX, 10, 50, 0, 0, 0, 0, 1, 0);

    spiralPhase = AdvanceSpiralPhase(spiralPhase);
    const float p = spiralPhase;

    glPushMatrix();
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
    glTranslatef(0, 0, -550);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    // Start angles: ribbon 1 is a flat band through the axis (edges half a
    // turn apart), the others 0.1 radians wide; 1, 3, 4 turn with the phase,
    // 2, 5, 6 against it.
    const float starts[6][2] = {
        {p, p + 3.14159f}, {-p, 0.1f - p}, {p, p + 0.1f},
        {p, p + 0.1f},     {-p, 0.1f - p}, {-p, 0.1f - p},
    };
    for (int n = 0; n < 6; ++n) {
        const RibbonLook& look = kRibbons[n];
        glColor3f(look.r, look.g, look.b);
        ribbon->SetAngleStep(look.angleStep, look.angleStep);
        ribbon->SetRadius(look.radius);
        ribbon->SetStartAngles(starts[n][0], starts[n][1]);
        ribbon->Draw();
    }

    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glTranslatef(0, 0, 550);
    glEnable(GL_LIGHTING);
    system6->Draw();
    DrawTextureOverlay(spiralTexture, 1, 1, 1, 0.1f);
    DrawKeyedOverlay(spiralFrontTexture);
    glPopMatrix();

    system6->Update();
    glFlush();
}
