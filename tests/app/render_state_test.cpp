// The base state of each part, read back from a real context.
#include <GL/gl.h>
#include <GL/glu.h>

#include <string>
#include <vector>

#include "app/render_state.h"
#include "platform/platform.h"
#include "tests/support/gl_test.h"

namespace {

struct Expected {
    int part;
    float clear[4];
    GLint shade;
    double fovy, zFar;
    float light[4];  // eye coordinates
    bool normalize, sphereMap;
};

void ExpectMatrixNear(const float* a, const float* b) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-5f) << "element " << i;
}

void ProjectionOf(double fovy, double zFar, float* out) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(fovy, double(1.33f), 1.0, zFar);
    glGetFloatv(GL_PROJECTION_MATRIX, out);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

class RenderStateTest : public GLTest {};

TEST_F(RenderStateTest, EachSetUpGivesItsValues) {
    const Expected table[] = {
        {1, {0, 0, 0, 1}, GL_SMOOTH, 90, 200, {0, 0, 30, 1}, false, false},
        {2, {0, 0, 0, 1}, GL_SMOOTH, 90, 200, {0, 0, 30, 1}, false, false},
        {3, {0, 0, 0, 1}, GL_SMOOTH, 90, 200, {0, 0, 30, 1}, false, false},
        {7, {0, 0, 0, 1}, GL_SMOOTH, 90, 200, {0, 0, 30, 1}, false, false},
        {4, {0, 0, 0, 1}, GL_SMOOTH, 45, 2000, {0, 150, 0, 1}, true, true},
        {5, {0, 0, 0, 1}, GL_SMOOTH, 45, 2000, {0, 150, 0, 1}, true, true},
        {6, {0, 0, 0, 1}, GL_FLAT, 45, 200, {0, 0, 30, 1}, true, true},
        {8, {0.1f, 0.2f, 0.3f, 1}, GL_SMOOTH, 90, 110, {0, 0, 30, 1}, false, true},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE("part " + std::to_string(e.part));
        ResetGLState();
        // Leave a moved modelview and a light on, to see both reset.
        glTranslatef(1, 2, 3);
        glEnable(GL_LIGHT3);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        ApplyPartRenderState(e.part);

        GLfloat clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(clear[i], e.clear[i]);
        GLint shade = 0;
        glGetIntegerv(GL_SHADE_MODEL, &shade);
        EXPECT_EQ(shade, e.shade);

        GLfloat projection[16], expected[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        ProjectionOf(e.fovy, e.zFar, expected);
        ExpectMatrixNear(projection, expected);

        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[0], 0);
        EXPECT_EQ(viewport[1], 0);
        EXPECT_EQ(viewport[2], 640);
        EXPECT_EQ(viewport[3], 480);
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
        GLfloat modelview[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        ExpectMatrixNear(modelview, identity);

        GLfloat position[4], diffuse[4], specular[4];
        glGetLightfv(GL_LIGHT0, GL_POSITION, position);
        glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        glGetLightfv(GL_LIGHT0, GL_SPECULAR, specular);
        for (int i = 0; i < 4; ++i) {
            EXPECT_FLOAT_EQ(position[i], e.light[i]);
            EXPECT_FLOAT_EQ(diffuse[i], 1.0f);
            EXPECT_FLOAT_EQ(specular[i], 1.0f);
        }
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
        EXPECT_FALSE(glIsEnabled(GL_LIGHT3));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

        GLfloat ambient[4], matSpecular[4], shininess = 0;
        glGetMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
        glGetMaterialfv(GL_FRONT, GL_SPECULAR, matSpecular);
        glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
        EXPECT_FLOAT_EQ(ambient[0], 0.0f);
        EXPECT_FLOAT_EQ(ambient[3], 1.0f);
        EXPECT_FLOAT_EQ(matSpecular[0], 1.0f);
        EXPECT_FLOAT_EQ(shininess, 25.0f);
        GLfloat backAmbient[4];
        glGetMaterialfv(GL_BACK, GL_AMBIENT, backAmbient);
        EXPECT_FLOAT_EQ(backAmbient[0], 0.0f);

        EXPECT_EQ(bool(glIsEnabled(GL_NORMALIZE)), e.normalize);
        GLint genS = 0, genT = 0;
        glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &genS);
        glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &genT);
        EXPECT_EQ(genS, e.sphereMap ? GL_SPHERE_MAP : GL_EYE_LINEAR);
        EXPECT_EQ(genT, e.sphereMap ? GL_SPHERE_MAP : GL_EYE_LINEAR);
        GLint polygon[2];
        glGetIntegerv(GL_POLYGON_MODE, polygon);
        EXPECT_EQ(polygon[0], e.part == 8 ? GL_FILL : GL_LINE);  // only set-up D sets it
    }
}

TEST_F(RenderStateTest, PartsOutsideTheRangeOnlySwitchOffTheLights) {
    for (int part : {0, 9, -3}) {
        ResetGLState();
        glClearColor(0.5f, 0.5f, 0.5f, 1);
        for (GLenum light = GL_LIGHT0; light <= GL_LIGHT7; ++light) glEnable(light);
        glMatrixMode(GL_PROJECTION);
        ApplyPartRenderState(part);
        for (GLenum light = GL_LIGHT0; light <= GL_LIGHT7; ++light) EXPECT_FALSE(glIsEnabled(light));
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_PROJECTION);
        GLfloat clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        EXPECT_FLOAT_EQ(clear[0], 0.5f);
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
        glMatrixMode(GL_MODELVIEW);
    }
}

TEST_F(RenderStateTest, PartSevenInheritsFromPartSixAndPartOneStartsFresh) {
    ApplyPartRenderState(1);
    EXPECT_FALSE(glIsEnabled(GL_NORMALIZE));
    ApplyPartRenderState(6);
    ApplyPartRenderState(7);
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    GLint genS = 0;
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &genS);
    EXPECT_EQ(genS, GL_SPHERE_MAP);
    GLint shade = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_SMOOTH);
}

TEST_F(RenderStateTest, ApplyingTwiceEqualsApplyingOnce) {
    ApplyPartRenderState(4);
    GLfloat once[16], twice[16];
    glGetFloatv(GL_PROJECTION_MATRIX, once);
    ApplyPartRenderState(4);
    glGetFloatv(GL_PROJECTION_MATRIX, twice);
    ExpectMatrixNear(once, twice);
    GLint depth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
}

TEST_F(RenderStateTest, PartEightClearsToDarkBlue) {
    ApplyPartRenderState(8);
    glClear(GL_COLOR_BUFFER_BIT);
    const Rgb p = PixelAt(320, 240);
    EXPECT_NEAR(p.r, 26, 1);
    EXPECT_NEAR(p.g, 51, 1);
    EXPECT_NEAR(p.b, 77, 1);
}

// A wireframe drawn as the scenes draw theirs (polygon mode GL_LINE, on the
// state a part starts from) has lines one logical pixel wide: N pixels at
// scale N, across horizontal and vertical edges alike.
TEST_F(RenderStateTest, WireframeLinesAreAsWideAsTheScale) {
    for (int scale = 1; scale <= 4; ++scale) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        ASSERT_TRUE(Sys_SetSurfaceScale(scale));
        ApplyPartRenderState(6);
        glDisable(GL_LIGHTING);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 640, 0, 480, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        glRectf(100.5f, 100.5f, 300.5f, 200.5f);
        const std::vector<uint8_t> rgb = ReadSurface();
        const size_t w = 640 * scale;
        int column = 0, row = 0;  // lit pixels up column x = 200, along row y = 150
        for (size_t y = 0; y < 480u * scale; ++y) column += rgb[(y * w + 200 * scale) * 3] > 128;
        for (size_t x = 0; x < w; ++x) row += rgb[(150 * scale * w + x) * 3] > 128;
        EXPECT_EQ(column, 2 * scale);  // the bottom and top edges
        EXPECT_EQ(row, 2 * scale);     // the left and right edges
    }
    ASSERT_TRUE(Sys_SetSurfaceScale(1));
}

// Full screen draws at the largest whole scale that fits, at most 4; at 1 on
// a software renderer; at the asked scale whenever one is asked.
TEST(FullScreenScale, FitsTheScreenUnlessAsked) {
    const struct {
        int width, height, requested;
        bool software;
        int scale;
    } table[] = {
        {1920, 1080, 0, false, 2}, {2560, 1440, 0, false, 3}, {3840, 2160, 0, false, 4},
        {7680, 4320, 0, false, 4}, {1280, 1024, 0, false, 2}, {1024, 768, 0, false, 1},
        {640, 400, 0, false, 1},   {3840, 2160, 0, true, 1},  {1024, 768, 3, false, 3},
        {1920, 1080, 2, true, 2},
    };
    for (const auto& t : table)
        EXPECT_EQ(Sys_FullScreenScale(t.width, t.height, t.requested, t.software), t.scale)
            << t.width << " x " << t.height << ", asked " << t.requested << ", software " << t.software;
}

}  // namespace
