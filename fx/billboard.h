// billboard.h -- a square, textured, camera-facing sprite drawn additively.
//
// The quad (edge `size`, in the x-y plane, t = 0 at its lower edge) lives in
// a display list; Draw places it at `position` in the current modelview
// frame and cancels the view's rotation so it faces the viewer.
#pragma once

#include <cstdint>

#include "app/globals.h"  // TextureId

class Billboard {
public:
    Billboard();  // position 0, size 1, unit quad compiled (needs GL)

    // Decodes a ZYN_JPEGTEX picture into a new texture stored in `texture`.
    void LoadTexture(const char* resourceName);
    // Compiles the quad for the current size and makes it `list`; the list
    // it replaces is released. A list already compiled for this size is kept.
    void BuildList();
    // Draws additively (no depth writes), then leaves blending and texturing
    // off and depth writes on; the front diffuse material is left white.
    void Draw();
    // What `count` Draw calls would draw with `position` set to each of
    // `positions` in turn (all under the current modelview), with the state
    // set once and the facing matrix read once; `position` is left at the
    // last one. Each quad is drawn only where its picture is not black (a
    // black texel adds nothing), scissored to that part's rectangle on the
    // screen, and not at all where that part is off the screen.
    void DrawAt(const float (*positions)[3], int count);

    float position[3] = {0, 0, 0};  // centre, modelview coordinates at the draw
    float size = 1.0f;              // edge length for the next BuildList
    TextureId texture = 0;
    uint32_t list = 0;  // display-list name of the compiled quad

private:
    float listSize_ = 0.0f;  // the size `list` was compiled for
    // Texels (inclusive) outside which the picture is black, for the texture
    // they were read from; litKnown_ false until read.
    TextureId litTexture_ = 0;
    bool litKnown_ = false;
    bool litInside_ = false;  // the black surround reaches every edge
    int lit_[4] = {0, 0, 0, 0};  // first and last column, first and last row
    int texSize_[2] = {0, 0};
};
