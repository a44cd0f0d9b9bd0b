// spring_mesh.cpp -- layout, explicit integration and drawing of the grid.
#include "fx/spring_mesh.h"

#include <GL/gl.h>

#include <cstring>

SpringMesh::SpringMesh() = default;

SpringMesh::~SpringMesh() {
    delete[] nodePositions;
    delete[] nodeForces;
    delete[] restPositions;
    delete[] nextPositions;
    delete[] nodeVelocities;
    delete[] nodeModes;
}

void SpringMesh::Build() {
    // A second Build replaces the arrays instead of leaking them.
    delete[] nodePositions;
    delete[] nodeForces;
    delete[] restPositions;
    delete[] nextPositions;
    delete[] nodeVelocities;
    delete[] nodeModes;

    const int32_t stride = columns + 1;
    const int32_t n = (columns >= 0 && rows >= 0) ? stride * (rows + 1) : 0;
    nodePositions = new Vec4[n]();
    restPositions = new Vec4[n]();
    nodeForces = new Vec4[n]();
    nextPositions = new Vec4[n]();
    nodeVelocities = new Vec4[n]();
    nodeModes = new int32_t[n]();

    const float x0 = float(columns * double(spacing) * -0.5);
    float z = float(rows * double(spacing) * -0.5);
    if (rows < 0) return;
    for (int32_t r = 0; r <= rows; ++r) {
        float x = x0;
        for (int32_t k = 0; k <= columns; ++k) {
            const int32_t i = r * stride + k;
            nodePositions[i] = Vec4{x + centre.x, centre.y, z + centre.z, 0};
            restPositions[i] = nodePositions[i];
            nodeVelocities[i] = Vec4{0, 0, 0, 0};
            nodeForces[i] = Vec4{0, 0, 0, 0};
            nodeModes[i] = Free;
            x += spacing;
        }
        z += spacing;
    }
}

void SpringMesh::SetNodeMode(int32_t index, int32_t mode) {
    nodeModes[index] = mode;
}

void SpringMesh::SetNode(int32_t index, float x, float y, float z, float w) {
    nodeForces[index] = Vec4{x, y, z, w};
}

Vec4 SpringMesh::GetNode(int32_t index) {
    return nodeForces[index];
}

Vec4 SpringMesh::SpringForce(Vec4 p, Vec4 q) {
    const Vec4 d = q - p;
    const float len = Length(d);
    // Coinciding neighbours have no direction to push along: no force,
    // rather than a NaN that would spread through the whole mesh.
    if (len == 0.0f) return Vec4{0, 0, 0, 0};
    return (d / len) * (len - spacing);
}

Vec4 SpringMesh::AnchorForce(Vec4 p, Vec4 r) {
    const Vec4 d = r - p;
    const float len = Length(d);
    if (len == 0.0f) return Vec4{0, 0, 0, 0};
    return (d / len) * len;
}

void SpringMesh::Step() {
    const int32_t stride = columns + 1;
    for (int32_t r = 0; r <= rows; ++r) {
        for (int32_t k = 0; k <= columns; ++k) {
            const int32_t i = r * stride + k;
            const Vec4 p = nodePositions[i];
            Vec4 f = {0, 0, 0, 0};
            if (nodeModes[i] == Free) {
                if (k > 0) f += SpringForce(p, nodePositions[i - 1]);
                if (r > 0) f += SpringForce(p, nodePositions[i - stride]);
                if (k < columns) f += SpringForce(p, nodePositions[i + 1]);
                if (r < rows) f += SpringForce(p, nodePositions[i + stride]);
                f += AnchorForce(p, restPositions[i]);
                f += nodeForces[i];
                nodeVelocities[i] += gravity;
            }
            nodeVelocities[i] = nodeVelocities[i] * damping + f * stiffness;
            nextPositions[i] = p + nodeVelocities[i];
        }
    }
    if (rows >= 0 && columns >= 0) {
        std::memcpy(nodePositions, nextPositions, sizeof(Vec4) * size_t(stride) * size_t(rows + 1));
    }
}

void SpringMesh::Draw() {
    const float du = 1.0f / columns;
    const float dv = 1.0f / rows;
    float t = 1.0f;
    if (rows <= 0) return;

    const int32_t stride = columns + 1;
    for (int32_t r = 0; r < rows; ++r) {
        glBegin(GL_QUAD_STRIP);
        float s = 1.0f;
        const float t2 = t - dv;
        // The last pair of a strip has no quad to its right; it keeps the
        // normal of the column before it.
        Vec4 n = {0, 1, 0, 0};
        for (int32_t k = 0; k <= columns; ++k) {
            const int32_t i = r * stride + k;
            const Vec4 p0 = nodePositions[i];
            const Vec4 p2 = nodePositions[i + stride];
            if (k < columns) {
                const Vec4 p1 = nodePositions[i + 1];
                n = Normalize(Cross(p2 - p0, p1 - p0));
            }
            glNormal3f(n.x, n.y, n.z);
            glTexCoord2f(s, t);
            glVertex3f(p0.x, p0.y, p0.z);
            glTexCoord2f(s, t2);
            glVertex3f(p2.x, p2.y, p2.z);
            s = s - du;
        }
        glEnd();
        t = t - dv;
    }
}
