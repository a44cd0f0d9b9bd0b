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
    // it replaces is released.
    void BuildList();
    // Draws additively (no depth writes), then leaves blending and texturing
    // off and depth writes on; the front diffuse material is left white.
    void Draw();

    float position[3] = {0, 0, 0};  // centre, modelview coordinates at the draw
    float size = 1.0f;              // edge length for the next BuildList
    TextureId texture = 0;
    uint32_t list = 0;  // display-list name of the compiled quad
};
