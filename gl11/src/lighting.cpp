// lighting.cpp -- lights (positional and directional, attenuation, spot
// lights), front and back materials, the light model (ambient, local
// viewer, two-sided lighting), colour material and the shade model. The
// lighting itself is computed per vertex in the shader (shader_source.cpp).
#include "context.h"

#include <cmath>
#include <cstring>

namespace gl11 {
namespace {

Light* LightFor(GLenum light) {
    if (light < GL_LIGHT0 || light > GL_LIGHT7) {
        SetError(GL_INVALID_ENUM);
        return nullptr;
    }
    return &g.s.lights[light - GL_LIGHT0];
}

// How many values a light parameter takes; 0 for an unknown name.
int LightValues(GLenum pname) {
    switch (pname) {
        case GL_AMBIENT: case GL_DIFFUSE: case GL_SPECULAR: case GL_POSITION: return 4;
        case GL_SPOT_DIRECTION: return 3;
        case GL_SPOT_EXPONENT: case GL_SPOT_CUTOFF: case GL_CONSTANT_ATTENUATION: case GL_LINEAR_ATTENUATION:
        case GL_QUADRATIC_ATTENUATION: return 1;
        default: return 0;
    }
}

void SetLight(GLenum which, GLenum pname, const float* p) {
    Light* l = LightFor(which);
    if (!l) return;
    switch (pname) {
        case GL_AMBIENT: CopyN(l->ambient, p, 4); break;
        case GL_DIFFUSE: CopyN(l->diffuse, p, 4); break;
        case GL_SPECULAR: CopyN(l->specular, p, 4); break;
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
        case GL_SPOT_EXPONENT:
            if (p[0] < 0 || p[0] > 128) return SetError(GL_INVALID_VALUE);
            l->spotExponent = p[0];
            break;
        case GL_SPOT_CUTOFF:
            if ((p[0] < 0 || p[0] > 90) && p[0] != 180) return SetError(GL_INVALID_VALUE);
            l->spotCutoff = p[0];
            l->spotCosCutoff = float(std::cos(double(p[0]) * 3.14159265358979323846 / 180.0));
            break;
        case GL_CONSTANT_ATTENUATION:
        case GL_LINEAR_ATTENUATION:
        case GL_QUADRATIC_ATTENUATION:
            if (p[0] < 0) return SetError(GL_INVALID_VALUE);
            l->attenuation[pname - GL_CONSTANT_ATTENUATION] = p[0];
            break;
        default: return SetError(GL_INVALID_ENUM);
    }
    ++g.lightSerial;
}

bool ValidFace(GLenum face) { return face == GL_FRONT || face == GL_BACK || face == GL_FRONT_AND_BACK; }

// Whether colour material makes `side`'s `pname` (GL_AMBIENT, GL_DIFFUSE,
// GL_SPECULAR or GL_EMISSION) follow the current colour.
bool Tracked(int side, GLenum pname) {
    const ServerState& s = g.s;
    if (!s.colourMaterial || (side == 0 && s.colourMaterialFace == GL_BACK) ||
        (side == 1 && s.colourMaterialFace == GL_FRONT))
        return false;
    const GLenum mode = s.colourMaterialMode;
    return mode == pname || (mode == GL_AMBIENT_AND_DIFFUSE && (pname == GL_AMBIENT || pname == GL_DIFFUSE));
}

void SetMaterial(GLenum face, GLenum pname, const float* p) {
    if (!ValidFace(face)) return SetError(GL_INVALID_ENUM);
    if (pname == GL_SHININESS && (p[0] < 0 || p[0] > 128)) return SetError(GL_INVALID_VALUE);
    // A property that tracks the current colour keeps tracking it: the
    // value given does not reach it (and is not what it holds once colour
    // material is disabled again, the last colour is).
    const auto set = [](int side, GLenum pname, float* dst, const float* src) {
        if (!Tracked(side, pname)) CopyN(dst, src, 4);
    };
    for (int side = 0; side < 2; ++side) {
        if ((side == 0 && face == GL_BACK) || (side == 1 && face == GL_FRONT)) continue;
        Material& m = g.s.material[side];
        switch (pname) {
            case GL_AMBIENT: set(side, GL_AMBIENT, m.ambient, p); break;
            case GL_DIFFUSE: set(side, GL_DIFFUSE, m.diffuse, p); break;
            case GL_SPECULAR: set(side, GL_SPECULAR, m.specular, p); break;
            case GL_EMISSION: set(side, GL_EMISSION, m.emission, p); break;
            case GL_SHININESS: m.shininess = p[0]; break;
            case GL_AMBIENT_AND_DIFFUSE:
                set(side, GL_AMBIENT, m.ambient, p);
                set(side, GL_DIFFUSE, m.diffuse, p);
                break;
            default: return SetError(GL_INVALID_ENUM);
        }
    }
    ++g.materialSerial;
}

void LightModel(GLenum pname, const float* p) {
    switch (pname) {
        case GL_LIGHT_MODEL_AMBIENT: CopyN(g.s.lightModelAmbient, p, 4); break;
        case GL_LIGHT_MODEL_LOCAL_VIEWER: g.s.localViewer = p[0] != 0; break;
        case GL_LIGHT_MODEL_TWO_SIDE: g.s.twoSide = p[0] != 0; break;
        default: return SetError(GL_INVALID_ENUM);
    }
    ++g.lightSerial;
}

void ColourMaterial(GLenum face, GLenum mode) {
    const bool modeOk = mode == GL_EMISSION || mode == GL_AMBIENT || mode == GL_DIFFUSE || mode == GL_SPECULAR ||
                        mode == GL_AMBIENT_AND_DIFFUSE;
    if (!ValidFace(face) || !modeOk) return SetError(GL_INVALID_ENUM);
    g.s.colourMaterialFace = face;
    g.s.colourMaterialMode = mode;
    if (g.s.colourMaterial) ColourMaterialTrack();
    ++g.materialSerial;
}

}  // namespace

// While colour material is on, the material follows the current colour.
void ColourMaterialTrack() {
    if (!g.s.colourMaterial) return;
    const GLenum mode = g.s.colourMaterialMode;
    for (int side = 0; side < 2; ++side) {
        if ((side == 0 && g.s.colourMaterialFace == GL_BACK) || (side == 1 && g.s.colourMaterialFace == GL_FRONT))
            continue;
        Material& m = g.s.material[side];
        if (mode == GL_AMBIENT || mode == GL_AMBIENT_AND_DIFFUSE) CopyN(m.ambient, g.s.colour, 4);
        if (mode == GL_DIFFUSE || mode == GL_AMBIENT_AND_DIFFUSE) CopyN(m.diffuse, g.s.colour, 4);
        if (mode == GL_SPECULAR) CopyN(m.specular, g.s.colour, 4);
        if (mode == GL_EMISSION) CopyN(m.emission, g.s.colour, 4);
    }
    ++g.materialSerial;
}

}  // namespace gl11

using namespace gl11;

extern "C" {

void gl11_glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (!Usable()) return;
    float p[4] = {0, 0, 0, 0};
    const int n = LightValues(pname);
    if (n > 0) CopyN(p, params, n);
    GL11_RECORD(SetLight(light, pname, p));
    if (InBegin()) return;
    SetLight(light, pname, p);
}

void gl11_glLightf(GLenum light, GLenum pname, GLfloat param) {
    if (!Usable()) return;
    if (LightValues(pname) > 1) return SetError(GL_INVALID_ENUM);  // a vector takes glLightfv
    const float p[4] = {param, 0, 0, 0};
    GL11_RECORD(SetLight(light, pname, p));
    if (InBegin()) return;
    SetLight(light, pname, p);
}

void gl11_glLightModelfv(GLenum pname, const GLfloat* params) {
    if (!Usable()) return;
    float p[4] = {params[0], 0, 0, 0};
    if (pname == GL_LIGHT_MODEL_AMBIENT) CopyN(p, params, 4);
    GL11_RECORD(LightModel(pname, p));
    if (InBegin()) return;
    LightModel(pname, p);
}

void gl11_glLightModeli(GLenum pname, GLint param) {
    if (!Usable()) return;
    if (pname == GL_LIGHT_MODEL_AMBIENT) return SetError(GL_INVALID_ENUM);  // a vector takes glLightModelfv
    const float p[4] = {float(param), 0, 0, 0};
    GL11_RECORD(LightModel(pname, p));
    if (InBegin()) return;
    LightModel(pname, p);
}

void gl11_glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
    if (!UsableKeepingDraws()) return;
    float p[4] = {params[0], 0, 0, 0};
    if (pname != GL_SHININESS) CopyN(p, params, 4);
    GL11_RECORD_KEEPING(SetMaterial(face, pname, p));
    // Between glBegin and glEnd GL would change the material from the next
    // vertex on; the layer lights a whole block with one material, so it
    // refuses there instead.
    if (InBegin()) return;
    SetMaterial(face, pname, p);
}

void gl11_glMaterialf(GLenum face, GLenum pname, GLfloat param) {
    if (!UsableKeepingDraws()) return;
    if (pname != GL_SHININESS) return SetError(GL_INVALID_ENUM);
    gl11_glMaterialfv(face, pname, &param);
}

void gl11_glColorMaterial(GLenum face, GLenum mode) {
    if (!Usable()) return;
    GL11_RECORD(ColourMaterial(face, mode));
    if (InBegin()) return;
    ColourMaterial(face, mode);
}

void gl11_glGetLightfv(GLenum light, GLenum pname, GLfloat* params) {
    if (!Usable() || InBegin()) return;
    const Light* l = LightFor(light);
    if (!l) return;
    switch (pname) {
        case GL_AMBIENT: CopyN(params, l->ambient, 4); break;
        case GL_DIFFUSE: CopyN(params, l->diffuse, 4); break;
        case GL_SPECULAR: CopyN(params, l->specular, 4); break;
        case GL_POSITION: CopyN(params, l->position, 4); break;
        case GL_SPOT_DIRECTION: CopyN(params, l->spotDirection, 3); break;
        case GL_SPOT_EXPONENT: params[0] = l->spotExponent; break;
        case GL_SPOT_CUTOFF: params[0] = l->spotCutoff; break;
        case GL_CONSTANT_ATTENUATION: params[0] = l->attenuation[0]; break;
        case GL_LINEAR_ATTENUATION: params[0] = l->attenuation[1]; break;
        case GL_QUADRATIC_ATTENUATION: params[0] = l->attenuation[2]; break;
        default: SetError(GL_INVALID_ENUM); break;
    }
}

void gl11_glGetMaterialfv(GLenum face, GLenum pname, GLfloat* params) {
    if (!Usable() || InBegin()) return;
    if (face != GL_FRONT && face != GL_BACK) return SetError(GL_INVALID_ENUM);
    const Material& m = g.s.material[face == GL_FRONT ? 0 : 1];
    switch (pname) {
        case GL_AMBIENT: CopyN(params, m.ambient, 4); break;
        case GL_DIFFUSE: CopyN(params, m.diffuse, 4); break;
        case GL_SPECULAR: CopyN(params, m.specular, 4); break;
        case GL_EMISSION: CopyN(params, m.emission, 4); break;
        case GL_SHININESS: params[0] = m.shininess; break;
        default: SetError(GL_INVALID_ENUM); break;
    }
}

void gl11_glShadeModel(GLenum mode) {
    if (!Usable()) return;
    GL11_RECORD(gl11_glShadeModel(mode));
    if (InBegin()) return;
    if (mode != GL_FLAT && mode != GL_SMOOTH) return SetError(GL_INVALID_ENUM);
    g.s.shadeModel = mode;
}

}  // extern "C"
