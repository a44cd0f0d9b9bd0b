// program.cpp -- the program cache: the key of the fixed-function state a
// draw needs, one program built per key (a key whose program fails to
// build is reported once and never built again), and the upload of the
// state the uniforms carry, each group only when it changed.
#include "program.h"

#include <gl11.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

namespace gl11 {
namespace {

enum : uint64_t {
    kLighting = 1ull << 0,
    kLightShift = 1,  // bits 1-4: how many lights are on (the loop unrolled)
    kTwoSide = 1ull << 5,
    kLocalViewer = 1ull << 6,
    kSpot = 1ull << 7,
    kCmShift = 8,       // bits 8-11: colour material terms (ambient, diffuse, specular, emission)
    kCmFaceShift = 12,  // bits 12-13: the faces it tracks
    kTexture = 1ull << 14,
    kEnvShift = 15,  // bits 15-16: modulate, decal, blend, replace
    kTexAlpha = 1ull << 17,
    kGenShift = 18,  // bits 18-25: two per coordinate: object, eye, sphere map
    kTexProj = 1ull << 26,
    kNormalize = 1ull << 27,
    kFlat = 1ull << 28,
    kWide = 1ull << 29,
    kPoints = kKeyPoints,
    kFogShift = 31,    // bits 31-32: linear, exp, exp2
    kAlphaShift = 33,  // bits 33-36: the alpha function + 1
    kFaceShift = 37,   // bits 37-38: DrawKind::face
    kAttenuated = 1ull << 42,  // a positional light's attenuation is not 1
};

std::unordered_map<uint64_t, Program> g_programs;
GLuint g_current = 0;

}  // namespace

uint64_t KeyFor(const DrawKind& kind) {
    const ServerState& s = g.s;
    uint64_t key = 0;
    if (s.lighting) {
        key |= kLighting;
        uint64_t lights = 0;
        bool spot = false, attenuated = false;
        for (int i = 0; i < 8; ++i) {
            if (!s.lightOn[i]) continue;
            const Light& l = s.lights[i];
            ++lights;
            spot |= l.spotCutoff != 180;  // directional lights too, as GL's equation has it
            attenuated |= l.position[3] != 0 && (l.attenuation[0] != 1 || l.attenuation[1] != 0 || l.attenuation[2] != 0);
        }
        key |= lights << kLightShift;
        if (spot) key |= kSpot;
        if (attenuated) key |= kAttenuated;
        if (s.twoSide) key |= kTwoSide;
        if (s.localViewer) key |= kLocalViewer;
        if (s.colourMaterial) {
            static const uint64_t terms[] = {1, 2, 3, 4, 8};  // ambient, diffuse, both, specular, emission
            const GLenum m = s.colourMaterialMode;
            const uint64_t t = m == GL_AMBIENT ? terms[0]
                               : m == GL_DIFFUSE ? terms[1]
                               : m == GL_AMBIENT_AND_DIFFUSE ? terms[2]
                               : m == GL_SPECULAR ? terms[3] : terms[4];
            const uint64_t faces = s.colourMaterialFace == GL_FRONT ? 1 : (s.colourMaterialFace == GL_BACK ? 2 : 3);
            key |= t << kCmShift | faces << kCmFaceShift;
        }
    }
    const Texture* t = s.texture2D ? BoundTexture() : nullptr;
    // GL leaves GL_DECAL undefined for luminance textures; it leaves the
    // fragment's colour as it is there, as Mesa does.
    const bool luminanceDecal = t && s.texEnvMode == GL_DECAL && t->Base() && t->Base()->components < 3;
    if (t && t->Complete() && !luminanceDecal) {
        key |= kTexture;
        const GLenum env = s.texEnvMode;
        key |= uint64_t(env == GL_MODULATE ? 0 : env == GL_DECAL ? 1 : env == GL_BLEND ? 2 : 3) << kEnvShift;
        if (env == GL_REPLACE && t->HasAlpha()) key |= kTexAlpha;
        for (int c = 0; c < 4; ++c) {
            if (!s.texGenOn[c]) continue;
            const GLenum m = s.texGen[c].mode;
            key |= uint64_t(m == GL_OBJECT_LINEAR ? 1 : m == GL_EYE_LINEAR ? 2 : 3) << (kGenShift + 2 * c);
        }
        if (!IsIdentity(Top(2)) || s.texGenOn[3]) key |= kTexProj;
    }
    const bool sphere = ((key >> kGenShift) & 3) == 3 || ((key >> (kGenShift + 2)) & 3) == 3;
    if (s.normalize && ((key & kLighting) || sphere)) key |= kNormalize;
    if (s.shadeModel == GL_FLAT) key |= kFlat;
    if (kind.wide) key |= kWide;
    if (kind.points) key |= kPoints;
    if (s.fog) key |= uint64_t(s.fogMode == GL_LINEAR ? 1 : s.fogMode == GL_EXP ? 2 : 3) << kFogShift;
    if (s.alphaTest && s.alphaFunc != GL_ALWAYS) key |= uint64_t(s.alphaFunc - GL_NEVER + 1) << kAlphaShift;
    if (key & kTwoSide) key |= uint64_t(kind.face) << kFaceShift;
    if (ShaderBlend() && s.blend) {
        if (s.blendSrc == GL_SRC_ALPHA && s.blendDst == GL_ONE_MINUS_SRC_ALPHA) key |= kKeyBlendAlpha;
        if (s.blendSrc == GL_SRC_COLOR && s.blendDst == GL_ONE_MINUS_SRC_COLOR) key |= kKeyBlendColour;
    }
    return key;
}

bool Mergeable(uint64_t key) {
    return !(key & (kTwoSide | kWide | kPoints | kKeyBlendAlpha | kKeyBlendColour | 3ull << kFaceShift));
}

bool GeneratesCoords(uint64_t key) { return (key & 0xFFull << kGenShift) != 0; }

uint64_t DiffuseFromColour(uint64_t key) { return key | 2ull << kCmShift | 3ull << kCmFaceShift; }

namespace {

std::string Defines(uint64_t key) {
    std::string d = "#version 300 es\nprecision highp float;\n";
    const auto define = [&](const char* name, long value) {
        d += "#define " + std::string(name) + " " + std::to_string(value) + "\n";
    };
    const unsigned gen[4] = {unsigned(key >> kGenShift) & 3, unsigned(key >> (kGenShift + 2)) & 3,
                             unsigned(key >> (kGenShift + 4)) & 3, unsigned(key >> (kGenShift + 6)) & 3};
    const bool anyGen = gen[0] || gen[1] || gen[2] || gen[3];
    const bool sphere = gen[0] == 3 || gen[1] == 3;
    const unsigned fog = unsigned(key >> kFogShift) & 3;
    if (key & kLighting) {
        d += "#define LIGHTING\n";
        define("LIGHT_COUNT", long((key >> kLightShift) & 15));
        const unsigned cm = unsigned(key >> kCmShift) & 15;
        if (cm & 1) d += "#define CM_AMBIENT\n";
        if (cm & 2) d += "#define CM_DIFFUSE\n";
        if (cm & 4) d += "#define CM_SPECULAR\n";
        if (cm & 8) d += "#define CM_EMISSION\n";
        define("CM_FACES", long((key >> kCmFaceShift) & 3));
        if (key & kTwoSide) d += "#define TWO_SIDE\n";
        if (key & kLocalViewer) d += "#define LOCAL_VIEWER\n";
        if (key & kSpot) d += "#define SPOT\n";
        if (key & kAttenuated) d += "#define ATTENUATION\n";
    }
    if ((key & kLighting) || fog || anyGen) d += "#define EYE\n";
    if ((key & kLighting) || sphere) d += "#define NORMAL\n";
    if (key & kTexture) {
        d += "#define TEXTURE\n";
        define("ENV", long((key >> kEnvShift) & 3));
        if (key & kTexAlpha) d += "#define TEX_ALPHA\n";
    }
    if (anyGen) d += "#define GEN\n";
    define("GEN_S", gen[0]);
    define("GEN_T", gen[1]);
    define("GEN_R", gen[2]);
    define("GEN_Q", gen[3]);
    if (key & kTexProj) d += "#define TEX_PROJ\n";
    if (key & kNormalize) d += "#define NORMALIZE\n";
    if (key & kWide) d += "#define WIDE\n";
    if (key & kPoints) d += "#define POINTS\n";
    if (fog) define("FOG", fog);
    const unsigned alpha = unsigned(key >> kAlphaShift) & 15;
    if (alpha) define("ALPHA_FUNC", long(GL_NEVER + alpha - 1));
    define("FACE", long((key >> kFaceShift) & 3));
    if (key & kKeyBlendAlpha) d += "#define BLEND_ALPHA\n";
    if (key & kKeyBlendColour) d += "#define BLEND_COLOUR\n";
    d += (key & kFlat) ? "#define FLAT flat\n" : "#define FLAT\n";
    return d;
}

// `check`: the compile's outcome read (the driver waits for it); otherwise
// a failure shows at the link.
GLuint Compile(GLenum type, const std::string& source, bool check) {
    const GLuint s = es.CreateShader(type);
    const char* text = source.c_str();
    es.ShaderSource(s, 1, &text, nullptr);
    es.CompileShader(s);
    if (!check) return s;
    GLint ok = 0;
    es.GetShaderiv(s, ES_COMPILE_STATUS, &ok);
    if (ok) return s;
    char log[2048] = "";
    es.GetShaderInfoLog(s, sizeof log, nullptr, log);
    std::fprintf(stderr, "gl11: shader: %s\n", log);
    es.DeleteShader(s);
    return 0;
}

// Starts building the program of `key` into p: compiled and linked, the
// outcome read by FinishBuild. `wait`: each shader's compile checked
// first. False (everything made deleted) when a shader did not compile.
bool StartBuild(uint64_t key, Program& p, bool wait) {
    const std::string defines = Defines(key);
    const GLuint vs = Compile(ES_VERTEX_SHADER, defines + kVertexShader, wait);
    const GLuint fs = vs ? Compile(ES_FRAGMENT_SHADER, defines + kFragmentShader, wait) : 0;
    if (!fs) {
        if (vs) es.DeleteShader(vs);
        return false;
    }
    p.id = es.CreateProgram();
    es.AttachShader(p.id, vs);
    es.AttachShader(p.id, fs);
    es.LinkProgram(p.id);
    es.DeleteShader(vs);  // freed with the program
    es.DeleteShader(fs);
    p.linking = true;
    return true;
}

// Reads the link's outcome (the driver waits for it here if it has not
// finished) and the uniforms' locations; false (the program deleted) when
// it did not link.
bool FinishBuild(Program& p) {
    p.linking = false;
    GLint ok = 0;
    es.GetProgramiv(p.id, ES_LINK_STATUS, &ok);
    if (!ok) {
        char log[2048] = "";
        es.GetProgramInfoLog(p.id, sizeof log, nullptr, log);
        std::fprintf(stderr, "gl11: program: %s\n", log);
        es.DeleteProgram(p.id);
        p.id = 0;
        return false;
    }
    const auto at = [&](const char* name) { return es.GetUniformLocation(p.id, name); };
    p.mvp = at("u_mvp");
    p.modelview = at("u_modelview");
    p.normalMatrix = at("u_normalMatrix");
    p.texMatrix = at("u_texMatrix");
    p.pointSize = at("u_pointSize");
    p.viewport = at("u_viewport");
    p.lightModelAmbient = at("u_lightModelAmbient");
    p.material = at("u_material");
    p.shininess = at("u_shininess");
    p.lightPos = at("u_lightPos");
    p.lightAmb = at("u_lightAmb");
    p.lightDiff = at("u_lightDiff");
    p.lightSpec = at("u_lightSpec");
    p.lightAtt = at("u_lightAtt");
    p.lightSpot = at("u_lightSpot");
    p.lightSpotDir = at("u_lightSpotDir");
    p.vpHalf = at("u_vpHalf");
    p.halfWidth = at("u_halfWidth");
    p.sampler = at("u_texture");
    p.under = at("u_under");
    p.underOrigin = at("u_underOrigin");
    p.fogParams = at("u_fogParams");
    p.fogColour = at("u_fogColour");
    p.alphaRef = at("u_alphaRef");
    p.envColour = at("u_envColour");
    p.objectPlanes = at("u_objectPlanes");
    p.eyePlanes = at("u_eyePlanes");
    es.UseProgram(p.id);
    g_current = p.id;
    if (p.sampler >= 0) es.Uniform1i(p.sampler, 0);
    if (p.under >= 0) es.Uniform1i(p.under, 1);
    return true;
}

// Whether variants were prepared (gl11_PrepareVariants): one built at its
// first draw is then worth a word in a debug build.
bool g_prepared = false;

Program* ProgramFor(uint64_t key) {
    Program& p = g_programs[key];
    if (p.linking) {
        if (FinishBuild(p)) return &p;
    } else {
        if (p.id) return &p;
        if (p.failed) return nullptr;
#ifndef NDEBUG
        if (g_prepared)
            std::fprintf(stderr, "gl11: variant 0x%llx built at its first draw: it was not prepared\n",
                         static_cast<unsigned long long>(key));
#endif
        if (StartBuild(key, p, true) && FinishBuild(p)) return &p;
    }
    p.failed = true;
    SetError(GL_INVALID_OPERATION);
    return nullptr;
}

// Sends a uniform of `n` floats at `location` through `send` when the
// program has it and its value differs from the one it holds.
template <class Send>
void Set(Program& p, UniformSlot slot, GLint location, const float* v, size_t n, Send send) {
    if (location < 0) return;
    std::vector<float>& held = p.sent[slot];
    if (held.size() == n && std::memcmp(held.data(), v, n * sizeof(float)) == 0) return;
    held.assign(v, v + n);
    send();
}
void Set4(Program& p, UniformSlot slot, GLint location, const float* v, int count) {
    Set(p, slot, location, v, size_t(count) * 4, [&] { es.Uniform4fv(location, count, v); });
}
void Set3(Program& p, UniformSlot slot, GLint location, const float* v, int count) {
    Set(p, slot, location, v, size_t(count) * 3, [&] { es.Uniform3fv(location, count, v); });
}
void Set1(Program& p, UniformSlot slot, GLint location, float v) {
    Set(p, slot, location, &v, 1, [&] { es.Uniform1f(location, v); });
}
void SetMatrix(Program& p, UniformSlot slot, GLint location, const float* m) {
    Set(p, slot, location, m, 16, [&] { es.UniformMatrix4fv(location, 1, GL_FALSE, m); });
}

}  // namespace

void NormalMatrix(const Mat4& mv, float out[9]) {
    const float* m = mv.m;
    if (m[3] == 0 && m[7] == 0 && m[11] == 0 && m[15] == 1) {
        // Cofactors of the column-major a = (m0 m4 m8; m1 m5 m9; m2 m6 m10).
        const float c00 = m[5] * m[10] - m[9] * m[6], c01 = m[8] * m[6] - m[4] * m[10], c02 = m[4] * m[9] - m[8] * m[5];
        const float det = m[0] * c00 + m[1] * c01 + m[2] * c02;
        if (det != 0) {
            const float r = 1.0f / det;
            // inv in column-major order
            out[0] = c00 * r, out[3] = c01 * r, out[6] = c02 * r;
            out[1] = (m[9] * m[2] - m[1] * m[10]) * r, out[4] = (m[0] * m[10] - m[8] * m[2]) * r,
            out[7] = (m[8] * m[1] - m[0] * m[9]) * r;
            out[2] = (m[1] * m[6] - m[5] * m[2]) * r, out[5] = (m[4] * m[2] - m[0] * m[6]) * r,
            out[8] = (m[0] * m[5] - m[4] * m[1]) * r;
            return;
        }
    }
    Mat4 inv;
    if (!Invert(mv, &inv)) inv = Identity();
    const float nm[9] = {inv.m[0], inv.m[1], inv.m[2], inv.m[4], inv.m[5], inv.m[6], inv.m[8], inv.m[9], inv.m[10]};
    std::memcpy(out, nm, sizeof nm);
}

namespace {

// The front material, and the back one where the program lights both sides.
void SendMaterial(Program& p, uint64_t key) {
    const ServerState& s = g.s;
    const int sides = (key & kTwoSide) ? 2 : 1;
    float material[8][4], shininess[2];
    for (int side = 0; side < sides; ++side) {
        const Material& m = s.material[side];
        CopyN(material[side * 4], m.ambient, 4);
        CopyN(material[side * 4 + 1], m.diffuse, 4);
        CopyN(material[side * 4 + 2], m.specular, 4);
        CopyN(material[side * 4 + 3], m.emission, 4);
        shininess[side] = m.shininess;
    }
    Set4(p, kUMaterial, p.material, material[0], 4 * sides);
    Set(p, kUShininess, p.shininess, shininess, size_t(sides), [&] { es.Uniform1fv(p.shininess, sides, shininess); });
}

// The lights that are on, in order, and the light model's ambient colour.
void SendLights(Program& p) {
    const ServerState& s = g.s;
    float pos[8][4], amb[8][3], diff[8][3], spec[8][3], att[8][3], spot[8][3], spotDir[8][3];
    int count = 0;
    for (int l = 0; l < 8; ++l) {
        if (!s.lightOn[l]) continue;
        const Light& light = s.lights[l];
        CopyN(pos[count], light.position, 4);
        if (light.position[3] != 0.0f) {
            for (int i = 0; i < 3; ++i) pos[count][i] /= light.position[3];
        } else {
            const float len = std::sqrt(pos[count][0] * pos[count][0] + pos[count][1] * pos[count][1] +
                                        pos[count][2] * pos[count][2]);
            if (len > 0)
                for (int i = 0; i < 3; ++i) pos[count][i] /= len;
        }
        CopyN(amb[count], light.ambient, 3);
        CopyN(diff[count], light.diffuse, 3);
        CopyN(spec[count], light.specular, 3);
        CopyN(att[count], light.attenuation, 3);
        const float* d = light.spotDirection;
        const float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (int i = 0; i < 3; ++i) spotDir[count][i] = len > 0 ? d[i] / len : 0.0f;
        spot[count][0] = light.spotExponent;
        spot[count][1] = light.spotCosCutoff;
        spot[count][2] = light.spotCutoff != 180 ? 1.0f : 0.0f;
        ++count;
    }
    Set4(p, kULightModelAmbient, p.lightModelAmbient, s.lightModelAmbient, 1);
    if (count > 0) {
        Set4(p, kULightPos, p.lightPos, pos[0], count);
        Set3(p, kULightAmb, p.lightAmb, amb[0], count);
        Set3(p, kULightDiff, p.lightDiff, diff[0], count);
        Set3(p, kULightSpec, p.lightSpec, spec[0], count);
        Set3(p, kULightAtt, p.lightAtt, att[0], count);
        Set3(p, kULightSpot, p.lightSpot, spot[0], count);
        Set3(p, kULightSpotDir, p.lightSpotDir, spotDir[0], count);
    }
}

void SendShading(Program& p) {
    const ServerState& s = g.s;
    if (p.fogParams >= 0) {
        const float scale = s.fogEnd == s.fogStart ? 1.0f : 1.0f / (s.fogEnd - s.fogStart);
        const float params[4] = {s.fogEnd, scale, s.fogDensity, 0};
        Set4(p, kUFogParams, p.fogParams, params, 1);
        Set4(p, kUFogColour, p.fogColour, s.fogColour, 1);
    }
    Set1(p, kUAlphaRef, p.alphaRef, std::nearbyint(s.alphaRef * 255.0f));  // see the shader
    Set4(p, kUEnvColour, p.envColour, s.texEnvColour, 1);
    if (p.objectPlanes >= 0 || p.eyePlanes >= 0) {
        float object[4][4], eye[4][4];
        for (int c = 0; c < 4; ++c) CopyN(object[c], s.texGen[c].objectPlane, 4), CopyN(eye[c], s.texGen[c].eyePlane, 4);
        Set4(p, kUObjectPlanes, p.objectPlanes, object[0], 4);
        Set4(p, kUEyePlanes, p.eyePlanes, eye[0], 4);
    }
}

void SendUniforms(Program& p, uint64_t key) {
    const ServerState& s = g.s;
    if (p.matrixSerial != g.matrixSerial) {
        p.matrixSerial = g.matrixSerial;
        // Transposed for the shader (see shader_source.cpp), here: the
        // driver's transposing upload costs twice a plain one.
        const Mat4 mvp = Transposed(Multiply(Top(1), Top(0)));
        SetMatrix(p, kUMvp, p.mvp, mvp.m);
        SetMatrix(p, kUTexMatrix, p.texMatrix, Top(2).m);
        if (p.modelview >= 0) {
            const Mat4 modelview = Transposed(Top(0));
            SetMatrix(p, kUModelview, p.modelview, modelview.m);
        }
        if (p.normalMatrix >= 0) {
            float nm[9];
            NormalMatrix(Top(0), nm);
            Set(p, kUNormalMatrix, p.normalMatrix, nm, 9, [&] { es.UniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, nm); });
        }
        if (key & kWide) {
            const float half[2] = {float(s.viewport[2]) * 0.5f, float(s.viewport[3]) * 0.5f};
            Set(p, kUVpHalf, p.vpHalf, half, 2, [&] { es.Uniform2f(p.vpHalf, half[0], half[1]); });
        }
        p.pointSizeSent = -1;  // the viewports below
    }
    if ((key & kPoints) && p.pointSizeSent != s.pointSize) {
        p.pointSizeSent = s.pointSize;
        Set1(p, kUPointSize, p.pointSize, PointSizePixels());
        GLint grown[4];
        PointViewport(grown);
        const float vp[8] = {float(s.viewport[0]), float(s.viewport[1]), float(s.viewport[2]), float(s.viewport[3]),
                             float(grown[0]),      float(grown[1]),      float(grown[2]),      float(grown[3])};
        Set4(p, kUViewport, p.viewport, vp, 2);
    }
    if ((key & kWide) && p.lineWidthSent != LineWidthPixels()) {
        p.lineWidthSent = LineWidthPixels();
        Set1(p, kUHalfWidth, p.halfWidth, p.lineWidthSent * 0.5f);
    }
    if ((key & kLighting) && p.lightSerial != g.lightSerial) {
        p.lightSerial = g.lightSerial;
        SendLights(p);
    }
    if ((key & kLighting) && p.materialSerial != g.materialSerial) {
        p.materialSerial = g.materialSerial;
        SendMaterial(p, key);
    }
    if (p.shadeSerial != g.shadeSerial) {
        p.shadeSerial = g.shadeSerial;
        SendShading(p);
    }
}

}  // namespace

bool UseProgramFor(const DrawKind& kind) { return UseProgramForKey(KeyFor(kind)); }

bool UseProgramForKey(uint64_t key) {
    Program* p = ProgramFor(key);
    if (!p) return false;
    if (g_current != p->id) {
        es.UseProgram(p->id);
        g_current = p->id;
    }
    SendUniforms(*p, key);
    PrepareBlend(*p, key);
    return true;
}

Program* PlainProgram() { return ProgramFor(0); }

void ProgramChanged() { g_current = 0; }

bool InitPrograms() {
    g_programs.clear();
    g_current = 0;
    g_prepared = false;
    // The common programs built now, not in the middle of a frame.
    const uint64_t lit = kLighting | 1ull << kLightShift;  // one light, as most programs have
    for (uint64_t key : {uint64_t(0), lit, uint64_t(kTexture), lit | kTexture})
        if (!ProgramFor(key)) return false;
    return true;
}

}  // namespace gl11

using namespace gl11;

extern "C" {

int gl11_Variants(unsigned long long* ids, int max) {
    if (!Usable()) return 0;
    int count = 0;
    for (const auto& [key, p] : g_programs) {
        if (!p.id) continue;
        if (ids && count < max) ids[count] = key;
        ++count;
    }
    return count;
}

void gl11_PrepareVariants(const unsigned long long* ids, int count) {
    if (!Usable()) return;
    if (count < 0 || (count > 0 && !ids)) return SetError(GL_INVALID_VALUE);
    g_prepared = true;
    // Keys the layer never makes (more than 8 lights, bits it has no use
    // for, an alpha function past GL_ALWAYS) are left out.
    constexpr uint64_t known = (kAttenuated << 1) - 1;
    for (int i = 0; i < count; ++i) {
        const uint64_t key = ids[i];
        if ((key & ~known) || ((key >> kLightShift) & 15) > 8 || ((key >> kAlphaShift) & 15) > 8 ||
            ((key >> kFaceShift) & 3) == 3)
            continue;
        Guarded([&] {
            Program& p = g_programs[key];
            if (p.id || p.failed) return;
            if (!StartBuild(key, p, false)) p.failed = true;
        });
    }
}

void gl11_FinishVariants(void) {
    if (!Usable()) return;
    // One that did not link is built again at its first draw, which then
    // fails with GL_INVALID_OPERATION as any variant that does not link.
    Guarded([&] {
        for (auto& entry : g_programs)
            if (entry.second.linking) FinishBuild(entry.second);
    });
}

}  // extern "C"
