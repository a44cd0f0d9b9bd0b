// eye_scene.cpp -- the particle eye scene of part 2.
#include "scenes/eye_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "fx/particle_system.h"
#include "fx/random.h"
#include "scenes/overlays.h"

float EmitterSpriteSize(int r) { return float(r % 100) * 0.01f + 3.0f; }

namespace {

void SetOrigin(ParticleSystem* system, float x, float y, float z) {
    system->origin.x = x;
    system->origin.y = y;
    system->origin.z = z;
}

}  // namespace

void DrawEyeParticleScene(int32_t t, ParticleSystem* system1, ParticleSystem* system2,
                          ParticleSystem* system3, ParticleSystem* system4,
                          ParticleSystem* system5, TextureId eyeTexture) {
    glClear(GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(3, 3, 3, 0, 0, 0, 0, 1, 0);

    const float tf = float(t);
    const float u = tf * 0.01f;
    const float a = 3.0f * cosf(u);
    const float b = 3.0f * sinf(u);

    glPushMatrix();
    glRotatef(tf * 0.1f, 0, 1, 0);
    glEnable(GL_LIGHTING);
    system1->Draw();
    system2->Draw();
    system3->Draw();
    system5->Draw();
    DrawTextureOverlay(eyeTexture, 1, 1, 1, 0.1f);
    glPopMatrix();

    SetOrigin(system1, a, b, 0);
    system1->Update();
    SetOrigin(system2, a, 0, b);
    system2->Update();
    SetOrigin(system3, 0, a, b);
    system3->Update();

    system1->emitterSpriteSize = EmitterSpriteSize(DemoRand());
    system2->emitterSpriteSize = EmitterSpriteSize(DemoRand());
    system3->emitterSpriteSize = EmitterSpriteSize(DemoRand());

    system4->Update();
    system5->Update();
    glFlush();
}
