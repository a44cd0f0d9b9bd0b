// ball_floor_scene.h -- parts 4 and 5: the spiking wireframe ball over the
// textured floor, its black shadow, the circling glow and the front picture.
//
// World units; y up, the floor at y = -50 from -500 to 500 in x and z. The
// camera orbits an ellipse (250 across x, 150 across z) once per 942 clock
// units; the glow circles at radius 50, height 50. Expects the render state
// of parts 4 and 5 (45 degree perspective, far plane 2000, light 0 above the
// eye, GL_NORMALIZE, sphere-map generation mode).
#pragma once

#include <cstdint>

#include "app/globals.h"  // TextureId

class Billboard;

// One frame at part clock t (5 ms units). The glow billboard is drawn at the
// place the scene moves to plus whatever position and size it holds (part 7
// leaves 6.0 and (10, 10, 10) behind). Ends with glFlush.
void DrawBallFloorScene(int32_t t, TextureId floorTexture, TextureId ballTexture, Billboard* glow,
                        TextureId frontTexture);

// The spike ball (scenes/spike_ball.h) with the caller's texture, material
// and polygon mode, all bands but the one at the -z pole and all points but
// the last of each ring; then its shadow for the light point shadowSource
// (x, y, z) as a black line strip set one unit above the floor. Leaves
// lighting on, the polygon mode GL_LINE and the colour black.
void DrawShadowedSpikeBall(int32_t segments, int32_t bands, float radius, float amplitude,
                           int32_t azimuthWaves, int32_t polarWaves, const float shadowSource[3]);
