// spiral_scene.h -- part 3: six glowing helix ribbons winding along z into
// the distance, a stream of glowing particles down their axis, the camera
// swinging from x = -100 to 100 in front of them, under the spiral pictures.
//
// As in part 2 the colour buffer is not cleared: ribbons and particles leave
// trails and the SPIRAL picture builds up at 10% per frame. The ribbons turn
// by 0.05 radians per drawn frame (spiralPhase), the camera by the clock.
// Expects the render state of part 3.
#pragma once

#include <cstdint>

#include "app/globals.h"  // TextureId

class HelixRibbon;
class ParticleSystem;

// The ribbons' phase in radians, 0 .. 6.25: 0 at program start, advanced
// once per drawn frame of part 3 and kept across visits of the part.
extern float spiralPhase;

// One frame at part clock t (5 ms units). Ends with glFlush.
void DrawSpiralScene(int32_t t, HelixRibbon* ribbon, ParticleSystem* system6,
                     TextureId spiralTexture, TextureId spiralFrontTexture);

// The phase after `phase`: phase + 0.05, or exactly 0 once that reaches
// 6.28318 (a cycle of 126 frames from 0).
float AdvanceSpiralPhase(float phase);
