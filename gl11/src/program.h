// program.h -- the program cache: one ES program per combination of the
// fixed-function state that changes the shader (a key), built the first
// time a draw needs it, and the uniforms that carry the rest of the state.
#pragma once

#include "context.h"

#include <cstdint>
#include <vector>

namespace gl11 {

// How a draw's primitives reach the shader.
struct DrawKind {
    bool wide = false;    // lines drawn as quads (attribute 4 holds the other end)
    bool points = false;  // points: the shader gives their size
    int face = 0;         // 0: as rasterised; 1 front, 2 back (outlines, wide lines)
};

// The uniforms a program may have, each with the value last sent to it.
enum UniformSlot {
    kUMvp, kUModelview, kUNormalMatrix, kUTexMatrix, kUPointSize, kUViewport, kUVpHalf, kUHalfWidth,
    kULightModelAmbient, kUMaterial, kUShininess, kULightPos, kULightAmb, kULightDiff, kULightSpec, kULightAtt,
    kULightSpot, kULightSpotDir, kUFogParams, kUFogColour, kUAlphaRef, kUEnvColour, kUObjectPlanes, kUEyePlanes,
    kUniformSlots
};

struct Program {
    GLuint id = 0;
    bool failed = false;  // did not build: reported once, never built again
    bool linking = false;  // compiled and linked, the outcome not read yet
    GLint mvp = -1, modelview = -1, normalMatrix = -1, texMatrix = -1, pointSize = -1, viewport = -1;
    GLint lightModelAmbient = -1, material = -1, shininess = -1;
    GLint lightPos = -1, lightAmb = -1, lightDiff = -1, lightSpec = -1, lightAtt = -1, lightSpot = -1,
          lightSpotDir = -1;
    GLint vpHalf = -1, halfWidth = -1, sampler = -1, under = -1, underOrigin = -1;
    GLint fogParams = -1, fogColour = -1, alphaRef = -1, envColour = -1, objectPlanes = -1, eyePlanes = -1;
    GLint underOriginSent[2] = {-1, -1};
    // The state last looked at (a group is looked at again when its serial
    // moved), and per uniform the value the driver holds: a value equal to
    // it is not sent again.
    uint32_t matrixSerial = 0, lightSerial = 0, materialSerial = 0, shadeSerial = 0;
    float pointSizeSent = -1, lineWidthSent = -1;
    std::vector<float> sent[kUniformSlots];
    // Forgets what was sent (the program's uniforms were set from elsewhere).
    void Forget() {
        matrixSerial = lightSerial = materialSerial = shadeSerial = 0;
        pointSizeSent = lineWidthSent = -1;
        for (std::vector<float>& v : sent) v.clear();
    }
};

// Key bits the blend done by hand reads.
constexpr uint64_t kKeyBlendAlpha = 1ull << 40;   // GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA by hand
constexpr uint64_t kKeyBlendColour = 1ull << 41;  // GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR by hand
constexpr uint64_t kKeyPoints = 1ull << 30;       // points (PointViewport)

// Makes the program for the current state current, its uniforms up to date
// and the blend prepared. False when that program cannot be built (the
// draw is skipped; GL_INVALID_OPERATION was recorded the first time).
bool UseProgramFor(const DrawKind& kind);
// The key of the program the current state needs for `kind`, and the
// program of a key made current as UseProgramFor makes it.
uint64_t KeyFor(const DrawKind& kind);
bool UseProgramForKey(uint64_t key);
// Whether draws of `key` may be merged into one (one-sided lighting,
// filled, no blend by hand), their vertices carried into eye space by the
// layer unless texture coordinates are generated (GeneratesCoords: then
// only draws under one modelview merge, nothing carried).
bool Mergeable(uint64_t key);
bool GeneratesCoords(uint64_t key);
// `key` with the diffuse colour taken from the vertex colour on both faces
// (merged lit draws whose diffuse colours differ carry them per vertex).
uint64_t DiffuseFromColour(uint64_t key);
// The matrix normals are multiplied by (a row vector times it, column-major
// 3 x 3): the inverse of the modelview's upper 3 x 3, in single precision.
// A modelview that is not affine takes the 3 x 3 of its whole inverse, as
// Mesa's does; one that has no inverse leaves normals as they are.
void NormalMatrix(const Mat4& modelview, float out[9]);
// The plain program (no lighting, no texture): for the layer's own drawing.
Program* PlainProgram();
// Forgets every program (a new context), then builds the common ones.
bool InitPrograms();
// Whether the driver's program is ours to set again (something else used one).
void ProgramChanged();

// The GLSL of the fixed function (shader_source.cpp): `defines` first.
extern const char* const kVertexShader;
extern const char* const kFragmentShader;

// blend.cpp: before a draw with `key`, the blend done by hand or the driver's.
void PrepareBlend(Program& p, uint64_t key);
bool InitBlend();

}  // namespace gl11
