// Billboards on the headless context: blending, lists, scissoring, pictures.
// Their size, place and facing show in parts 5 and 7 of the reference frames
// and in scene_frames_test.cpp.
#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fx/billboard.h"
#include "fx/particle_system.h"
#include "tests/fx/fx_test_util.h"
#include "tests/image/make_jpeg.h"
#include "tests/support/gl_test.h"
#include "tests/support/hooks.h"

namespace {

class BillboardTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        PixelOrtho();
        texture_ = MakeTestTexture(16, true);
    }
    void TearDown() override { glDeleteTextures(1, &texture_); }
    GLuint texture_ = 0;
};

TEST_F(BillboardTest, SpritesAddUpWriteNoDepthAndKeepTheirListNamesBounded) {
    Billboard b;
    b.size = 20.0f;
    b.texture = texture_;
    b.BuildList();
    glColor3f(0.25f, 0.25f, 0.25f);  // lighting off: the colour modulates
    glEnable(GL_DEPTH_TEST);
    b.Draw();
    b.position[2] = -5;  // behind, drawn later: still adds
    b.Draw();
    EXPECT_NEAR(PixelAt(320, 240).r, 128, 2);
    glDisable(GL_DEPTH_TEST);
    // A list built anew at another size replaces the one before.
    Billboard more[3];
    const GLuint probe = glGenLists(1);
    glDeleteLists(probe, 1);
    const int before = LiveListsFrom(1, probe + 200);
    for (int frame = 0; frame < 50; ++frame)
        for (Billboard& bb : more) bb.size = 6.0f + frame % 2, bb.BuildList();
    EXPECT_EQ(LiveListsFrom(1, probe + 200), before);
    EXPECT_TRUE(glIsList(more[0].list));
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
    for (int i = 0; i < 216; ++i) places.push_back({(i % 6 - 2.5f) * 8, (i / 6 % 6 - 2.5f) * 8, (i / 36 - 2.5f) * 8});
    for (const auto& p : places) {
        std::memcpy(b.position, p.data(), sizeof b.position);
        b.Draw();
    }
    const std::vector<uint8_t> drawn = ReadSurface();
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
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
    EXPECT_TRUE(ReadSurface() == drawn);
    glDeleteTextures(1, &glow);
}

TEST_F(BillboardTest, ObjectsLoadTheirPicturesByResourceName) {
    Billboard b;
    ParticleSystem ps;
    {
        const FakeResources red({Jpeg("PARTICLE1.JPG", MakeJpeg(8, 8, RowPicture(8, 8, [](int) {
                                          return std::array<int, 3>{255, 0, 0};
                                      })))});
        b.LoadTexture("PARTICLE1.JPG");
        ps.LoadTexture("PARTICLE1.JPG");
    }
    EXPECT_NE(b.texture, 0u);
    EXPECT_NE(ps.texture, 0u);
    EXPECT_NE(ps.texture, b.texture);  // each load makes its own texture
    b.size = 20.0f;
    b.BuildList();
    b.Draw();
    EXPECT_GT(PixelAt(320, 240).r, 240);
    EXPECT_LT(PixelAt(320, 240).g, 16);
}

}  // namespace
