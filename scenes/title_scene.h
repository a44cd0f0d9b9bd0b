// title_scene.h -- part 1: the rippling plasma sheet under the title picture,
// fading in from black over the first 1200 clock units (6 seconds).
//
// The sheet lies in the z = 0 plane of its own coordinates, x from -5 to
// 4.875 and y from -5 to 5 (80 strips of 80 columns, step 0.125), displaced
// along z by z = 2 cos(phase + 0.18 row) sin(phase + 0.18 column) with
// phase = 0.0125 t radians; its texture coordinates run from 0 to about 1
// (0.0125 per step) bent by up to about 0.2 by the same waves. The eye looks
// at it from 4 units in front. Expects the render state of part 1.
#pragma once

#include <cstdint>

#include "app/globals.h"  // TextureId
#include "scenes/quad_strips.h"

constexpr int kPlasmaRows = 80;     // quad strips
constexpr int kPlasmaColumns = 80;  // vertex pairs per strip


// One frame at part clock t (5 ms units). Ends with glFlush.
void DrawTitleScene(int32_t t, TextureId plasmaTexture, TextureId titleTexture);

// Draws the sheet in white, textured and unlit, with the caller's matrix and
// blending; leaves lighting on and texturing off.
void DrawPlasmaSheet(TextureId texture, int32_t t);

// The sheet at clock t in drawing order: for row j the pairs (upper, lower)
// of columns 0 .. 79 at out[(j * kPlasmaColumns + i) * 2 + 0 / 1]; rows,
// columns, angles and texture shifts advance by repeated float addition.
void BuildPlasmaSheet(int32_t t, StripVertex* out);
