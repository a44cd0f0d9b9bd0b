// spring_mesh.h -- a flat grid of point masses joined by springs.
//
// (rows + 1) x (columns + 1) nodes in the x-z plane, centred on `centre`;
// node (row r, column k) is element r * (columns + 1) + k of every array.
// Each free node has springs to its four direct neighbours (rest length
// `spacing`) and a zero-length spring to its rest position. Step integrates
// once (no time step): v = v * damping + force * stiffness, p += v, every
// force computed from the positions at the start of the step.
#pragma once

#include <cstdint>
#include <vector>

#include "fx/vec4.h"

class SpringMesh {
public:
    enum : int32_t { Pinned = 0, Free = 1 };

    SpringMesh();   // centre and gravity zero; allocates nothing
    ~SpringMesh();  // frees the six arrays
    SpringMesh(const SpringMesh&) = delete;  // owns its arrays: never copied
    SpringMesh& operator=(const SpringMesh&) = delete;

    // Allocates the arrays for columns x rows and lays the nodes out at rest.
    void Build();
    void SetNodeMode(int32_t index, int32_t mode);
    // The extra force acting on a node, until set again.
    void SetNode(int32_t index, float x, float y, float z, float w);
    Vec4 GetNode(int32_t index);
    // One simulation step over all nodes.
    void Step();
    // Sends the mesh as lit, textured quad strips; sets no texture, material,
    // colour or polygon mode. The strips go to OpenGL as vertex arrays; with
    // both polygon faces drawn as lines (and no culling or stipple) their
    // outline goes as GL_LINES, each edge once, as the strips draw it first.
    // The current normal and texture coordinate are left as the last vertex
    // of the strips had them.
    void Draw();
    // Force on p from a spring to q: Hooke's law, rest length `spacing`;
    // zero for coinciding points.
    Vec4 SpringForce(Vec4 p, Vec4 q);
    // Pull of p toward its rest position r; zero when they coincide.
    Vec4 AnchorForce(Vec4 p, Vec4 r);

    int32_t columns = 0;  // cells along x
    int32_t rows = 0;     // cells along z
    float spacing = 0;    // node distance at build time, spring rest length
    float stiffness = 0;  // factor on a node's summed force
    float damping = 0;    // factor on a node's velocity per step
    Vec4 centre = {0, 0, 0, 0};
    Vec4 gravity = {0, 0, 0, 0};  // added to every free node's velocity per step

    Vec4* nodePositions = nullptr;
    Vec4* restPositions = nullptr;
    Vec4* nodeForces = nullptr;
    Vec4* nextPositions = nullptr;
    Vec4* nodeVelocities = nullptr;
    int32_t* nodeModes = nullptr;

private:
    std::vector<float> drawn_;        // per strip the vertex pairs: x y z, normal, s t
    std::vector<uint32_t> outline_;   // the strips' outline, each line once
    int32_t outlineKey_[2] = {-1, -1};  // columns and rows it was made for
};
