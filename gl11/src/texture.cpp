// texture.cpp -- 2D texture objects with their mipmap levels (each kept in
// the layer too, for glGetTexImage), their parameters, the texture
// environment (GL_MODULATE, GL_DECAL, GL_BLEND, GL_REPLACE and its colour)
// and texture coordinate generation (object-linear, eye-linear, sphere map).
// Texturing and generation are done in the shader (shader_source.cpp).
#include "context.h"

#include <cstring>

namespace gl11 {
namespace {

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

int Log2Floor(GLint v) {
    int n = 0;
    while (v > 1) v >>= 1, ++n;
    return n;
}

// The pixels of a glTexImage2D, unpacked as GL_UNPACK_* say, into the
// kept layout (`comps` per texel).
std::vector<uint8_t> Unpack(GLsizei w, GLsizei h, GLenum format, int comps, const void* pixels) {
    std::vector<uint8_t> texels(size_t(w) * size_t(h) * size_t(comps), 0);
    if (!pixels) return texels;
    const int srcComps = Components(format);
    const uint8_t* src = static_cast<const uint8_t*>(pixels);
    const GLint rowLength = g.c.unpackRowLength > 0 ? g.c.unpackRowLength : w;
    const size_t stride = RowStride(size_t(rowLength) * size_t(srcComps), g.c.unpackAlignment);
    for (GLsizei y = 0; y < h; ++y) {
        const uint8_t* row = src + stride * size_t(y);
        uint8_t* out = &texels[size_t(y) * size_t(w) * size_t(comps)];
        for (GLsizei x = 0; x < w; ++x) {
            uint8_t rgba[4];
            ToRgba(row + size_t(x) * size_t(srcComps), format, rgba);
            switch (comps) {
                case 1: out[0] = rgba[0]; break;
                case 2: out[0] = rgba[0], out[1] = rgba[3]; break;
                case 3: out[0] = rgba[0], out[1] = rgba[1], out[2] = rgba[2]; break;
                default: std::memcpy(out, rgba, 4); break;
            }
            out += comps;
        }
    }
    return texels;
}

void StoreLevel(GLint level, GLint internal, int comps, GLsizei w, GLsizei h, const std::vector<uint8_t>& texels) {
    Texture* t = BoundTexture();
    if (t->levels.size() <= size_t(level)) t->levels.resize(size_t(level) + 1);
    Texture::Level& l = t->levels[size_t(level)];
    l.width = w, l.height = h, l.internalFormat = internal, l.components = comps;
    l.texels = texels;
    const GLenum f = EsFormat(comps);
    const GLint esInternal = comps == 3 ? GL_RGB8 : (comps == 4 ? GL_RGBA8 : GLint(f));
    es.BindTexture(GL_TEXTURE_2D, EsTextureFor(g.s.boundTexture));
    es.TexImage2D(GL_TEXTURE_2D, level, esInternal, w, h, 0, f, GL_UNSIGNED_BYTE, l.texels.data());
}

void TexImage(GLint level, GLint internal, GLsizei w, GLsizei h, GLint border, GLenum format, GLenum type,
              const void* pixels) {
    const int comps = InternalComponents(internal);
    if (Components(format) == 0 || type != GL_UNSIGNED_BYTE) return SetError(GL_INVALID_ENUM);
    if (comps == 0 || level < 0 || level > Log2Floor(g.maxTextureSize) || w < 0 || h < 0 || border != 0 ||
        w > g.maxTextureSize || h > g.maxTextureSize)
        return SetError(GL_INVALID_VALUE);
    std::vector<uint8_t> texels = Unpack(w, h, format, comps, pixels);
    // In a list the pixels are taken as they are at compile time.
    if (g.compiling &&
        Record([level, internal, comps, w, h, texels] { StoreLevel(level, internal, comps, w, h, texels); }))
        return;
    StoreLevel(level, internal, comps, w, h, texels);
}

// ES has no GL_CLAMP; clamping to the edge is what it draws without a border.
GLint EsWrap(GLenum wrap) { return wrap == GL_CLAMP ? GL_CLAMP_TO_EDGE : GLint(wrap); }

void TexParameter(GLenum target, GLenum pname, GLint value) {
    if (target != GL_TEXTURE_2D) return SetError(GL_INVALID_ENUM);
    const GLenum v = GLenum(value);
    bool ok = false;
    switch (pname) {
        case GL_TEXTURE_MIN_FILTER: ok = v == GL_NEAREST || v == GL_LINEAR || (v >= GL_NEAREST_MIPMAP_NEAREST &&
                                                                               v <= GL_LINEAR_MIPMAP_LINEAR); break;
        case GL_TEXTURE_MAG_FILTER: ok = v == GL_NEAREST || v == GL_LINEAR; break;
        case GL_TEXTURE_WRAP_S:
        case GL_TEXTURE_WRAP_T: ok = v == GL_CLAMP || v == GL_REPEAT || v == GL_CLAMP_TO_EDGE; break;
        default: return SetError(GL_INVALID_ENUM);
    }
    if (!ok) return SetError(GL_INVALID_ENUM);
    Texture* t = BoundTexture();
    switch (pname) {
        case GL_TEXTURE_MIN_FILTER: t->minFilter = v; break;
        case GL_TEXTURE_MAG_FILTER: t->magFilter = v; break;
        case GL_TEXTURE_WRAP_S: t->wrapS = v; break;
        default: t->wrapT = v; break;
    }
    es.TexParameteri(GL_TEXTURE_2D, pname, pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T ? EsWrap(v) : value);
}

void TexEnv(GLenum target, GLenum pname, const float* v) {
    if (target != GL_TEXTURE_ENV) return SetError(GL_INVALID_ENUM);
    if (pname == GL_TEXTURE_ENV_MODE) {
        const GLenum mode = GLenum(v[0]);
        if (mode != GL_MODULATE && mode != GL_DECAL && mode != GL_BLEND && mode != GL_REPLACE)
            return SetError(GL_INVALID_ENUM);
        g.s.texEnvMode = mode;
    } else if (pname == GL_TEXTURE_ENV_COLOR) {
        for (int i = 0; i < 4; ++i) g.s.texEnvColour[i] = v[i] < 0 ? 0.0f : (v[i] > 1 ? 1.0f : v[i]);
    } else {
        return SetError(GL_INVALID_ENUM);
    }
    ++g.shadeSerial;
}

void SetTexGen(GLenum coord, GLenum pname, const float* v) {
    if (coord < GL_S || coord > GL_Q) return SetError(GL_INVALID_ENUM);
    gl11::TexGen& gen = g.s.texGen[coord - GL_S];
    switch (pname) {
        case GL_TEXTURE_GEN_MODE: {
            const GLenum mode = GLenum(v[0]);
            const bool sphere = mode == GL_SPHERE_MAP && coord <= GL_T;  // GL: no sphere map for r and q
            if (mode != GL_EYE_LINEAR && mode != GL_OBJECT_LINEAR && !sphere) return SetError(GL_INVALID_ENUM);
            gen.mode = mode;
            break;
        }
        case GL_OBJECT_PLANE: CopyN(gen.objectPlane, v, 4); break;
        case GL_EYE_PLANE: {
            // Kept in eye space: the plane times the inverse of the modelview.
            Mat4 inv;
            if (!Invert(Top(0), &inv)) inv = Identity();
            PlaneTimes(v, inv, gen.eyePlane);
            break;
        }
        default: return SetError(GL_INVALID_ENUM);
    }
    ++g.shadeSerial;
}

void TexGenCall(GLenum coord, GLenum pname, const float* params, bool vector) {
    if (!Usable()) return;
    if (!vector && pname != GL_TEXTURE_GEN_MODE) return SetError(GL_INVALID_ENUM);
    float v[4] = {params[0], 0, 0, 0};
    if (vector && pname != GL_TEXTURE_GEN_MODE) CopyN(v, params, 4);
    GL11_RECORD(SetTexGen(coord, pname, v));
    if (InBegin()) return;
    SetTexGen(coord, pname, v);
}

void TexEnvCall(GLenum target, GLenum pname, const float* params, bool vector) {
    if (!Usable()) return;
    if (!vector && pname == GL_TEXTURE_ENV_COLOR) return SetError(GL_INVALID_ENUM);
    float v[4] = {params[0], 0, 0, 0};
    if (pname == GL_TEXTURE_ENV_COLOR) CopyN(v, params, 4);
    GL11_RECORD(TexEnv(target, pname, v));
    if (InBegin()) return;
    TexEnv(target, pname, v);
}

}  // namespace

bool Texture::Complete() const {
    const Level* base = Base();
    if (!base || base->width <= 0 || base->height <= 0) return false;
    if (minFilter == GL_NEAREST || minFilter == GL_LINEAR) return true;
    const int count = 1 + Log2Floor(base->width > base->height ? base->width : base->height);
    if (int(levels.size()) < count) return false;
    for (int i = 1; i < count; ++i) {
        const Level& l = levels[size_t(i)];
        const GLint w = base->width >> i, h = base->height >> i;
        if (l.width != (w > 0 ? w : 1) || l.height != (h > 0 ? h : 1) || l.components != base->components)
            return false;
    }
    return true;
}

Texture* BoundTexture() { return &g.textures[g.s.boundTexture]; }

GLuint EsTextureFor(GLuint name) {
    Texture& t = g.textures[name];
    if (!t.es) {
        es.GenTextures(1, &t.es);
        es.BindTexture(GL_TEXTURE_2D, t.es);
        // GL's defaults are ES's for filters and wrapping.
    }
    return t.es;
}

void BindTexture(GLuint name) {
    g.s.boundTexture = name;
    es.BindTexture(GL_TEXTURE_2D, EsTextureFor(name));
}

void ApplyTextureParameters(const Texture& t) {
    es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GLint(t.minFilter));
    es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GLint(t.magFilter));
    es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, EsWrap(t.wrapS));
    es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, EsWrap(t.wrapT));
}

}  // namespace gl11

using namespace gl11;

extern "C" {

void gl11_glGenTextures(GLsizei n, GLuint* textures) {
    if (!Usable() || InBegin()) return;
    if (n < 0) return SetError(GL_INVALID_VALUE);
    for (GLsizei i = 0; i < n; ++i) {
        while (g.textures.count(g.nextTexture) || g.nextTexture == 0) ++g.nextTexture;
        textures[i] = g.nextTexture++;
    }
}

void gl11_glDeleteTextures(GLsizei n, const GLuint* textures) {
    if (!Usable() || InBegin()) return;
    if (n < 0) return SetError(GL_INVALID_VALUE);
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
    if (!UsableKeepingDraws()) return;
    GL11_RECORD_KEEPING(gl11_glBindTexture(target, texture));
    if (InBegin()) return;
    if (target != GL_TEXTURE_2D) return SetError(GL_INVALID_ENUM);
    if (texture == g.s.boundTexture) {
        // Bound already (the driver's too): nothing changes, the pending
        // draws keep, nothing is sent.
        const auto it = g.textures.find(texture);
        if (it != g.textures.end() && it->second.es) return;
    }
    FlushDraws();
    Guarded([&] { BindTexture(texture); });
}

GLboolean gl11_glIsTexture(GLuint texture) {
    if (!Usable() || InBegin()) return GL_FALSE;
    return texture != 0 && g.textures.count(texture) ? GL_TRUE : GL_FALSE;
}

void gl11_glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,
                       GLenum format, GLenum type, const GLvoid* pixels) {
    if (!Usable()) return;
    if (!g.compiling && InBegin()) return;
    if (target != GL_TEXTURE_2D) return SetError(GL_INVALID_ENUM);
    Guarded([&] { TexImage(level, internalformat, width, height, border, format, type, pixels); });
}

void gl11_glTexParameteri(GLenum target, GLenum pname, GLint param) {
    if (!Usable()) return;
    GL11_RECORD(TexParameter(target, pname, param));
    if (InBegin()) return;
    TexParameter(target, pname, param);
}

void gl11_glTexParameterf(GLenum target, GLenum pname, GLfloat param) { gl11_glTexParameteri(target, pname, GLint(param)); }

void gl11_glGetTexParameteriv(GLenum target, GLenum pname, GLint* params) {
    if (!Usable() || InBegin()) return;
    if (target != GL_TEXTURE_2D) return SetError(GL_INVALID_ENUM);
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
    if (!Usable() || InBegin()) return;
    if (target != GL_TEXTURE_2D) return SetError(GL_INVALID_ENUM);
    if (level < 0 || level > Log2Floor(g.maxTextureSize)) return SetError(GL_INVALID_VALUE);
    const Texture* t = BoundTexture();
    const Texture::Level* l = size_t(level) < t->levels.size() ? &t->levels[size_t(level)] : nullptr;
    switch (pname) {
        case GL_TEXTURE_WIDTH: params[0] = l ? l->width : 0; break;
        case GL_TEXTURE_HEIGHT: params[0] = l ? l->height : 0; break;
        case GL_TEXTURE_INTERNAL_FORMAT: params[0] = l ? l->internalFormat : 1; break;
        case GL_TEXTURE_BORDER: params[0] = 0; break;
        default: SetError(GL_INVALID_ENUM); break;
    }
}

void gl11_glGetTexImage(GLenum target, GLint level, GLenum format, GLenum type, GLvoid* pixels) {
    if (!Usable() || InBegin()) return;
    const int comps = Components(format);
    if (target != GL_TEXTURE_2D || comps == 0 || type != GL_UNSIGNED_BYTE) return SetError(GL_INVALID_ENUM);
    if (level < 0 || level > Log2Floor(g.maxTextureSize)) return SetError(GL_INVALID_VALUE);
    const Texture* t = BoundTexture();
    if (size_t(level) >= t->levels.size() || t->levels[size_t(level)].texels.empty()) return;
    const Texture::Level& l = t->levels[size_t(level)];
    const GLenum kept = EsFormat(l.components);
    const GLint rowLength = g.c.packRowLength > 0 ? g.c.packRowLength : l.width;
    const size_t stride = RowStride(size_t(rowLength) * size_t(comps), g.c.packAlignment);
    uint8_t* out = static_cast<uint8_t*>(pixels);
    for (GLint y = 0; y < l.height; ++y) {
        for (GLint x = 0; x < l.width; ++x) {
            uint8_t rgba[4];
            ToRgba(&l.texels[(size_t(y) * size_t(l.width) + size_t(x)) * size_t(l.components)], kept, rgba);
            uint8_t* p = out + stride * size_t(y) + size_t(x) * size_t(comps);
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

void gl11_glTexEnvi(GLenum target, GLenum pname, GLint param) {
    const float v = float(param);
    TexEnvCall(target, pname, &v, false);
}
void gl11_glTexEnvf(GLenum target, GLenum pname, GLfloat param) { TexEnvCall(target, pname, &param, false); }
void gl11_glTexEnvfv(GLenum target, GLenum pname, const GLfloat* params) { TexEnvCall(target, pname, params, true); }

void gl11_glGetTexEnviv(GLenum target, GLenum pname, GLint* params) {
    if (!Usable() || InBegin()) return;
    if (target != GL_TEXTURE_ENV) return SetError(GL_INVALID_ENUM);
    if (pname == GL_TEXTURE_ENV_MODE) {
        params[0] = GLint(g.s.texEnvMode);
    } else if (pname == GL_TEXTURE_ENV_COLOR) {
        for (int i = 0; i < 4; ++i) params[i] = GLint(double(g.s.texEnvColour[i]) * 2147483647.0 + 0.5);
    } else {
        SetError(GL_INVALID_ENUM);
    }
}

void gl11_glGetTexEnvfv(GLenum target, GLenum pname, GLfloat* params) {
    if (!Usable() || InBegin()) return;
    if (target != GL_TEXTURE_ENV) return SetError(GL_INVALID_ENUM);
    if (pname == GL_TEXTURE_ENV_MODE) params[0] = float(g.s.texEnvMode);
    else if (pname == GL_TEXTURE_ENV_COLOR) CopyN(params, g.s.texEnvColour, 4);
    else SetError(GL_INVALID_ENUM);
}

void gl11_glTexGeni(GLenum coord, GLenum pname, GLint param) {
    const float v = float(param);
    TexGenCall(coord, pname, &v, false);
}
void gl11_glTexGenf(GLenum coord, GLenum pname, GLfloat param) { TexGenCall(coord, pname, &param, false); }
void gl11_glTexGeniv(GLenum coord, GLenum pname, const GLint* params) {
    const float mode = float(params[0]);
    if (pname == GL_TEXTURE_GEN_MODE) return TexGenCall(coord, pname, &mode, true);
    const float plane[4] = {float(params[0]), float(params[1]), float(params[2]), float(params[3])};
    TexGenCall(coord, pname, plane, true);
}
void gl11_glTexGenfv(GLenum coord, GLenum pname, const GLfloat* params) { TexGenCall(coord, pname, params, true); }

void gl11_glGetTexGeniv(GLenum coord, GLenum pname, GLint* params) {
    if (!Usable() || InBegin()) return;
    if (coord < GL_S || coord > GL_Q) return SetError(GL_INVALID_ENUM);
    const gl11::TexGen& gen = g.s.texGen[coord - GL_S];
    switch (pname) {
        case GL_TEXTURE_GEN_MODE: params[0] = GLint(gen.mode); break;
        case GL_OBJECT_PLANE: for (int i = 0; i < 4; ++i) params[i] = GLint(gen.objectPlane[i]); break;
        case GL_EYE_PLANE: for (int i = 0; i < 4; ++i) params[i] = GLint(gen.eyePlane[i]); break;
        default: SetError(GL_INVALID_ENUM); break;
    }
}

void gl11_glGetTexGenfv(GLenum coord, GLenum pname, GLfloat* params) {
    if (!Usable() || InBegin()) return;
    if (coord < GL_S || coord > GL_Q) return SetError(GL_INVALID_ENUM);
    const gl11::TexGen& gen = g.s.texGen[coord - GL_S];
    switch (pname) {
        case GL_TEXTURE_GEN_MODE: params[0] = float(gen.mode); break;
        case GL_OBJECT_PLANE: CopyN(params, gen.objectPlane, 4); break;
        case GL_EYE_PLANE: CopyN(params, gen.eyePlane, 4); break;
        default: SetError(GL_INVALID_ENUM); break;
    }
}

}  // extern "C"
