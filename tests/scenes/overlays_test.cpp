// The screen overlays on a real context: the state they leave, and the
// scissored keyed overlay against the whole quad. Their pixels show in the
// reference frames (the title, the fronts, the fades, the eye).
#include <GL/gl.h>

#include <array>
#include <tuple>
#include <string>
#include <vector>

#include "app/render_state.h"
#include "image/texture_loader.h"
#include "scenes/overlays.h"
#include "tests/fx/fx_test_util.h"
#include "tests/support/gl_test.h"

namespace {

void ClearTo(float r, float g, float b) {
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// A scene's starting point: perspective, a turned camera, lighting on.
class OverlayTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        ApplyPartRenderState(4);
        glRotatef(30.0f, 1.0f, 1.0f, 0.0f);
        glTranslatef(3.0f, -7.0f, -20.0f);
    }
};

// Keyed pictures are drawn only where they are not black (scissored); the
// pixels must be those of the whole quad.
TEST_F(OverlayTest, KeyedPicturesDrawnOnlyWhereNotBlackGiveTheWholeQuadsPixels) {
    auto scene = [] {  // a colourful scene under each picture
        ClearTo(0.3f, 0.5f, 0.7f);
        glPushMatrix();
        glLoadIdentity();
        glPushAttrib(GL_ENABLE_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glBegin(GL_TRIANGLES);
        glColor3f(1, 0, 0), glVertex2f(-1, -1);
        glColor3f(0, 1, 0), glVertex2f(1, -1);
        glColor3f(0, 0, 1), glVertex2f(0, 1);
        glEnd();
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopAttrib();
        glPopMatrix();
    };
    for (const char* name : {"TITLE.JPG", "SPIKEFRONT.JPG", "SPIKEFRONT2.JPG", "SPIRALFRONT.JPG", "OUTTRO.JPG"}) {
        TextureId picture = 0;
        LoadTexture(picture, name);
        scene();
        DrawKeyedOverlay(picture);
        const std::vector<uint8_t> keyed = ReadSurface();
        EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST)) << name;
        // The same quad, whole, with the same state.
        scene();
        glLoadIdentity();
        glTranslatef(-50.0f, -50.0f, -250.0f);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(-50.0, 50.0, -50.0, 50.0, 200.0, 300.0);
        glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
        glDepthMask(GL_FALSE);
        glDisable(GL_LIGHTING);
        glColor3f(1, 1, 1);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, picture);
        glBegin(GL_QUADS);
        for (const auto& v : {std::array<float, 2>{0, 0}, {1, 0}, {1, 1}, {0, 1}})
            glTexCoord2f(v[0], v[1]), glVertex3f(100 * v[0], 100 * v[1], 0);
        glEnd();
        glPopAttrib();
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        EXPECT_TRUE(ReadSurface() == keyed) << name;
    }
}

// Every overlay lies at window depth 0.5 with the depth test on: geometry
// nearer (a red square at eye depth 1.5) shows through, farther (green at 3)
// and the cleared background are covered.
TEST_F(OverlayTest, GeometryNearerThanHalfDepthShowsThroughEveryOverlay) {
    const TextureId white = MakeTestTexture(1, true);
    for (int which = 0; which < 3; ++which) {
        ApplyPartRenderState(1);
        ClearTo(0, 0, 0);
        glDisable(GL_LIGHTING);
        for (const auto& [colour, z, x0, x1] : {std::tuple{0, -1.5f, -1.5f, 0.0f}, {1, -3.0f, 0.0f, 3.0f}}) {
            glColor3f(colour == 0, colour == 1, 0);
            glBegin(GL_QUADS);
            for (const auto& v : {std::array<float, 2>{x0, -2}, {x1, -2}, {x1, 2}, {x0, 2}}) glVertex3f(v[0], v[1] * (colour ? 1 : 0.5f), z);
            glEnd();
        }
        if (which == 0) DrawFadeOverlay(0, 0, 1, 1);
        if (which == 1) DrawTextureOverlay(white, 0, 0, 1, 1);
        if (which == 2) DrawKeyedOverlay(white);
        const int covered = which == 2 ? 255 : 0;
        for (const auto& [x, y, rgb] : {std::tuple{200, 240, std::array<int, 3>{255, 0, 0}},
                                        {480, 240, {covered, covered, 255}}, {600, 20, {covered, covered, 255}}}) {
            const Rgb p = PixelAt(x, y);
            EXPECT_EQ((std::array<int, 3>{p.r, p.g, p.b}), rgb) << "overlay " << which << " at " << x << ", " << y;
        }
    }
}

// After any overlay, whatever a scene left: lighting on, blending, texgen off,
// depth writes on, texturing off after the textured ones (as left by the
// fade), projection and stack depths as before, the overlay's translation
// and colour current.
TEST_F(OverlayTest, EachOverlayLeavesItsStateBehind) {
    const TextureId white = MakeTestTexture(1, true);
    GLfloat projectionBefore[16], m[16], colour[4];
    glGetFloatv(GL_PROJECTION_MATRIX, projectionBefore);
    glPushMatrix();  // a scene's own push, still open when the overlays run
    GLint depths[2];
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depths[0]);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depths[1]);
    for (int call = 0; call < 60; ++call) {
        const int which = call % 3;
        SCOPED_TRACE("overlay " + std::to_string(which));
        glDisable(GL_LIGHTING);
        glEnable(GL_BLEND);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glDepthMask(GL_FALSE);
        glEnable(GL_TEXTURE_2D);
        glRotatef(10.0f, 0.0f, 0.0f, 1.0f);
        if (which == 0) DrawTextureOverlay(white, 0.1f, 0.2f, 0.3f, 0.4f);
        if (which == 1) DrawFadeOverlay(0.1f, 0.2f, 0.3f, 0.4f);
        if (which == 2) DrawKeyedOverlay(white);
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_FALSE(glIsEnabled(GL_BLEND) || glIsEnabled(GL_TEXTURE_GEN_S) || glIsEnabled(GL_TEXTURE_GEN_T));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "depth testing as the caller left it";
        EXPECT_EQ(bool(glIsEnabled(GL_TEXTURE_2D)), which == 1);
        GLboolean depthWrites = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
        EXPECT_TRUE(depthWrites);
        GLint mode = 0, depth[2];
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth[0]);
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth[1]);
        EXPECT_EQ(std::vector<GLint>(depth, depth + 2), std::vector<GLint>(depths, depths + 2));
        glGetFloatv(GL_PROJECTION_MATRIX, m);
        EXPECT_EQ(std::vector<GLfloat>(m, m + 16), std::vector<GLfloat>(projectionBefore, projectionBefore + 16));
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        EXPECT_EQ(std::vector<GLfloat>(m, m + 16),
                  std::vector<GLfloat>({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -50, -50, -250, 1}));
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_EQ(std::vector<GLfloat>(colour, colour + 4),
                  which == 2 ? std::vector<GLfloat>({1, 1, 1, 1}) : std::vector<GLfloat>({0.1f, 0.2f, 0.3f, 0.4f}));
    }
    glPopMatrix();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
