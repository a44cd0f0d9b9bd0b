// Billboards and the helix ribbon on the headless context.
#include <GL/gl.h>

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "fx/billboard.h"
#include "fx/helix_ribbon.h"
#include "fx/particle_system.h"
#include "platform/platform.h"
#include "tests/image/make_jpeg.h"
#include "tests/fx/fx_test_util.h"
#include "tests/support/gl_test.h"

namespace {

class BillboardTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        PixelOrtho();
        texture_ = MakeTestTexture(16, true);
    }
    void TearDown() override { glDeleteTextures(1, &texture_); }

    // Lit columns and rows of the surface: the extent of what was drawn.
    void LitBox(int& x0, int& x1, int& y0, int& y1) {
        const std::vector<uint8_t> rgb = ReadSurface();
        x0 = y0 = 100000, x1 = y1 = -1;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (rgb[(size_t(y) * 640 + x) * 3] > 0) {
                    x0 = std::min(x0, x), x1 = std::max(x1, x);
                    y0 = std::min(y0, y), y1 = std::max(y1, y);
                }
    }
    GLuint texture_ = 0;
};

TEST_F(BillboardTest, SizeFortyCoversItsSquareUnderATurnedView) {
    Billboard b;
    b.size = 40.0f;
    b.texture = texture_;
    b.BuildList();
    glRotatef(50, 0, 1, 0);
    glRotatef(-20, 1, 0, 0);
    GLStateSnapshot snap;
    b.Draw();
    snap.ExpectLeftBehind();
    int x0, x1, y0, y1;
    LitBox(x0, x1, y0, y1);
    EXPECT_EQ(x0, 300);
    EXPECT_EQ(x1, 339);
    EXPECT_EQ(y0, 220);
    EXPECT_EQ(y1, 259);
    EXPECT_EQ(PixelAt(320, 240).g, 255);
    GLfloat diffuse[4];
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    for (float c : diffuse) EXPECT_EQ(c, 1.0f);
}

TEST_F(BillboardTest, SizeTakesEffectOnlyAtBuildList) {
    Billboard b;
    b.texture = texture_;
    b.size = 40.0f;  // not rebuilt: still the unit quad of the constructor
    b.position[0] = 100, b.position[1] = -50;
    b.Draw();
    int x0, x1, y0, y1;
    LitBox(x0, x1, y0, y1);
    EXPECT_EQ(x1 - x0, 0);  // one pixel: the quad's edges fall on pixel centres
    EXPECT_EQ(y1 - y0, 0);
    EXPECT_NEAR(x0, 420, 1);
    EXPECT_NEAR(y0, 190, 1);

    glClear(GL_COLOR_BUFFER_BIT);
    b.size = 6.0f;
    b.BuildList();
    b.Draw();
    LitBox(x0, x1, y0, y1);
    EXPECT_EQ(x0, 417);
    EXPECT_EQ(x1, 422);
    EXPECT_EQ(y0, 187);
    EXPECT_EQ(y1, 192);
}

TEST_F(BillboardTest, PositionIsInTheCurrentModelviewFrame) {
    Billboard b;
    b.size = 10.0f;
    b.texture = texture_;
    b.BuildList();
    b.position[0] = 50;
    glTranslatef(-100, 0, 0);
    glRotatef(90, 0, 0, 1);  // x of the frame points up the screen
    b.Draw();
    int x0, x1, y0, y1;
    LitBox(x0, x1, y0, y1);
    EXPECT_EQ(x0, 215);
    EXPECT_EQ(x1, 224);
    EXPECT_EQ(y0, 285);
    EXPECT_EQ(y1, 294);
}

TEST_F(BillboardTest, SpritesAddUpAndWriteNoDepth) {
    const GLuint grey = MakeTestTexture(16, true);
    Billboard b;
    b.size = 20.0f;
    b.texture = grey;
    b.BuildList();
    glColor3f(0.25f, 0.25f, 0.25f);  // lighting off: the colour modulates
    glEnable(GL_DEPTH_TEST);
    b.Draw();
    b.position[2] = -5;  // behind, drawn later: still adds
    b.Draw();
    EXPECT_NEAR(PixelAt(320, 240).r, 128, 2);
    glDisable(GL_DEPTH_TEST);
    glDeleteTextures(1, &grey);
}

TEST_F(BillboardTest, RebuildingEveryFrameKeepsListNamesBounded) {
    Billboard a, b, c;
    const GLuint probe = glGenLists(1);
    glDeleteLists(probe, 1);
    const int before = LiveListsFrom(1, probe + 30000);
    const GLuint first = a.list;
    for (int frame = 0; frame < 10000; ++frame) {
        for (Billboard* bb : {&a, &b, &c}) {
            bb->size = 6.0f;
            bb->BuildList();
        }
    }
    EXPECT_EQ(LiveListsFrom(1, probe + 30000), before);
    EXPECT_TRUE(glIsList(a.list));
    EXPECT_TRUE(a.list == first || !glIsList(first));
}

TEST_F(BillboardTest, ALatticeScissoredToItsGlowsIsTheLatticeDrawnWhole) {
    const GLuint glow = MakeTestTexture(64, false);  // a disc on black
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.665, 0.665, -0.5, 0.5, 1, 200);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // Close enough that sprites reach past the screen's edges and some lie
    // behind the eye.
    glTranslatef(0, 0, -14);
    glRotatef(25, 1, 1, 0);
    Billboard b;
    b.size = 6.0f;
    b.texture = glow;
    b.BuildList();
    std::vector<std::array<float, 3>> places;
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j)
            for (int k = 0; k < 6; ++k) places.push_back({(i - 2.5f) * 8, (j - 2.5f) * 8, (k - 2.5f) * 8});
    for (const auto& p : places) {
        std::memcpy(b.position, p.data(), sizeof b.position);
        b.Draw();
    }
    const std::vector<uint8_t> drawn = ReadSurface();
    EXPECT_FALSE(SaveSurfacePng("fx_billboard_lattice").empty());

    // The same quads, each drawn whole with the same state.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    GLfloat m[16], f[16] = {0};
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) f[c * 4 + r] = m[r * 4 + c];
    f[15] = 1;
    glEnable(GL_TEXTURE_2D);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, glow);
    for (const auto& p : places) {
        glPushMatrix();
        glTranslatef(p[0], p[1], p[2]);
        glMultMatrixf(f);
        glCallList(b.list);
        glPopMatrix();
    }
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glDisable(GL_TEXTURE_2D);
    const std::vector<uint8_t> whole = ReadSurface();
    size_t differing = 0;
    for (size_t i = 0; i < drawn.size(); ++i) differing += drawn[i] != whole[i];
    EXPECT_EQ(differing, 0u);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    glDeleteTextures(1, &glow);
}

TEST_F(BillboardTest, ObjectsLoadTheirPicturesByResourceName) {
    const std::vector<uint8_t> jpeg =
        MakeJpeg(8, 8, RowPicture(8, 8, [](int) { return std::array<int, 3>{255, 0, 0}; }));
    ASSERT_FALSE(jpeg.empty());
    const ResourceEntry entries[] = {
        {"ZYN_JPEGTEX", "PARTICLE1.JPG", jpeg.data(), uint32_t(jpeg.size())}};
    Sys_OverrideResources(entries, 1);
    Billboard b;
    b.LoadTexture("PARTICLE1.JPG");
    ParticleSystem ps;
    ps.LoadTexture("PARTICLE1.JPG");
    Sys_OverrideResources(nullptr, 0);
    EXPECT_NE(b.texture, 0u);
    EXPECT_NE(ps.texture, 0u);
    EXPECT_NE(ps.texture, b.texture);  // each load makes its own texture

    b.size = 20.0f;
    b.BuildList();
    b.Draw();
    const Rgb c = PixelAt(320, 240);
    EXPECT_GT(c.r, 240);
    EXPECT_LT(c.g, 16);
}

// --- helix ribbon ------------------------------------------------------------

struct Point3 {
    float x, y, z;
};

// The vertices the ribbon sends, in object coordinates: an orthographic view
// 40 units wide, z mapped linearly into the depth range [-1300, 10].
std::vector<Point3> RibbonVertices(HelixRibbon& h) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-20, 20, -15, 15, -1300, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    std::vector<GLfloat> buf(1 << 16);
    glFeedbackBuffer(GLsizei(buf.size()), GL_3D, buf.data());
    glRenderMode(GL_FEEDBACK);
    h.Draw();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<Point3> out;
    for (GLint i = 0; i < used;) {
        const int token = int(buf[i++]);
        if (token != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "unexpected token " << token;
            break;
        }
        const int n = int(buf[i++]);
        for (int k = 0; k < n; ++k, i += 3) {
            out.push_back(Point3{(buf[i] - 320) / 16.0f, (buf[i + 1] - 240) / 16.0f,
                                 1300 - buf[i + 2] * 1310});
        }
    }
    return out;
}

class HelixRibbonTest : public GLTest {};

TEST_F(HelixRibbonTest, EdgesRunOnTheHelicesOfThePairs) {
    HelixRibbon h;
    h.SetRadius(10.0f);
    h.SetSegmentCount(2);
    h.SetZStep(5.0f);
    h.SetAngleStep(0.5f, 0.5f);
    h.SetStartAngles(0.0f, 3.14159f);
    const std::vector<Point3> v = RibbonVertices(h);
    const float c = 10 * std::cos(0.5f), s = 10 * std::sin(0.5f);
    const Point3 expected[4] = {{10, 0, 0}, {-10, 0, 0}, {c, s, 5}, {-c, -s, 5}};
    bool seen[4] = {};
    ASSERT_FALSE(v.empty());
    for (const Point3& p : v) {
        bool matched = false;
        for (int e = 0; e < 4; ++e) {
            if (std::fabs(p.x - expected[e].x) < 0.01f && std::fabs(p.y - expected[e].y) < 0.01f &&
                std::fabs(p.z - expected[e].z) < 0.05f) {
                seen[e] = matched = true;
            }
        }
        EXPECT_TRUE(matched) << p.x << " " << p.y << " " << p.z;
    }
    for (bool s4 : seen) EXPECT_TRUE(s4);
}

TEST_F(HelixRibbonTest, StartUpRibbonSpansItsHeightAndAdvancesItsAngles) {
    HelixRibbon h;
    h.SetRadius(10.0f);
    h.SetSegmentCount(250);
    h.SetZStep(5.0f);
    h.SetAngleStep(0.3f, 0.3f);
    h.SetStartAngles(0.0f, 3.14159f);
    const std::vector<Point3> first = RibbonVertices(h);
    float zMin = 1e9f, zMax = -1e9f;
    for (const Point3& p : first) {
        ASSERT_NEAR(std::sqrt(p.x * p.x + p.y * p.y), 10.0f, 0.01f);
        zMin = std::fmin(zMin, p.z), zMax = std::fmax(zMax, p.z);
    }
    EXPECT_NEAR(zMin, 0.0f, 0.05f);
    EXPECT_NEAR(zMax, 1245.0f, 0.05f);
    EXPECT_NEAR(h.startAngles[0], 75.0f, 1e-3f);
    EXPECT_NEAR(h.startAngles[1], 75.0f + 3.14159f, 1e-3f);

    // A second draw continues where the first ended: a different strip.
    h.SetSegmentCount(1);
    h.SetAngleStep(0.0f, 0.0f);
    h.SetStartAngles(h.startAngles[0], h.startAngles[1]);
    const float a = h.startAngles[0];
    const std::vector<Point3> next = RibbonVertices(h);
    EXPECT_TRUE(next.empty());  // one pair makes no quad
    EXPECT_EQ(h.startAngles[0], a);
    h.SetSegmentCount(2);
    const std::vector<Point3> second = RibbonVertices(h);
    ASSERT_FALSE(second.empty());
    EXPECT_NEAR(second[0].x, 10 * std::cos(a), 0.01f);
}

TEST_F(HelixRibbonTest, CountZeroDrawsNothingAndKeepsTheAngles) {
    HelixRibbon h;  // radius and angles start at zero
    EXPECT_EQ(h.radius, 0.0f);
    EXPECT_EQ(h.startAngles[0], 0.0f);
    EXPECT_EQ(h.angleSteps[1], 0.0f);
    h.SetAngleStep(0.3f, 0.7f);
    h.SetStartAngles(1.0f, 2.0f);
    for (int count : {0, -5}) {
        h.SetSegmentCount(count);
        EXPECT_TRUE(RibbonVertices(h).empty());
        EXPECT_EQ(h.startAngles[0], 1.0f);
        EXPECT_EQ(h.startAngles[1], 2.0f);
    }
    h.SetSegmentCount(10);
    RibbonVertices(h);
    EXPECT_NEAR(h.startAngles[0], 1.0f + 10 * 0.3f, 1e-5f);
    EXPECT_NEAR(h.startAngles[1], 2.0f + 10 * 0.7f, 1e-5f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
