// context.h -- the layer's own copy of the GL 1.1 state, shared by its files.
#pragma once

#include "es3.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace gl11 {

// A column-major 4 x 4 matrix, as GL keeps them.
struct Mat4 {
    float m[16];
};
Mat4 Identity();
Mat4 Multiply(const Mat4& a, const Mat4& b);  // a * b
bool Invert(const Mat4& in, Mat4* out);

// One vertex as the layer draws it.
struct Vertex {
    float pos[3];
    float normal[3];
    float colour[4];
    float tex[2];
};

struct Material {
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0, 0, 0, 1};
    float emission[4] = {0, 0, 0, 1};
    float shininess = 0;
};

struct Light {
    float ambient[4] = {0, 0, 0, 1};
    float diffuse[4] = {0, 0, 0, 1};
    float specular[4] = {0, 0, 0, 1};
    float position[4] = {0, 0, 1, 0};  // in eye space
    float attenuation[3] = {1, 0, 0};
    float spotDirection[3] = {0, 0, -1};
    float spotExponent = 0, spotCutoff = 180;
};

// Everything glPushAttrib saves.
struct ServerState {
    // Capabilities the driver keeps too.
    bool blend = false, depthTest = false, scissorTest = false, cullFace = false, dither = true,
         polygonOffsetFill = false;
    // Capabilities only the layer acts on (or only remembers).
    bool lighting = false, texture2D = false, texGenS = false, texGenT = false, texGenR = false, texGenQ = false,
         normalize = false, colourMaterial = false, lineStipple = false, fog = false, alphaTest = false,
         texture1D = false, lineSmooth = false, pointSmooth = false, polygonSmooth = false;
    bool lightOn[8] = {};
    Light lights[8];
    Material front, back;
    float lightModelAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    bool localViewer = false, twoSide = false;
    GLenum shadeModel = GL_SMOOTH;
    GLenum polygonMode[2] = {GL_FILL, GL_FILL};
    GLenum cullFaceMode = GL_BACK, frontFace = GL_CCW;
    GLenum blendSrc = GL_ONE, blendDst = GL_ZERO;
    GLenum depthFunc = GL_LESS;
    bool depthMask = true;
    bool colourMask[4] = {true, true, true, true};
    float clearColour[4] = {0, 0, 0, 0};
    double clearDepth = 1.0;
    GLint viewport[4] = {0, 0, 0, 0};
    GLint scissor[4] = {0, 0, 0, 0};
    float lineWidth = 1, pointSize = 1;
    GLenum texGenMode[4] = {GL_EYE_LINEAR, GL_EYE_LINEAR, GL_EYE_LINEAR, GL_EYE_LINEAR};
    GLenum texEnvMode = GL_MODULATE;
    GLenum matrixMode = GL_MODELVIEW;
    GLuint boundTexture = 0;
    // Current attributes.
    float colour[4] = {1, 1, 1, 1};
    float normal[3] = {0, 0, 1};
    float tex[4] = {0, 0, 0, 1};
};

struct ArrayPointer {
    bool enabled = false;
    GLint size = 4;
    GLenum type = GL_FLOAT;
    GLsizei stride = 0;
    const void* pointer = nullptr;
};

// Everything glPushClientAttrib saves.
struct ClientState {
    ArrayPointer vertex, normal, colour, tex;
    GLint packAlignment = 4, unpackAlignment = 4;
    GLint packRowLength = 0, unpackRowLength = 0;
};

struct Texture {
    GLuint es = 0;  // the driver's object, made at the first bind
    GLint width = 0, height = 0;
    GLint internalFormat = 1;
    int components = 0;              // of the kept copy: 1 (luminance), 2, 3 or 4
    std::vector<uint8_t> texels;     // level 0, rows packed, bottom row first
    GLenum minFilter = GL_NEAREST_MIPMAP_LINEAR, magFilter = GL_LINEAR;
    GLenum wrapS = GL_REPEAT, wrapT = GL_REPEAT;
    bool Complete() const {
        const bool mip = minFilter != GL_NEAREST && minFilter != GL_LINEAR;
        return width > 0 && height > 0 && (!mip || (width == 1 && height == 1));
    }
};

// Geometry recorded between glBegin and glEnd (or from arrays) in a list.
// An attribute the list had not set before a vertex takes the current
// value when the list runs: `firstSet` is the first vertex that has its
// own (vertices.size() when none has).
struct Batch {
    GLenum mode = GL_POINTS;
    std::vector<Vertex> vertices;
    size_t firstSet[3] = {0, 0, 0};  // normal, colour, texture coordinate
    // Filled at glEndList: where the batch's vertices and triangle indices
    // start in the list's buffers.
    size_t firstVertex = 0, firstIndex = 0, indexCount = 0;
    GLenum drawMode = GL_TRIANGLES;
};

struct DisplayList {
    // Either a state call (run) or a batch (index into batches).
    struct Op {
        std::function<void()> run;
        int batch = -1;
    };
    std::vector<Op> ops;
    std::vector<Batch> batches;
    GLuint vbo = 0, ibo = 0;
};

enum Attr { kNormal = 0, kColour = 1, kTex = 2 };

struct Context {
    bool ready = false;
    GLenum error = GL_NO_ERROR;
    ServerState s;
    ClientState c;
    std::vector<ServerState> attribStack;
    std::vector<ClientState> clientAttribStack;
    std::vector<Mat4> stacks[3];  // modelview, projection, texture; back() is the top
    uint32_t matrixSerial = 1;    // changes with every matrix change
    uint32_t lightSerial = 1;     // lights, materials, light model

    // glBegin / glEnd.
    bool inBegin = false;
    GLenum beginMode = GL_POINTS;
    std::vector<Vertex> immediate;

    // Textures: the layer's names.
    std::map<GLuint, Texture> textures;
    GLuint nextTexture = 1;

    // Display lists.
    std::map<GLuint, std::unique_ptr<DisplayList>> lists;
    GLuint compilingName = 0;
    GLenum compilingMode = 0;
    std::unique_ptr<DisplayList> compiling;
    // While compiling: the attributes the list has set so far.
    bool listSet[3] = {};
    float listNormal[3] = {0, 0, 1}, listColour[4] = {1, 1, 1, 1}, listTex[2] = {0, 0};
    int callDepth = 0;

    // Driver facts asked once at start.
    GLint maxTextureSize = 2048;
    std::string vendor, renderer, version;
};

extern Context g;

void SetError(GLenum error);
std::vector<Mat4>& CurrentStack();
inline Mat4& Top(int which) { return g.stacks[which].back(); }

// draw.cpp
bool InitDrawing();
void ResetDrawing();
// Draws vertices with the current state, or records them when a list is
// being compiled. `indices` (may be null: 0, 1, 2, ...) index `vertices`.
void Submit(GLenum mode, const Vertex* vertices, size_t count, const uint32_t* indices, size_t indexCount);
void FinishList(DisplayList* list);
void DrawBatch(const DisplayList& list, const Batch& batch);
void FreeList(DisplayList* list);
Texture* BoundTexture();
GLuint EsTextureFor(GLuint name);
// A framebuffer bound; framebuffers' attachments changed or deleted (their
// formats are asked again before the next blend done in the shader).
void FramebufferBound(GLenum target, GLuint framebuffer);
void FramebufferChanged();
// The framebuffer's pixels were written other than by a draw (a clear).
void PixelsChanged();
// Whether the complementary blends are done in the shader (see draw.cpp).
void SetShaderBlend(bool on);
bool ShaderBlend();

}  // namespace gl11
