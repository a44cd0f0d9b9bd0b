// ball_floor_scene.cpp -- the spike ball floor scene of parts 4 and 5.
#include "scenes/ball_floor_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <vector>

#include "fx/billboard.h"
#include "scenes/overlays.h"
#include "scenes/quad_strips.h"
#include "scenes/spike_ball.h"

void DrawShadowedSpikeBall(int32_t segments, int32_t bands, float radius, float amplitude,
                           int32_t azimuthWaves, int32_t polarWaves, const float shadowSource[3]) {
    // Rebuilt every frame (the amplitude changes), in arrays kept between calls.
    static SpikeBall ball;
    BuildSpikeBall(&ball, segments, bands, radius, amplitude, azimuthWaves, polarWaves);
    if (ball.segments < 1) return;

    DrawSpikeBallStrips(ball, bands - 1, segments - 1);

    // The shadow is black: the texture the ball left enabled would only be
    // multiplied by zero, so it is not sampled.
    glDisable(GL_LIGHTING);
    glColor3f(0, 0, 0);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    const GLboolean textured = glIsEnabled(GL_TEXTURE_2D);
    if (textured) glDisable(GL_TEXTURE_2D);
    DrawSpikeBallShadow(ball, bands - 1, segments - 1, shadowSource);
    if (textured) glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
}

namespace {

// 100 strips of 10 x 10 cells at y = -50, the picture stretched once across.
// The floor never changes: its vertices are worked out once (texture
// coordinates and positions as the strips always sent them), one quad strip
// per row, and compiled into a display list, so that the driver keeps them
// instead of being sent 20,000 vertices a frame.
constexpr int kFloorStrips = 100;
constexpr int kFloorPairs = 100;

const StripVertex* FloorVertices() {
    static std::vector<StripVertex> vertices = [] {
        std::vector<StripVertex> out;
        out.reserve(size_t(kFloorStrips) * kFloorPairs * 2);
        float v = 0.0f;
        for (int m = 0; m < kFloorStrips; ++m) {
            const float x0 = float(10 * m - 500);
            const float x1 = x0 + 10.0f;
            float u = 0.01f;
            for (int n = 0; n < kFloorPairs; ++n) {
                const float z = float(10 * n - 500);
                out.push_back({u, v, x0, -50.0f, z});
                out.push_back({u, v + 0.01f, x1, -50.0f, z});
                u += 0.01f;
            }
            v += 0.01f;
        }
        return out;
    }();
    return vertices.data();
}

void DrawFloor() {
    static GLuint list = 0;
    if (list == 0) {
        list = glGenLists(1);
        glNewList(list, GL_COMPILE);
        DrawQuadStrips(FloorVertices(), kFloorStrips, kFloorPairs * 2);
        glEndList();
    }
    glNormal3f(0, 1, 0);
    glCallList(list);
}

}  // namespace

void DrawBallFloorScene(int32_t t, TextureId floorTexture, TextureId ballTexture, Billboard* glow,
                        TextureId frontTexture) {
    const float tf = float(t);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    const float w = tf * 0.006666667f;
    glLoadIdentity();
    gluLookAt(250.0f * cosf(w), 80.0f * cosf(w) + 80.0f, 150.0f * sinf(w), 0, 0, 0, 0, 1, 0);

    const float glowPos[3] = {50.0f * cosf(tf * 0.02f), 50.0f, 50.0f * sinf(tf * 0.02f)};

    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_NORMALIZE);
    glBindTexture(GL_TEXTURE_2D, ballTexture);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    DrawShadowedSpikeBall(90, 45, 30.0f, 25.0f * sinf(tf * 0.01f), 6, 6, glowPos);
    glDisable(GL_NORMALIZE);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, floorTexture);
    DrawFloor();

    glTranslatef(glowPos[0], 50.0f, glowPos[2]);
    glow->Draw();

    DrawKeyedOverlay(frontTexture);
    glPopMatrix();

    if (t <= 600) DrawFadeOverlay(1, 1, 1, 1.0f - tf * 0.0016666667f);
    glFlush();
}
