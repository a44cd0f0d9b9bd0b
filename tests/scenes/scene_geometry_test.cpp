// scene_geometry_test.cpp -- the numbers behind the scenes, without GL: the
// spike ball grid and its face normals, the shadow projection, the plasma
// height field, the pulled node of the cloth, the spiral phase cycle, the
// lattice colours and the emitter sprite flicker.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "scenes/eye_scene.h"
#include "scenes/lattice_scene.h"
#include "scenes/spike_ball.h"
#include "scenes/spiral_scene.h"
#include "scenes/spring_grid_scene.h"
#include "scenes/title_scene.h"

namespace {

double Length3(const float* v) { return std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]); }

double Dot3(const float* a, const float* b) {
    return double(a[0]) * b[0] + double(a[1]) * b[1] + double(a[2]) * b[2];
}

}  // namespace

TEST(SpikeBall, PlainSphereFromPoleToPoleAtZeroAmplitude) {
    SpikeBall ball;
    BuildSpikeBall(&ball, 90, 45, 30.0f, 0.0f, 6, 6);
    ASSERT_EQ(ball.segments, 90);
    ASSERT_EQ(ball.bands, 45);
    ASSERT_EQ(ball.vertices.size(), size_t(46 * 90 * 3));  // 4,140 points
    for (int j = 0; j <= 45; ++j)
        for (int i = 0; i < 90; ++i) ASSERT_NEAR(Length3(ball.V(j, i)), 30.0, 1e-4) << j << "," << i;
    // Ring 0 is the +z pole, ring 45 the -z pole (pi is 3.14159, so it stops
    // a hair short of the axis).
    for (int i = 0; i < 90; ++i) {
        EXPECT_FLOAT_EQ(ball.V(0, i)[0], 0.0f);
        EXPECT_FLOAT_EQ(ball.V(0, i)[1], 0.0f);
        EXPECT_FLOAT_EQ(ball.V(0, i)[2], 30.0f);
        EXPECT_NEAR(ball.V(45, i)[0], 0.0, 1e-3);
        EXPECT_NEAR(ball.V(45, i)[1], 0.0, 1e-3);
        EXPECT_NEAR(ball.V(45, i)[2], -30.0, 1e-4);
    }
    // Point 0 of a ring near the equator is on the +x side, point 45 (half
    // way round) on the -x side.
    EXPECT_GT(ball.V(22, 0)[0], 29.0f);
    EXPECT_LT(ball.V(22, 45)[0], -29.0f);
}

TEST(SpikeBall, RadiusFollowsBothWaves) {
    SpikeBall ball;
    const float r = 70.0f, h = 30.0f;
    BuildSpikeBall(&ball, 100, 50, r, h, 8, 8);
    const double pi = 3.14159f, twoPi = 6.28318f;
    for (int j = 0; j <= 50; j += 7) {
        for (int i = 0; i < 100; i += 3) {
            const double alpha = i * 8 * pi / 50, beta = j * 2 * 8 * pi / 100;
            const double expected = r + h * std::sin(alpha) * std::cos(beta);
            ASSERT_NEAR(Length3(ball.V(j, i)), std::fabs(expected), 2e-4) << j << "," << i;
            const double phi = j * twoPi / 100, theta = i * pi / 50;
            ASSERT_NEAR(ball.V(j, i)[0], expected * std::cos(theta) * std::sin(phi), 2e-4);
            ASSERT_NEAR(ball.V(j, i)[2], expected * std::cos(phi), 2e-4);
        }
    }
    // At the pole the wave still acts: the +z pole ring is a line of points.
    EXPECT_NE(ball.V(0, 0)[2], ball.V(0, 3)[2]);
}

TEST(SpikeBall, FaceNormalIsStoredAtThePointTheFaceEndsAt) {
    SpikeBall ball;
    const int S = 90, B = 45;
    BuildSpikeBall(&ball, S, B, 30.0f, 17.0f, 6, 6);
    auto expected = [&](int j, int i, float out[3]) {
        const float* P = ball.V(j, i);
        const float* Q = ball.V(j + 1, i);
        const float* U = ball.V(j, (i + 1) % S);
        const float e[3] = {U[0] - Q[0], U[1] - Q[1], U[2] - Q[2]};
        const float f[3] = {P[0] - Q[0], P[1] - Q[1], P[2] - Q[2]};
        out[0] = e[1] * f[2] - e[2] * f[1];
        out[1] = e[2] * f[0] - e[0] * f[2];
        out[2] = e[0] * f[1] - e[1] * f[0];
    };
    float n[3];
    // The face from point S - 1 to point 0 wraps round and lands on entry 0;
    // the face from point 0 to 1 on entry 1.
    for (int j : {0, 10, B - 1}) {
        expected(j, S - 1, n);
        EXPECT_FLOAT_EQ(ball.N(j, 0)[0], n[0]);
        EXPECT_FLOAT_EQ(ball.N(j, 0)[1], n[1]);
        EXPECT_FLOAT_EQ(ball.N(j, 0)[2], n[2]);
        expected(j, 0, n);
        EXPECT_FLOAT_EQ(ball.N(j, 1)[0], n[0]);
        EXPECT_FLOAT_EQ(ball.N(j, 1)[1], n[1]);
        EXPECT_FLOAT_EQ(ball.N(j, 1)[2], n[2]);
    }
    // The -z pole ring has no face beyond it: zero normals, so its drawn
    // normal is half the position vector.
    for (int i = 0; i < S; ++i) {
        EXPECT_EQ(ball.N(B, i)[0], 0.0f);
        EXPECT_EQ(ball.N(B, i)[1], 0.0f);
        EXPECT_EQ(ball.N(B, i)[2], 0.0f);
    }
}

TEST(SpikeBall, FaceNormalsOfTheSpherePointOutward) {
    SpikeBall ball;
    BuildSpikeBall(&ball, 100, 50, 70.0f, 0.0f, 8, 8);
    // Row 0 starts at the pole, where P and U coincide: its faces are
    // degenerate and their normals zero. Every other row points outward.
    for (int i = 0; i < 100; ++i) EXPECT_NEAR(Length3(ball.N(0, i)), 0.0, 1e-3);
    for (int j = 1; j < 50; ++j)
        for (int i = 0; i < 100; ++i) ASSERT_GT(Dot3(ball.N(j, i), ball.V(j, i)), 0.0) << j << "," << i;
}

TEST(SpikeBall, ArraysAreReusedAndDegenerateCountsGiveNothing) {
    SpikeBall ball;
    BuildSpikeBall(&ball, 90, 45, 30.0f, 5.0f, 6, 6);
    const float* vertices = ball.vertices.data();
    const float* normals = ball.normals.data();
    BuildSpikeBall(&ball, 90, 45, 30.0f, -12.0f, 6, 6);
    EXPECT_EQ(ball.vertices.data(), vertices);
    EXPECT_EQ(ball.normals.data(), normals);
    // The same parameters give the same ball, whatever came before.
    SpikeBall fresh;
    BuildSpikeBall(&fresh, 90, 45, 30.0f, -12.0f, 6, 6);
    EXPECT_EQ(fresh.vertices, ball.vertices);
    EXPECT_EQ(fresh.normals, ball.normals);

    BuildSpikeBall(&ball, 0, 45, 30.0f, 0.0f, 6, 6);
    EXPECT_EQ(ball.segments, 0);
    EXPECT_TRUE(ball.vertices.empty());
    BuildSpikeBall(&ball, 90, -1, 30.0f, 0.0f, 6, 6);
    EXPECT_TRUE(ball.vertices.empty());
}

TEST(Shadow, ProjectionOntoTheFloor) {
    const float glow[3] = {30.0f, 50.0f, -40.0f};
    float s[3];
    // Height -100: k = 0, straight below.
    const float low[3] = {7.0f, -100.0f, 3.0f};
    ShadowPoint(low, glow, s);
    EXPECT_FLOAT_EQ(s[0], 7.0f);
    EXPECT_FLOAT_EQ(s[1], -49.0f);
    EXPECT_FLOAT_EQ(s[2], 3.0f);
    // Level with the glow: k = 1, shifted by the glow's full horizontal offset.
    const float level[3] = {7.0f, 50.0f, 3.0f};
    ShadowPoint(level, glow, s);
    EXPECT_FLOAT_EQ(s[0], 7.0f - 30.0f);
    EXPECT_FLOAT_EQ(s[1], -49.0f);
    EXPECT_FLOAT_EQ(s[2], 3.0f + 40.0f);
    // Half way up: half the shift.
    const float mid[3] = {0.0f, -25.0f, 0.0f};
    ShadowPoint(mid, glow, s);
    EXPECT_FLOAT_EQ(s[0], -15.0f);
    EXPECT_FLOAT_EQ(s[2], 20.0f);
}

TEST(PlasmaSheet, HeightFieldAtClockZeroIsNotFlat) {
    static PlasmaVertex sheet[kPlasmaRows * kPlasmaColumns * 2];
    BuildPlasmaSheet(0, sheet);
    float highest = 0.0f;
    for (int j = 0; j < kPlasmaRows; ++j) {
        for (int i = 0; i < kPlasmaColumns; ++i) {
            const PlasmaVertex& upper = sheet[(j * kPlasmaColumns + i) * 2];
            const PlasmaVertex& lower = sheet[(j * kPlasmaColumns + i) * 2 + 1];
            ASSERT_NEAR(lower.z, 2.0 * std::cos(0.18 * j) * std::sin(0.18 * i), 2e-4) << j << "," << i;
            ASSERT_NEAR(upper.z, 2.0 * std::cos(0.18 * (j + 1)) * std::sin(0.18 * i), 2e-4);
            ASSERT_NEAR(lower.x, -5.0 + 0.125 * i, 1e-5);
            ASSERT_NEAR(lower.y, -5.0 + 0.125 * j, 1e-5);
            ASSERT_NEAR(upper.y, -5.0 + 0.125 * (j + 1), 1e-5);
            highest = std::max(highest, std::fabs(lower.z));
        }
    }
    EXPECT_GT(highest, 1.9f);
    // The sheet spans x -5 .. 4.875 and y -5 .. 5.
    EXPECT_FLOAT_EQ(sheet[0].x, -5.0f);
    EXPECT_NEAR(sheet[(kPlasmaColumns - 1) * 2].x, 4.875f, 1e-5);
    EXPECT_NEAR(sheet[(kPlasmaRows * kPlasmaColumns - 1) * 2].y, 5.0f, 1e-5);
    // Column 0 has sin(0) = 0: texture coordinates unbent there, 0 .. ~1.
    EXPECT_FLOAT_EQ(sheet[1].s, 0.0f);
    EXPECT_FLOAT_EQ(sheet[1].t, 0.0f);
    EXPECT_NEAR(sheet[(kPlasmaRows * kPlasmaColumns - kPlasmaColumns) * 2].t, 1.0f, 1e-5);
}

TEST(PlasmaSheet, WavesTravelWithTheClock) {
    static PlasmaVertex sheet[kPlasmaRows * kPlasmaColumns * 2];
    BuildPlasmaSheet(400, sheet);  // phase 5 radians
    for (int j = 0; j < kPlasmaRows; j += 9) {
        for (int i = 0; i < kPlasmaColumns; i += 5) {
            const PlasmaVertex& lower = sheet[(j * kPlasmaColumns + i) * 2 + 1];
            const double z = 2.0 * std::cos(5.0 + 0.18 * j) * std::sin(5.0 + 0.18 * i);
            ASSERT_NEAR(lower.z, z, 5e-4) << j << "," << i;
            const double c0 = std::cos(5.0 + 0.18 * j), S = std::sin(5.0 + 0.18 * i);
            const double C = std::cos(5.0 + 0.18 * i);
            ASSERT_NEAR(lower.s, 0.0125 * i + 0.1 * c0 * c0 * S, 5e-5);
            ASSERT_NEAR(lower.t, 0.0125 * j + 0.1 * c0 * S * (c0 * S + C), 5e-5);
        }
    }
}

TEST(SpringGrid, PulledNodeStartsAtTheCentreAndStaysInItsBand) {
    EXPECT_EQ(PulledNode(0), 1300);
    std::set<int32_t> seen;
    int32_t lo = 1 << 30, hi = -1;
    for (int32_t t = 0; t < 200000; ++t) {
        const int32_t k = PulledNode(t);
        ASSERT_GE(k, 792) << t;
        ASSERT_LE(k, 1807) << t;
        lo = std::min(lo, k);
        hi = std::max(hi, k);
        seen.insert(k);
    }
    // It wanders over rows 15 .. 35 rather than sitting still.
    EXPECT_LT(lo, 900);
    EXPECT_GT(hi, 1700);
    EXPECT_GT(seen.size(), 50u);
}

TEST(Spiral, PhaseCyclesEvery126FramesWithoutReachingTwoPi) {
    float p = 0.0f;
    int zeros = 0, lastZero = 0;
    for (int frame = 1; frame <= 126 * 5; ++frame) {
        p = AdvanceSpiralPhase(p);
        ASSERT_LT(p, 6.28318f);
        ASSERT_GE(p, 0.0f);
        if (p == 0.0f) {
            if (zeros > 0) EXPECT_EQ(frame - lastZero, 126);
            else EXPECT_EQ(frame, 126);
            ++zeros;
            lastZero = frame;
        }
    }
    EXPECT_EQ(zeros, 5);
    // The last value before the wrap is about 6.25.
    float q = 0.0f;
    for (int n = 0; n < 125; ++n) q = AdvanceSpiralPhase(q);
    EXPECT_NEAR(q, 6.25f, 1e-3);
}

TEST(Lattice, ColourPatternAndCounts) {
    int counts[4] = {0, 0, 0, 0};
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j)
            for (int k = 0; k < 6; ++k) ++counts[LatticeGlow(j, k)];
    EXPECT_EQ(counts[1], 108);
    EXPECT_EQ(counts[2], 36);
    EXPECT_EQ(counts[3], 72);
    EXPECT_EQ(LatticeGlow(3, 3), 1);  // the sprite at the world origin
    EXPECT_EQ(LatticeGlow(0, 3), 2);
    EXPECT_EQ(LatticeGlow(4, 5), 2);
    EXPECT_EQ(LatticeGlow(0, 1), 3);
    EXPECT_EQ(LatticeGlow(5, 5), 1);  // glow1's last cell, (10, 10, 10)
}

TEST(EyeScene, EmitterSpriteSizeTakesOneHundredValues) {
    std::set<int> hundredths;
    for (int r = 0; r <= 32767; ++r) {
        const float size = EmitterSpriteSize(r);
        ASSERT_GE(size, 3.0f);
        ASSERT_LT(size, 4.0f);
        hundredths.insert(int(std::lround((size - 3.0f) * 100.0f)));
    }
    EXPECT_EQ(hundredths.size(), 100u);
    EXPECT_EQ(*hundredths.begin(), 0);
    EXPECT_EQ(*hundredths.rbegin(), 99);
}
