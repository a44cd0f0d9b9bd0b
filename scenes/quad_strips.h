// quad_strips.h -- textured quad strips drawn from one array.
#pragma once

// One vertex: texture coordinate and position.
struct StripVertex {
    float s, t;
    float x, y, z;
};

// Draws `strips` GL_QUAD_STRIPs of `perStrip` vertices each, stored one strip
// after another, with the current colour and normal. Afterwards the current
// texture coordinate is the last vertex's, as after sending them one by one.
void DrawQuadStrips(const StripVertex* vertices, int strips, int perStrip);
