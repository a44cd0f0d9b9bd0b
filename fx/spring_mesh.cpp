// spring_mesh.cpp -- layout, explicit integration and drawing of the grid.
#include "fx/spring_mesh.h"

#include <GL/gl.h>

#include <algorithm>
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

namespace {

// Both faces drawn as plain lines: an outline can go as lines.
bool OutlineAsLines() {
    GLint modes[2] = {GL_FILL, GL_FILL};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    return modes[0] == GL_LINE && modes[1] == GL_LINE && !glIsEnabled(GL_CULL_FACE) &&
           !glIsEnabled(GL_LINE_STIPPLE);
}

constexpr int kDrawnFloats = 8;  // per vertex: position, normal, texture coordinate

}  // namespace

void SpringMesh::Draw() {
    const float du = 1.0f / columns;
    const float dv = 1.0f / rows;
    float t = 1.0f;
    if (rows <= 0 || columns < 0) return;

    const int32_t stride = columns + 1;
    const size_t perStrip = size_t(stride) * 2;
    drawn_.resize(perStrip * size_t(rows) * kDrawnFloats);
    float* out = drawn_.data();
    for (int32_t r = 0; r < rows; ++r) {
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
            const float pair[2][kDrawnFloats] = {{p0.x, p0.y, p0.z, n.x, n.y, n.z, s, t},
                                                 {p2.x, p2.y, p2.z, n.x, n.y, n.z, s, t2}};
            std::memcpy(out, pair, sizeof pair);
            out += 2 * kDrawnFloats;
            s = s - du;
        }
        t = t - dv;
    }

    const bool lines = OutlineAsLines();
    if (lines && (outlineKey_[0] != columns || outlineKey_[1] != rows)) {
        // A quad strip's quad (e0, e1, e2, e3) is outlined as the lines
        // (e3, e2), (e2, e0), (e0, e1), (e1, e3). Every line inside the mesh
        // belongs to two quads; the first one draws it.
        outlineKey_[0] = columns;
        outlineKey_[1] = rows;
        outline_.clear();
        std::vector<uint8_t> seen(size_t(stride) * size_t(rows + 1) * 2, 0);  // per node: right, down
        const auto node = [&](uint32_t v) {
            const uint32_t r = uint32_t(v / perStrip), q = uint32_t(v % perStrip);
            return (r + (q & 1)) * uint32_t(stride) + q / 2;
        };
        const auto addLine = [&](uint32_t a, uint32_t b) {
            const uint32_t na = node(a), nb = node(b);
            const uint32_t lo = std::min(na, nb), hi = std::max(na, nb);
            uint8_t& mark = seen[size_t(lo) * 2 + (hi - lo == 1 ? 0 : 1)];
            if (mark) return;
            mark = 1;
            outline_.push_back(a);
            outline_.push_back(b);
        };
        for (int32_t r = 0; r < rows; ++r) {
            for (int32_t k = 0; k < columns; ++k) {
                const uint32_t e0 = uint32_t(r * perStrip + 2 * k);
                addLine(e0 + 3, e0 + 2);
                addLine(e0 + 2, e0);
                addLine(e0, e0 + 1);
                addLine(e0 + 1, e0 + 3);
            }
        }
    }

    const GLsizei bytes = GLsizei(kDrawnFloats * sizeof(float));
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, bytes, drawn_.data());
    glNormalPointer(GL_FLOAT, bytes, drawn_.data() + 3);
    glTexCoordPointer(2, GL_FLOAT, bytes, drawn_.data() + 6);
    if (lines) {
        glDrawElements(GL_LINES, GLsizei(outline_.size()), GL_UNSIGNED_INT, outline_.data());
    } else {
        for (int32_t r = 0; r < rows; ++r) glDrawArrays(GL_QUAD_STRIP, GLint(r * perStrip), GLsizei(perStrip));
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);

    const float* last = &drawn_[drawn_.size() - kDrawnFloats];
    glNormal3f(last[3], last[4], last[5]);
    glTexCoord2f(last[6], last[7]);
}
