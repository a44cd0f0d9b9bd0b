// query.cpp -- glGet*, glIsEnabled and glGetString, answered from the
// layer's own copy of the state and never from the driver (a query that
// reaches a browser's GL can wait for its GPU process). glGetError is in
// context.cpp, with the driver's errors.
#include "context.h"

#include <cmath>

namespace gl11 {
namespace {

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
        case GL_MAX_MODELVIEW_STACK_DEPTH: v[0] = double(MaxStackDepth(0)); return true;
        case GL_MAX_PROJECTION_STACK_DEPTH: v[0] = double(MaxStackDepth(1)); return true;
        case GL_MAX_TEXTURE_STACK_DEPTH: v[0] = double(MaxStackDepth(2)); return true;
        case GL_MAX_ATTRIB_STACK_DEPTH: v[0] = double(kMaxAttribDepth); return true;
        case GL_MAX_CLIENT_ATTRIB_STACK_DEPTH: v[0] = double(kMaxAttribDepth); return true;
        case GL_MAX_LIST_NESTING: v[0] = 64; return true;
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
        case GL_FOG_MODE: v[0] = s.fogMode; return true;
        case GL_FOG_DENSITY: v[0] = s.fogDensity; return true;
        case GL_FOG_START: v[0] = s.fogStart; return true;
        case GL_FOG_END: v[0] = s.fogEnd; return true;
        case GL_FOG_COLOR: return many(s.fogColour, 4);
        case GL_ALPHA_TEST_FUNC: v[0] = s.alphaFunc; return true;
        case GL_ALPHA_TEST_REF: v[0] = s.alphaRef; return true;
        case GL_COLOR_MATERIAL_FACE: v[0] = s.colourMaterialFace; return true;
        case GL_COLOR_MATERIAL_PARAMETER: v[0] = s.colourMaterialMode; return true;
        case GL_PERSPECTIVE_CORRECTION_HINT: case GL_POINT_SMOOTH_HINT: case GL_LINE_SMOOTH_HINT:
        case GL_POLYGON_SMOOTH_HINT: v[0] = s.hints[pname - GL_PERSPECTIVE_CORRECTION_HINT]; return true;
        case GL_LIST_INDEX: v[0] = g.compilingName; return true;
        case GL_LIST_MODE: v[0] = g.compilingMode; return true;
        case GL_DOUBLEBUFFER: v[0] = 1; return true;
        case GL_VERTEX_ARRAY: v[0] = c.vertex.enabled; return true;
        case GL_NORMAL_ARRAY: v[0] = c.normal.enabled; return true;
        case GL_COLOR_ARRAY: v[0] = c.colour.enabled; return true;
        case GL_TEXTURE_COORD_ARRAY: v[0] = c.tex.enabled; return true;
        default: break;
    }
    if (const bool* on = Capability(pname)) {
        v[0] = *on;
        return true;
    }
    return false;
}

// GL's mapping of colours to integers.
bool IsColourQuery(GLenum pname) {
    return pname == GL_COLOR_CLEAR_VALUE || pname == GL_CURRENT_COLOR || pname == GL_LIGHT_MODEL_AMBIENT ||
           pname == GL_FOG_COLOR || pname == GL_ALPHA_TEST_REF;
}

bool IsArray(GLenum cap) {
    return cap == GL_VERTEX_ARRAY || cap == GL_NORMAL_ARRAY || cap == GL_COLOR_ARRAY || cap == GL_TEXTURE_COORD_ARRAY;
}

}  // namespace
}  // namespace gl11

using namespace gl11;

extern "C" {

GLboolean gl11_glIsEnabled(GLenum cap) {
    if (!Usable() || InBegin()) return GL_FALSE;
    if (const bool* on = Capability(cap)) return *on;
    double v[16];
    int n = 0;
    if (IsArray(cap) && Query(cap, v, &n)) return v[0] != 0;
    if (UnsupportedCapability(cap)) return GL_FALSE;  // known to GL, never on in the layer
    SetError(GL_INVALID_ENUM);
    return GL_FALSE;
}

void gl11_glGetIntegerv(GLenum pname, GLint* params) {
    if (!Usable() || InBegin()) return;
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
    if (!Usable() || InBegin()) return;
    double v[16];
    int n = 0;
    if (!Query(pname, v, &n)) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    for (int i = 0; i < n; ++i) params[i] = float(v[i]);
}

void gl11_glGetDoublev(GLenum pname, GLdouble* params) {
    if (!Usable() || InBegin()) return;
    double v[16];
    int n = 0;
    if (!Query(pname, v, &n)) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    for (int i = 0; i < n; ++i) params[i] = v[i];
}

void gl11_glGetBooleanv(GLenum pname, GLboolean* params) {
    if (!Usable() || InBegin()) return;
    double v[16];
    int n = 0;
    if (!Query(pname, v, &n)) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    for (int i = 0; i < n; ++i) params[i] = v[i] != 0 ? GL_TRUE : GL_FALSE;
}

const GLubyte* gl11_glGetString(GLenum name) {
    if (!Usable() || InBegin()) return nullptr;
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

}  // extern "C"
