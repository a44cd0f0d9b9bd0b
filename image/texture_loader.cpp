// texture_loader.cpp -- ZYN_JPEGTEX pictures become OpenGL textures.
#include "image/texture_loader.h"

#include <GL/gl.h>

#include <cstdlib>

#include "platform/platform.h"
#include "platform/sys_jpeg.h"

namespace {

// Larger pictures are refused like a bad header: what OpenGL cannot hold,
// and never more than 8192 a side (a header can claim 65535 x 65535, some
// 12.9 GB to decode).
constexpr GLint kLargestSide = 8192;

bool SizeFitsATexture(int width, int height) {
    GLint limit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    if (limit <= 0 || limit > kLargestSide) limit = kLargestSide;
    return width <= limit && height <= limit;
}

}  // namespace

void LoadTexture(TextureId& texture, const char* resourceName) {
    // A missing resource reads as an empty stream; the header read then
    // fails and reports it like any unreadable picture.
    Resource resource;
    Sys_FindResource("ZYN_JPEGTEX", resourceName, &resource);

    JpegDecoder jpeg;
    if (!Sys_JpegInit(&jpeg)) Sys_MessageBox(0, "IJL-Init failed!", "Meldung", MB_OK);
    jpeg.jpgBytes = resource.data;
    jpeg.jpgSizeBytes = resource.size;
    if (!Sys_JpegReadParams(&jpeg) || !SizeFitsATexture(jpeg.jpgWidth, jpeg.jpgHeight)) {
        Sys_MessageBox(0, "ILJ-ParamRead failed!", "Meldung", MB_OK);
        jpeg.jpgWidth = jpeg.jpgHeight = 0;
    }

    // Zeroed, so whatever the decoder does not write stays black.
    int width = jpeg.jpgWidth;
    int height = jpeg.jpgHeight;
    uint8_t* rgb = nullptr;
    if (width > 0 && height > 0) {
        rgb = static_cast<uint8_t*>(std::calloc(size_t(width) * size_t(height), 3));
        if (rgb && !Sys_JpegReadWholeImage(&jpeg, rgb)) {
            // The body failed after a good header: keep the size, show black
            // rather than a half-written picture.
            std::free(rgb);
            rgb = static_cast<uint8_t*>(std::calloc(size_t(width) * size_t(height), 3));
        }
    }
    // No usable header (or no memory for the picture): one black texel,
    // which adds nothing where the demo blends it.
    static const uint8_t kBlack[3] = {0, 0, 0};
    const uint8_t* pixels = rgb;
    if (!rgb) {
        width = height = 1;
        pixels = kBlack;
    }

    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    // Rows are packed back to back; byte alignment makes that true for any
    // width, and the caller's setting comes back afterwards.
    GLint unpackAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // No flip: buffer row 0, the JPEG's first row, becomes texture row t = 0.
    glTexImage2D(GL_TEXTURE_2D, 0, 3, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);

    Sys_JpegFree(&jpeg);
    std::free(rgb);
}
