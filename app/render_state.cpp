// render_state.cpp -- the per-part base state (set-ups A to D).
#include "app/render_state.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/platform.h"

namespace {

struct SetUp {
    GLfloat clearColour[4];
    GLenum shadeModel;
    GLdouble fovy, zNear, zFar;
    GLfloat lightPosition[4];
    bool normalize;
    bool fill;
    bool sphereMap;
};

// A: parts 1, 2, 3, 7. B: parts 4, 5. C: part 6. D: part 8.
const SetUp kSetUpA = {{0.0f, 0.0f, 0.0f, 1.0f}, GL_SMOOTH, 90.0, 1.0, 200.0, {0, 0, 30, 1}, false, false, false};
const SetUp kSetUpB = {{0.0f, 0.0f, 0.0f, 1.0f}, GL_SMOOTH, 45.0, 1.0, 2000.0, {0, 150, 0, 1}, true, false, true};
const SetUp kSetUpC = {{0.0f, 0.0f, 0.0f, 1.0f}, GL_FLAT, 45.0, 1.0, 200.0, {0, 0, 30, 1}, true, false, true};
const SetUp kSetUpD = {{0.1f, 0.2f, 0.3f, 1.0f}, GL_SMOOTH, 90.0, 1.0, 110.0, {0, 0, 30, 1}, false, true, true};

const SetUp* SetUpForPart(int32_t part) {
    switch (part) {
        case 1: case 2: case 3: case 7: return &kSetUpA;
        case 4: case 5: return &kSetUpB;
        case 6: return &kSetUpC;
        case 8: return &kSetUpD;
        default: return nullptr;
    }
}

}  // namespace

void ApplyPartRenderState(int32_t part) {
    for (GLenum light = GL_LIGHT0; light <= GL_LIGHT7; ++light) glDisable(light);
    const SetUp* s = SetUpForPart(part);
    if (!s) return;

    static const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    static const GLfloat ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    // The aspect ratio is the float 1.33 widened, not 4/3.
    const GLfloat aspect = 1.33f;

    glClearColor(s->clearColour[0], s->clearColour[1], s->clearColour[2], s->clearColour[3]);
    glShadeModel(s->shadeModel);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(s->fovy, double(aspect), s->zNear, s->zFar);
    Sys_Viewport(0, 0, 640, 480);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // No light-model call: a scalar GL_LIGHT_MODEL_AMBIENT is not valid GL.
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    glLightfv(GL_LIGHT0, GL_POSITION, s->lightPosition);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT, GL_SPECULAR, white);
    glMaterialf(GL_FRONT, GL_SHININESS, 25.0f);
    glEnable(GL_DEPTH_TEST);
    if (s->normalize) glEnable(GL_NORMALIZE);
    if (s->fill) glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    if (s->sphereMap) {
        const GLint sphereMap = GL_SPHERE_MAP;
        glTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &sphereMap);
        glTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &sphereMap);
    }
}
