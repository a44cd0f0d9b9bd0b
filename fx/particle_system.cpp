// particle_system.cpp -- spawning, stepping and drawing of the particle
// emitters.
//
// Spawn arithmetic is done in double and stored as float, products taken in
// the order written. The random draws of a respawn come in a fixed order
// (position x, y, z; then the velocity's draws; the life draw last) because
// every emitter and the part-2 scene share one sequence.
#include "fx/particle_system.h"

#include <GL/gl.h>

#include <cmath>

#include "fx/random.h"
#include "fx/sprite_quad.h"
#include "image/texture_loader.h"

namespace {

const GLfloat kWhite[4] = {1, 1, 1, 1};
const GLfloat kBlack[4] = {0, 0, 0, 1};

// R: 0 to 99.
int RandPercent() {
    return DemoRand() % 100;
}

// J: first draw minus second draw, -99 to 99.
int RandJitter() {
    const int first = RandPercent();
    const int second = RandPercent();
    return first - second;
}

}  // namespace

ParticleSystem::ParticleSystem() = default;

ParticleSystem::~ParticleSystem() {
    if (particleQuad_.list != 0) glDeleteLists(particleQuad_.list, 1);
    if (spriteQuad_.list != 0) glDeleteLists(spriteQuad_.list, 1);
    delete[] positions;
    delete[] velocities;
    delete[] lives;
    delete[] states;
}

void ParticleSystem::LoadTexture(const char* resourceName) {
    ::LoadTexture(texture, resourceName);
}

void ParticleSystem::Init() {
    // A second Init replaces the arrays instead of leaking them.
    delete[] positions;
    delete[] velocities;
    delete[] lives;
    delete[] states;
    const int32_t n = count > 0 ? count : 0;
    positions = new Vec4[n]();
    velocities = new Vec4[n]();
    lives = new float[n]();
    states = new int32_t[n]();
    for (int32_t i = 0; i < count; ++i) {
        Respawn(i);
        states[i] = Alive;
    }
}

void ParticleSystem::Respawn(int32_t i) {
    Vec4& p = positions[i];
    Vec4& v = velocities[i];
    const double spread = spawnSpread;

    // Position: a random point of the cube around origin, axes x, y, z.
    {
        const int jx = RandJitter();
        p.x = float(jx * spread * 0.01 + origin.x);
        const int jy = RandJitter();
        p.y = float(jy * spread * 0.01 + origin.y);
        const int jz = RandJitter();
        p.z = float(jz * spread * 0.01 + origin.z);
        p.w = 0.0f;
    }
    // Distance of the new position from the world origin.
    const float dist = float(std::sqrt((double(p.z) * p.z + double(p.y) * p.y) + double(p.x) * p.x));

    if (spawnMode == 2 && (speedMode == 1 || speedMode == 2)) {
        // Radial: away from origin. A zero divisor (a particle exactly at the
        // world origin, or a zero spread) gives a particle at rest rather
        // than a velocity of infinities or NaNs.
        const double divisor = speedMode == 1 ? double(dist) : spread;
        if (divisor == 0.0) {
            v = Vec4{0, 0, 0, 0};
        } else {
            v.x = float((double(p.x) - origin.x) / divisor * speed);
            v.y = float((double(p.y) - origin.y) / divisor * speed);
            v.z = float((double(p.z) - origin.z) / divisor * speed);
            v.w = 0.0f;
        }
    } else if (spawnMode == 1 && speedMode == 1) {
        // Directed: direction plus jitter, axes x, y, z.
        const int jx = RandJitter();
        v.x = float((jx * 0.01 * directionJitter + direction.x) * speed);
        const int jy = RandJitter();
        v.y = float((jy * 0.01 * directionJitter + direction.y) * speed);
        const int jz = RandJitter();
        v.z = float((jz * 0.01 * directionJitter + direction.z) * speed);
        v.w = 0.0f;
    } else if (spawnMode == 1 && speedMode == 2) {
        // Directed with one random speed share for all three axes.
        const float s = float(RandPercent() * 0.01);
        const int jx = RandJitter();
        v.x = float((jx * 0.01 * directionJitter + direction.x) * speed * s);
        const int jy = RandJitter();
        v.y = float((jy * 0.01 * directionJitter + direction.y) * speed * s);
        const int jz = RandJitter();
        v.z = float((jz * 0.01 * directionJitter + direction.z) * speed * s);
        v.w = 0.0f;
    }
    // Any other combination leaves the velocity as it was.

    if (lifeInitMode == 1) {
        lives[i] = maxLife;
    } else if (lifeInitMode == 2) {
        lives[i] = float(RandPercent() * double(maxLife) * 0.01);
    }
}

void ParticleSystem::Update() {
    if (spawnMode == 3) return;  // frozen: nothing moves, ages or accelerates

    for (int32_t i = 0; i < count; ++i) {
        velocities[i].x += acceleration.x;
        velocities[i].y += acceleration.y;
        velocities[i].z += acceleration.z;
    }

    for (int32_t i = 0; i < count; ++i) {
        Vec4& p = positions[i];
        const Vec4& v = velocities[i];
        if (lifeMode == 1) {
            p.x += v.x, p.y += v.y, p.z += v.z;
            if (lives[i] > 0) lives[i] -= lifeDecay;
        } else if (lifeMode == 2) {
            if (lives[i] > 0 && states[i] == Alive) {
                p.x += v.x, p.y += v.y, p.z += v.z;
                lives[i] -= lifeDecay;
            } else {
                states[i] = Dead;
            }
        } else if (lifeMode == 3) {
            p.x += v.x, p.y += v.y, p.z += v.z;
            if (lives[i] > 0) {
                lives[i] -= lifeDecay;
            } else {
                Respawn(i);
            }
        }
    }
}

void ParticleSystem::Draw() {
    GLfloat colourAlpha[4] = {colour[0], colour[1], colour[2], 1.0f};

    if (drawMode == 1) {
        glPointSize(particleSize);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, colourAlpha);
        glBegin(GL_POINTS);
        for (int32_t i = 0; i < count; ++i) {
            if (states[i] == Alive) glVertex3f(positions[i].x, positions[i].y, positions[i].z);
        }
        glEnd();
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, kBlack);
        return;
    }
    if (drawMode != 2 && drawMode != 3) return;

    const GLuint list = CompiledQuad(&particleQuad_, drawMode, particleSize);

    GLfloat facing[16];
    FacingMatrix(facing);

    if (drawMode == 2) {
        glDisable(GL_TEXTURE_2D);
        glDepthMask(GL_FALSE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    } else {
        if (emitterSpriteMode == 1) DrawEmitterSprite(facing);
        glEnable(GL_TEXTURE_2D);
        glDepthMask(GL_FALSE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, kWhite);
    }

    // Each particle sets its own diffuse colour before it is drawn, so the
    // black that follows each one matters only after the last.
    for (int32_t i = 0; i < count; ++i) {
        if (states[i] != Alive) continue;
        colourAlpha[3] = fadeMode == 1 ? lives[i] / maxLife : constantAlpha;
        glPushMatrix();
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, colourAlpha);
        glTranslatef(positions[i].x, positions[i].y, positions[i].z);
        glMultMatrixf(facing);
        glCallList(list);
        glPopMatrix();
    }
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, kBlack);

    if (drawMode == 2) {
        glDepthMask(GL_TRUE);
        glDisable(GL_BLEND);
    } else {
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, kBlack);
        glDisable(GL_BLEND);
        glDepthMask(GL_TRUE);
        glDisable(GL_TEXTURE_2D);
    }
}

uint32_t ParticleSystem::CompiledQuad(QuadList* cache, int32_t mode, float size) {
    if (cache->list != 0 && cache->mode == mode && cache->size == size && cache->texture == texture &&
        glIsList(cache->list))
        return cache->list;
    if (cache->list != 0) glDeleteLists(cache->list, 1);
    cache->list = glGenLists(1);
    cache->mode = mode;
    cache->size = size;
    cache->texture = texture;
    const float h = size * 0.5f;
    glNewList(cache->list, GL_COMPILE);
    if (mode == 2) {
        glBegin(GL_QUADS);
        glNormal3f(0, 0, 1);
        glVertex3f(-h, -h, 0);
        glVertex3f(h, -h, 0);
        glVertex3f(h, h, 0);
        glVertex3f(-h, h, 0);
        glEnd();
    } else {
        glBindTexture(GL_TEXTURE_2D, texture);
        glBegin(GL_QUADS);
        if (mode == 3) glNormal3f(0, 0, 1);
        TexturedCorners(h);
        glEnd();
    }
    glEndList();
    return cache->list;
}

void ParticleSystem::DrawEmitterSprite(const float* billboardMatrix) {
    // The part-2 scene changes the sprite's size every frame: the list is
    // compiled again whenever it does.
    const GLuint list = CompiledQuad(&spriteQuad_, 4, emitterSpriteSize);

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, kWhite);

    glPushMatrix();
    glTranslatef(origin.x, origin.y, origin.z);
    glMultMatrixf(billboardMatrix);
    glCallList(list);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, kBlack);
    glPopMatrix();

    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glDisable(GL_TEXTURE_2D);
}
