// Particle spawning, stepping and drawing.
#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "fx/particle_system.h"
#include "fx/random.h"
#include "tests/fx/fx_test_util.h"
#include "tests/support/gl_test.h"

namespace {

// Runs a test body from a known generator state and puts the state back.
class RandState {
public:
    explicit RandState(uint32_t s) : saved_(DemoRandState()) { SetDemoRandState(s); }
    ~RandState() { SetDemoRandState(saved_); }

private:
    uint32_t saved_;
};

// The first draws from state 1, mod 100:
// 41 67 34 0 69 24 78 58 62 64 5 45 81 27 61 91 95 42 27 36 91 4 2 53 92 82 21 ...

TEST(ParticleSpawnTest, DirectedRespawnDrawsPositionThenVelocityThenLife) {
    RandState rs(1);
    ParticleSystem ps;
    ps.count = 2;
    ps.spawnMode = 1;
    ps.speedMode = 1;
    ps.directionJitter = 1.0f;
    ps.speed = 2.0f;
    ps.spawnSpread = 5.0f;
    ps.maxLife = 100.0f;
    ps.origin = Vec4{10, 20, 30, 0};
    ps.Init();

    // Particle 0: jitters -26, 34, 45 for the position, 20, -2, -40 for the
    // velocity around direction (0, 1, 0); life draw 81.
    EXPECT_FLOAT_EQ(ps.positions[0].x, 8.7f);
    EXPECT_FLOAT_EQ(ps.positions[0].y, 21.7f);
    EXPECT_FLOAT_EQ(ps.positions[0].z, 32.25f);
    EXPECT_FLOAT_EQ(ps.velocities[0].x, 0.4f);
    EXPECT_FLOAT_EQ(ps.velocities[0].y, 1.96f);
    EXPECT_FLOAT_EQ(ps.velocities[0].z, -0.8f);
    EXPECT_FLOAT_EQ(ps.lives[0], 81.0f);
    // Particle 1 continues the sequence: -34, -4, 15; -55, 2, -39; 82.
    EXPECT_FLOAT_EQ(ps.positions[1].x, 8.3f);
    EXPECT_FLOAT_EQ(ps.positions[1].y, 19.8f);
    EXPECT_FLOAT_EQ(ps.positions[1].z, 30.75f);
    EXPECT_FLOAT_EQ(ps.velocities[1].x, -1.1f);
    EXPECT_FLOAT_EQ(ps.velocities[1].y, 2.04f);
    EXPECT_FLOAT_EQ(ps.velocities[1].z, -0.78f);
    EXPECT_FLOAT_EQ(ps.lives[1], 82.0f);
    EXPECT_EQ(ps.states[0], ParticleSystem::Alive);
    EXPECT_EQ(ps.states[1], ParticleSystem::Alive);
    // 26 draws in all; the next one is the 27th value.
    EXPECT_EQ(DemoRand() % 100, 21);
}

TEST(ParticleSpawnTest, DirectedSpeedMode2DrawsOneShareBeforeTheJitters) {
    RandState rs(1);
    ParticleSystem ps;
    ps.count = 1;
    ps.spawnMode = 1;
    ps.speedMode = 2;
    ps.lifeInitMode = 1;  // no life draw
    ps.maxLife = 7.0f;
    ps.spawnSpread = 1.0f;
    ps.direction = Vec4{0, 0, 1, 0};
    ps.speed = 10.0f;
    ps.Init();
    EXPECT_FLOAT_EQ(ps.positions[0].x, -0.26f);
    EXPECT_FLOAT_EQ(ps.positions[0].y, 0.34f);
    EXPECT_FLOAT_EQ(ps.positions[0].z, 0.45f);
    // Share 78 x 0.01, then three jitters that zero jitter ignores.
    EXPECT_FLOAT_EQ(ps.velocities[0].x, 0.0f);
    EXPECT_FLOAT_EQ(ps.velocities[0].y, 0.0f);
    EXPECT_FLOAT_EQ(ps.velocities[0].z, 7.8f);
    EXPECT_EQ(ps.lives[0], 7.0f);
    EXPECT_EQ(DemoRand() % 100, 27);  // 13 draws used
}

TEST(ParticleSpawnTest, RadialRulesDrawNothingForTheVelocity) {
    {
        RandState rs(1);
        ParticleSystem ps;
        ps.count = 1;
        ps.spawnSpread = 1.0f;
        ps.speed = 3.0f;
        ps.maxLife = 50.0f;
        ps.Init();  // radial, speed mode 1, emitter at the world origin
        const Vec4 p = ps.positions[0], v = ps.velocities[0];
        EXPECT_NEAR(Length(v), 3.0f, 1e-5f);
        EXPECT_NEAR(v.x / p.x, v.z / p.z, 1e-5f);
        EXPECT_NEAR(v.y / p.y, v.z / p.z, 1e-5f);
        EXPECT_GT(v.x / p.x, 0.0f);              // away from the centre
        EXPECT_FLOAT_EQ(ps.lives[0], 39.0f);  // 7th draw, 78 x 50 x 0.01
    }
    {
        RandState rs(1);
        ParticleSystem ps;
        ps.count = 1;
        ps.speedMode = 2;
        ps.spawnSpread = 2.0f;
        ps.speed = 4.0f;
        ps.origin = Vec4{100, 0, 0, 0};
        ps.Init();
        // (position - origin) / spread x speed, jitters -26, 34, 45.
        // The positions are floats near 100, so the offsets carry their
        // rounding.
        EXPECT_NEAR(ps.velocities[0].x, -1.04f, 2e-5f);
        EXPECT_NEAR(ps.velocities[0].y, 1.36f, 2e-5f);
        EXPECT_NEAR(ps.velocities[0].z, 1.8f, 2e-5f);
    }
}

TEST(ParticleSpawnTest, ParticleAtTheWorldOriginStartsAtRest) {
    ParticleSystem ps;
    ps.count = 4;
    ps.spawnSpread = 0.0f;  // every particle lands exactly on the origin
    ps.Init();
    ps.speedMode = 2;
    ps.Respawn(3);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ps.velocities[i].x, 0.0f);
        EXPECT_EQ(ps.velocities[i].y, 0.0f);
        EXPECT_EQ(ps.velocities[i].z, 0.0f);
    }
}

TEST(ParticleSpawnTest, UnlistedRulesLeaveVelocityAndLifeAndNewArraysAreZero) {
    RandState rs(1);
    ParticleSystem ps;
    ps.count = 3;
    ps.spawnMode = 3;
    ps.lifeInitMode = 5;
    ps.Init();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ps.velocities[i].x, 0.0f);
        EXPECT_EQ(ps.velocities[i].z, 0.0f);
        EXPECT_EQ(ps.lives[i], 0.0f);
    }
    EXPECT_EQ(DemoRand() % 100, 27);  // only the 18 position draws were taken
    ps.velocities[1] = Vec4{1, 2, 3, 0};
    ps.spawnMode = 2;
    ps.speedMode = 9;
    ps.Respawn(1);
    EXPECT_EQ(ps.velocities[1].y, 2.0f);
}

TEST(ParticleUpdateTest, FrozenModeChangesNothing) {
    ParticleSystem ps;
    ps.count = 20;
    ps.acceleration = Vec4{1, 1, 1, 0};
    ps.Init();
    ps.spawnMode = 3;
    ps.lives[0] = 0;  // would respawn in life mode 3
    const uint32_t before = DemoRandState();
    std::unique_ptr<Vec4[]> p(new Vec4[20]), v(new Vec4[20]);
    std::memcpy(p.get(), ps.positions, sizeof(Vec4) * 20);
    std::memcpy(v.get(), ps.velocities, sizeof(Vec4) * 20);
    for (int k = 0; k < 5; ++k) ps.Update();
    EXPECT_EQ(std::memcmp(p.get(), ps.positions, sizeof(Vec4) * 20), 0);
    EXPECT_EQ(std::memcmp(v.get(), ps.velocities, sizeof(Vec4) * 20), 0);
    EXPECT_EQ(ps.lives[0], 0.0f);
    EXPECT_EQ(DemoRandState(), before);
}

// A one-particle system with a chosen life and velocity.
struct OneParticle {
    ParticleSystem ps;
    explicit OneParticle(int lifeMode, float life) {
        ps.count = 1;
        ps.lifeMode = lifeMode;
        ps.Init();
        ps.positions[0] = Vec4{1, 2, 3, 0};
        ps.velocities[0] = Vec4{0.5f, 0, -1, 0};
        ps.lives[0] = life;
    }
};

TEST(ParticleUpdateTest, AgeOnlyKeepsFlyingBelowZero) {
    OneParticle o(1, 0.5f);
    const uint32_t before = DemoRandState();
    o.ps.Update();
    EXPECT_EQ(o.ps.lives[0], -0.5f);
    o.ps.Update();
    EXPECT_EQ(o.ps.lives[0], -0.5f);  // no longer above zero: not aged further
    EXPECT_EQ(o.ps.positions[0].x, 2.0f);
    EXPECT_EQ(o.ps.positions[0].z, 1.0f);
    EXPECT_EQ(o.ps.states[0], ParticleSystem::Alive);
    EXPECT_EQ(DemoRandState(), before);
}

TEST(ParticleUpdateTest, DieModeStopsAParticleForGood) {
    OneParticle zero(2, 0.0f);
    zero.ps.Update();
    EXPECT_EQ(zero.ps.states[0], ParticleSystem::Dead);
    EXPECT_EQ(zero.ps.positions[0].x, 1.0f);  // did not move

    OneParticle one(2, 1.0f);
    one.ps.Update();
    EXPECT_EQ(one.ps.states[0], ParticleSystem::Alive);
    EXPECT_EQ(one.ps.positions[0].x, 1.5f);
    EXPECT_EQ(one.ps.lives[0], 0.0f);
    one.ps.Update();
    EXPECT_EQ(one.ps.states[0], ParticleSystem::Dead);
    EXPECT_EQ(one.ps.positions[0].x, 1.5f);
    one.ps.lives[0] = 10.0f;  // a dead particle is not revived by life alone
    one.ps.Update();
    EXPECT_EQ(one.ps.states[0], ParticleSystem::Dead);
    EXPECT_EQ(one.ps.positions[0].x, 1.5f);
}

TEST(ParticleUpdateTest, RespawnModeMovesFirstThenRespawnsAtZeroOrNaN) {
    OneParticle o(3, 0.5f);
    const uint32_t before = DemoRandState();
    o.ps.Update();
    EXPECT_EQ(o.ps.lives[0], -0.5f);
    EXPECT_EQ(o.ps.positions[0].x, 1.5f);
    EXPECT_EQ(DemoRandState(), before);
    {
        // The respawn after the move: same draws as a fresh particle.
        RandState rs(1);
        o.ps.Update();
        EXPECT_FLOAT_EQ(o.ps.positions[0].x, -1.3f);  // jitter -26 x 5 x 0.01
        EXPECT_FLOAT_EQ(o.ps.lives[0], 156.0f);       // 78 x 200 x 0.01
    }
    o.ps.lives[0] = std::nanf("");
    const uint32_t s = DemoRandState();
    o.ps.Update();
    EXPECT_NE(DemoRandState(), s);
    EXPECT_FALSE(std::isnan(o.ps.lives[0]));
}

TEST(ParticleUpdateTest, AccelerationReachesEveryParticleBeforeTheMove) {
    OneParticle o(2, 0.0f);
    o.ps.acceleration = Vec4{0, 0.25f, 0, 0};
    o.ps.Update();  // dies, but its velocity still grows
    EXPECT_EQ(o.ps.velocities[0].y, 0.25f);
    o.ps.Update();
    EXPECT_EQ(o.ps.velocities[0].y, 0.5f);

    OneParticle live(1, 10.0f);
    live.ps.acceleration = Vec4{0, 0.25f, 0, 0};
    live.ps.Update();
    EXPECT_EQ(live.ps.positions[0].y, 2.25f);
}

TEST(ParticleUpdateTest, SystemSixFallsTwoPerUpdateAndRespawnsInItsCube) {
    ParticleSystem ps;
    ps.drawMode = 3;
    ps.fadeMode = 1;
    ps.lifeInitMode = 2;
    ps.count = 150;
    ps.spawnMode = 1;
    ps.emitterSpriteMode = 2;
    ps.maxLife = 1000;
    ps.particleSize = 10;
    ps.emitterSpriteSize = 100;
    ps.speed = 2;
    ps.spawnSpread = 20;
    ps.directionJitter = 0;
    ps.direction.y = 0;
    ps.direction.z = -1;
    ps.origin = Vec4{0, 0, 100, 0};
    ps.Init();
    int respawns = 0;
    for (int step = 0; step < 1200; ++step) {
        std::unique_ptr<Vec4[]> before(new Vec4[150]);
        std::memcpy(before.get(), ps.positions, sizeof(Vec4) * 150);
        ps.Update();
        for (int i = 0; i < 150; ++i) {
            const Vec4 p = ps.positions[i];
            ASSERT_EQ(ps.velocities[i].x, 0.0f);
            ASSERT_EQ(ps.velocities[i].y, 0.0f);
            ASSERT_EQ(ps.velocities[i].z, -2.0f);
            if (p.x == before[i].x && p.y == before[i].y && p.z == before[i].z - 2.0f) continue;
            ++respawns;
            ASSERT_LE(std::fabs(p.x), 19.8f + 1e-4f);
            ASSERT_LE(std::fabs(p.y), 19.8f + 1e-4f);
            ASSERT_LE(std::fabs(p.z - 100.0f), 19.8f + 1e-4f);
        }
    }
    EXPECT_GE(respawns, 150);  // every particle came round at least once
}

TEST(ParticleUpdateTest, CountZeroWorks) {
    ParticleSystem ps;
    ps.count = 0;
    ps.Init();
    const uint32_t before = DemoRandState();
    ps.Update();
    EXPECT_EQ(DemoRandState(), before);
}

// --- drawing ---------------------------------------------------------------

class ParticleDrawTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        PixelOrtho();
        texture_ = MakeTestTexture(32, true);
        glEnable(GL_LIGHTING);  // as in the scenes: colour comes from materials
    }
    void TearDown() override { glDeleteTextures(1, &texture_); }

    // One textured particle of edge 40 at (x, y, 0), full life.
    void SingleQuad(ParticleSystem& ps, float x, float y) {
        ps.count = 1;
        ps.drawMode = 3;
        ps.fadeMode = 1;
        ps.lifeInitMode = 1;
        ps.maxLife = 100;
        ps.particleSize = 40;
        ps.texture = texture_;
        ps.Init();
        ps.positions[0] = Vec4{x, y, 0, 0};
    }
    GLuint texture_ = 0;
};

TEST_F(ParticleDrawTest, TexturedQuadFacesTheViewerAndFadesWithLife) {
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

    // Half the life left: the alpha halves, through the lit colour.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ps.lives[0] = 50;
    ps.Draw();
    EXPECT_NEAR(PixelAt(320, 240).r, 128, 2);
    // Dead particles are not drawn.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ps.states[0] = ParticleSystem::Dead;
    ps.Draw();
    EXPECT_EQ(PixelAt(320, 240).r, 0);
}

TEST_F(ParticleDrawTest, QuadsAddUpAndWriteNoDepth) {
    ParticleSystem ps;
    SingleQuad(ps, 0, 0);
    ps.fadeMode = 2;
    ps.constantAlpha = 0.25f;
    ps.Draw();
    ps.Draw();
    EXPECT_NEAR(PixelAt(320, 240).r, 128, 2);
    // Depth untouched: a later opaque quad behind it still draws.
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glColor3f(0, 0, 1);
    glBegin(GL_QUADS);
    glVertex3f(-5, -5, -10);
    glVertex3f(5, -5, -10);
    glVertex3f(5, 5, -10);
    glVertex3f(-5, 5, -10);
    glEnd();
    glDisable(GL_DEPTH_TEST);
    EXPECT_EQ(PixelAt(320, 240).b, 255);
}

TEST_F(ParticleDrawTest, EmitterSpriteOnlyInTexturedMode) {
    ParticleSystem ps;
    SingleQuad(ps, 200, 0);  // particle off to the side
    ps.emitterSpriteMode = 1;
    ps.emitterSpriteSize = 100;
    ps.origin = Vec4{-100, 0, 0, 0};
    GLStateSnapshot snap;
    ps.Draw();
    snap.ExpectLeftBehind();
    EXPECT_GT(PixelAt(220, 240).r, 200);  // sprite centre
    EXPECT_GT(PixelAt(175, 240).r, 200);             // within its 100 edge
    EXPECT_EQ(PixelAt(165, 240).r, 0);
    EXPECT_GT(PixelAt(520, 240).r, 200);             // the particle

    glClear(GL_COLOR_BUFFER_BIT);
    ps.drawMode = 2;
    ps.Draw();
    snap.ExpectLeftBehind();
    EXPECT_EQ(PixelAt(220, 240).r, 0);  // flat quads: no sprite
}

TEST_F(ParticleDrawTest, PointsUseTheColourAsEmission) {
    ParticleSystem ps;
    SingleQuad(ps, 10, 20);
    ps.drawMode = 1;
    ps.particleSize = 5;
    ps.colour[0] = 1, ps.colour[1] = 0, ps.colour[2] = 0;
    ps.emitterSpriteMode = 1;
    ps.lives[0] = 0;  // ignored by points
    ps.Draw();
    const Rgb c = PixelAt(330, 260);
    EXPECT_EQ(c.r, 255);
    EXPECT_LT(c.g, 20);  // only the scene ambient besides the emission
    EXPECT_EQ(PixelAt(320, 240).r, 0);  // no emitter sprite
    GLfloat emission[4];
    glGetMaterialfv(GL_FRONT, GL_EMISSION, emission);
    EXPECT_EQ(emission[0], 0.0f);  // black again afterwards
    EXPECT_EQ(emission[3], 1.0f);
}

TEST_F(ParticleDrawTest, CountZeroAndUnknownModesLeaveStateSound) {
    ParticleSystem ps;
    ps.count = 0;
    ps.Init();
    GLStateSnapshot snap;
    for (int mode : {1, 2, 3, 4}) {
        ps.drawMode = mode;
        ps.emitterSpriteMode = 1;
        ps.Draw();
        snap.ExpectLeftBehind();
    }
    EXPECT_EQ(PixelAt(320, 240).r, 0);
}

TEST_F(ParticleDrawTest, ListNamesStayBoundedOverManyFrames) {
    const GLuint probe = glGenLists(1);
    glDeleteLists(probe, 1);
    const int before = LiveListsFrom(1, probe + 6000);
    {
        ParticleSystem ps;
        SingleQuad(ps, 0, 0);
        ps.emitterSpriteMode = 1;
        for (int frame = 0; frame < 3000; ++frame) {
            ps.emitterSpriteSize = 1.0f + frame % 7;
            ps.drawMode = 2 + frame % 2;
            ps.Draw();
        }
        // At most the particle quad and the sprite stay compiled.
        EXPECT_LE(LiveListsFrom(1, probe + 6000), before + 2);
    }
    EXPECT_EQ(LiveListsFrom(1, probe + 6000), before);
}

TEST_F(ParticleDrawTest, PictureOfAnEmitter) {
    // A part-2 style emitter seen in perspective, saved for a look.
    SceneView();
    const GLuint glow = MakeTestTexture(64, false);
    ParticleSystem ps;
    ps.count = 150;
    ps.drawMode = 3;
    ps.fadeMode = 1;
    ps.emitterSpriteMode = 1;
    ps.maxLife = 50;
    ps.particleSize = 0.3f;
    ps.emitterSpriteSize = 1.5f;
    ps.speed = 0.02f;
    ps.spawnSpread = 0.5f;
    ps.texture = glow;
    ps.Init();
    for (int k = 0; k < 60; ++k) ps.Update();
    ps.Draw();
    const std::string path = SaveSurfacePng("fx_particle_emitter");
    EXPECT_FALSE(path.empty());
    EXPECT_GT(PixelAt(320, 240).r, 200);  // the sprite at the emitter
    EXPECT_EQ(PixelAt(5, 5).r, 0);
    glDeleteTextures(1, &glow);
}

}  // namespace
