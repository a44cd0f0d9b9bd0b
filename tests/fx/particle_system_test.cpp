// Particle spawning, stepping and drawing, and the random sequence they share.
#include <GL/gl.h>

#include <cmath>

#include "fx/particle_system.h"
#include "fx/random.h"
#include "tests/fx/fx_test_util.h"
#include "tests/support/gl_test.h"

namespace {

void ExpectVec(const Vec4& v, const Vec4& e, float tolerance) {
    EXPECT_NEAR(v.x, e.x, tolerance);
    EXPECT_NEAR(v.y, e.y, tolerance);
    EXPECT_NEAR(v.z, e.z, tolerance);
}

// From state 1, mod 100: 41 67 34 0 69 24 78 58 62 64 5 45 81 27 61 91 95 42 27 ...
// A position takes six draws, a directed velocity six (seven in speed mode 2), a life one.
TEST(ParticleSpawnTest, EachRuleDrawsItsNumbersInOrder) {
    SetDemoRandState(1);  // the state wraps modulo 2^32 after two draws
    for (int e : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}) EXPECT_EQ(DemoRand(), e);
    const struct {
        const char* what;
        int count, spawnMode, speedMode, lifeInitMode;
        float spread, speed, jitter, maxLife;
        Vec4 origin, direction;
        int particle;
        Vec4 p, v;
        float life, tolerance;
        int next;  // the next draw, mod 100
    } table[] = {
        {"directed", 2, 1, 1, 2, 5, 2, 1, 100, {10, 20, 30, 0}, {0, 1, 0, 0}, 0,
         {8.7f, 21.7f, 32.25f, 0}, {0.4f, 1.96f, -0.8f, 0}, 81, 1e-5f, 21},
        {"directed, second particle", 2, 1, 1, 2, 5, 2, 1, 100, {10, 20, 30, 0}, {0, 1, 0, 0}, 1,
         {8.3f, 19.8f, 30.75f, 0}, {-1.1f, 2.04f, -0.78f, 0}, 82, 1e-5f, 21},
        {"directed, one speed share", 1, 1, 2, 1, 1, 10, 0, 7, {0, 0, 0, 0}, {0, 0, 1, 0}, 0,
         {-0.26f, 0.34f, 0.45f, 0}, {0, 0, 7.8f, 0}, 7, 1e-5f, 27},
        {"radial from the world origin", 1, 2, 1, 2, 1, 3, 0, 50, {0, 0, 0, 0}, {0, 1, 0, 0}, 0,
         {-0.26f, 0.34f, 0.45f, 0}, {-1.255943f, 1.642387f, 2.173749f, 0}, 39, 1e-4f, 58},
        {"radial over the spread", 1, 2, 2, 2, 2, 4, 0, 200, {100, 0, 0, 0}, {0, 1, 0, 0}, 0,
         {99.48f, 0.68f, 0.9f, 0}, {-1.04f, 1.36f, 1.8f, 0}, 156, 2e-5f, 58},
        {"radial at the origin itself", 1, 2, 1, 2, 0, 3, 0, 200, {0, 0, 0, 0}, {0, 1, 0, 0}, 0,
         {0, 0, 0, 0}, {0, 0, 0, 0}, 156, 0, 58},
        {"radial with no spread", 1, 2, 2, 2, 0, 3, 0, 200, {0, 0, 0, 0}, {0, 1, 0, 0}, 0,
         {0, 0, 0, 0}, {0, 0, 0, 0}, 156, 0, 58},
        {"unlisted rules", 3, 3, 1, 5, 5, 1, 0, 200, {0, 0, 0, 0}, {0, 1, 0, 0}, 2,
         {2.7f, -1.5f, 2.65f, 0}, {0, 0, 0, 0}, 0, 1e-5f, 27},
    };
    for (const auto& t : table) {
        SCOPED_TRACE(t.what);
        SetDemoRandState(1);
        ParticleSystem ps;
        ps.count = t.count, ps.spawnMode = t.spawnMode, ps.speedMode = t.speedMode;
        ps.lifeInitMode = t.lifeInitMode, ps.spawnSpread = t.spread, ps.speed = t.speed;
        ps.directionJitter = t.jitter, ps.maxLife = t.maxLife, ps.origin = t.origin, ps.direction = t.direction;
        ps.Init();
        ExpectVec(ps.positions[t.particle], t.p, t.tolerance);
        ExpectVec(ps.velocities[t.particle], t.v, t.tolerance);
        EXPECT_FALSE(std::isnan(ps.velocities[t.particle].x));
        EXPECT_NEAR(ps.lives[t.particle], t.life, t.tolerance);
        EXPECT_EQ(ps.states[t.particle], ParticleSystem::Alive);
        EXPECT_EQ(DemoRand() % 100, t.next);
        // A rule that sets no velocity leaves the one there.
        ps.velocities[0] = Vec4{1, 2, 3, 0};
        ps.speedMode = 9;
        ps.Respawn(0);
        EXPECT_EQ(ps.velocities[0].y, 2.0f);
    }
}

// One particle at (1, 2, 3) moving by (0.5, 0, -1), accelerated by 0.25 in y.
TEST(ParticleUpdateTest, EachLifeRuleMovesAgesRespawnsOrStops) {
    const float nan = std::nanf("");
    const struct {
        const char* what;
        int spawnMode, lifeMode;
        float life;
        int updates;
        float x, y, lifeAfter;
        int state;
        bool respawned;
    } table[] = {
        {"age only: keeps flying below zero", 2, 1, 0.5f, 2, 2.0f, 2.75f, -0.5f, ParticleSystem::Alive, false},
        {"die at zero: stops for good, still accelerated", 2, 2, 0.0f, 2, 1.0f, 2.0f, 0.0f, ParticleSystem::Dead, false},
        {"die after a move", 2, 2, 1.0f, 2, 1.5f, 2.25f, 0.0f, ParticleSystem::Dead, false},
        {"respawn: moves and ages", 2, 3, 0.5f, 1, 1.5f, 2.25f, -0.5f, ParticleSystem::Alive, false},
        {"respawn after the move at zero", 2, 3, -0.5f, 1, -1.3f, 1.7f, 156.0f, ParticleSystem::Alive, true},
        {"respawn at NaN", 2, 3, nan, 1, -1.3f, 1.7f, 156.0f, ParticleSystem::Alive, true},
        {"frozen", 3, 3, 0.0f, 5, 1.0f, 2.0f, 0.0f, ParticleSystem::Alive, false},
    };
    for (const auto& t : table) {
        SCOPED_TRACE(t.what);
        ParticleSystem ps;
        ps.count = 1, ps.spawnMode = t.spawnMode, ps.lifeMode = t.lifeMode;
        ps.acceleration = Vec4{0, 0.25f, 0, 0};
        ps.Init();
        ps.positions[0] = Vec4{1, 2, 3, 0};
        ps.velocities[0] = Vec4{0.5f, 0, -1, 0};
        ps.lives[0] = t.life;
        SetDemoRandState(1);
        for (int k = 0; k < t.updates; ++k) ps.Update();
        EXPECT_FLOAT_EQ(ps.positions[0].x, t.x);
        EXPECT_FLOAT_EQ(ps.positions[0].y, t.y);
        EXPECT_FLOAT_EQ(ps.lives[0], t.lifeAfter);
        EXPECT_EQ(ps.states[0], t.state);
        EXPECT_EQ(DemoRandState() != 1u, t.respawned);
        if (!t.respawned) {
            EXPECT_FLOAT_EQ(ps.velocities[0].y, t.spawnMode == 3 ? 0.0f : 0.25f * t.updates);
        }
        if (t.lifeMode != 2 || t.state != ParticleSystem::Dead) continue;
        ps.lives[0] = 10.0f;  // a dead particle is not revived by life alone
        ps.Update();
        EXPECT_EQ(ps.states[0], ParticleSystem::Dead);
        EXPECT_FLOAT_EQ(ps.positions[0].x, t.x);
    }
    ParticleSystem none;
    none.count = 0;
    none.Init();
    none.Update();
    EXPECT_EQ(DemoRandState(), 1u);
}

class ParticleDrawTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        PixelOrtho();
        glEnable(GL_LIGHTING);  // as in the scenes: colour comes from materials
        texture_ = MakeTestTexture(32, true);
    }
    void TearDown() override { glDeleteTextures(1, &texture_); }
    // One textured particle of edge 40 at (x, y, 0), full life.
    void SingleQuad(ParticleSystem& ps, float x, float y) {
        ps.count = 1, ps.drawMode = 3, ps.fadeMode = 1, ps.lifeInitMode = 1, ps.maxLife = 100;
        ps.particleSize = 40;
        ps.texture = texture_;
        ps.Init();
        ps.positions[0] = Vec4{x, y, 0, 0};
    }
    GLuint texture_ = 0;
};

TEST_F(ParticleDrawTest, TexturedQuadsFaceTheViewerAddUpAndFadeWithLife) {
    ParticleSystem ps;
    SingleQuad(ps, 0, 0);
    glRotatef(60, 0, 1, 0);  // a turned view: the quad must still face us
    glRotatef(30, 1, 0, 0);
    GLStateSnapshot snap;
    ps.Draw();
    snap.ExpectLeftBehind();
    // 40 x 40 square around the centre pixel (320, 240).
    EXPECT_EQ(PixelAt(320, 240).r, 255);
    EXPECT_EQ(PixelAt(302, 222).g, 255);
    EXPECT_EQ(PixelAt(337, 257).b, 255);
    EXPECT_EQ(PixelAt(297, 240).r, 0);
    EXPECT_EQ(PixelAt(343, 240).r, 0);
    EXPECT_EQ(PixelAt(320, 263).r, 0);
    // A quarter of the life: a quarter of the alpha; quads add up, writing no depth.
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ps.lives[0] = 25;
    glEnable(GL_DEPTH_TEST);
    ps.Draw();
    EXPECT_NEAR(PixelAt(320, 240).r, 64, 2);
    ps.positions[0].z = -100;
    ps.Draw();
    EXPECT_NEAR(PixelAt(320, 240).r, 128, 2);
    ps.states[0] = ParticleSystem::Dead;  // dead ones are not drawn
    ps.Draw();
    EXPECT_NEAR(PixelAt(320, 240).r, 128, 2);
    glDisable(GL_DEPTH_TEST);

    // The emitter sprite: at the origin, of its own size, with textured quads only.
    glClear(GL_COLOR_BUFFER_BIT);
    SingleQuad(ps, 200, 0);
    ps.emitterSpriteMode = 1, ps.emitterSpriteSize = 100, ps.origin = Vec4{-100, 0, 0, 0};
    const GLStateSnapshot unturned;
    ps.Draw();
    unturned.ExpectLeftBehind();
    EXPECT_GT(PixelAt(220, 240).r, 200);  // sprite centre
    EXPECT_GT(PixelAt(175, 240).r, 200);  // within its 100 edge
    EXPECT_EQ(PixelAt(165, 240).r, 0);
    EXPECT_GT(PixelAt(520, 240).r, 200);  // the particle
    glClear(GL_COLOR_BUFFER_BIT);
    ps.drawMode = 2;
    ps.Draw();
    unturned.ExpectLeftBehind();
    EXPECT_EQ(PixelAt(220, 240).r, 0);  // flat quads: no sprite
}

TEST_F(ParticleDrawTest, ListNamesStayBoundedOverManyFrames) {
    const GLuint probe = glGenLists(1);
    glDeleteLists(probe, 1);
    const int before = LiveListsFrom(1, probe + 200);
    {
        ParticleSystem ps;
        SingleQuad(ps, 0, 0);
        ps.emitterSpriteMode = 1;
        for (int frame = 0; frame < 50; ++frame) {
            ps.emitterSpriteSize = 1.0f + frame % 7;
            ps.drawMode = 2 + frame % 2;
            ps.Draw();
        }
        // At most the particle quad and the sprite stay compiled.
        EXPECT_LE(LiveListsFrom(1, probe + 200), before + 2);
    }
    EXPECT_EQ(LiveListsFrom(1, probe + 200), before);
    glClear(GL_COLOR_BUFFER_BIT);
    ParticleSystem none;  // no particles: nothing drawn
    none.count = 0, none.drawMode = 3, none.emitterSpriteMode = 1;
    none.Init();
    const GLStateSnapshot snap;
    none.Draw();
    snap.ExpectLeftBehind();
    EXPECT_EQ(PixelAt(320, 240).r, 0);
}

}  // namespace
