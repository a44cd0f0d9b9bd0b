// raster.cpp -- capabilities (glEnable / glDisable), rasterisation and
// fragment state: polygon mode, culling, line width, point size, viewport,
// scissor, depth, blend function, alpha test, fog, colour mask, hints,
// clears, and pixel transfers (glPixelStorei, glReadPixels).
#include "context.h"

#include <cmath>
#include <cstring>

namespace gl11 {
namespace {

bool DriverKeeps(GLenum cap) {
    return cap == GL_BLEND || cap == GL_DEPTH_TEST || cap == GL_SCISSOR_TEST || cap == GL_CULL_FACE ||
           cap == GL_DITHER || cap == GL_POLYGON_OFFSET_FILL;
}

bool ValidBlendFactor(GLenum f, bool source) {
    switch (f) {
        case GL_ZERO: case GL_ONE: case GL_SRC_COLOR: case GL_ONE_MINUS_SRC_COLOR: case GL_DST_COLOR:
        case GL_ONE_MINUS_DST_COLOR: case GL_SRC_ALPHA: case GL_ONE_MINUS_SRC_ALPHA: case GL_DST_ALPHA:
        case GL_ONE_MINUS_DST_ALPHA: return true;
        case GL_SRC_ALPHA_SATURATE: return source;
        default: return false;
    }
}

float Clamp01(float v) { return v < 0 ? 0.0f : (v > 1 ? 1.0f : v); }

void Fog(GLenum pname, const float* v) {
    ServerState& s = g.s;
    switch (pname) {
        case GL_FOG_MODE: {
            const GLenum mode = GLenum(v[0]);
            if (mode != GL_LINEAR && mode != GL_EXP && mode != GL_EXP2) return SetError(GL_INVALID_ENUM);
            s.fogMode = mode;
            break;
        }
        case GL_FOG_DENSITY:
            if (v[0] < 0) return SetError(GL_INVALID_VALUE);
            s.fogDensity = v[0];
            break;
        case GL_FOG_START: s.fogStart = v[0]; break;
        case GL_FOG_END: s.fogEnd = v[0]; break;
        case GL_FOG_INDEX: break;  // colour-index mode only
        case GL_FOG_COLOR:
            for (int i = 0; i < 4; ++i) s.fogColour[i] = Clamp01(v[i]);
            break;
        default: return SetError(GL_INVALID_ENUM);
    }
    ++g.shadeSerial;
}

void FogCall(GLenum pname, const float* params, bool vector) {
    if (!Usable()) return;
    if (!vector && pname == GL_FOG_COLOR) return SetError(GL_INVALID_ENUM);
    float v[4] = {params[0], 0, 0, 0};
    if (pname == GL_FOG_COLOR) CopyN(v, params, 4);
    GL11_RECORD(Fog(pname, v));
    if (InBegin()) return;
    Fog(pname, v);
}

// Source rows of a pixel transfer: `row` bytes of data, aligned.
size_t RowStride(size_t rowBytes, GLint alignment) {
    const size_t a = size_t(alignment > 0 ? alignment : 1);
    return (rowBytes + a - 1) / a * a;
}

}  // namespace

float LineWidthPixels() {
    // GL rounds the width of a line that is not antialiased to whole
    // pixels, halves away from zero as Mesa does.
    const float pixels = std::floor(g.s.lineWidth + 0.5f);
    return pixels < 1.0f ? 1.0f : pixels;
}

bool EmulatedWideLines() { return LineWidthPixels() > 1.0f && (g.emulateLines || LineWidthPixels() > g.maxLineWidth); }

void SyncLineWidth() { es.LineWidth(EmulatedWideLines() ? 1.0f : g.s.lineWidth); }

float PointSizePixels() {
    // GL rounds the size of a point to whole pixels, a half down as Mesa.
    const float pixels = std::ceil(g.s.pointSize - 0.5f);
    return pixels < 1.0f ? 1.0f : pixels;
}

void PointViewport(GLint out[4]) {
    // The shader draws a square a pixel larger than GL's (shader_source.cpp).
    const GLint pad = GLint(PointSizePixels()) / 2 + 2;
    const GLint* vp = g.s.viewport;
    out[0] = vp[0] - pad, out[1] = vp[1] - pad, out[2] = vp[2] + 2 * pad, out[3] = vp[3] + 2 * pad;
}

// Capabilities GL 1.1 has that the layer does not draw: glIsEnabled answers
// false for them, glEnable refuses them with GL_INVALID_ENUM.
bool UnsupportedCapability(GLenum cap) {
    switch (cap) {
        case 0x0B10:  // GL_POINT_SMOOTH
        case 0x0B20:  // GL_LINE_SMOOTH
        case GL_LINE_STIPPLE:
        case 0x0B41:  // GL_POLYGON_SMOOTH
        case 0x0B42:  // GL_POLYGON_STIPPLE
        case 0x0B90:  // GL_STENCIL_TEST
        case 0x0BF1:  // GL_INDEX_LOGIC_OP
        case 0x0BF2:  // GL_COLOR_LOGIC_OP
        case 0x0D80:  // GL_AUTO_NORMAL
        case 0x2A01:  // GL_POLYGON_OFFSET_POINT
        case 0x2A02:  // GL_POLYGON_OFFSET_LINE
            return true;
        default:
            return (cap >= 0x3000 && cap <= 0x3005)      // GL_CLIP_PLANE0-5
                   || (cap >= 0x0D90 && cap <= 0x0D98)   // GL_MAP1_*
                   || (cap >= 0x0DB0 && cap <= 0x0DB8);  // GL_MAP2_*
    }
}

bool* Capability(GLenum cap) {
    ServerState& s = g.s;
    if (cap >= GL_LIGHT0 && cap <= GL_LIGHT7) return &s.lightOn[cap - GL_LIGHT0];
    if (cap >= GL_TEXTURE_GEN_S && cap <= GL_TEXTURE_GEN_Q) return &s.texGenOn[cap - GL_TEXTURE_GEN_S];
    switch (cap) {
        case GL_LIGHTING: return &s.lighting;
        case GL_TEXTURE_2D: return &s.texture2D;
        case GL_TEXTURE_1D: return &s.texture1D;  // no 1D image can be given: never complete
        case GL_NORMALIZE: return &s.normalize;
        case GL_COLOR_MATERIAL: return &s.colourMaterial;
        case GL_FOG: return &s.fog;
        case GL_ALPHA_TEST: return &s.alphaTest;
        case GL_BLEND: return &s.blend;
        case GL_DEPTH_TEST: return &s.depthTest;
        case GL_SCISSOR_TEST: return &s.scissorTest;
        case GL_CULL_FACE: return &s.cullFace;
        case GL_DITHER: return &s.dither;
        case GL_POLYGON_OFFSET_FILL: return &s.polygonOffsetFill;
        default: return nullptr;
    }
}

void SetCapability(GLenum cap, bool on) {
    bool* kept = Capability(cap);
    if (!kept) return SetError(GL_INVALID_ENUM);
    if (*kept == on) return;
    *kept = on;
    if (DriverKeeps(cap)) on ? es.Enable(cap) : es.Disable(cap);
    // Which lights are on is in the lights' uniforms; the rest of what an
    // enable changes is in the program's key.
    if (cap >= GL_LIGHT0 && cap <= GL_LIGHT7) ++g.lightSerial;
    if (cap == GL_COLOR_MATERIAL) ColourMaterialTrack();
}

}  // namespace gl11

using namespace gl11;

extern "C" {

void gl11_glEnable(GLenum cap) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glEnable(cap));
    if (InBegin()) return;
    if (UnsupportedCapability(cap)) return SetError(GL_INVALID_ENUM);
    SetCapability(cap, true);
}

void gl11_glDisable(GLenum cap) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glDisable(cap));
    if (InBegin()) return;
    if (UnsupportedCapability(cap)) return;  // off already
    SetCapability(cap, false);
}

void gl11_glPolygonMode(GLenum face, GLenum mode) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glPolygonMode(face, mode));
    if (InBegin()) return;
    if ((face != GL_FRONT && face != GL_BACK && face != GL_FRONT_AND_BACK) ||
        (mode != GL_POINT && mode != GL_LINE && mode != GL_FILL))
        return SetError(GL_INVALID_ENUM);
    if (face != GL_BACK) g.s.polygonMode[0] = mode;
    if (face != GL_FRONT) g.s.polygonMode[1] = mode;
}

void gl11_glLineWidth(GLfloat width) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glLineWidth(width));
    if (InBegin()) return;
    if (!(width > 0)) return SetError(GL_INVALID_VALUE);
    g.s.lineWidth = width;
    SyncLineWidth();
}

void gl11_glPointSize(GLfloat size) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glPointSize(size));
    if (InBegin()) return;
    if (!(size > 0)) return SetError(GL_INVALID_VALUE);
    g.s.pointSize = size;
}

void gl11_glCullFace(GLenum mode) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glCullFace(mode));
    if (InBegin()) return;
    if (mode != GL_FRONT && mode != GL_BACK && mode != GL_FRONT_AND_BACK) return SetError(GL_INVALID_ENUM);
    if (g.s.cullFaceMode == mode) return;
    g.s.cullFaceMode = mode;
    es.CullFace(mode);
}

void gl11_glFrontFace(GLenum mode) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glFrontFace(mode));
    if (InBegin()) return;
    if (mode != GL_CW && mode != GL_CCW) return SetError(GL_INVALID_ENUM);
    if (g.s.frontFace == mode) return;
    g.s.frontFace = mode;
    es.FrontFace(mode);
}

void gl11_glBlendFunc(GLenum sfactor, GLenum dfactor) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glBlendFunc(sfactor, dfactor));
    if (InBegin()) return;
    if (!ValidBlendFactor(sfactor, true) || !ValidBlendFactor(dfactor, false)) return SetError(GL_INVALID_ENUM);
    if (g.s.blendSrc == sfactor && g.s.blendDst == dfactor) return;
    g.s.blendSrc = sfactor, g.s.blendDst = dfactor;
    es.BlendFunc(sfactor, dfactor);
}

void gl11_glAlphaFunc(GLenum func, GLclampf ref) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glAlphaFunc(func, ref));
    if (InBegin()) return;
    if (func < GL_NEVER || func > GL_ALWAYS) return SetError(GL_INVALID_ENUM);
    g.s.alphaFunc = func;
    g.s.alphaRef = Clamp01(ref);
    ++g.shadeSerial;
}

void gl11_glDepthFunc(GLenum func) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glDepthFunc(func));
    if (InBegin()) return;
    if (func < GL_NEVER || func > GL_ALWAYS) return SetError(GL_INVALID_ENUM);
    if (g.s.depthFunc == func) return;
    g.s.depthFunc = func;
    es.DepthFunc(func);
}

void gl11_glDepthMask(GLboolean flag) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glDepthMask(flag));
    if (InBegin()) return;
    if (g.s.depthMask == (flag != 0)) return;
    g.s.depthMask = flag != 0;
    es.DepthMask(flag);
}

void gl11_glColorMask(GLboolean r, GLboolean gr, GLboolean b, GLboolean a) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glColorMask(r, gr, b, a));
    if (InBegin()) return;
    g.s.colourMask[0] = r, g.s.colourMask[1] = gr, g.s.colourMask[2] = b, g.s.colourMask[3] = a;
    es.ColorMask(r, gr, b, a);
}

void gl11_glScissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glScissor(x, y, width, height));
    if (InBegin()) return;
    if (width < 0 || height < 0) return SetError(GL_INVALID_VALUE);
    g.s.scissor[0] = x, g.s.scissor[1] = y, g.s.scissor[2] = width, g.s.scissor[3] = height;
    es.Scissor(x, y, width, height);
}

void gl11_glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glViewport(x, y, width, height));
    if (InBegin()) return;
    if (width < 0 || height < 0) return SetError(GL_INVALID_VALUE);
    g.s.viewport[0] = x, g.s.viewport[1] = y, g.s.viewport[2] = width, g.s.viewport[3] = height;
    es.Viewport(x, y, width, height);
    MatrixChanged();
}

void gl11_glHint(GLenum target, GLenum mode) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glHint(target, mode));
    if (InBegin()) return;
    const int i = target >= GL_PERSPECTIVE_CORRECTION_HINT && target <= GL_FOG_HINT ? int(target - GL_PERSPECTIVE_CORRECTION_HINT) : -1;
    if (i < 0 || (mode != GL_DONT_CARE && mode != GL_FASTEST && mode != GL_NICEST)) return SetError(GL_INVALID_ENUM);
    if (i < 4) g.s.hints[i] = mode;  // the fog hint is not kept: fog is computed per fragment
}

void gl11_glFogf(GLenum pname, GLfloat param) { FogCall(pname, &param, false); }
void gl11_glFogi(GLenum pname, GLint param) {
    const float v = float(param);
    FogCall(pname, &v, false);
}
void gl11_glFogfv(GLenum pname, const GLfloat* params) { FogCall(pname, params, true); }

void gl11_glClearColor(GLclampf r, GLclampf gr, GLclampf b, GLclampf a) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glClearColor(r, gr, b, a));
    if (InBegin()) return;
    float* c = g.s.clearColour;
    c[0] = Clamp01(r), c[1] = Clamp01(gr), c[2] = Clamp01(b), c[3] = Clamp01(a);
    es.ClearColor(c[0], c[1], c[2], c[3]);
}

void gl11_glClearDepth(GLclampd depth) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glClearDepth(depth));
    if (InBegin()) return;
    g.s.clearDepth = depth < 0 ? 0 : (depth > 1 ? 1 : depth);
    es.ClearDepthf(float(g.s.clearDepth));
}

void gl11_glClear(GLbitfield mask) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glClear(mask));
    if (InBegin()) return;
    constexpr GLbitfield kStencil = 0x400, kAccum = 0x200;
    if (mask & ~(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | kStencil | kAccum)) return SetError(GL_INVALID_VALUE);
    const GLbitfield driver = mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | kStencil);
    if (driver) es.Clear(driver);
    if (mask & GL_COLOR_BUFFER_BIT) PixelsChanged();
}

void gl11_glFlush(void) {
    if (!Usable() || InBegin()) return;
    es.Flush();
}

void gl11_glFinish(void) {
    if (!Usable() || InBegin()) return;
    es.Finish();
}

void gl11_glPixelStorei(GLenum pname, GLint param) {
    if (!Usable() || InBegin()) return;
    const bool alignment = pname == GL_PACK_ALIGNMENT || pname == GL_UNPACK_ALIGNMENT;
    if (alignment && param != 1 && param != 2 && param != 4 && param != 8) return SetError(GL_INVALID_VALUE);
    if (!alignment && param < 0) return SetError(GL_INVALID_VALUE);
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
    if (!Usable() || InBegin()) return;
    if ((format != GL_RGB && format != GL_RGBA) || type != GL_UNSIGNED_BYTE) return SetError(GL_INVALID_ENUM);
    if (width < 0 || height < 0) return SetError(GL_INVALID_VALUE);
    const int comps = format == GL_RGB ? 3 : 4;
    const GLint rowLength = g.c.packRowLength > 0 ? g.c.packRowLength : width;
    const size_t stride = RowStride(size_t(rowLength) * size_t(comps), g.c.packAlignment);
    uint8_t* out = static_cast<uint8_t*>(pixels);
    if (comps == 4 && stride == size_t(width) * 4) {
        es.ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out);
        return;
    }
    // ES reads RGBA only (for certain): rows repacked here.
    Guarded([&] {
        static std::vector<uint8_t> rgba;
        rgba.resize(size_t(width) * size_t(height) * 4);
        es.ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        for (GLsizei row = 0; row < height; ++row) {
            const uint8_t* src = &rgba[size_t(row) * size_t(width) * 4];
            uint8_t* dst = out + stride * size_t(row);
            if (comps == 4) {
                std::memcpy(dst, src, size_t(width) * 4);
                continue;
            }
            for (GLsizei i = 0; i < width; ++i, src += 4, dst += 3) dst[0] = src[0], dst[1] = src[1], dst[2] = src[2];
        }
    });
}

}  // extern "C"
