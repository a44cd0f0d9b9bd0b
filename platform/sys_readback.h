// sys_readback.h -- the drawing surface read back for an offline renderer,
// in the layout that costs OpenGL least to give.
#pragma once

#include <cstdint>

// Reads the drawing surface as 4 bytes per pixel (red, green, blue and a
// byte to ignore), bottom row first, its real size (640 x 480 times the
// scale). The surface keeps 4 bytes per pixel itself, so this is a plain
// copy, where 3-byte RGB (Sys_ReadSurface) has every pixel repacked.
// Returns false without a drawing surface.
bool Sys_ReadSurfaceRgbx(uint8_t* rgbx);
