// spike_ball.h -- a sphere whose radius swells into spikes and sinks into
// dents, its face normals and its drawing as triangle strips.
//
// The ball's axis is z. Ring j (0 .. bands) lies at polar angle
// j * 6.28318 / segments from the +z pole, point i (0 .. segments - 1) at
// azimuth i * 3.14159 / bands; with segments = 2 * bands ring 0 is the +z
// pole and ring `bands` the -z pole. The radius there is
//   R = radius + amplitude * sin(i * azimuthWaves * 3.14159 / bands)
//                          * cos(j * 2 * polarWaves * 3.14159 / segments).
// The angles are accumulated by repeated addition in long double (x87
// extended precision), the coordinates stored as floats.
//
// Face normal N(j, i) (rows 0 .. bands - 1) is the unnormalised cross product
// (U - Q) x (P - Q) with P = V(j, i - 1), Q = V(j + 1, i - 1), U = V(j, i)
// (indices wrap around the ring): the normal of the face ending at point i.
// Row `bands` (the -z pole ring) has no ring beyond it and holds zero normals.
// The drawn normal of a vertex is (N + V) / 2, left to GL_NORMALIZE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct SpikeBall {
    int32_t segments = 0;        // points per ring
    int32_t bands = 0;           // rings - 1
    std::vector<float> vertices; // (bands + 1) * segments * 3 floats, ring by ring
    std::vector<float> normals;  // same layout; row `bands` is zero
    std::vector<long double> pointTrig;  // scratch: cos, sin of azimuth, sin of wave per point
    std::vector<float> drawnNormals;     // scratch: (N + V) / 2 per vertex, as drawn
    std::vector<float> shadow;           // scratch: the shadow's vertices, same layout
    // The band topology drawn last, kept while the counts stay the same.
    int32_t edgeKey[3] = {0, 0, 0};
    std::vector<uint32_t> edges;         // each line of the wireframe once (pairs)
    std::vector<uint32_t> stripElements; // per band 2 * (points + 1) vertex indices

    const float* V(int32_t j, int32_t i) const { return &vertices[(size_t(j) * segments + i) * 3]; }
    const float* N(int32_t j, int32_t i) const { return &normals[(size_t(j) * segments + i) * 3]; }
};

// Fills `ball` for the parameters. The arrays keep their capacity, so a ball
// rebuilt every frame with the same counts allocates only once. Counts below
// 1 give an empty ball (nothing to draw).
void BuildSpikeBall(SpikeBall* ball, int32_t segments, int32_t bands, float radius,
                    float amplitude, int32_t azimuthWaves, int32_t polarWaves);

// Shadow of v on the plane y = -49 for the light point `source`:
// k = (v.y + 100) / (source.y + 100), out = (v.x - k * source.x, -49,
// v.z - k * source.z). A point at y = -100 falls straight down.
void ShadowPoint(const float v[3], const float source[3], float out[3]);

// Draws bands 0 .. bandsDrawn - 1 as GL_TRIANGLE_STRIPs: for points
// 0 .. pointsDrawn - 1 the pair (j, i), (j + 1, i), each with its normal
// (N + V) / 2, then the closing pair at point 0. Sets only the current normal
// (to that of the last vertex, as the strips leave it).
//
// The vertices come from arrays. With both polygon faces drawn as lines (and
// no culling or stipple), the strips' outlines are drawn as GL_LINES instead,
// each edge once: the first of its appearances in the strips' own order, in
// the same direction, which is the line the strips draw first.
void DrawSpikeBallStrips(SpikeBall& ball, int32_t bandsDrawn, int32_t pointsDrawn);

// The shadow of the same bands on the plane y = -49 (ShadowPoint) for the
// light point `source`, in the current colour, as lines (the strips' outline
// as above, or the strips themselves outside GL_LINE mode). Issues no normal
// or texture coordinate.
void DrawSpikeBallShadow(SpikeBall& ball, int32_t bandsDrawn, int32_t pointsDrawn, const float source[3]);
