// eye_scene.h -- part 2: three emitters circling the centre in the xy, xz
// and yz planes and a column of smoke, the group turning about y, over the
// eye picture laid on at 10% every frame.
//
// The colour buffer is never cleared here: the picture builds up and every
// particle leaves a trail that fades by 10% per frame. Emitters run on
// circles of radius 3 at 0.01 radians per clock unit; the group turns 0.1
// degree per clock unit. Expects the render state of part 2.
#pragma once

#include <cstdint>

#include "app/globals.h"  // TextureId

class ParticleSystem;

// One frame at part clock t (5 ms units): draws systems 1, 2, 3 and 5 as the
// last frame left them, lays the eye picture over them, then moves and
// advances the emitters (system 4 is advanced but never drawn) and gives
// systems 1 to 3 a new sprite size 3.00 .. 3.99 from DemoRand. Ends with
// glFlush.
void DrawEyeParticleScene(int32_t t, ParticleSystem* system1, ParticleSystem* system2,
                          ParticleSystem* system3, ParticleSystem* system4,
                          ParticleSystem* system5, TextureId eyeTexture);

// The flickering emitter sprite size for a random value r >= 0:
// (r mod 100) * 0.01 + 3.0.
float EmitterSpriteSize(int r);
