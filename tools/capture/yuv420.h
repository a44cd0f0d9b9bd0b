// yuv420.h -- frames for the video encoder: OpenGL's bottom-up pixels turned
// into top-down planar YUV 4:2:0 (BT.601, video range), the picture format
// H.264 stores. Done here, the encoder gets half the bytes and no conversion
// of its own to do.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes of a width x height frame: the Y plane, then U and V at half width
// and half height (rounded up).
size_t Yuv420Size(int width, int height);

// rgbx: width x height pixels of 4 bytes (red, green, blue, one ignored),
// bottom row first (Sys_ReadSurfaceRgbx). out: Yuv420Size bytes, top row
// first. Y per pixel; U and V from the rounded mean of each 2 x 2 block (a
// last odd row or column stands in for its missing neighbour). Integer
// arithmetic only: the same frame always gives the same bytes.
void RgbxBottomUpToYuv420(const uint8_t* rgbx, int width, int height, uint8_t* out);
