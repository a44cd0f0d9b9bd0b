// spike_ball.cpp -- the spike ball surface shared by parts 4, 5 and 8.
#include "scenes/spike_ball.h"

#include <GL/gl.h>

#include <cmath>

namespace {

// The demo's pi and two pi, as floats.
constexpr float kPi = 3.14159f;
constexpr float kTwoPi = 6.28318f;

}  // namespace

void BuildSpikeBall(SpikeBall* ball, int32_t segments, int32_t bands, float radius,
                    float amplitude, int32_t azimuthWaves, int32_t polarWaves) {
    if (segments < 1 || bands < 1) {
        ball->segments = 0;
        ball->bands = 0;
        ball->vertices.clear();
        ball->normals.clear();
        return;
    }
    ball->segments = segments;
    ball->bands = bands;
    const size_t floats = size_t(bands + 1) * segments * 3;
    ball->vertices.resize(floats);
    ball->normals.resize(floats);

    const long double dPhi = (long double)kTwoPi / segments;
    const long double dTheta = (long double)kPi / bands;
    const long double dBeta = (long double)2 * polarWaves * (long double)kPi / segments;
    const long double dAlpha = (long double)azimuthWaves * (long double)kPi / bands;

    // The azimuth and its wave do not depend on the ring: accumulate them once.
    ball->pointTrig.resize(size_t(segments) * 3);
    long double* trig = ball->pointTrig.data();
    long double theta = 0, alpha = 0;
    for (int32_t i = 0; i < segments; ++i) {
        trig[i * 3 + 0] = cosl(theta);
        trig[i * 3 + 1] = sinl(theta);
        trig[i * 3 + 2] = sinl(alpha);
        theta += dTheta;
        alpha += dAlpha;
    }

    long double phi = 0, beta = 0;
    float* v = ball->vertices.data();
    for (int32_t j = 0; j <= bands; ++j) {
        const long double sinPhi = sinl(phi), cosPhi = cosl(phi), cosBeta = cosl(beta);
        for (int32_t i = 0; i < segments; ++i) {
            const long double* p = &trig[i * 3];
            const long double r = radius + amplitude * p[2] * cosBeta;
            *v++ = float(r * p[0] * sinPhi);
            *v++ = float(r * p[1] * sinPhi);
            *v++ = float(r * cosPhi);
        }
        phi += dPhi;
        beta += dBeta;
    }

    for (int32_t j = 0; j < bands; ++j) {
        for (int32_t i = 0; i < segments; ++i) {
            const int32_t next = i + 1 < segments ? i + 1 : 0;
            const float* P = ball->V(j, i);
            const float* Q = ball->V(j + 1, i);
            const float* U = ball->V(j, next);
            const float e[3] = {U[0] - Q[0], U[1] - Q[1], U[2] - Q[2]};
            const float f[3] = {P[0] - Q[0], P[1] - Q[1], P[2] - Q[2]};
            float* n = &ball->normals[(size_t(j) * segments + next) * 3];
            n[0] = e[1] * f[2] - e[2] * f[1];
            n[1] = e[2] * f[0] - e[0] * f[2];
            n[2] = e[0] * f[1] - e[1] * f[0];
        }
    }
    // The -z pole ring has no ring beyond it: a zero face normal, so its drawn
    // normal is half the position vector.
    float* last = &ball->normals[size_t(bands) * segments * 3];
    for (int32_t k = 0; k < segments * 3; ++k) last[k] = 0.0f;
}

void ShadowPoint(const float v[3], const float source[3], float out[3]) {
    const float k = (v[1] + 100.0f) / (source[1] + 100.0f);
    out[0] = v[0] - k * source[0];
    out[1] = -49.0f;
    out[2] = v[2] - k * source[2];
}

namespace {

void SendVertex(const SpikeBall& ball, int32_t j, int32_t i) {
    const float* n = ball.N(j, i);
    const float* v = ball.V(j, i);
    glNormal3f(0.5f * (n[0] + v[0]), 0.5f * (n[1] + v[1]), 0.5f * (n[2] + v[2]));
    glVertex3fv(v);
}

}  // namespace

void DrawSpikeBallStrips(const SpikeBall& ball, int32_t bandsDrawn, int32_t pointsDrawn) {
    if (ball.segments < 1) return;
    if (bandsDrawn > ball.bands) bandsDrawn = ball.bands;
    if (pointsDrawn > ball.segments) pointsDrawn = ball.segments;
    for (int32_t j = 0; j < bandsDrawn; ++j) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int32_t i = 0; i < pointsDrawn; ++i) {
            SendVertex(ball, j, i);
            SendVertex(ball, j + 1, i);
        }
        SendVertex(ball, j, 0);
        SendVertex(ball, j + 1, 0);
        glEnd();
    }
}
