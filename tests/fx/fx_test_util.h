// fx_test_util.h -- textures made in the test and GL state checks shared by
// the effect-object tests.
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
    std::vector<uint8_t> rgb(size_t(size) * size * 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
            float v = 1.0f - std::sqrt(dx * dx + dy * dy);
            v = flat ? 1.0f : (v < 0 ? 0 : v);
            uint8_t* p = &rgb[(size_t(y) * size + x) * 3];
            p[0] = uint8_t(255 * v);
            p[1] = uint8_t(255 * v * (flat ? 1.0f : 0.8f));
            p[2] = uint8_t(255 * v * (flat ? 1.0f : 0.5f));
        }
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

inline GLint IntegerState(GLenum name) {
    GLint v = 0;
    glGetIntegerv(name, &v);
    return v;
}

// What every effect object leaves behind: blending and texturing off,
// depth writes on, the matrix stacks and the modelview as they were.
struct GLStateSnapshot {
    GLint modelviewDepth, projectionDepth;
    GLfloat modelview[16];
    GLStateSnapshot() {
        modelviewDepth = IntegerState(GL_MODELVIEW_STACK_DEPTH);
        projectionDepth = IntegerState(GL_PROJECTION_STACK_DEPTH);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    }
    void ExpectLeftBehind() const {
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        GLboolean mask = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
        EXPECT_TRUE(mask);
        EXPECT_EQ(IntegerState(GL_MODELVIEW_STACK_DEPTH), modelviewDepth);
        EXPECT_EQ(IntegerState(GL_PROJECTION_STACK_DEPTH), projectionDepth);
        EXPECT_EQ(IntegerState(GL_MATRIX_MODE), GL_MODELVIEW);
        GLfloat now[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, now);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(now[i], modelview[i]) << "modelview element " << i;
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
    m.columns = 50;
    m.rows = 50;
    m.spacing = 0.5f;
    m.stiffness = 0.05f;
    m.damping = 0.85f;
    m.centre.y = 0;
    m.gravity.y = 0;
    m.Build();
    for (int i : {0, 2401, 2352, 49}) m.SetNodeMode(i, SpringMesh::Pinned);
}

// A 4:3 perspective looking at the origin from 6 units, tilted by 30 degrees.
inline void SceneView() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.665, 0.665, -0.5, 0.5, 1, 200);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -6);
    glRotatef(30, 1, 0, 0);
}
