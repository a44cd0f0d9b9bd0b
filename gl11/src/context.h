// context.h -- the OpenGL 1.1 state the layer keeps, shared by its files,
// and the helpers every entry point uses.
//
// Every entry point does the same things in the same order:
//   1. refuse the call when the layer has no context (GL_INVALID_OPERATION
//      before a successful gl11_Init, GL_CONTEXT_LOST after a loss);
//   2. record itself when a display list is being compiled (and return
//      under GL_COMPILE);
//   3. refuse a call between glBegin and glEnd that GL forbids there;
//   4. refuse an unknown or unsupported value with the error GL gives,
//      leaving the state as it was;
//   5. change the layer's copy of the state, and pass on to the driver only
//      what it keeps itself (the driver's own errors reach glGetError).
// Draws waiting to be merged with the next ones (primitive.cpp) are sent
// by step 1 of every entry point, except those that keep them: the calls
// that change only matrices, materials and current vertex attributes, the
// calls that draw, glCallList, and the bind of the texture already bound.
#pragma once

#include "es3.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace gl11 {

// A column-major 4 x 4 matrix, as GL keeps them.
struct Mat4 {
    float m[16];
};
Mat4 Identity();
Mat4 Multiply(const Mat4& a, const Mat4& b);  // a * b
Mat4 Transposed(const Mat4& a);
bool Invert(const Mat4& in, Mat4* out);
bool IsIdentity(const Mat4& m);
// The row vector p times m (a plane carried into another space).
void PlaneTimes(const float p[4], const Mat4& m, float out[4]);

// One vertex as the layer draws it.
struct Vertex {
    float pos[4];
    float normal[3];
    float colour[4];
    float tex[2];
};

// Storage that grows without filling its new elements in: what the layer
// adds to a vector of vertices it writes before anything reads it, and a
// value-initialised resize would write every vertex twice.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) {}
    template <class U>
    void construct(U* p) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using Vertices = std::vector<Vertex, UninitialisedAllocator<Vertex>>;

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
    float spotDirection[3] = {0, 0, -1};  // in eye space
    float spotExponent = 0, spotCutoff = 180;
    float spotCosCutoff = -1;  // cos(spotCutoff), for the shader
};

struct TexGen {
    GLenum mode = GL_EYE_LINEAR;
    float objectPlane[4] = {0, 0, 0, 0};
    float eyePlane[4] = {0, 0, 0, 0};  // in eye space
};

// The server state: everything glPushAttrib can save, grouped as its mask
// bits group it (attrib.cpp).
struct ServerState {
    // GL_CURRENT_BIT
    float colour[4] = {1, 1, 1, 1};
    float normal[3] = {0, 0, 1};
    float tex[4] = {0, 0, 0, 1};
    // GL_POINT_BIT, GL_LINE_BIT
    float pointSize = 1, lineWidth = 1;
    // GL_POLYGON_BIT
    GLenum polygonMode[2] = {GL_FILL, GL_FILL};  // front, back
    GLenum cullFaceMode = GL_BACK, frontFace = GL_CCW;
    bool cullFace = false, polygonOffsetFill = false;
    // GL_LIGHTING_BIT
    bool lighting = false, colourMaterial = false;
    bool lightOn[8] = {};
    Light lights[8];
    Material material[2];  // front, back
    float lightModelAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    bool localViewer = false, twoSide = false;
    GLenum colourMaterialFace = GL_FRONT_AND_BACK, colourMaterialMode = GL_AMBIENT_AND_DIFFUSE;
    GLenum shadeModel = GL_SMOOTH;
    // GL_FOG_BIT
    bool fog = false;
    GLenum fogMode = GL_EXP;
    float fogDensity = 1, fogStart = 0, fogEnd = 1;
    float fogColour[4] = {0, 0, 0, 0};
    // GL_DEPTH_BUFFER_BIT
    bool depthTest = false, depthMask = true;
    GLenum depthFunc = GL_LESS;
    double clearDepth = 1.0;
    // GL_VIEWPORT_BIT
    GLint viewport[4] = {0, 0, 0, 0};
    // GL_TRANSFORM_BIT
    GLenum matrixMode = GL_MODELVIEW;
    bool normalize = false;
    // GL_COLOR_BUFFER_BIT
    bool alphaTest = false, blend = false, dither = true;
    GLenum alphaFunc = GL_ALWAYS;
    float alphaRef = 0;
    GLenum blendSrc = GL_ONE, blendDst = GL_ZERO;
    float clearColour[4] = {0, 0, 0, 0};
    bool colourMask[4] = {true, true, true, true};
    // GL_HINT_BIT
    GLenum hints[4] = {GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE};
    // GL_TEXTURE_BIT
    bool texture1D = false, texture2D = false;
    bool texGenOn[4] = {};  // S, T, R, Q
    TexGen texGen[4];
    GLenum texEnvMode = GL_MODULATE;
    float texEnvColour[4] = {0, 0, 0, 0};
    GLuint boundTexture = 0;
    // GL_SCISSOR_BIT
    bool scissorTest = false;
    GLint scissor[4] = {0, 0, 0, 0};
};

struct ArrayPointer {
    bool enabled = false;
    GLint size = 4;
    GLenum type = GL_FLOAT;
    GLsizei stride = 0;
    const void* pointer = nullptr;
};

// The client state glPushClientAttrib saves.
struct ClientState {
    // GL_CLIENT_VERTEX_ARRAY_BIT
    ArrayPointer vertex, normal, colour, tex;
    // GL_CLIENT_PIXEL_STORE_BIT
    GLint packAlignment = 4, unpackAlignment = 4;
    GLint packRowLength = 0, unpackRowLength = 0;
};

struct Texture {
    GLuint es = 0;  // the driver's object, made at the first bind
    struct Level {
        GLint width = 0, height = 0;
        GLint internalFormat = 1;
        int components = 0;           // kept: 1 (luminance), 2 (luminance, alpha), 3 or 4
        std::vector<uint8_t> texels;  // rows packed, bottom row first
    };
    std::vector<Level> levels;  // levels[0] is the base
    GLenum minFilter = GL_NEAREST_MIPMAP_LINEAR, magFilter = GL_LINEAR;
    GLenum wrapS = GL_REPEAT, wrapT = GL_REPEAT;
    const Level* Base() const { return levels.empty() ? nullptr : &levels[0]; }
    // GL's completeness: a base level, and with a mipmap filter every level
    // down to 1 x 1, each half the one before, all of one format.
    bool Complete() const;
    // Whether the base format has alpha (GL_REPLACE takes it then).
    bool HasAlpha() const { return Base() && (Base()->components == 2 || Base()->components == 4); }
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
    // start in the list's buffers. Its indices count from vertex `base`,
    // the first of its run: batches one after another with no call between
    // them, all drawn as triangles with their attributes set alike, which
    // can go to the driver as one draw. The first batch of a run holds its
    // length (in batches, vertices and indices).
    size_t firstVertex = 0, firstIndex = 0, indexCount = 0, base = 0;
    size_t runBatches = 1, runVertices = 0, runIndices = 0;
    GLenum drawMode = GL_TRIANGLES;
};

struct DisplayList {
    // Either a state call (run) or a batch (index into batches).
    struct Op {
        std::function<void()> run;
        int batch = -1;
        bool keepsDraws = false;  // run sends no pending draws (see the head of this file)
    };
    std::vector<Op> ops;
    std::vector<Batch> batches;
    GLuint vbo = 0, ibo = 0;
};

enum Attr { kNormal = 0, kColour = 1, kTex = 2 };

struct AttribEntry {
    GLbitfield mask;
    ServerState state;
    // GL_TEXTURE_BIT saves the bound texture's parameters too.
    GLenum minFilter, magFilter, wrapS, wrapT;
};
struct ClientAttribEntry {
    GLbitfield mask;
    ClientState state;
};

struct Context {
    bool ready = false;  // started, and the context not lost
    bool lost = false;   // the driver reported the context lost
    GLenum error = GL_NO_ERROR;
    ServerState s;
    ClientState c;
    std::vector<AttribEntry> attribStack;
    std::vector<ClientAttribEntry> clientAttribStack;
    std::vector<Mat4> stacks[3];  // modelview, projection, texture; back() is the top
    uint32_t matrixSerial = 1;    // changes with every matrix change
    uint32_t lightSerial = 1;     // the lights on, their parameters, the light model
    uint32_t materialSerial = 1;  // materials
    uint32_t shadeSerial = 1;     // fog, alpha test, texture environment and generation
    bool pendingDraws = false;    // draws wait to be merged (primitive.cpp)

    // glBegin / glEnd.
    bool inBegin = false;
    GLenum beginMode = GL_POINTS;
    std::vector<Vertex> immediate;
    // Under GL_COMPILE_AND_EXECUTE: the block as it is drawn now, each vertex
    // with the current values of its moment (the list's copy fills in what
    // the list had not set when the list runs).
    std::vector<Vertex> executed;
    size_t blockFirstSet[3] = {0, 0, 0};  // while compiling: see Batch

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
    float maxLineWidth = 1;     // the widest line the driver draws itself
    bool emulateLines = false;  // wide lines as triangles even so (gl11_SetLineEmulation)
    std::string vendor, renderer, version;
};

extern Context g;

constexpr GLenum kContextLost = 0x0507;  // GL_CONTEXT_LOST, as desktop GL and ES 3.2 name it

// Records an error (the first one is kept until glGetError reads it).
void SetError(GLenum error);
// Sends the draws that wait to be merged (primitive.cpp).
void SendPendingDraws();
inline void FlushDraws() {
    if (g.pendingDraws) SendPendingDraws();
}
// Step 1 of every entry point: false (and the error recorded) when there
// is no usable context; the pending draws sent.
inline bool Usable() {
    if (g.ready) {
        FlushDraws();
        return true;
    }
    SetError(g.lost ? kContextLost : GL_INVALID_OPERATION);
    return false;
}
// Step 1 of the entry points that keep the pending draws.
inline bool UsableKeepingDraws() {
    if (g.ready) return true;
    SetError(g.lost ? kContextLost : GL_INVALID_OPERATION);
    return false;
}
// Step 3: true (and GL_INVALID_OPERATION recorded) between glBegin and glEnd.
bool InBegin();
// Step 2: records a call into the list being compiled. True when it must
// not run now (GL_COMPILE).
bool Record(std::function<void()> run, bool keepsDraws = false);
#define GL11_RECORD(call)                         \
    do {                                          \
        if (g.compiling && Record([=] { call; })) \
            return;                               \
    } while (0)
// For calls that keep the pending draws when the list runs.
#define GL11_RECORD_KEEPING(call)                       \
    do {                                                \
        if (g.compiling && Record([=] { call; }, true)) \
            return;                                     \
    } while (0)
// Runs f, turning a failed allocation into GL_OUT_OF_MEMORY (no exception
// crosses the C interface).
template <class F>
void Guarded(F&& f) {
    try {
        f();
    } catch (const std::bad_alloc&) {
        SetError(GL_OUT_OF_MEMORY);
    } catch (const std::length_error&) {
        SetError(GL_OUT_OF_MEMORY);
    }
}

std::vector<Mat4>& CurrentStack();
size_t MaxStackDepth(int which);  // 0 modelview, 1 projection, 2 texture
inline Mat4& Top(int which) { return g.stacks[which].back(); }
void MatrixChanged();
inline void CopyN(float* dst, const float* src, int n) { std::memcpy(dst, src, size_t(n) * sizeof(float)); }

// state resets, driver sync (context.cpp)
void ResetState();
void SyncDriver();
void SetCapability(GLenum cap, bool on);  // raster.cpp
bool* Capability(GLenum cap);
bool UnsupportedCapability(GLenum cap);
// Lines: GL's width of a line in whole pixels (at least 1); whether lines
// that wide are drawn as triangles by the layer (wider than the driver
// draws them), and the driver's line width made to match (raster.cpp).
float LineWidthPixels();
bool EmulatedWideLines();
void SyncLineWidth();
// Points: GL's size of a point in whole pixels (at least 1), and the
// driver's viewport while points are drawn: the GL viewport grown so that a
// point's square reaches past its edges as GL's does (raster.cpp).
float PointSizePixels();
void PointViewport(GLint out[4]);
constexpr size_t kMaxAttribDepth = 16;
void ColourMaterialTrack();  // lighting.cpp: the current colour into the tracked material

// textures (texture.cpp)
Texture* BoundTexture();
GLuint EsTextureFor(GLuint name);
void BindTexture(GLuint name);
void ApplyTextureParameters(const Texture& t);

// lists (list.cpp)
void CallList(GLuint name);

// vertices (vertex.cpp): the attribute setters shared with lists
void SetAttribute(int attr, const float* v);

// drawing (primitive.cpp)
bool InitDrawing();
// Draws vertices with the current state, or records them when a list is
// being compiled. `indices` (may be null: 0, 1, 2, ...) index `vertices`.
// `firstSet` as in Batch, for what a list records.
void Submit(GLenum mode, const Vertex* vertices, size_t count, const uint32_t* indices, size_t indexCount,
            const size_t firstSet[3]);
void DrawNow(GLenum mode, const Vertex* v, size_t n, const uint32_t* idx, size_t ni);
// A filled draw of n vertices (`mode` through idx[0 .. ni), null: in
// order) that joins the draws waiting to be merged: the room for its
// vertices, which the caller fills in before any other call; null when it
// does not join them (DrawAlone draws it). `shared`, when given, says how
// many of its first vertices are the last of the waiting ones (the caller
// compared them: WaitingTail), and comes back as how many of them the draw
// takes from there (none unless it joins with the modelview and diffuse
// colour of the draw before it): the room is for the rest.
Vertex* MergeRoom(GLenum mode, size_t n, const uint32_t* idx, size_t ni, size_t* shared = nullptr);
// The last n of the vertices waiting to be merged; null when fewer wait.
const Vertex* WaitingTail(size_t n);
// How many draws have joined waiting ones so far: unchanged from one draw
// to the next, no other draw joined in between.
uint64_t MergeJoins();
// DrawNow for a draw that does not join the waiting ones.
void DrawAlone(GLenum mode, const Vertex* v, size_t n, const uint32_t* idx, size_t ni);
void FinishList(DisplayList* list);
// Draws the batch, or the whole run it begins where that can go as one
// draw; returns how many batches it drew.
size_t DrawBatch(const DisplayList& list, const Batch& batch);
void FreeList(DisplayList* list);
bool IsFill(GLenum mode);
bool IsLine(GLenum mode);
// The streaming of vertex data through a ring of buffer space:
// StreamBuffer is the ring's buffer, StreamVertices writes `count` vertices
// of `stride` bytes into it (bound as the array buffer) and returns the
// index of the first one there.
GLuint StreamBuffer();
size_t StreamVertices(const void* data, size_t count, size_t stride);
// Where the attributes lie in a vertex of `stride` bytes: per attribute (0
// position, 1 normal, 2 colour, 3 texture coordinate, 4 a wide line's other
// end) its number of floats, 0 when the buffer does not hold it, and its
// byte offset.
struct VertexLayout {
    GLsizei stride = 0;
    uint8_t size[5] = {};
    uint8_t offset[5] = {};
};
// Vertex as it is; `wide`: followed by the other end's four floats.
VertexLayout FullLayout(bool wide = false);
// Points the attributes at vertices laid out as `layout` from `base` in
// `buffer` (bound as the array buffer); attributes in `constants` (bits
// 1-3), and those the layout does not hold, take the values given instead.
void PointAttributes(GLuint buffer, size_t base, const VertexLayout& layout, unsigned constants = 0,
                     const float values[4][4] = nullptr);

// blending by hand (blend.cpp)
void FramebufferBound(GLenum target, GLuint framebuffer);
void FramebufferChanged();
void PixelsChanged();
void SetShaderBlend(bool on);
bool ShaderBlend();

}  // namespace gl11
