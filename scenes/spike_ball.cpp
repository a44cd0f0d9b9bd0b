// spike_ball.cpp -- the spike ball surface shared by parts 4, 5 and 8.
#include "scenes/spike_ball.h"

#include <GL/gl.h>

#include <cmath>
#include <unordered_set>

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

// The strips of bands 0 .. bandsDrawn - 1 as vertex indices, and the lines
// polygon mode GL_LINE makes of them, each once. A strip's triangle t joins
// elements t, t + 1, t + 2, odd ones turned over to keep the winding
// (t + 1, t, t + 2); each triangle's outline is drawn as the lines
// (v2, v0), (v0, v1), (v1, v2).
void BuildTopology(SpikeBall* ball, int32_t bandsDrawn, int32_t pointsDrawn) {
    if (ball->edgeKey[0] == ball->segments && ball->edgeKey[1] == bandsDrawn && ball->edgeKey[2] == pointsDrawn &&
        !ball->stripElements.empty())
        return;
    ball->edgeKey[0] = ball->segments;
    ball->edgeKey[1] = bandsDrawn;
    ball->edgeKey[2] = pointsDrawn;
    const uint32_t S = uint32_t(ball->segments);
    ball->stripElements.clear();
    ball->edges.clear();
    std::unordered_set<uint64_t> seen;
    const auto addLine = [&](uint32_t a, uint32_t b) {
        const uint64_t key = a < b ? (uint64_t(a) << 32 | b) : (uint64_t(b) << 32 | a);
        if (!seen.insert(key).second) return;
        ball->edges.push_back(a);
        ball->edges.push_back(b);
    };
    for (int32_t j = 0; j < bandsDrawn; ++j) {
        const size_t first = ball->stripElements.size();
        for (int32_t i = 0; i < pointsDrawn; ++i) {
            ball->stripElements.push_back(uint32_t(j) * S + uint32_t(i));
            ball->stripElements.push_back(uint32_t(j + 1) * S + uint32_t(i));
        }
        ball->stripElements.push_back(uint32_t(j) * S);
        ball->stripElements.push_back(uint32_t(j + 1) * S);
        const uint32_t* e = &ball->stripElements[first];
        const size_t count = ball->stripElements.size() - first;
        for (size_t t = 0; t + 2 < count; ++t) {
            const uint32_t v0 = (t & 1) ? e[t + 1] : e[t];
            const uint32_t v1 = (t & 1) ? e[t] : e[t + 1];
            const uint32_t v2 = e[t + 2];
            addLine(v2, v0);
            addLine(v0, v1);
            addLine(v1, v2);
        }
    }
}

// Both faces drawn as plain lines: the outline can be drawn as lines.
bool OutlineAsLines() {
    GLint modes[2] = {GL_FILL, GL_FILL};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    return modes[0] == GL_LINE && modes[1] == GL_LINE && !glIsEnabled(GL_CULL_FACE) &&
           !glIsEnabled(GL_LINE_STIPPLE);
}

// Draws the bands from the enabled arrays: the outline or the strips.
void DrawBands(const SpikeBall& ball, int32_t bandsDrawn, int32_t pointsDrawn) {
    if (OutlineAsLines()) {
        glDrawElements(GL_LINES, GLsizei(ball.edges.size()), GL_UNSIGNED_INT, ball.edges.data());
        return;
    }
    const GLsizei perBand = GLsizei(2 * (pointsDrawn + 1));
    for (int32_t j = 0; j < bandsDrawn; ++j)
        glDrawElements(GL_TRIANGLE_STRIP, perBand, GL_UNSIGNED_INT, &ball.stripElements[size_t(j) * perBand]);
}

int32_t ClampDrawn(const SpikeBall& ball, int32_t* bandsDrawn, int32_t* pointsDrawn) {
    if (*bandsDrawn > ball.bands) *bandsDrawn = ball.bands;
    if (*pointsDrawn > ball.segments) *pointsDrawn = ball.segments;
    return *bandsDrawn > 0 && *pointsDrawn > 0;
}

}  // namespace

void DrawSpikeBallStrips(SpikeBall& ball, int32_t bandsDrawn, int32_t pointsDrawn) {
    if (ball.segments < 1) return;
    if (!ClampDrawn(ball, &bandsDrawn, &pointsDrawn)) return;
    BuildTopology(&ball, bandsDrawn, pointsDrawn);

    // The drawn normal of every vertex the bands use, in float as sent.
    const size_t used = size_t(bandsDrawn + 1) * ball.segments * 3;
    ball.drawnNormals.resize(used);
    for (size_t k = 0; k < used; ++k) ball.drawnNormals[k] = 0.5f * (ball.normals[k] + ball.vertices[k]);

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, ball.vertices.data());
    glNormalPointer(GL_FLOAT, 0, ball.drawnNormals.data());
    DrawBands(ball, bandsDrawn, pointsDrawn);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);

    // The strips end on the closing vertex (bandsDrawn, 0).
    const float* last = &ball.drawnNormals[size_t(bandsDrawn) * ball.segments * 3];
    glNormal3f(last[0], last[1], last[2]);
}

void DrawSpikeBallShadow(SpikeBall& ball, int32_t bandsDrawn, int32_t pointsDrawn, const float source[3]) {
    if (ball.segments < 1) return;
    if (!ClampDrawn(ball, &bandsDrawn, &pointsDrawn)) return;
    BuildTopology(&ball, bandsDrawn, pointsDrawn);

    const size_t used = size_t(bandsDrawn + 1) * ball.segments;
    ball.shadow.resize(used * 3);
    for (size_t k = 0; k < used; ++k) ShadowPoint(&ball.vertices[k * 3], source, &ball.shadow[k * 3]);

    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, ball.shadow.data());
    DrawBands(ball, bandsDrawn, pointsDrawn);
    glDisableClientState(GL_VERTEX_ARRAY);
}
