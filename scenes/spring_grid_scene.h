// spring_grid_scene.h -- part 6: the cloth of the spring mesh, textured with
// the grid picture and outlined by a black wireframe, turning slowly while
// one node after another along a wandering path is pulled down.
//
// The mesh lies in the x-z plane (y up), seen from (10, 15, 10), turning 0.1
// degree per clock unit. Each frame the node pulled in the previous frame is
// released and node PulledNode(t) gets an extra force of 100 downward; the
// mesh then takes one step. Starts with a fade from white over 600 clock
// units. Expects the render state of part 6.
#pragma once

#include <cstdint>

#include "app/globals.h"  // TextureId

class SpringMesh;

// Kept across visits of part 6: whether any frame of part 6 has run, and the
// node that frame pulled (released by the next frame).
extern bool pullStarted;
extern int32_t pulledNode;

// One frame at part clock t (5 ms units). Ends with glFlush.
void DrawSpringGridScene(int32_t t, SpringMesh* mesh, TextureId gridTexture);

// The node to pull at clock t: with u = 0.01 t, colTerm = int(25 + 15 sin u
// cos u) and rowTerm = int(25 + 10 sin u), K = colTerm + 50 rowTerm + 25;
// 1300 (the centre of the 51 x 51 grid) at t = 0, always within 792..1807.
int32_t PulledNode(int32_t t);
