// helix_ribbon.cpp -- a quad strip whose two edges wind around the z axis.
#include "fx/helix_ribbon.h"

#include <GL/gl.h>

#include <cmath>

HelixRibbon::HelixRibbon() {
    startAngles = new float[2]{0.0f, 0.0f};
    angleSteps = new float[2]{0.0f, 0.0f};
}

HelixRibbon::~HelixRibbon() {
    delete[] startAngles;
    delete[] angleSteps;
}

void HelixRibbon::SetSegmentCount(int32_t count) {
    segmentCount = count;
}

void HelixRibbon::SetZStep(float step) {
    zStep = step;
}

void HelixRibbon::SetRadius(float r) {
    radius = r;
}

void HelixRibbon::SetStartAngles(float a, float b) {
    startAngles[0] = a;
    startAngles[1] = b;
}

void HelixRibbon::SetAngleStep(float a, float b) {
    angleSteps[0] = a;
    angleSteps[1] = b;
}

void HelixRibbon::Draw() {
    float z = 0.0f;
    glBegin(GL_QUAD_STRIP);
    for (int32_t n = 0; n < segmentCount; ++n) {
        const double a = startAngles[0], b = startAngles[1];
        const GLfloat edgeA[3] = {float(std::cos(a) * radius), float(std::sin(a) * radius), z};
        const GLfloat edgeB[3] = {float(std::cos(b) * radius), float(std::sin(b) * radius), z};
        glVertex3fv(edgeA);
        glVertex3fv(edgeB);
        z = z + zStep;
        // The advanced angles stay in the object: a second draw continues
        // the helix where this one ended.
        startAngles[0] = startAngles[0] + angleSteps[0];
        startAngles[1] = startAngles[1] + angleSteps[1];
    }
    glEnd();
}
