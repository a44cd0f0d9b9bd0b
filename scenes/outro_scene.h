// outro_scene.h -- part 8: the large sphere-mapped spike ball under the
// outro picture, after a short fade from white.
//
// The ball (radius 70, spikes up to 30 out and in) turns 0.2 degree per clock
// unit about y, seen from (80, 80, 80); the far plane of part 8 (110) clips
// away its centre and far side. Expects the render state of part 8 (dark
// blue clear colour, 90 degree perspective, polygon fill, sphere-map
// generation mode).
#pragma once

#include <cstdint>

#include "app/globals.h"  // TextureId

// One frame at part clock t (5 ms units). Ends with glFlush.
void DrawOutroScene(int32_t t, TextureId ballTexture, TextureId outroTexture);

// The whole spike ball (scenes/spike_ball.h), every band and every point,
// closed from pole to pole, with the caller's state. Sets only the current
// normal.
void DrawSpikeBall(int32_t segments, int32_t bands, float radius, float amplitude,
                   int32_t azimuthWaves, int32_t polarWaves);
