// sprite_quad.h -- the camera-facing quad shared by the particle system and
// the billboard (used inside fx/ only).
#pragma once

// The transpose of the current modelview's rotation block, no translation
// (16 floats, GL column order). Applied after a translation it turns a quad
// in the x-y plane to face the viewer, for a modelview without scaling.
void FacingMatrix(float* out);

// Emits the four textured corners of a quad of half edge h inside
// glBegin(GL_QUADS): counter-clockwise from the lower left, (s, t) from
// (0, 0) to (1, 1), t = 0 at the lower edge.
void TexturedCorners(float h);
