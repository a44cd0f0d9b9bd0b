// The drawing surface when a larger one cannot be made (forced through the
// test build's fault), on OpenGL and through the OpenGL ES layer (as the
// browser draws), and which answers for a missing OpenGL function count as
// missing.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>
#include <vector>

#include "platform/platform.h"
#include "platform/sys_glext.h"
#include "platform/sys_internal.h"
#include "tests/support/gl_test.h"

namespace {

class SurfaceTest : public GLTest {
protected:
    void TearDown() override {
        unsetenv("DEMO_FAULT_SURFACE_SCALE_LIMIT");
        unsetenv("DEMO_FAULT_RENDERER");
        Sys_Internal_FollowDrawable(0, 0, false);
        Sys_SetSurfaceScale(1);
    }
};

// The surface is what draws go to (the layer answers no binding queries:
// there the pictures below tell).
void ExpectSurfaceBound() {
#ifndef DEMO_GLES3
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(GLuint(bound), Sys_SurfaceFramebuffer());
#endif
}

// Every pixel of the surface, at its real size, is this colour.
void ExpectWholeSurface(int scale, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> rgb(size_t(640 * scale) * size_t(480 * scale) * 3, 7);
    ASSERT_TRUE(Sys_ReadSurface(rgb.data()));
    size_t wrong = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) wrong += rgb[i] != r || rgb[i + 1] != g || rgb[i + 2] != b;
    EXPECT_EQ(wrong, 0u) << "of " << rgb.size() / 3 << " pixels at scale " << scale;
}

// A scale that cannot be made gives the largest smaller one that can; when
// that is the one in use, it stays with its picture. Either way frames are
// drawn into a complete surface, never into a broken one.
TEST_F(SurfaceTest, AScaleThatCannotBeMadeLeavesTheOldOrASmallerOne) {
    ASSERT_TRUE(Sys_SetSurfaceScale(1));
    setenv("DEMO_FAULT_SURFACE_SCALE_LIMIT", "2", 1);
    EXPECT_FALSE(Sys_SetSurfaceScale(4));
    EXPECT_EQ(Sys_SurfaceScale(), 2);
    GLint viewport[4] = {};
    ExpectSurfaceBound();
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1280);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ExpectWholeSurface(2, 255, 0, 0);

    setenv("DEMO_FAULT_SURFACE_SCALE_LIMIT", "1", 1);
    EXPECT_FALSE(Sys_SetSurfaceScale(3));
    EXPECT_EQ(Sys_SurfaceScale(), 2);
    ExpectSurfaceBound();
    ExpectWholeSurface(2, 255, 0, 0);  // the old surface, as it was
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ExpectWholeSurface(2, 0, 0, 255);

    unsetenv("DEMO_FAULT_SURFACE_SCALE_LIMIT");
    EXPECT_TRUE(Sys_SetSurfaceScale(3));
    EXPECT_EQ(Sys_SurfaceScale(), 3);
    ExpectWholeSurface(3, 0, 0, 0);  // a new surface starts black
}

// Full screen follows its drawable after every frame: a new size decides
// the scale again (here as on a renderer that draws at the screen's scale);
// the same size again, or a window, keeps the surface with its picture,
// which the scenes that never clear build on.
TEST_F(SurfaceTest, FullScreenTakesTheScaleOfEachNewDrawableSize) {
    setenv("DEMO_FAULT_RENDERER", "a graphics card", 1);
    ASSERT_TRUE(Sys_SetSurfaceScale(1));
    Sys_Internal_FollowDrawable(1920, 1080, true);
    EXPECT_EQ(Sys_SurfaceScale(), 2);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Sys_Internal_FollowDrawable(1920, 1080, true);
    ExpectWholeSurface(2, 0, 255, 0);  // not made anew
    Sys_Internal_FollowDrawable(2560, 1440, true);
    EXPECT_EQ(Sys_SurfaceScale(), 3);
    ExpectSurfaceBound();
    Sys_Internal_FollowDrawable(1024, 768, true);
    EXPECT_EQ(Sys_SurfaceScale(), 1);
    // Windowed, the drawable's size decides nothing.
    Sys_Internal_FollowDrawable(2560, 1440, false);
    EXPECT_EQ(Sys_SurfaceScale(), 1);
    // Full screen again: fitted anew, even to the size it had before.
    Sys_Internal_FollowDrawable(1024, 768, true);
    ASSERT_TRUE(Sys_SetSurfaceScale(4));
    Sys_Internal_FollowDrawable(1024, 768, true);
    EXPECT_EQ(Sys_SurfaceScale(), 4);  // the same size: left as it is
    Sys_Internal_FollowDrawable(1024, 768, false);
    Sys_Internal_FollowDrawable(1024, 768, true);
    EXPECT_EQ(Sys_SurfaceScale(), 1);
    // On a software renderer full screen draws at 1 whatever the size.
    unsetenv("DEMO_FAULT_RENDERER");
    Sys_Internal_FollowDrawable(3840, 2160, true);
    EXPECT_EQ(Sys_SurfaceScale(), 1);
}

// Some Windows drivers answer 1, 2, 3 or -1 instead of null.
TEST(GLEntryPoints, TheDriversJunkAnswersCountAsMissing) {
    for (intptr_t junk : {intptr_t(0), intptr_t(1), intptr_t(2), intptr_t(3), intptr_t(-1)})
        EXPECT_FALSE(Sys_GLEntryPointFound(reinterpret_cast<const void*>(junk))) << junk;
    EXPECT_TRUE(Sys_GLEntryPointFound(reinterpret_cast<const void*>(&glClear)));
}

}  // namespace
