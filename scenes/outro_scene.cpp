// outro_scene.cpp -- the outro spike ball scene of part 8.
#include "scenes/outro_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "scenes/overlays.h"
#include "scenes/spike_ball.h"

void DrawSpikeBall(int32_t segments, int32_t bands, float radius, float amplitude,
                   int32_t azimuthWaves, int32_t polarWaves) {
    // Rebuilt every frame (the amplitude changes), in arrays kept between calls.
    static SpikeBall ball;
    BuildSpikeBall(&ball, segments, bands, radius, amplitude, azimuthWaves, polarWaves);
    DrawSpikeBallStrips(ball, bands, segments);
}

void DrawOutroScene(int32_t t, TextureId ballTexture, TextureId outroTexture) {
    const float tf = float(t);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(80, 80, 80, 0, 0, 0, 0, 1, 0);

    glPushMatrix();
    glRotatef(tf * 0.2f, 0, 1, 0);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_NORMALIZE);
    glBindTexture(GL_TEXTURE_2D, ballTexture);
    glColor3f(1, 1, 1);
    DrawSpikeBall(100, 50, 70.0f, 30.0f * sinf(tf * 0.01f), 8, 8);
    glDisable(GL_NORMALIZE);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glPopMatrix();

    DrawKeyedOverlay(outroTexture);
    if (t <= 200) DrawFadeOverlay(1, 1, 1, 1.0f - tf * 0.005f);
    glFlush();
}
