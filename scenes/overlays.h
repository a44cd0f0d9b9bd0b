// overlays.h -- full-screen quads laid over a frame.
//
// Each draws one quad that exactly covers the viewport, at window depth 0.5,
// whatever projection and camera are set: the modelview is replaced by a
// translation (-50, -50, -250) and left so; the projection is pushed, made
// an ortho (-50, 50, -50, 50, 200, 300) and popped again. Requires
// GL_MODELVIEW current. Afterwards lighting is on, blending and texture
// generation are off and depth writes are on.
#pragma once

#include "app/globals.h"  // TextureId

// The texture over the screen, modulated by (r, g, b), blended with alpha a.
void DrawTextureOverlay(TextureId texture, float r, float g, float b, float a);
// An untextured (r, g, b) quad blended with alpha a: fades. Leaves
// GL_TEXTURE_2D as the caller had it.
void DrawFadeOverlay(float r, float g, float b, float a);
// The texture in white, each colour channel its own opacity: black keeps the
// scene, white replaces it, grey mixes.
void DrawKeyedOverlay(TextureId texture);
