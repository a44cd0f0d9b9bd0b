// overlays.cpp -- the full-screen quads the scenes lay over their frames.
#include "scenes/overlays.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A window rectangle in real pixels, (x, y) its lower left corner.
struct ScissorRect {
    int x, y, width, height;
};

// The parts of the viewport that a keyed picture can change, for one picture
// at one viewport. Where the picture is black the keyed blend gives
// 0 * 0 + old * (1 - 0), the old colour exactly, so those pixels need not be
// drawn at all; most of every keyed picture is black.
struct KeyedRegion {
    TextureId texture;
    GLint viewport[4];
    std::vector<ScissorRect> rects;
};

// The texel indices a pixel at `centre` (in texels, already minus one half)
// can read with linear filtering, wrapped (the default GL_REPEAT) and
// clamped, with a small margin for the interpolation's rounding.
void FootprintTexels(double centre, int size, int out[4], int* count) {
    const int first = int(std::floor(centre - 0.05));
    const int last = int(std::floor(centre + 0.05)) + 1;
    *count = 0;
    for (int i = first; i <= last && *count < 4; ++i) {
        out[(*count)++] = ((i % size) + size) % size;
        const int clamped = i < 0 ? 0 : (i >= size ? size - 1 : i);
        if (*count < 4) out[(*count)++] = clamped;
    }
}

// Tiles of this many real pixels are drawn or skipped whole.
constexpr int kRegionTile = 16;

std::vector<ScissorRect> FindKeyedRects(const std::vector<uint8_t>& texels, int tw, int th, const GLint vp[4]) {
    const int vw = vp[2], vh = vp[3];
    std::vector<ScissorRect> rects;
    if (vw <= 0 || vh <= 0 || tw <= 0 || th <= 0) return rects;
    std::vector<uint8_t> lit(size_t(tw) * th);  // texel not black
    for (size_t i = 0; i < lit.size(); ++i) lit[i] = (texels[i * 3] | texels[i * 3 + 1] | texels[i * 3 + 2]) != 0;

    // Texel columns each pixel column reads.
    std::vector<int> cols(size_t(vw) * 4), colCount(vw);
    for (int x = 0; x < vw; ++x)
        FootprintTexels((x + 0.5) / vw * tw - 0.5, tw, &cols[size_t(x) * 4], &colCount[x]);

    const int tilesX = (vw + kRegionTile - 1) / kRegionTile;
    const int tilesY = (vh + kRegionTile - 1) / kRegionTile;
    std::vector<uint8_t> tile(size_t(tilesX) * tilesY, 0);
    std::vector<uint8_t> rowLit(tw);
    for (int y = 0; y < vh; ++y) {
        int rows[4], rowCount = 0;
        FootprintTexels((y + 0.5) / vh * th - 0.5, th, rows, &rowCount);
        std::fill(rowLit.begin(), rowLit.end(), 0);
        for (int k = 0; k < rowCount; ++k)
            for (int i = 0; i < tw; ++i) rowLit[i] |= lit[size_t(rows[k]) * tw + i];
        uint8_t* tileRow = &tile[size_t(y / kRegionTile) * tilesX];
        for (int x = 0; x < vw; ++x) {
            if (tileRow[x / kRegionTile]) continue;
            for (int k = 0; k < colCount[x]; ++k) {
                if (rowLit[cols[size_t(x) * 4 + k]]) {
                    tileRow[x / kRegionTile] = 1;
                    break;
                }
            }
        }
    }

    // Runs of lit tiles per tile row; a run equal to one in the row below
    // grows that rectangle instead of starting a new one.
    std::vector<size_t> open;  // rects that reach the row below
    for (int ty = 0; ty < tilesY; ++ty) {
        std::vector<size_t> next;
        for (int tx = 0; tx < tilesX;) {
            if (!tile[size_t(ty) * tilesX + tx]) {
                ++tx;
                continue;
            }
            const int start = tx;
            while (tx < tilesX && tile[size_t(ty) * tilesX + tx]) ++tx;
            const int x0 = start * kRegionTile, x1 = std::min(vw, tx * kRegionTile);
            const int y0 = ty * kRegionTile, y1 = std::min(vh, (ty + 1) * kRegionTile);
            bool grown = false;
            for (size_t r : open) {
                ScissorRect& rect = rects[r];
                if (rect.x == vp[0] + x0 && rect.width == x1 - x0 && rect.y + rect.height == vp[1] + y0) {
                    rect.height += y1 - y0;
                    next.push_back(r);
                    grown = true;
                    break;
                }
            }
            if (!grown) {
                rects.push_back({vp[0] + x0, vp[1] + y0, x1 - x0, y1 - y0});
                next.push_back(rects.size() - 1);
            }
        }
        open.swap(next);
    }
    return rects;
}

// The region of the bound picture at the current viewport, worked out at the
// picture's first use there (pictures never change after loading).
const std::vector<ScissorRect>& KeyedRects(TextureId texture) {
    static std::vector<KeyedRegion> regions;
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    for (const KeyedRegion& r : regions) {
        if (r.texture == texture && r.viewport[0] == vp[0] && r.viewport[1] == vp[1] && r.viewport[2] == vp[2] &&
            r.viewport[3] == vp[3])
            return r.rects;
    }
    GLint tw = 0, th = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
    std::vector<uint8_t> texels(size_t(tw > 0 ? tw : 0) * size_t(th > 0 ? th : 0) * 3);
    // (No pixel-pack buffer is ever left bound, so this reads into memory.)
    GLint packAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!texels.empty()) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);

    KeyedRegion region{texture, {vp[0], vp[1], vp[2], vp[3]}, {}};
    if (texels.empty()) {
        region.rects.push_back({vp[0], vp[1], vp[2], vp[3]});
    } else {
        region.rects = FindKeyedRects(texels, tw, th, vp);
    }
    regions.push_back(region);
    return regions.back().rects;
}

enum class OverlayKind { Texture, Fade, Keyed };

void DrawQuad(bool textured) {
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 1.0f);
    if (textured) glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    if (textured) glTexCoord2f(1.0f, 0.0f);
    glVertex3f(100.0f, 0.0f, 0.0f);
    if (textured) glTexCoord2f(1.0f, 1.0f);
    glVertex3f(100.0f, 100.0f, 0.0f);
    if (textured) glTexCoord2f(0.0f, 1.0f);
    glVertex3f(0.0f, 100.0f, 0.0f);
    glEnd();
}

// The one sequence all three overlays share; `kind` picks the colour, the
// blend factors and whether the quad is textured.
void DrawOverlay(OverlayKind kind, TextureId texture, float r, float g, float b, float a) {
    const bool textured = kind != OverlayKind::Fade;

    // Sphere-map generation from the scene would override the quad's
    // texture coordinates.
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);

    // The quad spans 0..100 in x and y; moved to -50..50 at eye depth 250 it
    // fills the orthographic volume below exactly, at window depth 0.5.
    glLoadIdentity();
    glTranslatef(-50.0f, -50.0f, -250.0f);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-50.0, 50.0, -50.0, 50.0, 200.0, 300.0);
    glMatrixMode(GL_MODELVIEW);

    glDepthMask(GL_FALSE);
    glDisable(GL_LIGHTING);
    if (kind == OverlayKind::Keyed)
        glColor3f(1.0f, 1.0f, 1.0f);
    else
        glColor4f(r, g, b, a);
    glEnable(GL_BLEND);
    if (kind == OverlayKind::Keyed)
        glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    else
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (textured) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
    }

    // (0, 0) at the lower left, (1, 1) at the upper right. A keyed picture
    // is drawn only where it is not black: the same quad, scissored to each
    // rectangle of its region in turn, so every pixel drawn gets exactly the
    // value the whole quad would give it.
    if (kind == OverlayKind::Keyed) {
        const std::vector<ScissorRect>& rects = KeyedRects(texture);
        GLint box[4];
        glGetIntegerv(GL_SCISSOR_BOX, box);
        const GLboolean scissoring = glIsEnabled(GL_SCISSOR_TEST);
        glEnable(GL_SCISSOR_TEST);
        for (const ScissorRect& r : rects) {
            glScissor(r.x, r.y, r.width, r.height);
            DrawQuad(true);
        }
        glScissor(box[0], box[1], box[2], box[3]);
        if (!scissoring) glDisable(GL_SCISSOR_TEST);
        // The quad's last normal and texture coordinate stay current, as
        // after one whole quad.
        if (rects.empty()) {
            glNormal3f(0.0f, 0.0f, 1.0f);
            glTexCoord2f(0.0f, 1.0f);
        }
    } else {
        DrawQuad(textured);
    }

    glDisable(GL_BLEND);
    if (textured) glDisable(GL_TEXTURE_2D);
    glDepthMask(GL_TRUE);

    // The modelview keeps the overlay's translation; only the projection
    // comes back.
    glMatrixMode(GL_PROJECTION);
    glEnable(GL_LIGHTING);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace

void DrawTextureOverlay(TextureId texture, float r, float g, float b, float a) {
    DrawOverlay(OverlayKind::Texture, texture, r, g, b, a);
}

void DrawFadeOverlay(float r, float g, float b, float a) {
    DrawOverlay(OverlayKind::Fade, 0, r, g, b, a);
}

void DrawKeyedOverlay(TextureId texture) { DrawOverlay(OverlayKind::Keyed, texture, 1.0f, 1.0f, 1.0f, 1.0f); }
