// lattice_scene.h -- part 7: a 6 x 6 x 6 lattice of glow sprites in three
// colours turning about the slanted axis (0.5, 1, 0) through the origin.
//
// Lattice points at -15, -10, ..., 10 on each axis, every one a billboard of
// size 6.0; the camera at (7, 7, 7) sits inside the lattice's extent. The
// lattice turns half a degree per clock unit. No overlay, no fade. Expects
// the render state of part 7.
#pragma once

#include <cstdint>

class Billboard;

// One frame at part clock t (5 ms units). Leaves each billboard at size 6.0
// and the last position it was drawn at ((10, 10, 10) for glow1). Ends with
// glFlush.
void DrawBillboardLatticeScene(int32_t t, Billboard* glow1, Billboard* glow2, Billboard* glow3);

// Which glow (1, 2 or 3) sits at lattice row j, layer k (0 .. 5): 1 when
// j + k is even, else 3 unless j + k is a multiple of 3, else 2.
int LatticeGlow(int j, int k);
