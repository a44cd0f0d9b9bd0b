// overlays.cpp -- the full-screen quads the scenes lay over their frames.
#include "scenes/overlays.h"

#include <GL/gl.h>

namespace {

enum class OverlayKind { Texture, Fade, Keyed };

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

    // (0, 0) at the lower left, (1, 1) at the upper right.
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
