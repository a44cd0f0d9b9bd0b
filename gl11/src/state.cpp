// state.cpp -- the GL 1.1 state calls: matrices, capabilities, lights and
// materials, textures, display lists, attribute stacks and every query,
// answered from the layer's own copy of the state.
#include "context.h"

#include <GL/glu.h>
#include <gl11.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace gl11 {

Es es;
Context g;

namespace {

constexpr size_t kMaxDepth[3] = {32, 32, 10};  // Mesa's modelview, projection, texture depths
constexpr size_t kMaxAttribDepth = 16;

int StackIndex(GLenum mode) { return mode == GL_PROJECTION ? 1 : (mode == GL_TEXTURE ? 2 : 0); }

// Records a state call into the list being compiled. True when the call
// must not run now (GL_COMPILE).
bool Record(std::function<void()> run) {
    if (!g.compiling) return false;
    DisplayList::Op op;
    op.run = std::move(run);
    g.compiling->ops.push_back(std::move(op));
    return g.compilingMode == GL_COMPILE;
}

#define GL11_RECORD(call)                         \
    do {                                          \
        if (g.compiling && Record([=] { call; })) \
            return;                               \
    } while (0)

// Between glBegin and glEnd only vertex attributes (and lists) are allowed.
bool InBegin() {
    if (g.inBegin) {
        SetError(GL_INVALID_OPERATION);
        return true;
    }
    return false;
}

void MatrixChanged() { ++g.matrixSerial; }

void LoadTop(const Mat4& m) {
    CurrentStack().back() = m;
    MatrixChanged();
}

void MultTop(const float* m) {
    Mat4 b;
    std::memcpy(b.m, m, sizeof b.m);
    Mat4& top = CurrentStack().back();
    top = Multiply(top, b);
    MatrixChanged();
}

void Copy4(float* dst, const float* src) { std::memcpy(dst, src, 4 * sizeof(float)); }

// The driver's copy of the state it keeps, made equal to ours.
void SyncDriver() {
    const ServerState& s = g.s;
    const auto cap = [](GLenum c, bool on) { on ? es.Enable(c) : es.Disable(c); };
    cap(GL_BLEND, s.blend);
    cap(GL_DEPTH_TEST, s.depthTest);
    cap(GL_SCISSOR_TEST, s.scissorTest);
    cap(GL_CULL_FACE, s.cullFace);
    cap(GL_DITHER, s.dither);
    cap(GL_POLYGON_OFFSET_FILL, s.polygonOffsetFill);
    es.BlendFunc(s.blendSrc, s.blendDst);
    es.DepthFunc(s.depthFunc);
    es.DepthMask(s.depthMask);
    es.ColorMask(s.colourMask[0], s.colourMask[1], s.colourMask[2], s.colourMask[3]);
    es.CullFace(s.cullFaceMode);
    es.FrontFace(s.frontFace);
    es.ClearColor(s.clearColour[0], s.clearColour[1], s.clearColour[2], s.clearColour[3]);
    es.ClearDepthf(float(s.clearDepth));
    es.Viewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]);
    es.Scissor(s.scissor[0], s.scissor[1], s.scissor[2], s.scissor[3]);
    es.BindTexture(GL_TEXTURE_2D, EsTextureFor(s.boundTexture));
}

bool* LayerCap(GLenum cap) {
    ServerState& s = g.s;
    if (cap >= GL_LIGHT0 && cap <= GL_LIGHT7) return &s.lightOn[cap - GL_LIGHT0];
    switch (cap) {
        case GL_LIGHTING: return &s.lighting;
        case GL_TEXTURE_2D: return &s.texture2D;
        case GL_TEXTURE_GEN_S: return &s.texGenS;
        case GL_TEXTURE_GEN_T: return &s.texGenT;
        case GL_TEXTURE_GEN_R: return &s.texGenR;
        case GL_TEXTURE_GEN_Q: return &s.texGenQ;
        case GL_NORMALIZE: return &s.normalize;
        case GL_COLOR_MATERIAL: return &s.colourMaterial;
        case GL_LINE_STIPPLE: return &s.lineStipple;
        case GL_FOG: return &s.fog;
        case GL_ALPHA_TEST: return &s.alphaTest;
        case GL_TEXTURE_1D: return &s.texture1D;
        case 0x0B20: return &s.lineSmooth;     // GL_LINE_SMOOTH
        case 0x0B10: return &s.pointSmooth;    // GL_POINT_SMOOTH
        case 0x0B41: return &s.polygonSmooth;  // GL_POLYGON_SMOOTH
        default: return nullptr;
    }
}

bool* DriverCap(GLenum cap) {
    ServerState& s = g.s;
    switch (cap) {
        case GL_BLEND: return &s.blend;
        case GL_DEPTH_TEST: return &s.depthTest;
        case GL_SCISSOR_TEST: return &s.scissorTest;
        case GL_CULL_FACE: return &s.cullFace;
        case GL_DITHER: return &s.dither;
        case GL_POLYGON_OFFSET_FILL: return &s.polygonOffsetFill;
        default: return nullptr;
    }
}

void SetCap(GLenum cap, bool on) {
    if (bool* mine = LayerCap(cap)) {
        if (cap >= GL_LIGHT0 && cap <= GL_LIGHT7 && *mine != on) ++g.lightSerial;
        *mine = on;
        return;
    }
    if (bool* kept = DriverCap(cap)) {
        if (*kept != on) on ? es.Enable(cap) : es.Disable(cap);
        *kept = on;
        return;
    }
    SetError(GL_INVALID_ENUM);
}

Light* LightFor(GLenum light) {
    if (light < GL_LIGHT0 || light > GL_LIGHT7) {
        SetError(GL_INVALID_ENUM);
        return nullptr;
    }
    return &g.s.lights[light - GL_LIGHT0];
}

void SetLight(GLenum which, GLenum pname, const float* p) {
    Light* l = LightFor(which);
    if (!l) return;
    switch (pname) {
        case GL_AMBIENT: Copy4(l->ambient, p); break;
        case GL_DIFFUSE: Copy4(l->diffuse, p); break;
        case GL_SPECULAR: Copy4(l->specular, p); break;
        case GL_POSITION: {
            // Kept in eye space: through the modelview of this moment.
            const float* m = Top(0).m;
            for (int i = 0; i < 4; ++i)
                l->position[i] = m[i] * p[0] + m[4 + i] * p[1] + m[8 + i] * p[2] + m[12 + i] * p[3];
            break;
        }
        case GL_SPOT_DIRECTION: {
            const float* m = Top(0).m;
            for (int i = 0; i < 3; ++i) l->spotDirection[i] = m[i] * p[0] + m[4 + i] * p[1] + m[8 + i] * p[2];
            break;
        }
        case GL_SPOT_EXPONENT: l->spotExponent = p[0]; break;
        case GL_SPOT_CUTOFF: l->spotCutoff = p[0]; break;
        case GL_CONSTANT_ATTENUATION: l->attenuation[0] = p[0]; break;
        case GL_LINEAR_ATTENUATION: l->attenuation[1] = p[0]; break;
        case GL_QUADRATIC_ATTENUATION: l->attenuation[2] = p[0]; break;
        default: SetError(GL_INVALID_ENUM); return;
    }
    ++g.lightSerial;
}

void SetMaterial(GLenum face, GLenum pname, const float* p) {
    if (face != GL_FRONT && face != GL_BACK && face != GL_FRONT_AND_BACK) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    Material* faces[2] = {face != GL_BACK ? &g.s.front : nullptr, face != GL_FRONT ? &g.s.back : nullptr};
    for (Material* m : faces) {
        if (!m) continue;
        switch (pname) {
            case GL_AMBIENT: Copy4(m->ambient, p); break;
            case GL_DIFFUSE: Copy4(m->diffuse, p); break;
            case GL_SPECULAR: Copy4(m->specular, p); break;
            case GL_EMISSION: Copy4(m->emission, p); break;
            case GL_SHININESS:
                if (p[0] < 0 || p[0] > 128) {
                    SetError(GL_INVALID_VALUE);
                    return;
                }
                m->shininess = p[0];
                break;
            case GL_AMBIENT_AND_DIFFUSE:
                Copy4(m->ambient, p);
                Copy4(m->diffuse, p);
                break;
            default: SetError(GL_INVALID_ENUM); return;
        }
    }
    ++g.lightSerial;
}

// Values of a glGet query, as doubles; false for an unknown name.
bool Query(GLenum pname, double* v, int* n) {
    const ServerState& s = g.s;
    const ClientState& c = g.c;
    *n = 1;
    const auto many = [&](const auto* src, int count) {
        for (int i = 0; i < count; ++i) v[i] = double(src[i]);
        *n = count;
        return true;
    };
    switch (pname) {
        case GL_VIEWPORT: return many(s.viewport, 4);
        case GL_SCISSOR_BOX: return many(s.scissor, 4);
        case GL_POLYGON_MODE: v[0] = s.polygonMode[0], v[1] = s.polygonMode[1], *n = 2; return true;
        case GL_MAX_TEXTURE_SIZE: v[0] = g.maxTextureSize; return true;
        case GL_PACK_ALIGNMENT: v[0] = c.packAlignment; return true;
        case GL_UNPACK_ALIGNMENT: v[0] = c.unpackAlignment; return true;
        case GL_PACK_ROW_LENGTH: v[0] = c.packRowLength; return true;
        case GL_UNPACK_ROW_LENGTH: v[0] = c.unpackRowLength; return true;
        case GL_MODELVIEW_STACK_DEPTH: v[0] = double(g.stacks[0].size()); return true;
        case GL_PROJECTION_STACK_DEPTH: v[0] = double(g.stacks[1].size()); return true;
        case GL_TEXTURE_STACK_DEPTH: v[0] = double(g.stacks[2].size()); return true;
        case GL_MAX_MODELVIEW_STACK_DEPTH: v[0] = double(kMaxDepth[0]); return true;
        case GL_MAX_PROJECTION_STACK_DEPTH: v[0] = double(kMaxDepth[1]); return true;
        case GL_MAX_TEXTURE_STACK_DEPTH: v[0] = double(kMaxDepth[2]); return true;
        case GL_ATTRIB_STACK_DEPTH: v[0] = double(g.attribStack.size()); return true;
        case GL_CLIENT_ATTRIB_STACK_DEPTH: v[0] = double(g.clientAttribStack.size()); return true;
        case GL_MAX_LIGHTS: v[0] = 8; return true;
        case GL_MODELVIEW_MATRIX: return many(Top(0).m, 16);
        case GL_PROJECTION_MATRIX: return many(Top(1).m, 16);
        case GL_TEXTURE_MATRIX: return many(Top(2).m, 16);
        case GL_MATRIX_MODE: v[0] = s.matrixMode; return true;
        case GL_TEXTURE_BINDING_2D: v[0] = s.boundTexture; return true;
        case GL_SHADE_MODEL: v[0] = s.shadeModel; return true;
        case GL_BLEND_SRC: v[0] = s.blendSrc; return true;
        case GL_BLEND_DST: v[0] = s.blendDst; return true;
        case GL_DEPTH_FUNC: v[0] = s.depthFunc; return true;
        case GL_DEPTH_WRITEMASK: v[0] = s.depthMask; return true;
        case GL_DEPTH_CLEAR_VALUE: v[0] = s.clearDepth; return true;
        case GL_COLOR_CLEAR_VALUE: return many(s.clearColour, 4);
        case GL_COLOR_WRITEMASK: return many(s.colourMask, 4);
        case GL_CULL_FACE_MODE: v[0] = s.cullFaceMode; return true;
        case GL_FRONT_FACE: v[0] = s.frontFace; return true;
        case GL_CURRENT_COLOR: return many(s.colour, 4);
        case GL_CURRENT_NORMAL: return many(s.normal, 3);
        case GL_CURRENT_TEXTURE_COORDS: return many(s.tex, 4);
        case GL_LINE_WIDTH: v[0] = s.lineWidth; return true;
        case GL_POINT_SIZE: v[0] = s.pointSize; return true;
        case GL_LIGHT_MODEL_AMBIENT: return many(s.lightModelAmbient, 4);
        case GL_LIGHT_MODEL_LOCAL_VIEWER: v[0] = s.localViewer; return true;
        case GL_LIGHT_MODEL_TWO_SIDE: v[0] = s.twoSide; return true;
        case GL_LIST_INDEX: v[0] = g.compilingName; return true;
        case GL_LIST_MODE: v[0] = g.compilingMode; return true;
        case GL_DOUBLEBUFFER: v[0] = 1; return true;
        case GL_VERTEX_ARRAY: v[0] = c.vertex.enabled; return true;
        case GL_NORMAL_ARRAY: v[0] = c.normal.enabled; return true;
        case GL_COLOR_ARRAY: v[0] = c.colour.enabled; return true;
        case GL_TEXTURE_COORD_ARRAY: v[0] = c.tex.enabled; return true;
        default: break;
    }
    if (const bool* on = LayerCap(pname)) {
        v[0] = *on;
        return true;
    }
    if (const bool* on = DriverCap(pname)) {
        v[0] = *on;
        return true;
    }
    return false;
}

// GL's mapping of colours to integers.
bool IsColourQuery(GLenum pname) {
    return pname == GL_COLOR_CLEAR_VALUE || pname == GL_CURRENT_COLOR || pname == GL_LIGHT_MODEL_AMBIENT;
}

// Source rows of a pixel transfer: `row` bytes of data, aligned.
size_t RowStride(size_t rowBytes, GLint alignment) {
    const size_t a = size_t(alignment > 0 ? alignment : 1);
    return (rowBytes + a - 1) / a * a;
}

int Components(GLenum format) {
    switch (format) {
        case GL_RGB: return 3;
        case GL_RGBA: return 4;
        case GL_LUMINANCE: return 1;
        case GL_LUMINANCE_ALPHA: return 2;
        case GL_ALPHA: return 1;
        default: return 0;
    }
}

int InternalComponents(GLint internal) {
    switch (internal) {
        case 1: case GL_LUMINANCE: return 1;
        case 2: case GL_LUMINANCE_ALPHA: return 2;
        case 3: case GL_RGB: case GL_RGB8: return 3;
        case 4: case GL_RGBA: case GL_RGBA8: return 4;
        default: return 0;
    }
}

// One texel of `format` as RGBA.
void ToRgba(const uint8_t* p, GLenum format, uint8_t out[4]) {
    switch (format) {
        case GL_RGB: out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = 255; break;
        case GL_RGBA: out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = p[3]; break;
        case GL_LUMINANCE: out[0] = out[1] = out[2] = p[0], out[3] = 255; break;
        case GL_LUMINANCE_ALPHA: out[0] = out[1] = out[2] = p[0], out[3] = p[1]; break;
        default: out[0] = out[1] = out[2] = 0, out[3] = p[0]; break;  // GL_ALPHA
    }
}

GLenum EsFormat(int components) {
    switch (components) {
        case 1: return GL_LUMINANCE;
        case 2: return GL_LUMINANCE_ALPHA;
        case 3: return GL_RGB;
        default: return GL_RGBA;
    }
}

void TexImage(GLint level, GLint internal, GLsizei w, GLsizei h, GLint border, GLenum format, GLenum type,
              const void* pixels) {
    const int comps = InternalComponents(internal), srcComps = Components(format);
    if (comps == 0 || srcComps == 0 || type != GL_UNSIGNED_BYTE) {
        SetError(comps == 0 ? GL_INVALID_VALUE : GL_INVALID_ENUM);
        return;
    }
    if (level < 0 || w < 0 || h < 0 || border != 0 || w > g.maxTextureSize || h > g.maxTextureSize) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    if (level != 0) return;  // only level 0 is kept (see gl.h)
    Texture* t = BoundTexture();
    t->width = w, t->height = h, t->internalFormat = internal, t->components = comps;
    t->texels.assign(size_t(w) * h * comps, 0);
    if (pixels) {
        const uint8_t* src = static_cast<const uint8_t*>(pixels);
        const GLint rowLength = g.c.unpackRowLength > 0 ? g.c.unpackRowLength : w;
        const size_t stride = RowStride(size_t(rowLength) * srcComps, g.c.unpackAlignment);
        for (GLsizei y = 0; y < h; ++y) {
            const uint8_t* row = src + stride * y;
            uint8_t* out = &t->texels[size_t(y) * w * comps];
            for (GLsizei x = 0; x < w; ++x) {
                uint8_t rgba[4];
                ToRgba(row + size_t(x) * srcComps, format, rgba);
                switch (comps) {
                    case 1: out[0] = rgba[0]; break;
                    case 2: out[0] = rgba[0], out[1] = rgba[3]; break;
                    case 3: out[0] = rgba[0], out[1] = rgba[1], out[2] = rgba[2]; break;
                    default: std::memcpy(out, rgba, 4); break;
                }
                out += comps;
            }
        }
    }
    const GLenum f = EsFormat(comps);
    const GLint esInternal = comps == 3 ? GL_RGB8 : (comps == 4 ? GL_RGBA8 : GLint(f));
    es.TexImage2D(GL_TEXTURE_2D, 0, esInternal, w, h, 0, f, GL_UNSIGNED_BYTE, t->texels.data());
}

void TexParameter(GLenum pname, GLint value) {
    Texture* t = BoundTexture();
    switch (pname) {
        case GL_TEXTURE_MIN_FILTER: t->minFilter = GLenum(value); break;
        case GL_TEXTURE_MAG_FILTER: t->magFilter = GLenum(value); break;
        case GL_TEXTURE_WRAP_S: t->wrapS = GLenum(value); break;
        case GL_TEXTURE_WRAP_T: t->wrapT = GLenum(value); break;
        default: SetError(GL_INVALID_ENUM); return;
    }
    // ES has no GL_CLAMP; clamping to the edge is what it draws without a border.
    es.TexParameteri(GL_TEXTURE_2D, pname, value == GL_CLAMP ? GL_CLAMP_TO_EDGE : value);
}

void BindTexture(GLuint name) {
    g.s.boundTexture = name;
    es.BindTexture(GL_TEXTURE_2D, EsTextureFor(name));
}

void TexGen(GLenum coord, GLenum pname, GLint mode) {
    if (coord < GL_S || coord > GL_Q || pname != GL_TEXTURE_GEN_MODE) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    if (mode != GL_EYE_LINEAR && mode != GL_OBJECT_LINEAR && mode != GL_SPHERE_MAP) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    g.s.texGenMode[coord - GL_S] = GLenum(mode);
}

void CallList(GLuint name) {
    auto it = g.lists.find(name);
    if (it == g.lists.end() || !it->second) return;
    if (g.callDepth >= 64) return;  // GL's nesting limit
    ++g.callDepth;
    const DisplayList& list = *it->second;
    for (const DisplayList::Op& op : list.ops) {
        if (op.batch >= 0)
            DrawBatch(list, list.batches[size_t(op.batch)]);
        else
            op.run();
    }
    --g.callDepth;
}

void ResetState() {
    g.error = GL_NO_ERROR;
    g.s = ServerState();
    g.s.lights[0].diffuse[0] = g.s.lights[0].diffuse[1] = g.s.lights[0].diffuse[2] = 1.0f;
    g.s.lights[0].specular[0] = g.s.lights[0].specular[1] = g.s.lights[0].specular[2] = 1.0f;
    g.c = ClientState();
    g.attribStack.clear();
    g.clientAttribStack.clear();
    for (auto& st : g.stacks) st.assign(1, Identity());
    g.inBegin = false;
    g.immediate.clear();
    g.textures.clear();
    g.nextTexture = 1;
    g.lists.clear();
    g.compiling.reset();
    g.compilingName = 0;
    g.compilingMode = 0;
    g.callDepth = 0;
    ++g.matrixSerial;
    ++g.lightSerial;
}

}  // namespace

void SetError(GLenum error) {
    if (g.error == GL_NO_ERROR) g.error = error;
}

std::vector<Mat4>& CurrentStack() { return g.stacks[StackIndex(g.s.matrixMode)]; }

Mat4 Identity() {
    Mat4 m{};
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
    return m;
}

Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 p;
    for (int i = 0; i < 4; ++i) {
        const float ai0 = a.m[i], ai1 = a.m[4 + i], ai2 = a.m[8 + i], ai3 = a.m[12 + i];
        for (int j = 0; j < 4; ++j)
            p.m[j * 4 + i] = ai0 * b.m[j * 4] + ai1 * b.m[j * 4 + 1] + ai2 * b.m[j * 4 + 2] + ai3 * b.m[j * 4 + 3];
    }
    return p;
}

bool Invert(const Mat4& in, Mat4* out) {
    // Cofactors in double, the result in float.
    const float* m = in.m;
    double inv[16];
    inv[0] = double(m[5]) * m[10] * m[15] - double(m[5]) * m[11] * m[14] - double(m[9]) * m[6] * m[15] +
             double(m[9]) * m[7] * m[14] + double(m[13]) * m[6] * m[11] - double(m[13]) * m[7] * m[10];
    inv[4] = -double(m[4]) * m[10] * m[15] + double(m[4]) * m[11] * m[14] + double(m[8]) * m[6] * m[15] -
             double(m[8]) * m[7] * m[14] - double(m[12]) * m[6] * m[11] + double(m[12]) * m[7] * m[10];
    inv[8] = double(m[4]) * m[9] * m[15] - double(m[4]) * m[11] * m[13] - double(m[8]) * m[5] * m[15] +
             double(m[8]) * m[7] * m[13] + double(m[12]) * m[5] * m[11] - double(m[12]) * m[7] * m[9];
    inv[12] = -double(m[4]) * m[9] * m[14] + double(m[4]) * m[10] * m[13] + double(m[8]) * m[5] * m[14] -
              double(m[8]) * m[6] * m[13] - double(m[12]) * m[5] * m[10] + double(m[12]) * m[6] * m[9];
    inv[1] = -double(m[1]) * m[10] * m[15] + double(m[1]) * m[11] * m[14] + double(m[9]) * m[2] * m[15] -
             double(m[9]) * m[3] * m[14] - double(m[13]) * m[2] * m[11] + double(m[13]) * m[3] * m[10];
    inv[5] = double(m[0]) * m[10] * m[15] - double(m[0]) * m[11] * m[14] - double(m[8]) * m[2] * m[15] +
             double(m[8]) * m[3] * m[14] + double(m[12]) * m[2] * m[11] - double(m[12]) * m[3] * m[10];
    inv[9] = -double(m[0]) * m[9] * m[15] + double(m[0]) * m[11] * m[13] + double(m[8]) * m[1] * m[15] -
             double(m[8]) * m[3] * m[13] - double(m[12]) * m[1] * m[11] + double(m[12]) * m[3] * m[9];
    inv[13] = double(m[0]) * m[9] * m[14] - double(m[0]) * m[10] * m[13] - double(m[8]) * m[1] * m[14] +
              double(m[8]) * m[2] * m[13] + double(m[12]) * m[1] * m[10] - double(m[12]) * m[2] * m[9];
    inv[2] = double(m[1]) * m[6] * m[15] - double(m[1]) * m[7] * m[14] - double(m[5]) * m[2] * m[15] +
             double(m[5]) * m[3] * m[14] + double(m[13]) * m[2] * m[7] - double(m[13]) * m[3] * m[6];
    inv[6] = -double(m[0]) * m[6] * m[15] + double(m[0]) * m[7] * m[14] + double(m[4]) * m[2] * m[15] -
             double(m[4]) * m[3] * m[14] - double(m[12]) * m[2] * m[7] + double(m[12]) * m[3] * m[6];
    inv[10] = double(m[0]) * m[5] * m[15] - double(m[0]) * m[7] * m[13] - double(m[4]) * m[1] * m[15] +
              double(m[4]) * m[3] * m[13] + double(m[12]) * m[1] * m[7] - double(m[12]) * m[3] * m[5];
    inv[14] = -double(m[0]) * m[5] * m[14] + double(m[0]) * m[6] * m[13] + double(m[4]) * m[1] * m[14] -
              double(m[4]) * m[2] * m[13] - double(m[12]) * m[1] * m[6] + double(m[12]) * m[2] * m[5];
    inv[3] = -double(m[1]) * m[6] * m[11] + double(m[1]) * m[7] * m[10] + double(m[5]) * m[2] * m[11] -
             double(m[5]) * m[3] * m[10] - double(m[9]) * m[2] * m[7] + double(m[9]) * m[3] * m[6];
    inv[7] = double(m[0]) * m[6] * m[11] - double(m[0]) * m[7] * m[10] - double(m[4]) * m[2] * m[11] +
             double(m[4]) * m[3] * m[10] + double(m[8]) * m[2] * m[7] - double(m[8]) * m[3] * m[6];
    inv[11] = -double(m[0]) * m[5] * m[11] + double(m[0]) * m[7] * m[9] + double(m[4]) * m[1] * m[11] -
              double(m[4]) * m[3] * m[9] - double(m[8]) * m[1] * m[7] + double(m[8]) * m[3] * m[5];
    inv[15] = double(m[0]) * m[5] * m[10] - double(m[0]) * m[6] * m[9] - double(m[4]) * m[1] * m[10] +
              double(m[4]) * m[2] * m[9] + double(m[8]) * m[1] * m[6] - double(m[8]) * m[2] * m[5];
    const double det = double(m[0]) * inv[0] + double(m[1]) * inv[4] + double(m[2]) * inv[8] + double(m[3]) * inv[12];
    if (det == 0) return false;
    for (int i = 0; i < 16; ++i) out->m[i] = float(inv[i] / det);
    return true;
}

Texture* BoundTexture() { return &g.textures[g.s.boundTexture]; }

GLuint EsTextureFor(GLuint name) {
    Texture& t = g.textures[name];
    if (!t.es) {
        es.GenTextures(1, &t.es);
        es.BindTexture(GL_TEXTURE_2D, t.es);
        // GL's defaults where ES's differ: none for filters and wrapping,
        // which both start at the same values.
    }
    return t.es;
}

}  // namespace gl11

using namespace gl11;

extern "C" {

int gl11_Init(gl11_GetProcFn getProc) {
    g.ready = false;
    if (!getProc) return 0;
#define GL11_ES_LOAD(ret, name, params)                                             \
    es.name = reinterpret_cast<ret(*) params>(getProc("gl" #name));                 \
    if (!es.name) {                                                                 \
        std::fprintf(stderr, "gl11: the context offers no gl%s\n", #name);          \
        return 0;                                                                   \
    }
    GL11_ES_FUNCTIONS(GL11_ES_LOAD)
#undef GL11_ES_LOAD
    ResetState();
    es.GetIntegerv(ES_MAX_TEXTURE_SIZE, &g.maxTextureSize);
    const auto text = [](GLenum name) {
        const GLubyte* s = es.GetString(name);
        return std::string(s ? reinterpret_cast<const char*>(s) : "");
    };
    g.vendor = text(GL_VENDOR);
    g.renderer = text(GL_RENDERER);
    g.version = "1.1 gl11 on " + text(GL_VERSION);
    GLint vp[4] = {0, 0, 0, 0};
    es.GetIntegerv(GL_VIEWPORT, vp);
    std::memcpy(g.s.viewport, vp, sizeof vp);
    std::memcpy(g.s.scissor, vp, sizeof vp);
    es.ActiveTexture(ES_TEXTURE0);
    // The layer unpacks and packs pixels itself: the driver's rows are tight.
    es.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    es.PixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!InitDrawing()) return 0;
    SyncDriver();
    while (es.GetError() != GL_NO_ERROR) {
    }
    g.ready = true;
    return 1;
}

int gl11_ShaderBlend(void) { return ShaderBlend() ? 1 : 0; }
void gl11_SetShaderBlend(int on) { SetShaderBlend(on != 0); }

GLenum gl11_glGetError(void) {
    const GLenum e = g.error;
    g.error = GL_NO_ERROR;
    return e;
}

// ---- capabilities --------------------------------------------------------

void gl11_glEnable(GLenum cap) {
    GL11_RECORD(gl11_glEnable(cap));
    if (!InBegin()) SetCap(cap, true);
}

void gl11_glDisable(GLenum cap) {
    GL11_RECORD(gl11_glDisable(cap));
    if (!InBegin()) SetCap(cap, false);
}

GLboolean gl11_glIsEnabled(GLenum cap) {
    if (InBegin()) return GL_FALSE;
    double v[16];
    int n = 0;
    if (const bool* on = LayerCap(cap)) return *on;
    if (const bool* on = DriverCap(cap)) return *on;
    if ((cap == GL_VERTEX_ARRAY || cap == GL_NORMAL_ARRAY || cap == GL_COLOR_ARRAY ||
         cap == GL_TEXTURE_COORD_ARRAY) &&
        Query(cap, v, &n))
        return v[0] != 0;
    SetError(GL_INVALID_ENUM);
    return GL_FALSE;
}

// ---- matrices ------------------------------------------------------------

void gl11_glMatrixMode(GLenum mode) {
    GL11_RECORD(gl11_glMatrixMode(mode));
    if (InBegin()) return;
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION && mode != GL_TEXTURE) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    g.s.matrixMode = mode;
}

void gl11_glPushMatrix(void) {
    GL11_RECORD(gl11_glPushMatrix());
    if (InBegin()) return;
    std::vector<Mat4>& st = CurrentStack();
    if (st.size() >= kMaxDepth[StackIndex(g.s.matrixMode)]) {
        SetError(GL_STACK_OVERFLOW);
        return;
    }
    st.push_back(st.back());
}

void gl11_glPopMatrix(void) {
    GL11_RECORD(gl11_glPopMatrix());
    if (InBegin()) return;
    std::vector<Mat4>& st = CurrentStack();
    if (st.size() <= 1) {
        SetError(GL_STACK_UNDERFLOW);
        return;
    }
    st.pop_back();
    MatrixChanged();
}

void gl11_glLoadIdentity(void) {
    GL11_RECORD(gl11_glLoadIdentity());
    if (!InBegin()) LoadTop(Identity());
}

void gl11_glLoadMatrixf(const GLfloat* m) {
    Mat4 a;
    std::memcpy(a.m, m, sizeof a.m);
    GL11_RECORD(gl11_glLoadMatrixf(a.m));
    if (!InBegin()) LoadTop(a);
}

void gl11_glMultMatrixf(const GLfloat* m) {
    Mat4 a;
    std::memcpy(a.m, m, sizeof a.m);
    GL11_RECORD(gl11_glMultMatrixf(a.m));
    if (!InBegin()) MultTop(a.m);
}

void gl11_glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    GL11_RECORD(gl11_glTranslatef(x, y, z));
    if (InBegin()) return;
    float* m = CurrentStack().back().m;
    for (int i = 0; i < 4; ++i) m[12 + i] = m[i] * x + m[4 + i] * y + m[8 + i] * z + m[12 + i];
    MatrixChanged();
}

void gl11_glScalef(GLfloat x, GLfloat y, GLfloat z) {
    GL11_RECORD(gl11_glScalef(x, y, z));
    if (InBegin()) return;
    float* m = CurrentStack().back().m;
    for (int i = 0; i < 4; ++i) m[i] *= x, m[4 + i] *= y, m[8 + i] *= z;
    MatrixChanged();
}

void gl11_glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    GL11_RECORD(gl11_glRotatef(angle, x, y, z));
    if (InBegin()) return;
    // As Mesa builds it: rotations about one axis exactly, others from the
    // normalised axis.
    const double pi = 3.14159265358979323846;  // M_PI, which strict C++ does not promise
    const float s = float(std::sin(angle * pi / 180.0)), c = float(std::cos(angle * pi / 180.0));
    Mat4 r = Identity();
    float* m = r.m;
#define M(row, col) m[(col)*4 + (row)]
    bool done = false;
    if (x == 0.0f && y == 0.0f && z != 0.0f) {
        M(0, 0) = c, M(1, 1) = c;
        M(0, 1) = z < 0 ? s : -s;
        M(1, 0) = z < 0 ? -s : s;
        done = true;
    } else if (x == 0.0f && z == 0.0f && y != 0.0f) {
        M(0, 0) = c, M(2, 2) = c;
        M(0, 2) = y < 0 ? -s : s;
        M(2, 0) = y < 0 ? s : -s;
        done = true;
    } else if (y == 0.0f && z == 0.0f && x != 0.0f) {
        M(1, 1) = c, M(2, 2) = c;
        M(1, 2) = x < 0 ? s : -s;
        M(2, 1) = x < 0 ? -s : s;
        done = true;
    }
    if (!done) {
        const float mag = std::sqrt(x * x + y * y + z * z);
        if (mag <= 1.0e-4f) return;
        x /= mag, y /= mag, z /= mag;
        const float xx = x * x, yy = y * y, zz = z * z, xy = x * y, yz = y * z, zx = z * x;
        const float xs = x * s, ys = y * s, zs = z * s, oneC = 1.0f - c;
        M(0, 0) = (oneC * xx) + c, M(0, 1) = (oneC * xy) - zs, M(0, 2) = (oneC * zx) + ys;
        M(1, 0) = (oneC * xy) + zs, M(1, 1) = (oneC * yy) + c, M(1, 2) = (oneC * yz) - xs;
        M(2, 0) = (oneC * zx) - ys, M(2, 1) = (oneC * yz) + xs, M(2, 2) = (oneC * zz) + c;
    }
#undef M
    MultTop(r.m);
}

void gl11_glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    GL11_RECORD(gl11_glOrtho(l, r, b, t, n, f));
    if (InBegin()) return;
    if (l == r || b == t || n == f) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    const float left = float(l), right = float(r), bottom = float(b), top = float(t), nearv = float(n),
                farv = float(f);
    Mat4 o = Identity();
    o.m[0] = 2.0f / (right - left);
    o.m[12] = -(right + left) / (right - left);
    o.m[5] = 2.0f / (top - bottom);
    o.m[13] = -(top + bottom) / (top - bottom);
    o.m[10] = -2.0f / (farv - nearv);
    o.m[14] = -(farv + nearv) / (farv - nearv);
    MultTop(o.m);
}

void gl11_glFrustum(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    GL11_RECORD(gl11_glFrustum(l, r, b, t, n, f));
    if (InBegin()) return;
    if (n <= 0 || f <= 0 || l == r || b == t || n == f) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    const float left = float(l), right = float(r), bottom = float(b), top = float(t), nearv = float(n),
                farv = float(f);
    Mat4 p{};
    p.m[0] = (2.0f * nearv) / (right - left);
    p.m[5] = (2.0f * nearv) / (top - bottom);
    p.m[8] = (right + left) / (right - left);
    p.m[9] = (top + bottom) / (top - bottom);
    p.m[10] = -(farv + nearv) / (farv - nearv);
    p.m[11] = -1.0f;
    p.m[14] = -(2.0f * farv * nearv) / (farv - nearv);
    MultTop(p.m);
}

void gl11_gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    // Mesa's GLU: in double, handed over as glMultMatrixd (floats).
    const double radians = fovy / 2 * 3.14159265358979323846 / 180;
    const double deltaZ = zFar - zNear, sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) return;
    const double cotangent = std::cos(radians) / sine;
    float m[16] = {};
    m[0] = float(cotangent / aspect);
    m[5] = float(cotangent);
    m[10] = float(-(zFar + zNear) / deltaZ);
    m[11] = -1.0f;
    m[14] = float(-2 * zNear * zFar / deltaZ);
    gl11_glMultMatrixf(m);
}

void gl11_gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
                    GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
    // Mesa's GLU: the axes in float.
    float forward[3] = {float(centerX - eyeX), float(centerY - eyeY), float(centerZ - eyeZ)};
    float up[3] = {float(upX), float(upY), float(upZ)};
    const auto normalize = [](float v[3]) {
        const float r = float(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
        if (r == 0.0f) return;
        v[0] /= r, v[1] /= r, v[2] /= r;
    };
    const auto cross = [](const float a[3], const float b[3], float out[3]) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    normalize(forward);
    float side[3];
    cross(forward, up, side);
    normalize(side);
    cross(side, forward, up);
    float m[16] = {side[0], up[0], -forward[0], 0, side[1], up[1], -forward[1], 0,
                   side[2], up[2], -forward[2], 0, 0,       0,     0,           1};
    gl11_glMultMatrixf(m);
    gl11_glTranslatef(float(-eyeX), float(-eyeY), float(-eyeZ));
}

// ---- lights and materials -----------------------------------------------

void gl11_glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    float p[4] = {params[0], 0, 0, 0};
    if (pname == GL_AMBIENT || pname == GL_DIFFUSE || pname == GL_SPECULAR || pname == GL_POSITION)
        std::memcpy(p, params, sizeof p);
    else if (pname == GL_SPOT_DIRECTION)
        std::memcpy(p, params, 3 * sizeof(float));
    GL11_RECORD(SetLight(light, pname, p));
    if (!InBegin()) SetLight(light, pname, p);
}

void gl11_glLightf(GLenum light, GLenum pname, GLfloat param) {
    const float p[4] = {param, 0, 0, 0};
    GL11_RECORD(SetLight(light, pname, p));
    if (!InBegin()) SetLight(light, pname, p);
}

void gl11_glLightModelfv(GLenum pname, const GLfloat* params) {
    float p[4] = {params[0], 0, 0, 0};
    if (pname == GL_LIGHT_MODEL_AMBIENT) std::memcpy(p, params, sizeof p);
    GL11_RECORD(gl11_glLightModelfv(pname, p));
    if (InBegin()) return;
    switch (pname) {
        case GL_LIGHT_MODEL_AMBIENT: Copy4(g.s.lightModelAmbient, p); break;
        case GL_LIGHT_MODEL_LOCAL_VIEWER: g.s.localViewer = p[0] != 0; break;
        case GL_LIGHT_MODEL_TWO_SIDE: g.s.twoSide = p[0] != 0; break;
        default: SetError(GL_INVALID_ENUM); return;
    }
    ++g.lightSerial;
}

void gl11_glLightModeli(GLenum pname, GLint param) {
    const float p[4] = {float(param), float(param), float(param), float(param)};
    gl11_glLightModelfv(pname, p);
}

void gl11_glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
    float p[4] = {params[0], 0, 0, 0};
    if (pname != GL_SHININESS) std::memcpy(p, params, sizeof p);
    GL11_RECORD(SetMaterial(face, pname, p));
    SetMaterial(face, pname, p);  // allowed between glBegin and glEnd
}

void gl11_glMaterialf(GLenum face, GLenum pname, GLfloat param) {
    if (pname != GL_SHININESS) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    gl11_glMaterialfv(face, pname, &param);
}

void gl11_glGetLightfv(GLenum light, GLenum pname, GLfloat* params) {
    const Light* l = LightFor(light);
    if (!l) return;
    switch (pname) {
        case GL_AMBIENT: Copy4(params, l->ambient); break;
        case GL_DIFFUSE: Copy4(params, l->diffuse); break;
        case GL_SPECULAR: Copy4(params, l->specular); break;
        case GL_POSITION: Copy4(params, l->position); break;
        case GL_SPOT_DIRECTION: std::memcpy(params, l->spotDirection, 3 * sizeof(float)); break;
        case GL_SPOT_EXPONENT: params[0] = l->spotExponent; break;
        case GL_SPOT_CUTOFF: params[0] = l->spotCutoff; break;
        case GL_CONSTANT_ATTENUATION: params[0] = l->attenuation[0]; break;
        case GL_LINEAR_ATTENUATION: params[0] = l->attenuation[1]; break;
        case GL_QUADRATIC_ATTENUATION: params[0] = l->attenuation[2]; break;
        default: SetError(GL_INVALID_ENUM); break;
    }
}

void gl11_glGetMaterialfv(GLenum face, GLenum pname, GLfloat* params) {
    if (face != GL_FRONT && face != GL_BACK) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    const Material& m = face == GL_FRONT ? g.s.front : g.s.back;
    switch (pname) {
        case GL_AMBIENT: Copy4(params, m.ambient); break;
        case GL_DIFFUSE: Copy4(params, m.diffuse); break;
        case GL_SPECULAR: Copy4(params, m.specular); break;
        case GL_EMISSION: Copy4(params, m.emission); break;
        case GL_SHININESS: params[0] = m.shininess; break;
        default: SetError(GL_INVALID_ENUM); break;
    }
}

// ---- rasterisation state -------------------------------------------------

void gl11_glShadeModel(GLenum mode) {
    GL11_RECORD(gl11_glShadeModel(mode));
    if (InBegin()) return;
    if (mode != GL_FLAT && mode != GL_SMOOTH) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    g.s.shadeModel = mode;
}

void gl11_glPolygonMode(GLenum face, GLenum mode) {
    GL11_RECORD(gl11_glPolygonMode(face, mode));
    if (InBegin()) return;
    if ((face != GL_FRONT && face != GL_BACK && face != GL_FRONT_AND_BACK) ||
        (mode != GL_POINT && mode != GL_LINE && mode != GL_FILL)) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    if (face != GL_BACK) g.s.polygonMode[0] = mode;
    if (face != GL_FRONT) g.s.polygonMode[1] = mode;
}

void gl11_glLineWidth(GLfloat width) {
    GL11_RECORD(gl11_glLineWidth(width));
    if (InBegin()) return;
    if (width <= 0) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    g.s.lineWidth = width;
}

void gl11_glPointSize(GLfloat size) {
    GL11_RECORD(gl11_glPointSize(size));
    if (InBegin()) return;
    if (size <= 0) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    g.s.pointSize = size;
}

void gl11_glCullFace(GLenum mode) {
    GL11_RECORD(gl11_glCullFace(mode));
    if (InBegin()) return;
    g.s.cullFaceMode = mode;
    es.CullFace(mode);
}

void gl11_glFrontFace(GLenum mode) {
    GL11_RECORD(gl11_glFrontFace(mode));
    if (InBegin()) return;
    g.s.frontFace = mode;
    es.FrontFace(mode);
}

void gl11_glBlendFunc(GLenum sfactor, GLenum dfactor) {
    GL11_RECORD(gl11_glBlendFunc(sfactor, dfactor));
    if (InBegin()) return;
    g.s.blendSrc = sfactor, g.s.blendDst = dfactor;
    es.BlendFunc(sfactor, dfactor);
}

void gl11_glDepthFunc(GLenum func) {
    GL11_RECORD(gl11_glDepthFunc(func));
    if (InBegin()) return;
    if (func < GL_NEVER || func > GL_ALWAYS) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    g.s.depthFunc = func;
    es.DepthFunc(func);
}

void gl11_glDepthMask(GLboolean flag) {
    GL11_RECORD(gl11_glDepthMask(flag));
    if (InBegin()) return;
    g.s.depthMask = flag != 0;
    es.DepthMask(flag);
}

void gl11_glColorMask(GLboolean r, GLboolean gr, GLboolean b, GLboolean a) {
    GL11_RECORD(gl11_glColorMask(r, gr, b, a));
    if (InBegin()) return;
    g.s.colourMask[0] = r, g.s.colourMask[1] = gr, g.s.colourMask[2] = b, g.s.colourMask[3] = a;
    es.ColorMask(r, gr, b, a);
}

void gl11_glScissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    GL11_RECORD(gl11_glScissor(x, y, width, height));
    if (InBegin()) return;
    if (width < 0 || height < 0) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    g.s.scissor[0] = x, g.s.scissor[1] = y, g.s.scissor[2] = width, g.s.scissor[3] = height;
    es.Scissor(x, y, width, height);
}

void gl11_glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    GL11_RECORD(gl11_glViewport(x, y, width, height));
    if (InBegin()) return;
    if (width < 0 || height < 0) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    g.s.viewport[0] = x, g.s.viewport[1] = y, g.s.viewport[2] = width, g.s.viewport[3] = height;
    es.Viewport(x, y, width, height);
    MatrixChanged();
}

void gl11_glHint(GLenum, GLenum) {}

void gl11_glClearColor(GLclampf r, GLclampf gr, GLclampf b, GLclampf a) {
    GL11_RECORD(gl11_glClearColor(r, gr, b, a));
    if (InBegin()) return;
    const auto clamp = [](float v) { return v < 0 ? 0.0f : (v > 1 ? 1.0f : v); };
    g.s.clearColour[0] = clamp(r), g.s.clearColour[1] = clamp(gr), g.s.clearColour[2] = clamp(b),
    g.s.clearColour[3] = clamp(a);
    es.ClearColor(g.s.clearColour[0], g.s.clearColour[1], g.s.clearColour[2], g.s.clearColour[3]);
}

void gl11_glClearDepth(GLclampd depth) {
    GL11_RECORD(gl11_glClearDepth(depth));
    if (InBegin()) return;
    g.s.clearDepth = depth < 0 ? 0 : (depth > 1 ? 1 : depth);
    es.ClearDepthf(float(g.s.clearDepth));
}

void gl11_glClear(GLbitfield mask) {
    GL11_RECORD(gl11_glClear(mask));
    if (InBegin()) return;
    es.Clear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | 0x400 /* stencil */));
    if (mask & GL_COLOR_BUFFER_BIT) PixelsChanged();
}

void gl11_glFlush(void) { es.Flush(); }
void gl11_glFinish(void) { es.Finish(); }

// ---- texture generation and environment ----------------------------------

void gl11_glTexGeni(GLenum coord, GLenum pname, GLint param) {
    GL11_RECORD(TexGen(coord, pname, param));
    if (!InBegin()) TexGen(coord, pname, param);
}

void gl11_glTexGeniv(GLenum coord, GLenum pname, const GLint* params) { gl11_glTexGeni(coord, pname, params[0]); }

void gl11_glGetTexGeniv(GLenum coord, GLenum pname, GLint* params) {
    if (coord < GL_S || coord > GL_Q || pname != GL_TEXTURE_GEN_MODE) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    params[0] = GLint(g.s.texGenMode[coord - GL_S]);
}

void gl11_glTexEnvi(GLenum target, GLenum pname, GLint param) {
    GL11_RECORD(gl11_glTexEnvi(target, pname, param));
    if (InBegin()) return;
    if (target != GL_TEXTURE_ENV || pname != GL_TEXTURE_ENV_MODE) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    g.s.texEnvMode = GLenum(param);
}

void gl11_glGetTexEnviv(GLenum target, GLenum pname, GLint* params) {
    if (target != GL_TEXTURE_ENV || pname != GL_TEXTURE_ENV_MODE) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    params[0] = GLint(g.s.texEnvMode);
}

// ---- textures ------------------------------------------------------------

void gl11_glGenTextures(GLsizei n, GLuint* textures) {
    if (InBegin()) return;
    if (n < 0) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    for (GLsizei i = 0; i < n; ++i) {
        while (g.textures.count(g.nextTexture) || g.nextTexture == 0) ++g.nextTexture;
        textures[i] = g.nextTexture++;
    }
}

void gl11_glDeleteTextures(GLsizei n, const GLuint* textures) {
    if (InBegin()) return;
    for (GLsizei i = 0; i < n; ++i) {
        const GLuint name = textures[i];
        auto it = g.textures.find(name);
        if (name == 0 || it == g.textures.end()) continue;
        if (it->second.es) es.DeleteTextures(1, &it->second.es);
        g.textures.erase(it);
        if (g.s.boundTexture == name) BindTexture(0);
    }
}

void gl11_glBindTexture(GLenum target, GLuint texture) {
    GL11_RECORD(gl11_glBindTexture(target, texture));
    if (InBegin()) return;
    if (target != GL_TEXTURE_2D) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    BindTexture(texture);
}

GLboolean gl11_glIsTexture(GLuint texture) { return texture != 0 && g.textures.count(texture) ? GL_TRUE : GL_FALSE; }

void gl11_glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,
                       GLenum format, GLenum type, const GLvoid* pixels) {
    if (InBegin()) return;
    if (target != GL_TEXTURE_2D) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    TexImage(level, internalformat, width, height, border, format, type, pixels);
}

void gl11_glTexParameteri(GLenum target, GLenum pname, GLint param) {
    GL11_RECORD(gl11_glTexParameteri(target, pname, param));
    if (InBegin()) return;
    if (target != GL_TEXTURE_2D) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    TexParameter(pname, param);
}

void gl11_glGetTexParameteriv(GLenum target, GLenum pname, GLint* params) {
    if (target != GL_TEXTURE_2D) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    const Texture* t = BoundTexture();
    switch (pname) {
        case GL_TEXTURE_MIN_FILTER: params[0] = GLint(t->minFilter); break;
        case GL_TEXTURE_MAG_FILTER: params[0] = GLint(t->magFilter); break;
        case GL_TEXTURE_WRAP_S: params[0] = GLint(t->wrapS); break;
        case GL_TEXTURE_WRAP_T: params[0] = GLint(t->wrapT); break;
        default: SetError(GL_INVALID_ENUM); break;
    }
}

void gl11_glGetTexLevelParameteriv(GLenum target, GLint level, GLenum pname, GLint* params) {
    if (target != GL_TEXTURE_2D) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    const Texture* t = BoundTexture();
    const bool kept = level == 0;
    switch (pname) {
        case GL_TEXTURE_WIDTH: params[0] = kept ? t->width : 0; break;
        case GL_TEXTURE_HEIGHT: params[0] = kept ? t->height : 0; break;
        case GL_TEXTURE_INTERNAL_FORMAT: params[0] = kept ? t->internalFormat : 1; break;
        case GL_TEXTURE_BORDER: params[0] = 0; break;
        default: SetError(GL_INVALID_ENUM); break;
    }
}

void gl11_glGetTexImage(GLenum target, GLint level, GLenum format, GLenum type, GLvoid* pixels) {
    const int comps = Components(format);
    if (target != GL_TEXTURE_2D || comps == 0 || type != GL_UNSIGNED_BYTE) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    const Texture* t = BoundTexture();
    if (level != 0 || t->texels.empty()) return;
    const GLenum kept = EsFormat(t->components);
    const GLint rowLength = g.c.packRowLength > 0 ? g.c.packRowLength : t->width;
    const size_t stride = RowStride(size_t(rowLength) * comps, g.c.packAlignment);
    uint8_t* out = static_cast<uint8_t*>(pixels);
    for (GLint y = 0; y < t->height; ++y) {
        for (GLint x = 0; x < t->width; ++x) {
            uint8_t rgba[4];
            ToRgba(&t->texels[(size_t(y) * t->width + x) * t->components], kept, rgba);
            uint8_t* p = out + stride * y + size_t(x) * comps;
            switch (format) {
                case GL_RGB: std::memcpy(p, rgba, 3); break;
                case GL_RGBA: std::memcpy(p, rgba, 4); break;
                case GL_LUMINANCE: p[0] = rgba[0]; break;
                case GL_LUMINANCE_ALPHA: p[0] = rgba[0], p[1] = rgba[3]; break;
                default: p[0] = rgba[3]; break;
            }
        }
    }
}

// ---- pixels --------------------------------------------------------------

void gl11_glPixelStorei(GLenum pname, GLint param) {
    if (InBegin()) return;
    const bool alignment = pname == GL_PACK_ALIGNMENT || pname == GL_UNPACK_ALIGNMENT;
    if (alignment && param != 1 && param != 2 && param != 4 && param != 8) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    switch (pname) {
        case GL_PACK_ALIGNMENT: g.c.packAlignment = param; break;
        case GL_UNPACK_ALIGNMENT: g.c.unpackAlignment = param; break;
        case GL_PACK_ROW_LENGTH: g.c.packRowLength = param; break;
        case GL_UNPACK_ROW_LENGTH: g.c.unpackRowLength = param; break;
        default: SetError(GL_INVALID_ENUM); break;
    }
}

void gl11_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                       GLvoid* pixels) {
    if (InBegin()) return;
    if (width < 0 || height < 0) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    if ((format != GL_RGB && format != GL_RGBA) || type != GL_UNSIGNED_BYTE) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    const int comps = format == GL_RGB ? 3 : 4;
    const GLint rowLength = g.c.packRowLength > 0 ? g.c.packRowLength : width;
    const size_t stride = RowStride(size_t(rowLength) * comps, g.c.packAlignment);
    uint8_t* out = static_cast<uint8_t*>(pixels);
    if (comps == 4 && stride == size_t(width) * 4) {
        es.ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out);
        return;
    }
    // ES reads RGBA only (for certain): rows repacked here.
    static std::vector<uint8_t> rgba;
    rgba.resize(size_t(width) * height * 4);
    es.ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (GLsizei row = 0; row < height; ++row) {
        const uint8_t* src = &rgba[size_t(row) * width * 4];
        uint8_t* dst = out + stride * row;
        if (comps == 4) {
            std::memcpy(dst, src, size_t(width) * 4);
            continue;
        }
        for (GLsizei i = 0; i < width; ++i, src += 4, dst += 3) dst[0] = src[0], dst[1] = src[1], dst[2] = src[2];
    }
}

// ---- queries -------------------------------------------------------------

void gl11_glGetIntegerv(GLenum pname, GLint* params) {
    double v[16];
    int n = 0;
    if (!Query(pname, v, &n)) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    const bool colour = IsColourQuery(pname);
    for (int i = 0; i < n; ++i) {
        if (colour)
            params[i] = GLint(std::lround(v[i] * 2147483647.0));
        else
            params[i] = GLint(std::lround(v[i]));
    }
}

void gl11_glGetFloatv(GLenum pname, GLfloat* params) {
    double v[16];
    int n = 0;
    if (!Query(pname, v, &n)) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    for (int i = 0; i < n; ++i) params[i] = float(v[i]);
}

void gl11_glGetDoublev(GLenum pname, GLdouble* params) {
    double v[16];
    int n = 0;
    if (!Query(pname, v, &n)) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    for (int i = 0; i < n; ++i) params[i] = v[i];
}

void gl11_glGetBooleanv(GLenum pname, GLboolean* params) {
    double v[16];
    int n = 0;
    if (!Query(pname, v, &n)) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    for (int i = 0; i < n; ++i) params[i] = v[i] != 0 ? GL_TRUE : GL_FALSE;
}

const GLubyte* gl11_glGetString(GLenum name) {
    const std::string* s = nullptr;
    static const std::string none;
    switch (name) {
        case GL_VENDOR: s = &g.vendor; break;
        case GL_RENDERER: s = &g.renderer; break;
        case GL_VERSION: s = &g.version; break;
        case GL_EXTENSIONS: s = &none; break;
        default: SetError(GL_INVALID_ENUM); return nullptr;
    }
    return reinterpret_cast<const GLubyte*>(s->c_str());
}

// ---- attribute stacks ----------------------------------------------------

void gl11_glPushAttrib(GLbitfield mask) {
    GL11_RECORD(gl11_glPushAttrib(mask));
    if (InBegin()) return;
    if (g.attribStack.size() >= kMaxAttribDepth) {
        SetError(GL_STACK_OVERFLOW);
        return;
    }
    g.attribStack.push_back(g.s);
}

void gl11_glPopAttrib(void) {
    GL11_RECORD(gl11_glPopAttrib());
    if (InBegin()) return;
    if (g.attribStack.empty()) {
        SetError(GL_STACK_UNDERFLOW);
        return;
    }
    // The matrix mode comes back with the rest; the matrices themselves are
    // not part of the attributes.
    g.s = g.attribStack.back();
    g.attribStack.pop_back();
    ++g.lightSerial;
    MatrixChanged();
    SyncDriver();
}

void gl11_glPushClientAttrib(GLbitfield) {
    if (InBegin()) return;
    if (g.clientAttribStack.size() >= kMaxAttribDepth) {
        SetError(GL_STACK_OVERFLOW);
        return;
    }
    g.clientAttribStack.push_back(g.c);
}

void gl11_glPopClientAttrib(void) {
    if (InBegin()) return;
    if (g.clientAttribStack.empty()) {
        SetError(GL_STACK_UNDERFLOW);
        return;
    }
    g.c = g.clientAttribStack.back();
    g.clientAttribStack.pop_back();
}

// ---- display lists -------------------------------------------------------

GLuint gl11_glGenLists(GLsizei range) {
    if (InBegin()) return 0;
    if (range < 0) {
        SetError(GL_INVALID_VALUE);
        return 0;
    }
    if (range == 0) return 0;
    // The first run of `range` free names.
    GLuint first = 1;
    for (;;) {
        GLsizei free = 0;
        while (free < range && !g.lists.count(first + GLuint(free))) ++free;
        if (free == range) break;
        first += GLuint(free) + 1;
    }
    for (GLsizei i = 0; i < range; ++i) g.lists[first + GLuint(i)] = std::make_unique<DisplayList>();
    return first;
}

void gl11_glNewList(GLuint list, GLenum mode) {
    if (InBegin()) return;
    if (list == 0) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    if (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    if (g.compiling) {
        SetError(GL_INVALID_OPERATION);
        return;
    }
    g.compiling = std::make_unique<DisplayList>();
    g.compilingName = list;
    g.compilingMode = mode;
    for (bool& set : g.listSet) set = false;
}

void gl11_glEndList(void) {
    if (InBegin()) return;
    if (!g.compiling) {
        SetError(GL_INVALID_OPERATION);
        return;
    }
    FinishList(g.compiling.get());
    std::unique_ptr<DisplayList>& slot = g.lists[g.compilingName];
    if (slot) FreeList(slot.get());
    slot = std::move(g.compiling);
    const GLuint name = g.compilingName;
    const bool execute = g.compilingMode == GL_COMPILE_AND_EXECUTE;
    g.compilingName = 0;
    g.compilingMode = 0;
    if (execute) CallList(name);
}

void gl11_glCallList(GLuint list) {
    GL11_RECORD(CallList(list));
    CallList(list);
}

void gl11_glDeleteLists(GLuint list, GLsizei range) {
    if (InBegin()) return;
    if (range < 0) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    for (GLsizei i = 0; i < range; ++i) {
        auto it = g.lists.find(list + GLuint(i));
        if (it == g.lists.end()) continue;
        if (it->second) FreeList(it->second.get());
        g.lists.erase(it);
    }
}

GLboolean gl11_glIsList(GLuint list) { return g.lists.count(list) ? GL_TRUE : GL_FALSE; }

// ---- the platform's entry points past 1.1, passed through ----------------

void gl11_glGenFramebuffers(GLsizei n, GLuint* f) { es.GenFramebuffers(n, f); }
void gl11_glDeleteFramebuffers(GLsizei n, const GLuint* f) {
    es.DeleteFramebuffers(n, f);
    FramebufferChanged();
}
void gl11_glBindFramebuffer(GLenum t, GLuint f) {
    es.BindFramebuffer(t, f);
    FramebufferBound(t, f);
}
void gl11_glFramebufferRenderbuffer(GLenum t, GLenum a, GLenum rt, GLuint r) {
    es.FramebufferRenderbuffer(t, a, rt, r);
    FramebufferChanged();
}
GLenum gl11_glCheckFramebufferStatus(GLenum t) { return es.CheckFramebufferStatus(t); }
void gl11_glBlitFramebuffer(GLint a, GLint b, GLint c, GLint d, GLint e, GLint f, GLint gg, GLint h, GLbitfield m,
                            GLenum fi) {
    es.BlitFramebuffer(a, b, c, d, e, f, gg, h, m, fi);
    PixelsChanged();
}
void gl11_glGenRenderbuffers(GLsizei n, GLuint* r) { es.GenRenderbuffers(n, r); }
void gl11_glDeleteRenderbuffers(GLsizei n, const GLuint* r) { es.DeleteRenderbuffers(n, r); }
void gl11_glBindRenderbuffer(GLenum t, GLuint r) { es.BindRenderbuffer(t, r); }
void gl11_glRenderbufferStorage(GLenum t, GLenum f, GLsizei w, GLsizei h) {
    es.RenderbufferStorage(t, f, w, h);
    FramebufferChanged();
}
void gl11_glClearBufferfv(GLenum b, GLint d, const GLfloat* v) {
    es.ClearBufferfv(b, d, v);
    PixelsChanged();
}

}  // extern "C"
