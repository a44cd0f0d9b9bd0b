// fx_test_util.h -- textures made in the test and GL state checks shared by
// the effect-object tests (and the benchmarks).
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "fx/spring_mesh.h"

// A size x size RGB texture: a soft white disc on black (a particle glow),
// or plain white when `flat` is set.
inline GLuint MakeTestTexture(int size, bool flat) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float v = flat ? 1.0f : std::fmax(0.0f, 1.0f - std::hypot((x + 0.5f) / size * 2 - 1, (y + 0.5f) / size * 2 - 1));
            rgb.insert(rgb.end(), {uint8_t(255 * v), uint8_t(255 * v * (flat ? 1.0f : 0.8f)), uint8_t(255 * v * (flat ? 1.0f : 0.5f))});
        }
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    return tex;
}

// One pixel per unit: x from -320 to 320, y from -240 to 240, looking down -z.
inline void PixelOrtho() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-320, 320, -240, 240, -500, 500);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// What every effect object leaves behind: blending and texturing off, depth
// writes on, the modelview current, the matrix stacks and the modelview as
// they were.
struct GLStateSnapshot {
    static std::vector<float> Now() {
        GLint depths[2], mode;
        GLfloat m[16];
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depths[0]);
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depths[1]);
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        std::vector<float> v = {float(depths[0]), float(depths[1]), float(mode)};
        return v.insert(v.end(), m, m + 16), v;
    }
    const std::vector<float> before = Now();
    void ExpectLeftBehind() const {
        GLboolean mask = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
        EXPECT_TRUE(mask && !glIsEnabled(GL_BLEND) && !glIsEnabled(GL_TEXTURE_2D));
        EXPECT_EQ(Now(), before);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
};

// Counts live display-list names in [first, first + span).
inline int LiveListsFrom(GLuint first, GLuint span) {
    int live = 0;
    for (GLuint n = first; n < first + span; ++n) live += glIsList(n) ? 1 : 0;
    return live;
}

// The mesh as the demo sets it up: 51 x 51 nodes, four of them pinned.
inline void StartUpMesh(SpringMesh& m) {
    m.columns = 50, m.rows = 50, m.spacing = 0.5f, m.stiffness = 0.05f, m.damping = 0.85f;
    m.centre.y = 0, m.gravity.y = 0;
    m.Build();
    for (int i : {0, 2401, 2352, 49}) m.SetNodeMode(i, SpringMesh::Pinned);
}
