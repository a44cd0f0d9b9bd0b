// The screen overlays on a real context, read back pixel by pixel.
#include <GL/gl.h>

#include <array>
#include <cmath>
#include <vector>

#include "app/render_state.h"
#include "image/texture_loader.h"
#include "platform/platform.h"
#include "scenes/overlays.h"
#include "tests/image/make_jpeg.h"
#include "tests/support/gl_test.h"

namespace {

// Sample points: the four corner pixels and the centre.
const int kPoints[5][2] = {{0, 0}, {639, 0}, {0, 479}, {639, 479}, {320, 240}};

// A texture made here from exact texel values (RGB, row t = 0 first), with
// the loader's filters.
TextureId MakeTexture(int width, int height, const std::vector<uint8_t>& rgb) {
    TextureId texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

void ExpectPixel(int x, int y, int r, int g, int b, int tolerance = 1) {
    const Rgb p = PixelAt(x, y);
    EXPECT_NEAR(p.r, r, tolerance) << "at " << x << ", " << y;
    EXPECT_NEAR(p.g, g, tolerance) << "at " << x << ", " << y;
    EXPECT_NEAR(p.b, b, tolerance) << "at " << x << ", " << y;
}

// Fills the screen with a colour: clear colour, depth cleared to 1.
void ClearTo(float r, float g, float b) {
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

class OverlayTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        // A scene's starting point: perspective, camera, lighting on.
        ApplyPartRenderState(4);
        glRotatef(30.0f, 1.0f, 1.0f, 0.0f);
        glTranslatef(3.0f, -7.0f, -20.0f);
    }
};

TEST_F(OverlayTest, OpaqueFadeCoversTheWholeViewportWhateverTheCamera) {
    ClearTo(0.0f, 0.0f, 0.0f);
    DrawFadeOverlay(0.2f, 0.4f, 0.6f, 1.0f);
    for (const auto& pt : kPoints) ExpectPixel(pt[0], pt[1], 51, 102, 153);

    // Half alpha mixes with what is there; alpha 0 changes nothing.
    ClearTo(1.0f, 1.0f, 1.0f);
    DrawFadeOverlay(0.0f, 0.0f, 0.0f, 0.5f);
    for (const auto& pt : kPoints) ExpectPixel(pt[0], pt[1], 128, 128, 128);
    SaveSurfacePng("overlay_fade_half");
    ClearTo(0.0f, 1.0f, 0.0f);
    DrawFadeOverlay(1.0f, 0.0f, 1.0f, 0.0f);
    for (const auto& pt : kPoints) ExpectPixel(pt[0], pt[1], 0, 255, 0, 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(OverlayTest, KeyedOverlayTreatsEachChannelAsItsOwnOpacity) {
    // Four texels across: black, white, 50% grey, and a mixed colour.
    const std::vector<uint8_t> texels = {0, 0, 0, 255, 255, 255, 128, 128, 128, 255, 0, 128};
    // Each texel twice, so that a band's centre samples two equal texels.
    std::vector<uint8_t> doubled;
    for (int i = 0; i < 4; ++i)
        for (int twice = 0; twice < 2; ++twice)
            doubled.insert(doubled.end(), texels.begin() + i * 3, texels.begin() + i * 3 + 3);
    const TextureId texture = MakeTexture(8, 1, doubled);
    const float old[3] = {0.2f, 0.6f, 1.0f};
    ClearTo(old[0], old[1], old[2]);
    DrawKeyedOverlay(texture);
    SaveSurfacePng("overlay_keyed_bands");

    // Each value covers a 160-pixel band. Per channel s*s + (1-s)*old:
    // black keeps the old colour, white gives white, 50% grey gives
    // 0.25 + 0.5 x old.
    for (int band = 0; band < 4; ++band) {
        for (int y : {10, 240, 470}) {
            const Rgb p = PixelAt(band * 160 + 80, y);
            const int got[3] = {p.r, p.g, p.b};
            for (int c = 0; c < 3; ++c) {
                const float s = texels[band * 3 + c] / 255.0f;
                const float d = std::round(old[c] * 255.0f) / 255.0f;
                const float expected = s * s + (1.0f - s) * d;
                EXPECT_NEAR(got[c], expected * 255.0f, 1.0f)
                    << "band " << band << " channel " << c << " y " << y;
            }
        }
    }
}

TEST_F(OverlayTest, KeyedPicturesDrawnOnlyWhereNotBlackGiveTheWholeQuadsPixels) {
    // A colourful scene under each keyed picture of the demo, then under
    // the same quad drawn whole with the same state.
    auto scene = [] {
        glPushMatrix();
        glLoadIdentity();
        ClearTo(0.3f, 0.5f, 0.7f);
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
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHTING);
        glPopMatrix();
    };
    for (const char* name : {"TITLE.JPG", "SPIKEFRONT.JPG", "SPIKEFRONT2.JPG", "SPIRALFRONT.JPG", "OUTTRO.JPG"}) {
        TextureId picture = 0;
        LoadTexture(picture, name);
        ASSERT_NE(picture, 0u) << name;
        scene();
        DrawKeyedOverlay(picture);
        const std::vector<uint8_t> keyed = ReadSurface();
        EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST)) << name;

        scene();
        glLoadIdentity();
        glTranslatef(-50.0f, -50.0f, -250.0f);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(-50.0, 50.0, -50.0, 50.0, 200.0, 300.0);
        glMatrixMode(GL_MODELVIEW);
        glDepthMask(GL_FALSE);
        glDisable(GL_LIGHTING);
        glColor3f(1, 1, 1);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, picture);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0), glVertex3f(0, 0, 0);
        glTexCoord2f(1, 0), glVertex3f(100, 0, 0);
        glTexCoord2f(1, 1), glVertex3f(100, 100, 0);
        glTexCoord2f(0, 1), glVertex3f(0, 100, 0);
        glEnd();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glDepthMask(GL_TRUE);
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glEnable(GL_LIGHTING);
        const std::vector<uint8_t> whole = ReadSurface();
        size_t differing = 0;
        for (size_t i = 0; i < keyed.size(); ++i) differing += keyed[i] != whole[i];
        EXPECT_EQ(differing, 0u) << name;
    }
}

TEST_F(OverlayTest, GeometryNearerThanHalfDepthShowsThroughEveryOverlay) {
    const TextureId white = MakeTexture(1, 1, {255, 255, 255});
    // Red square at eye depth 1.5 (window depth about 0.33) over the left
    // half; green square at eye depth 3 (about 0.67) over the right half.
    auto drawScene = [] {
        ApplyPartRenderState(1);
        ClearTo(0.0f, 0.0f, 0.0f);
        glDisable(GL_LIGHTING);
        glBegin(GL_QUADS);
        glColor3f(1, 0, 0);
        glVertex3f(-1.5f, -1.0f, -1.5f);
        glVertex3f(0.0f, -1.0f, -1.5f);
        glVertex3f(0.0f, 1.0f, -1.5f);
        glVertex3f(-1.5f, 1.0f, -1.5f);
        glColor3f(0, 1, 0);
        glVertex3f(0.0f, -2.0f, -3.0f);
        glVertex3f(3.0f, -2.0f, -3.0f);
        glVertex3f(3.0f, 2.0f, -3.0f);
        glVertex3f(0.0f, 2.0f, -3.0f);
        glEnd();
    };
    struct Case {
        const char* name;
        void (*draw)(TextureId);
    };
    const Case cases[] = {
        {"fade", [](TextureId) { DrawFadeOverlay(0, 0, 1, 1); }},
        {"texture", [](TextureId t) { DrawTextureOverlay(t, 0, 0, 1, 1); }},
        {"keyed", [](TextureId t) { DrawKeyedOverlay(t); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        drawScene();
        ExpectPixel(200, 240, 255, 0, 0, 0);
        ExpectPixel(480, 240, 0, 255, 0, 0);
        c.draw(white);
        ExpectPixel(200, 240, 255, 0, 0, 0);  // nearer: still there
        const int covered = std::string(c.name) == "keyed" ? 255 : 0;
        ExpectPixel(480, 240, covered, covered, 255, 0);  // farther: covered
        ExpectPixel(600, 20, covered, covered, 255, 0);   // cleared depth: covered
        if (std::string(c.name) == "fade") SaveSurfacePng("overlay_depth_fade");
    }
}

TEST_F(OverlayTest, FadeWithTexturingLeftOnIsTintedByTheBoundTexture) {
    const TextureId green = MakeTexture(1, 1, {0, 255, 0});
    ClearTo(0.0f, 0.0f, 0.0f);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, green);
    glTexCoord2f(0.5f, 0.5f);
    DrawFadeOverlay(1.0f, 1.0f, 1.0f, 1.0f);
    for (const auto& pt : kPoints) ExpectPixel(pt[0], pt[1], 0, 255, 0, 0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << "left as the caller had it";

    glDisable(GL_TEXTURE_2D);
    DrawFadeOverlay(1.0f, 1.0f, 1.0f, 1.0f);
    for (const auto& pt : kPoints) ExpectPixel(pt[0], pt[1], 255, 255, 255, 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(OverlayTest, TexturedOverlayStretchesThePictureWithRowZeroAtTheBottom) {
    // A picture stored upside down, as the lettered ones are: its first rows
    // (red) are the bottom edge of the upright picture.
    const int w = 32, h = 32;
    std::vector<uint8_t> rgb = RowPicture(w, h, [](int y) {
        return y < 16 ? std::array<int, 3>{255, 0, 0} : std::array<int, 3>{0, 0, 255};
    });
    // Texel column 0 white in the lower (red) half, to see left from right.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x)
            for (int c = 0; c < 3; ++c) rgb[(size_t(y) * w + x) * 3 + c] = 255;
    const std::vector<uint8_t> jpeg = MakeJpeg(w, h, rgb);
    const ResourceEntry entry = {"ZYN_JPEGTEX", "TITLE.JPG", jpeg.data(), uint32_t(jpeg.size())};
    Sys_OverrideResources(&entry, 1);
    TextureId title = 0;
    LoadTexture(title, "TITLE.JPG");
    Sys_OverrideResources(nullptr, 0);

    ClearTo(0.0f, 0.0f, 0.0f);
    DrawTextureOverlay(title, 1.0f, 1.0f, 1.0f, 1.0f);
    SaveSurfacePng("overlay_texture_upside_down_picture");
    ExpectPixel(400, 60, 255, 0, 0, 4);      // bottom: the first rows
    ExpectPixel(400, 420, 0, 0, 255, 4);     // top: the last rows
    ExpectPixel(40, 60, 255, 255, 255, 4);   // lower left: white block
    ExpectPixel(600, 60, 255, 0, 0, 4);      // lower right: red

    // Modulated by the colour and blended by alpha.
    ClearTo(0.0f, 0.0f, 0.0f);
    DrawTextureOverlay(title, 1.0f, 0.5f, 1.0f, 0.5f);
    ExpectPixel(40, 60, 128, 64, 128, 4);
    ExpectPixel(400, 420, 0, 0, 128, 4);
}

TEST_F(OverlayTest, MatrixStacksKeepTheirDepthOverThousandsOfCalls) {
    const TextureId white = MakeTexture(1, 1, {255, 255, 255});
    glPushMatrix();  // a scene's own push, still open when the overlays run
    GLint modelviewDepth = 0, projectionDepth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelviewDepth);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
    for (int i = 0; i < 2000; ++i) {
        DrawTextureOverlay(white, 1, 1, 1, 0.1f);
        DrawFadeOverlay(0, 0, 0, 0.1f);
        DrawKeyedOverlay(white);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, modelviewDepth);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, projectionDepth);
    glPopMatrix();
}

TEST_F(OverlayTest, EachOverlayLeavesItsStateBehind) {
    const TextureId white = MakeTexture(1, 1, {255, 255, 255});
    GLfloat projectionBefore[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projectionBefore);

    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE("overlay " + std::to_string(which));
        // The mess a scene may leave: lighting off, blending and texture
        // generation on, depth writes off, texturing on.
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
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "depth testing as the caller left it";
        // Texturing: off after the textured ones, as it was after the fade.
        EXPECT_EQ(bool(glIsEnabled(GL_TEXTURE_2D)), which == 1);
        GLboolean depthWrites = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
        EXPECT_TRUE(depthWrites);
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);

        GLfloat m[16];
        glGetFloatv(GL_PROJECTION_MATRIX, m);
        for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(m[i], projectionBefore[i]) << "projection " << i;
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        const GLfloat translation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -50, -50, -250, 1};
        for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(m[i], translation[i]) << "modelview " << i;

        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        const GLfloat expected[4] = {which == 2 ? 1.0f : 0.1f, which == 2 ? 1.0f : 0.2f,
                                     which == 2 ? 1.0f : 0.3f, which == 2 ? 1.0f : 0.4f};
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(colour[i], expected[i]) << "colour " << i;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
