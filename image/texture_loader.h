// texture_loader.h -- pictures become OpenGL textures.
#pragma once

#include "app/globals.h"  // TextureId

// Decodes the ZYN_JPEGTEX resource to packed 8-bit RGB (the JPEG's first row
// becomes texture row t = 0, no flip) and uploads it as a new 2D texture:
// internal format 3, linear filters, no mipmaps. The new texture is left
// bound. A missing or unreadable picture, or one larger than a texture may
// be (GL_MAX_TEXTURE_SIZE, at most 8192 a side), shows its message box and
// gives a 1 x 1 black texture; loading always goes on.
void LoadTexture(TextureId& texture, const char* resourceName);
