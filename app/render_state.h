// render_state.h -- the fixed OpenGL state every part starts from.
#pragma once

#include <cstdint>

// Switches off lights 0 to 7; for parts 1 to 8 then sets the part's clear
// colour, shading, projection (gluPerspective, aspect 1.33f), the 640 x 480
// viewport, an identity modelview, the white light 0 fixed in eye
// coordinates, the base material, depth testing and the part's tail steps
// (GL_NORMALIZE, polygon fill, sphere-map generation mode). Everything else
// stays as the previous part left it. Leaves GL_MODELVIEW current.
void ApplyPartRenderState(int32_t part);
