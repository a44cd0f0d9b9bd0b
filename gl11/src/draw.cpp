// draw.cpp -- vertices to pixels: immediate mode and client arrays gathered
// into vertex buffers, GL 1.1 primitives turned into ES ones, display-list
// geometry kept in buffers of its own, and the shaders that do the
// fixed-function lighting, texture generation and texturing.
//
// The complementary blends (GL_SRC_ALPHA with GL_ONE_MINUS_SRC_ALPHA, and
// GL_SRC_COLOR with GL_ONE_MINUS_SRC_COLOR) must come out as an 8-bit blend
// unit (and Mesa's, for 8-bit colour buffers) computes them: source,
// destination and weight w as bytes 0..255, each product taken back to a
// byte, then added (saturating):
//     d' = m(s, w) + m(d, 255 - w),  m(a, b) = (t + t / 256 + 128) / 256, t = a b
// (integer division; m is a * b / 255 rounded, but for a few products that
// lie just above a half, as 152 * 229 / 255 = 136.502, which it takes to 136).
// A picture laid over the last frame at a small alpha, frame after frame,
// stops changing a pixel once a step is less than half a level. Where it
// stops depends on that rounding, so a renderer that blends in floats ends
// up a few levels away from the desktop's picture all over a scene that
// never clears (measured: 1.7-2.2 levels on average in SwiftShader). At
// start a small test drawing asks the driver's blend; where it rounds
// otherwise, those two blends are done in the fragment shader against a copy
// of the pixels under the draw (a copy costs the driver a flush: on llvmpipe,
// whose blend rounds this way, copies made some parts 1.2-2 times slower).
#include "context.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace gl11 {
namespace {

enum Key : unsigned {
    kLighting = 1,
    kTexture = 2,
    kGenS = 4,
    kGenT = 8,
    kNormalize = 16,
    kFlat = 32,
    kWide = 64,
    kTexMatrix = 128,  // texture matrix not the identity: projective lookups
    kPoints = 256,     // points: the shader gives their size
    kLightShift = 9,   // bits 9-12: how many lights are on (the loop unrolled)
    kBlendAlpha = 1u << 13,   // GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA by hand
    kBlendColour = 1u << 14,  // GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR by hand
};

struct Program {
    GLuint id = 0;
    GLint mvp = -1, modelview = -1, normalMatrix = -1, texMatrix = -1, pointSize = -1;
    GLint scene = -1, alpha = -1, shininess = -1, lightPos = -1, amb = -1, diff = -1, spec = -1,
          att = -1;
    GLint vpHalf = -1, halfWidth = -1, sampler = -1, under = -1, underOrigin = -1;
    GLint underOriginSent[2] = {-1, -1};
    uint32_t matrixSerial = 0, lightSerial = 0;
    float pointSizeSent = -1, lineWidthSent = -1;
};

std::unordered_map<unsigned, Program> g_programs;
GLuint g_current = 0;
GLuint g_vao = 0, g_streamVbo = 0, g_streamIbo = 0;

// The begin/end block being recorded into a list: the first vertex of each
// attribute the list had set (SIZE_MAX: none yet).
size_t g_firstSet[3];

const char* kVertexShader = R"(
layout(location = 0) in vec3 a_pos;
layout(location = 1) in vec3 a_normal;
layout(location = 2) in vec4 a_colour;
layout(location = 3) in vec2 a_tex;
uniform mat4 u_mvp;
uniform mat4 u_modelview;
uniform mat3 u_normalMatrix;
uniform mat4 u_texMatrix;
uniform float u_pointSize;
#ifdef WIDE
layout(location = 4) in vec4 a_other;
uniform vec2 u_vpHalf;
uniform float u_halfWidth;
#endif
#ifdef LIGHTING
uniform vec3 u_scene;
uniform float u_alpha;
uniform float u_shininess;
uniform vec4 u_lightPos[8];
uniform vec3 u_amb[8];
uniform vec3 u_diff[8];
uniform vec3 u_spec[8];
uniform vec3 u_att[8];
#endif
FLAT out vec4 v_colour;
#ifdef TEX_MATRIX
out vec4 v_tex;
#else
out vec2 v_tex;
#endif
void main() {
    vec4 pos = vec4(a_pos, 1.0);
    gl_Position = u_mvp * pos;
#ifdef WIDE
    // A wide line as a quad: each end moved half the width across the
    // line's minor axis, in window pixels.
    vec4 other = u_mvp * vec4(a_other.xyz, 1.0);
    vec2 d = other.xy / other.w * u_vpHalf - gl_Position.xy / gl_Position.w * u_vpHalf;
    vec2 offset = abs(d.x) >= abs(d.y) ? vec2(0.0, a_other.w * u_halfWidth) : vec2(a_other.w * u_halfWidth, 0.0);
    gl_Position.xy += offset / u_vpHalf * gl_Position.w;
#endif
#ifdef POINTS
    gl_PointSize = u_pointSize;
#endif
#if defined(LIGHTING) || defined(GEN_S) || defined(GEN_T)
    vec4 eye = u_modelview * pos;
    vec3 n = u_normalMatrix * a_normal;
#ifdef NORMALIZE
    n = normalize(n);
#endif
#endif
#ifdef LIGHTING
    vec3 c = u_scene;
    for (int i = 0; i < LIGHT_COUNT; ++i) {
        vec3 L = u_lightPos[i].xyz;
        float att = 1.0;
        if (u_lightPos[i].w != 0.0) {
            vec3 d = u_lightPos[i].xyz - eye.xyz;
            float dist = length(d);
            L = d / dist;
            att = 1.0 / (u_att[i].x + dist * (u_att[i].y + dist * u_att[i].z));
        }
        float nl = dot(n, L);
        vec3 contribution = u_amb[i];
        if (nl > 0.0) {
            float nh = dot(n, normalize(L + vec3(0.0, 0.0, 1.0)));
            contribution += nl * u_diff[i] + pow(max(nh, 0.0), u_shininess) * u_spec[i];
        }
        c += att * contribution;
    }
    v_colour = clamp(vec4(c, u_alpha), 0.0, 1.0);
#else
    v_colour = clamp(a_colour, 0.0, 1.0);
#endif
    vec4 tc = vec4(a_tex, 0.0, 1.0);
#if defined(GEN_S) || defined(GEN_T)
    vec3 u = normalize(eye.xyz);
    vec3 r = u - 2.0 * dot(n, u) * n;
    vec2 sphere = r.xy * (0.5 * inversesqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0))) + 0.5;
#ifdef GEN_S
    tc.x = sphere.x;
#endif
#ifdef GEN_T
    tc.y = sphere.y;
#endif
#endif
#ifdef TEX_MATRIX
    v_tex = u_texMatrix * tc;
#else
    v_tex = tc.xy;
#endif
}
)";

// Kept as plain as Mesa's own fixed-function shaders (a texel times the
// colour, read straight from the interpolated coordinate), so that llvmpipe
// takes its fast paths for them alike.
const char* kFragmentShader = R"(
FLAT in vec4 v_colour;
#ifdef TEX_MATRIX
in vec4 v_tex;
#else
in vec2 v_tex;
#endif
uniform sampler2D u_texture;
#if defined(BLEND_ALPHA) || defined(BLEND_COLOUR)
uniform sampler2D u_under;  // the pixels under the draw, from u_underOrigin on
uniform vec2 u_underOrigin;
// a * b / 255 for bytes, from t = a * b, as the file's head has it.
vec4 byteProduct(vec4 t) { return floor((t + floor(t / 256.0) + 128.0) / 256.0); }
#endif
out vec4 o_colour;
void main() {
#if defined(TEXTURE) && defined(TEX_MATRIX)
    o_colour = textureProj(u_texture, v_tex.xyw) * v_colour;
#elif defined(TEXTURE)
    o_colour = texture(u_texture, v_tex) * v_colour;
#else
    o_colour = v_colour;
#endif
#if defined(BLEND_ALPHA) || defined(BLEND_COLOUR)
    vec4 s = floor(clamp(o_colour, 0.0, 1.0) * 255.0 + 0.5);
    vec4 d = floor(texelFetch(u_under, ivec2(gl_FragCoord.xy - u_underOrigin), 0) * 255.0 + 0.5);
#ifdef BLEND_ALPHA
    vec4 w = vec4(s.a);
#else
    vec4 w = s;
#endif
    o_colour = (byteProduct(s * w) + byteProduct(d * (255.0 - w))) / 255.0;
#endif
}
)";

GLuint Compile(GLenum type, const std::string& source) {
    const GLuint s = es.CreateShader(type);
    const char* text = source.c_str();
    es.ShaderSource(s, 1, &text, nullptr);
    es.CompileShader(s);
    GLint ok = 0;
    es.GetShaderiv(s, ES_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048] = "";
        es.GetShaderInfoLog(s, sizeof log, nullptr, log);
        std::fprintf(stderr, "gl11: shader: %s\n", log);
        es.DeleteShader(s);
        return 0;
    }
    return s;
}

Program* ProgramFor(unsigned key) {
    Program& p = g_programs[key];
    if (p.id) return &p;
    std::string defines = "#version 300 es\nprecision highp float;\n";
    if (key & kLighting) defines += "#define LIGHTING\n";
    defines += "#define LIGHT_COUNT " + std::to_string(key >> kLightShift) + "\n";
    if (key & kTexture) defines += "#define TEXTURE\n";
    if (key & kGenS) defines += "#define GEN_S\n";
    if (key & kGenT) defines += "#define GEN_T\n";
    if (key & kNormalize) defines += "#define NORMALIZE\n";
    if (key & kWide) defines += "#define WIDE\n";
    if (key & kTexMatrix) defines += "#define TEX_MATRIX\n";
    if (key & kPoints) defines += "#define POINTS\n";
    if (key & kBlendAlpha) defines += "#define BLEND_ALPHA\n";
    if (key & kBlendColour) defines += "#define BLEND_COLOUR\n";
    defines += (key & kFlat) ? "#define FLAT flat\n" : "#define FLAT\n";
    const GLuint vs = Compile(ES_VERTEX_SHADER, defines + kVertexShader);
    const GLuint fs = Compile(ES_FRAGMENT_SHADER, defines + kFragmentShader);
    if (!vs || !fs) return nullptr;
    p.id = es.CreateProgram();
    es.AttachShader(p.id, vs);
    es.AttachShader(p.id, fs);
    es.LinkProgram(p.id);
    es.DeleteShader(vs);
    es.DeleteShader(fs);
    GLint ok = 0;
    es.GetProgramiv(p.id, ES_LINK_STATUS, &ok);
    if (!ok) {
        char log[2048] = "";
        es.GetProgramInfoLog(p.id, sizeof log, nullptr, log);
        std::fprintf(stderr, "gl11: program: %s\n", log);
        p.id = 0;
        return nullptr;
    }
    const auto at = [&](const char* name) { return es.GetUniformLocation(p.id, name); };
    p.mvp = at("u_mvp");
    p.modelview = at("u_modelview");
    p.normalMatrix = at("u_normalMatrix");
    p.texMatrix = at("u_texMatrix");
    p.pointSize = at("u_pointSize");
    p.scene = at("u_scene");
    p.alpha = at("u_alpha");
    p.shininess = at("u_shininess");
    p.lightPos = at("u_lightPos");
    p.amb = at("u_amb");
    p.diff = at("u_diff");
    p.spec = at("u_spec");
    p.att = at("u_att");
    p.vpHalf = at("u_vpHalf");
    p.halfWidth = at("u_halfWidth");
    p.sampler = at("u_texture");
    p.under = at("u_under");
    p.underOrigin = at("u_underOrigin");
    es.UseProgram(p.id);
    g_current = p.id;
    if (p.sampler >= 0) es.Uniform1i(p.sampler, 0);
    if (p.under >= 0) es.Uniform1i(p.under, 1);
    return &p;
}

// The copy of the pixels under a draw that blends by hand (texture unit 1),
// and whether the driver's blending is off for such a draw.
// The copy is kept while only such draws follow each other over parts of it
// that none of them has drawn on yet (a keyed picture drawn rectangle by
// rectangle takes one copy, not one per rectangle).
struct Rect {
    GLint x0, y0, x1, y1;
    bool Meets(const Rect& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};
struct Under {
    GLuint texture = 0;
    GLint width = 0, height = 0;
    GLenum format = 0;  // the copy's: GL_RGB or GL_RGBA
    // The framebuffer drawn into, and the format of each one asked so far
    // (asked once: a query that reaches WebGL can wait for the GPU).
    GLuint framebuffer = 0;
    std::map<GLuint, GLenum> formats;
    bool blendOff = false;
    bool inShader = false;   // the two blends done in the shader
    bool current = false;    // the copy holds the pixels, but where `drawn` says
    GLint copied[4] = {};    // the viewport it was copied for
    std::vector<Rect> drawn;
} g_under;

unsigned KeyFor(bool wide, bool points) {
    const ServerState& s = g.s;
    unsigned key = 0;
    if (s.lighting) {
        key |= kLighting;
        unsigned lights = 0;
        for (bool on : s.lightOn) lights += on;
        key |= lights << kLightShift;
    }
    if (s.texture2D && BoundTexture()->Complete()) {
        key |= kTexture;
        if (std::memcmp(Top(2).m, Identity().m, sizeof(Mat4)) != 0) key |= kTexMatrix;
        if (s.texGenS && s.texGenMode[0] == GL_SPHERE_MAP) key |= kGenS;
        if (s.texGenT && s.texGenMode[1] == GL_SPHERE_MAP) key |= kGenT;
    }
    if (s.normalize && (key & (kLighting | kGenS | kGenT))) key |= kNormalize;
    if (s.shadeModel == GL_FLAT) key |= kFlat;
    if (wide) key |= kWide;
    if (points) key |= kPoints;
    if (g_under.inShader && s.blend) {
        if (s.blendSrc == GL_SRC_ALPHA && s.blendDst == GL_ONE_MINUS_SRC_ALPHA) key |= kBlendAlpha;
        if (s.blendSrc == GL_SRC_COLOR && s.blendDst == GL_ONE_MINUS_SRC_COLOR) key |= kBlendColour;
    }
    return key;
}

// Before a draw: for a blend done in the shader, the driver's blending off
// and the pixels the draw can touch (the viewport, within the scissor box)
// in the copy; otherwise the driver's blending as the state says.
void PrepareBlend(Program& p, unsigned key) {
    const ServerState& s = g.s;
    if (!(key & (kBlendAlpha | kBlendColour))) {
        if (g_under.blendOff && s.blend) es.Enable(GL_BLEND);
        g_under.blendOff = false;
        g_under.current = false;
        return;
    }
    es.Disable(GL_BLEND);
    g_under.blendOff = true;
    const GLint* vp = s.viewport;
    const Rect view = {std::max(vp[0], 0), std::max(vp[1], 0), vp[0] + vp[2], vp[1] + vp[3]};
    Rect r = view;
    if (s.scissorTest) {
        const GLint* sc = s.scissor;
        r = {std::max(r.x0, sc[0]), std::max(r.y0, sc[1]), std::min(r.x1, sc[0] + sc[2]),
             std::min(r.y1, sc[1] + sc[3])};
    }
    if (r.x1 <= r.x0 || r.y1 <= r.y0) return;  // nothing to draw on
    bool keep = g_under.current && std::memcmp(g_under.copied, vp, sizeof g_under.copied) == 0;
    for (size_t i = 0; keep && i < g_under.drawn.size(); ++i) keep = !g_under.drawn[i].Meets(r);
    if (!keep) {
        GLenum& format = g_under.formats[g_under.framebuffer];
        if (!format) {
            GLint alphaBits = 0;
            es.GetIntegerv(ES_ALPHA_BITS, &alphaBits);
            format = alphaBits > 0 ? GL_RGBA : GL_RGB;
        }
        es.ActiveTexture(ES_TEXTURE1);
        if (!g_under.texture) {
            es.GenTextures(1, &g_under.texture);
            es.BindTexture(GL_TEXTURE_2D, g_under.texture);
            es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        } else {
            es.BindTexture(GL_TEXTURE_2D, g_under.texture);
        }
        if (g_under.width != vp[2] || g_under.height != vp[3] || g_under.format != format) {
            es.TexImage2D(GL_TEXTURE_2D, 0, GLint(format), vp[2], vp[3], 0, format, GL_UNSIGNED_BYTE, nullptr);
            g_under.width = vp[2], g_under.height = vp[3], g_under.format = format;
        }
        es.CopyTexSubImage2D(GL_TEXTURE_2D, 0, view.x0 - vp[0], view.y0 - vp[1], view.x0, view.y0,
                             view.x1 - view.x0, view.y1 - view.y0);
        es.ActiveTexture(ES_TEXTURE0);
        g_under.current = true;
        std::memcpy(g_under.copied, vp, sizeof g_under.copied);
        g_under.drawn.clear();
    }
    g_under.drawn.push_back(r);
    if (p.underOriginSent[0] != vp[0] || p.underOriginSent[1] != vp[1]) {
        p.underOriginSent[0] = vp[0], p.underOriginSent[1] = vp[1];
        es.Uniform2f(p.underOrigin, float(vp[0]), float(vp[1]));
    }
}

void SendUniforms(Program& p, unsigned key) {
    const ServerState& s = g.s;
    if (p.matrixSerial != g.matrixSerial) {
        p.matrixSerial = g.matrixSerial;
        const Mat4 mvp = Multiply(Top(1), Top(0));
        es.UniformMatrix4fv(p.mvp, 1, GL_FALSE, mvp.m);
        es.UniformMatrix4fv(p.texMatrix, 1, GL_FALSE, Top(2).m);
        if (key & (kLighting | kGenS | kGenT)) {
            es.UniformMatrix4fv(p.modelview, 1, GL_FALSE, Top(0).m);
            // Normals go through the inverse transpose of the modelview.
            Mat4 inv;
            if (!Invert(Top(0), &inv)) inv = Identity();
            const float nm[9] = {inv.m[0], inv.m[4], inv.m[8], inv.m[1], inv.m[5], inv.m[9], inv.m[2], inv.m[6], inv.m[10]};
            es.UniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, nm);
        }
        if (key & kWide) es.Uniform2f(p.vpHalf, float(s.viewport[2]) * 0.5f, float(s.viewport[3]) * 0.5f);
    }
    if ((key & kPoints) && p.pointSizeSent != s.pointSize) {
        p.pointSizeSent = s.pointSize;
        es.Uniform1f(p.pointSize, s.pointSize);
    }
    if ((key & kWide) && p.lineWidthSent != s.lineWidth) {
        p.lineWidthSent = s.lineWidth;
        es.Uniform1f(p.halfWidth, s.lineWidth * 0.5f);
    }
    if ((key & kLighting) && p.lightSerial != g.lightSerial) {
        p.lightSerial = g.lightSerial;
        const Material& m = s.front;
        float scene[3], pos[8][4], amb[8][3], diff[8][3], spec[8][3], att[8][3];
        for (int i = 0; i < 3; ++i) scene[i] = m.emission[i] + m.ambient[i] * s.lightModelAmbient[i];
        int count = 0;
        for (int l = 0; l < 8; ++l) {
            if (!s.lightOn[l]) continue;
            const Light& light = s.lights[l];
            std::memcpy(pos[count], light.position, sizeof pos[count]);
            if (light.position[3] != 0.0f) {
                for (int i = 0; i < 3; ++i) pos[count][i] /= light.position[3];
            } else {
                const float len = std::sqrt(pos[count][0] * pos[count][0] + pos[count][1] * pos[count][1] +
                                            pos[count][2] * pos[count][2]);
                if (len > 0)
                    for (int i = 0; i < 3; ++i) pos[count][i] /= len;
            }
            for (int i = 0; i < 3; ++i) {
                amb[count][i] = light.ambient[i] * m.ambient[i];
                diff[count][i] = light.diffuse[i] * m.diffuse[i];
                spec[count][i] = light.specular[i] * m.specular[i];
                att[count][i] = light.attenuation[i];
            }
            ++count;
        }
        es.Uniform3fv(p.scene, 1, scene);
        es.Uniform1f(p.alpha, m.diffuse[3]);
        es.Uniform1f(p.shininess, m.shininess);
        if (count > 0) {
            es.Uniform4fv(p.lightPos, count, pos[0]);
            es.Uniform3fv(p.amb, count, amb[0]);
            es.Uniform3fv(p.diff, count, diff[0]);
            es.Uniform3fv(p.spec, count, spec[0]);
            es.Uniform3fv(p.att, count, att[0]);
        }
    }
}

bool UseProgramFor(bool wide, bool points = false) {
    const unsigned key = KeyFor(wide, points);
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

// What the vertex array object holds now, so that unchanged attributes are
// not set again (every change costs the driver a validation).
struct AttributeState {
    GLuint buffer = 0;
    size_t base = SIZE_MAX;
    GLsizei stride = 0;
    unsigned arrays = 0;      // bit i: attribute i comes from the buffer
    float constant[4][4] = {};  // attributes 1-3 when they do not
} g_attributes;

// Points the attributes at vertices of `stride` bytes from `base` in
// `buffer` (bound as the array buffer); attributes in `constants` (bits 1-3)
// take the values given instead.
void PointAttributes(GLuint buffer, size_t base, GLsizei stride, bool wide, unsigned constants = 0,
                     const float values[4][4] = nullptr) {
    AttributeState& a = g_attributes;
    if (a.buffer != buffer || a.base != base || a.stride != stride) {
        const auto at = [&](size_t offset) { return reinterpret_cast<const void*>(base + offset); };
        es.VertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, at(offsetof(Vertex, pos)));
        es.VertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, at(offsetof(Vertex, normal)));
        es.VertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, stride, at(offsetof(Vertex, colour)));
        es.VertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, at(offsetof(Vertex, tex)));
        if (wide) es.VertexAttribPointer(4, 4, GL_FLOAT, GL_FALSE, stride, at(sizeof(Vertex)));
        a.buffer = buffer, a.base = base, a.stride = stride;
    }
    const unsigned arrays = (wide ? 0x1Fu : 0x0Fu) & ~constants;
    for (GLuint i = 0; i < 5; ++i) {
        const unsigned bit = 1u << i;
        if ((arrays & bit) && !(a.arrays & bit)) es.EnableVertexAttribArray(i);
        if (!(arrays & bit) && (a.arrays & bit)) es.DisableVertexAttribArray(i);
        if ((constants & bit) && std::memcmp(a.constant[i - 1], values[i - 1], sizeof a.constant[0]) != 0) {
            std::memcpy(a.constant[i - 1], values[i - 1], sizeof a.constant[0]);
            es.VertexAttrib4f(i, values[i - 1][0], values[i - 1][1], values[i - 1][2], values[i - 1][3]);
        }
    }
    a.arrays = arrays;
}

bool IsFill(GLenum mode) { return mode >= GL_TRIANGLES && mode <= GL_POLYGON; }
bool IsLine(GLenum mode) { return mode >= GL_LINES && mode <= GL_LINE_STRIP; }

// Triangles of the filled primitives as Mesa splits them: the last vertex
// of every triangle is the one flat shading takes.
void Triangles(GLenum mode, size_t n, const uint32_t* idx, std::vector<uint32_t>* out) {
    const auto at = [&](size_t i) { return idx ? idx[i] : uint32_t(i); };
    const auto tri = [&](size_t a, size_t b, size_t c) {
        out->push_back(at(a)), out->push_back(at(b)), out->push_back(at(c));
    };
    switch (mode) {
        case GL_TRIANGLES:
            for (size_t i = 0; i + 2 < n; i += 3) tri(i, i + 1, i + 2);
            break;
        case GL_TRIANGLE_STRIP:
            for (size_t i = 0; i + 2 < n; ++i) (i & 1) ? tri(i + 1, i, i + 2) : tri(i, i + 1, i + 2);
            break;
        case GL_TRIANGLE_FAN:
            for (size_t i = 1; i + 1 < n; ++i) tri(i, i + 1, 0);
            break;
        case GL_QUADS:
            for (size_t i = 0; i + 3 < n; i += 4) tri(i, i + 1, i + 3), tri(i + 1, i + 2, i + 3);
            break;
        case GL_QUAD_STRIP:
            for (size_t i = 0; i + 3 < n; i += 2) tri(i + 2, i, i + 3), tri(i, i + 1, i + 3);
            break;
        case GL_POLYGON:
            for (size_t i = 1; i + 1 < n; ++i) tri(i, i + 1, 0);
            break;
        default: break;
    }
}

// The outline polygon mode GL_LINE draws: each triangle's edges that are
// edges of the primitive, in the order Mesa draws them ((2, 0), (0, 1), (1, 2)).
void Outline(GLenum mode, size_t n, const uint32_t* idx, std::vector<uint32_t>* out) {
    const auto at = [&](size_t i) { return idx ? idx[i] : uint32_t(i); };
    const auto tri = [&](size_t a, size_t b, size_t c, unsigned edges) {  // bit k: edge from vertex k
        if (edges & 4) out->push_back(at(c)), out->push_back(at(a));
        if (edges & 1) out->push_back(at(a)), out->push_back(at(b));
        if (edges & 2) out->push_back(at(b)), out->push_back(at(c));
    };
    switch (mode) {
        case GL_TRIANGLES:
            for (size_t i = 0; i + 2 < n; i += 3) tri(i, i + 1, i + 2, 7);
            break;
        case GL_TRIANGLE_STRIP:
            for (size_t i = 0; i + 2 < n; ++i) (i & 1) ? tri(i + 1, i, i + 2, 7) : tri(i, i + 1, i + 2, 7);
            break;
        case GL_TRIANGLE_FAN:
            for (size_t i = 1; i + 1 < n; ++i) tri(i, i + 1, 0, 7);
            break;
        case GL_QUADS:
            for (size_t i = 0; i + 3 < n; i += 4) tri(i, i + 1, i + 3, 1 | 4), tri(i + 1, i + 2, i + 3, 1 | 2);
            break;
        case GL_QUAD_STRIP:
            for (size_t i = 0; i + 3 < n; i += 2) tri(i + 2, i, i + 3, 1 | 4), tri(i, i + 1, i + 3, 1 | 2);
            break;
        case GL_POLYGON:
            for (size_t i = 0; i < n; ++i) out->push_back(at(i)), out->push_back(at((i + 1) % n));
            break;
        default: break;
    }
}

void LinePairs(GLenum mode, size_t n, const uint32_t* idx, std::vector<uint32_t>* out) {
    const auto at = [&](size_t i) { return idx ? idx[i] : uint32_t(i); };
    if (mode == GL_LINES) {
        for (size_t i = 0; i + 1 < n; i += 2) out->push_back(at(i)), out->push_back(at(i + 1));
        return;
    }
    for (size_t i = 0; i + 1 < n; ++i) out->push_back(at(i)), out->push_back(at(i + 1));
    if (mode == GL_LINE_LOOP && n > 1) out->push_back(at(n - 1)), out->push_back(at(0));
}

// The stream buffers keep their storage and are written over for each draw:
// new storage per draw costs the driver an allocation (and the kernel page
// faults) every time, where the vertices are read at the draw call anyway.
size_t g_streamCapacity[2] = {0, 0};

void Upload(GLenum target, GLuint buffer, const void* data, size_t bytes) {
    size_t& capacity = g_streamCapacity[target == ES_ELEMENT_ARRAY_BUFFER ? 1 : 0];
    es.BindBuffer(target, buffer);
    if (bytes > capacity) {
        capacity = bytes > 2 * capacity ? bytes : 2 * capacity;
        es.BufferData(target, GLsizeiptr(capacity), nullptr, ES_STREAM_DRAW);
    }
    es.BufferSubData(target, 0, GLsizeiptr(bytes), data);
}

struct QuadPattern {
    GLuint buffer = 0;
    size_t vertices = 0;  // the run of vertices the buffer's triangles cover
} g_quadPatterns[2];      // quads, quad strips

// Draws now, with the current state.
void DrawNow(GLenum mode, const Vertex* v, size_t n, const uint32_t* idx, size_t ni) {
    if (n == 0) return;
    static std::vector<uint32_t> converted;
    converted.clear();
    const size_t count = idx ? ni : n;
    if (IsFill(mode) && g.s.polygonMode[0] != GL_FILL) {
        if (g.s.polygonMode[0] == GL_LINE) {
            Outline(mode, count, idx, &converted);
            mode = GL_LINES;
        } else {
            for (size_t i = 0; i < count; ++i) converted.push_back(idx ? idx[i] : uint32_t(i));
            mode = GL_POINTS;
        }
        idx = converted.data();
        ni = converted.size();
    }
    if (IsLine(mode) && g.s.lineWidth > 1.0f) {
        // ES draws lines one pixel wide: each segment becomes two triangles.
        std::vector<uint32_t> pairs;
        LinePairs(mode, idx ? ni : n, idx, &pairs);
        struct Wide {
            Vertex v;
            float other[4];
        };
        static std::vector<Wide> wide;
        static std::vector<uint32_t> tris;
        wide.clear();
        tris.clear();
        for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
            const Vertex& a = v[pairs[i]];
            const Vertex& b = v[pairs[i + 1]];
            const uint32_t base = uint32_t(wide.size());
            for (float side : {-1.0f, 1.0f}) wide.push_back({a, {b.pos[0], b.pos[1], b.pos[2], side}});
            for (float side : {-1.0f, 1.0f}) wide.push_back({b, {a.pos[0], a.pos[1], a.pos[2], side}});
            for (uint32_t k : {0u, 2u, 3u, 0u, 3u, 1u}) tris.push_back(base + k);
        }
        if (tris.empty() || !UseProgramFor(true)) return;
        Upload(ES_ARRAY_BUFFER, g_streamVbo, wide.data(), wide.size() * sizeof(Wide));
        PointAttributes(g_streamVbo, 0, sizeof(Wide), true);
        Upload(ES_ELEMENT_ARRAY_BUFFER, g_streamIbo, tris.data(), tris.size() * 4);
        es.DrawRangeElements(GL_TRIANGLES, 0, GLuint(wide.size() - 1), GLsizei(tris.size()), GL_UNSIGNED_INT,
                             nullptr);
        return;
    }
    if (!idx && (mode == GL_QUADS || mode == GL_QUAD_STRIP) && g.s.polygonMode[0] == GL_FILL) {
        // Quads of vertices in order: the triangles of n vertices are the
        // first ones of a longer run's, kept in a buffer of their own.
        const int which = mode == GL_QUADS ? 0 : 1;
        QuadPattern& q = g_quadPatterns[which];
        if (n > q.vertices) {
            std::vector<uint32_t> pattern;
            const size_t vertices = n > 2 * q.vertices ? n : 2 * q.vertices;
            Triangles(mode, vertices, nullptr, &pattern);
            if (!q.buffer) es.GenBuffers(1, &q.buffer);
            es.BindBuffer(ES_ELEMENT_ARRAY_BUFFER, q.buffer);
            es.BufferData(ES_ELEMENT_ARRAY_BUFFER, GLsizeiptr(pattern.size() * 4), pattern.data(), ES_STATIC_DRAW);
            q.vertices = vertices;
        }
        const size_t count = mode == GL_QUADS ? n / 4 * 6 : (n >= 4 ? (n / 2 - 1) * 6 : 0);
        if (count == 0 || !UseProgramFor(false)) return;
        Upload(ES_ARRAY_BUFFER, g_streamVbo, v, n * sizeof(Vertex));
        PointAttributes(g_streamVbo, 0, sizeof(Vertex), false);
        es.BindBuffer(ES_ELEMENT_ARRAY_BUFFER, q.buffer);
        es.DrawRangeElements(GL_TRIANGLES, 0, GLuint(n - 1), GLsizei(count), GL_UNSIGNED_INT, nullptr);
        return;
    }
    if (mode == GL_QUADS || mode == GL_QUAD_STRIP || mode == GL_POLYGON) {
        Triangles(mode, idx ? ni : n, idx, &converted);
        mode = GL_TRIANGLES;
        idx = converted.data();
        ni = converted.size();
    }
    if (!UseProgramFor(false, mode == GL_POINTS)) return;
    Upload(ES_ARRAY_BUFFER, g_streamVbo, v, n * sizeof(Vertex));
    PointAttributes(g_streamVbo, 0, sizeof(Vertex), false);
    if (idx) {
        if (ni == 0) return;
        Upload(ES_ELEMENT_ARRAY_BUFFER, g_streamIbo, idx, ni * 4);
        // The range tells the driver which vertices to shade, without a
        // pass over the indices.
        es.DrawRangeElements(mode, 0, GLuint(n - 1), GLsizei(ni), GL_UNSIGNED_INT, nullptr);
    } else {
        es.DrawArrays(mode, 0, GLsizei(n));
    }
}

// The current value of an attribute, into a vertex.
void FillCurrent(Vertex* v, int attr) {
    switch (attr) {
        case kNormal: std::memcpy(v->normal, g.s.normal, sizeof v->normal); break;
        case kColour: std::memcpy(v->colour, g.s.colour, sizeof v->colour); break;
        default: std::memcpy(v->tex, g.s.tex, sizeof v->tex); break;
    }
}

void EndBatch(std::vector<Vertex>&& vertices, GLenum mode, const size_t firstSet[3]) {
    DisplayList* list = g.compiling.get();
    Batch b;
    b.mode = mode;
    b.vertices = std::move(vertices);
    for (int a = 0; a < 3; ++a) b.firstSet[a] = firstSet[a] > b.vertices.size() ? b.vertices.size() : firstSet[a];
    DisplayList::Op op;
    op.batch = int(list->batches.size());
    list->batches.push_back(std::move(b));
    list->ops.push_back(std::move(op));
}

// a * b / 255 for bytes, as the file's head has it.
long ByteProduct(long a, long b) {
    const long t = a * b;
    return (t + (t >> 8) + 128) >> 8;
}

// Whether the driver blends GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA as the
// file's head says: a row of 256 pixels shaded across (each channel its own
// ramp), read back, blended with one 0.1-alpha colour and read again. Leaves
// the viewport, blend and depth test for SyncDriver to set, and `bound`,
// the framebuffer the caller draws into, bound again.
bool DriverBlendsInBytes(GLuint bound) {
    GLuint framebuffer = 0, colour = 0;
    es.GenRenderbuffers(1, &colour);
    es.BindRenderbuffer(GL_RENDERBUFFER, colour);
    es.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 256, 1);
    es.GenFramebuffers(1, &framebuffer);
    es.BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    es.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    es.Viewport(0, 0, 256, 1);
    es.Disable(GL_DEPTH_TEST);
    es.Disable(GL_BLEND);
    Program* p = ProgramFor(0);
    const Mat4 identity = Identity();
    es.UseProgram(p->id);
    es.UniformMatrix4fv(p->mvp, 1, GL_FALSE, identity.m);
    p->matrixSerial = 0;
    const auto draw = [&](const float left[4], const float right[4]) {
        Vertex quad[4] = {};
        const float corners[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
        for (int i = 0; i < 4; ++i) {
            quad[i].pos[0] = corners[i][0], quad[i].pos[1] = corners[i][1];
            std::memcpy(quad[i].colour, corners[i][0] < 0 ? left : right, sizeof quad[i].colour);
        }
        Upload(ES_ARRAY_BUFFER, g_streamVbo, quad, sizeof quad);
        PointAttributes(g_streamVbo, 0, sizeof(Vertex), false);
        es.DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    };
    const float left[4] = {0.0f, 1.0f, 0.35f, 1.0f}, right[4] = {1.0f, 0.0f, 0.9f, 1.0f};
    draw(left, right);
    uint8_t under[256 * 4], row[256 * 4];
    es.ReadPixels(0, 0, 256, 1, GL_RGBA, GL_UNSIGNED_BYTE, under);
    const float source[4] = {0.2f, 0.6f, 0.8f, 0.1f};
    es.Enable(GL_BLEND);
    es.BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    draw(source, source);
    es.ReadPixels(0, 0, 256, 1, GL_RGBA, GL_UNSIGNED_BYTE, row);
    es.BindFramebuffer(GL_FRAMEBUFFER, bound);
    es.DeleteFramebuffers(1, &framebuffer);
    es.DeleteRenderbuffers(1, &colour);
    const long w = 26;  // 0.1 as a byte
    for (int i = 0; i < 256 * 4; ++i) {
        if (i % 4 == 3) continue;
        const long s = std::lround(source[i % 4] * 255.0f);
        if (row[i] != ByteProduct(s, w) + ByteProduct(under[i], 255 - w)) return false;
    }
    return true;
}

}  // namespace

void FramebufferBound(GLenum target, GLuint framebuffer) {
    if (target != GL_READ_FRAMEBUFFER) g_under.framebuffer = framebuffer;
    g_under.current = false;
}

void FramebufferChanged() {
    g_under.formats.clear();
    g_under.current = false;
}

void PixelsChanged() { g_under.current = false; }

void SetShaderBlend(bool on) { g_under.inShader = on; }
bool ShaderBlend() { return g_under.inShader; }

bool InitDrawing() {
    g_programs.clear();
    g_current = 0;
    es.GenVertexArrays(1, &g_vao);
    es.BindVertexArray(g_vao);
    es.GenBuffers(1, &g_streamVbo);
    es.GenBuffers(1, &g_streamIbo);
    g_attributes = AttributeState();
    g_streamCapacity[0] = g_streamCapacity[1] = 0;
    g_quadPatterns[0] = g_quadPatterns[1] = QuadPattern();
    g_under = Under();
    // The common programs built now, not in the middle of a frame.
    const unsigned lit = kLighting | 1u << kLightShift;  // one light, as most programs have
    for (unsigned key : {0u, lit, unsigned(kTexture), lit | kTexture})
        if (!ProgramFor(key)) return false;
    GLint framebuffer = 0;
    es.GetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
    g_under.framebuffer = GLuint(framebuffer);
    g_under.inShader = !DriverBlendsInBytes(g_under.framebuffer);
    es.UseProgram(0);
    g_current = 0;
    return true;
}

void Submit(GLenum mode, const Vertex* vertices, size_t count, const uint32_t* indices, size_t indexCount) {
    if (!g.compiling) {
        DrawNow(mode, vertices, count, indices, indexCount);
        return;
    }
    // Arrays in a list: their values as they are now.
    std::vector<Vertex> flat;
    if (indices) {
        for (size_t i = 0; i < indexCount; ++i) flat.push_back(vertices[indices[i]]);
    } else {
        flat.assign(vertices, vertices + count);
    }
    const size_t set[3] = {0, 0, 0};
    EndBatch(std::move(flat), mode, set);
    if (g.compilingMode == GL_COMPILE_AND_EXECUTE) DrawNow(mode, vertices, count, indices, indexCount);
}

void FinishList(DisplayList* list) {
    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;
    for (Batch& b : list->batches) {
        b.firstVertex = vertices.size();
        vertices.insert(vertices.end(), b.vertices.begin(), b.vertices.end());
        b.firstIndex = indices.size();
        const size_t before = indices.size();
        if (b.mode == GL_QUADS || b.mode == GL_QUAD_STRIP || b.mode == GL_POLYGON) {
            Triangles(b.mode, b.vertices.size(), nullptr, &indices);
            b.drawMode = GL_TRIANGLES;
        } else {
            for (size_t i = 0; i < b.vertices.size(); ++i) indices.push_back(uint32_t(i));
            b.drawMode = b.mode;
        }
        b.indexCount = indices.size() - before;
    }
    if (vertices.empty()) return;
    es.GenBuffers(1, &list->vbo);
    es.BindBuffer(ES_ARRAY_BUFFER, list->vbo);
    es.BufferData(ES_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(Vertex)), vertices.data(), ES_STATIC_DRAW);
    es.GenBuffers(1, &list->ibo);
    es.BindBuffer(ES_ELEMENT_ARRAY_BUFFER, list->ibo);
    es.BufferData(ES_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * 4), indices.data(), ES_STATIC_DRAW);
}

void FreeList(DisplayList* list) {
    // A buffer made later may take the name again.
    if (list->vbo && g_attributes.buffer == list->vbo) g_attributes.buffer = 0, g_attributes.base = SIZE_MAX;
    if (list->vbo) es.DeleteBuffers(1, &list->vbo);
    if (list->ibo) es.DeleteBuffers(1, &list->ibo);
    list->vbo = list->ibo = 0;
}

void DrawBatch(const DisplayList& list, const Batch& b) {
    const size_t n = b.vertices.size();
    if (n == 0) return;
    bool mixed = false;
    for (size_t first : b.firstSet) mixed |= first != 0 && first != n;
    const bool outline = IsFill(b.mode) && g.s.polygonMode[0] != GL_FILL;
    const bool wide = IsLine(b.mode) && g.s.lineWidth > 1.0f;
    if (mixed || outline || wide || !list.vbo) {
        // The general road: the vertices with the current values filled in.
        static std::vector<Vertex> v;
        v = b.vertices;
        for (int a = 0; a < 3; ++a)
            for (size_t i = 0; i < b.firstSet[a]; ++i) FillCurrent(&v[i], a);
        DrawNow(b.mode, v.data(), n, nullptr, 0);
        return;
    }
    if (!UseProgramFor(false, b.drawMode == GL_POINTS)) return;
    es.BindBuffer(ES_ARRAY_BUFFER, list.vbo);
    // Attributes the list never set take the current value for every vertex.
    unsigned constants = 0;
    float values[4][4] = {{g.s.normal[0], g.s.normal[1], g.s.normal[2], 1.0f},
                          {g.s.colour[0], g.s.colour[1], g.s.colour[2], g.s.colour[3]},
                          {g.s.tex[0], g.s.tex[1], 0.0f, 1.0f},
                          {0, 0, 0, 1}};
    if (b.firstSet[kNormal] == n) constants |= 2;
    if (b.firstSet[kColour] == n) constants |= 4;
    if (b.firstSet[kTex] == n) constants |= 8;
    PointAttributes(list.vbo, b.firstVertex * sizeof(Vertex), sizeof(Vertex), false, constants, values);
    es.BindBuffer(ES_ELEMENT_ARRAY_BUFFER, list.ibo);
    es.DrawRangeElements(b.drawMode, 0, GLuint(n - 1), GLsizei(b.indexCount), GL_UNSIGNED_INT,
                         reinterpret_cast<const void*>(b.firstIndex * 4));
}

}  // namespace gl11

using namespace gl11;

namespace {

// Sets an attribute: the current value, or the list's while one is compiled.
void SetAttribute(int attr, const float* v) {
    float* current[3] = {g.s.normal, g.s.colour, g.s.tex};
    float* recorded[3] = {g.listNormal, g.listColour, g.listTex};
    const size_t sizes[3] = {3, 4, 2};
    if (g.compiling) {
        std::memcpy(recorded[attr], v, sizes[attr] * sizeof(float));
        g.listSet[attr] = true;
        if (!g.inBegin) {
            float copy[4] = {0, 0, 0, 0};
            std::memcpy(copy, v, sizes[attr] * sizeof(float));
            DisplayList::Op op;
            op.run = [attr, copy] { std::memcpy(attr == 0 ? g.s.normal : (attr == 1 ? g.s.colour : g.s.tex), copy,
                                                (attr == 1 ? 4 : (attr == 0 ? 3 : 2)) * sizeof(float)); };
            g.compiling->ops.push_back(std::move(op));
        }
        if (g.compilingMode == GL_COMPILE) return;
    }
    std::memcpy(current[attr], v, sizes[attr] * sizeof(float));
}

void EmitVertex(float x, float y, float z) {
    if (!g.inBegin) return;  // outside glBegin / glEnd a vertex does nothing
    Vertex v;
    v.pos[0] = x, v.pos[1] = y, v.pos[2] = z;
    if (g.compiling) {
        std::memcpy(v.normal, g.listNormal, sizeof v.normal);
        std::memcpy(v.colour, g.listColour, sizeof v.colour);
        std::memcpy(v.tex, g.listTex, sizeof v.tex);
        for (int a = 0; a < 3; ++a)
            if (g_firstSet[a] == SIZE_MAX && g.listSet[a]) g_firstSet[a] = g.immediate.size();
    } else {
        std::memcpy(v.normal, g.s.normal, sizeof v.normal);
        std::memcpy(v.colour, g.s.colour, sizeof v.colour);
        std::memcpy(v.tex, g.s.tex, sizeof v.tex);
    }
    g.immediate.push_back(v);
}

bool ValidMode(GLenum mode) { return mode <= GL_POLYGON; }

// Reads element i of a client array as floats.
bool ReadArray(const ArrayPointer& a, size_t i, float* out, int size) {
    if (!a.enabled || !a.pointer) return false;
    const size_t elementBytes = a.type == GL_DOUBLE ? 8 : 4;
    const size_t stride = a.stride ? size_t(a.stride) : elementBytes * size_t(a.size);
    const uint8_t* p = static_cast<const uint8_t*>(a.pointer) + stride * i;
    for (int k = 0; k < size; ++k) {
        if (k >= a.size) break;
        if (a.type == GL_DOUBLE) {
            double d;
            std::memcpy(&d, p + 8 * k, 8);
            out[k] = float(d);
        } else {
            std::memcpy(&out[k], p + 4 * k, 4);
        }
    }
    return true;
}

// The vertices [lo, hi] of the enabled arrays, the current values for the rest.
void Gather(size_t lo, size_t hi, std::vector<Vertex>* out) {
    const ClientState& c = g.c;
    out->resize(hi - lo + 1);
    const bool fastPosition = c.vertex.type == GL_FLOAT && c.vertex.size == 3;
    for (size_t i = lo; i <= hi; ++i) {
        Vertex& v = (*out)[i - lo];
        if (fastPosition) {
            const size_t stride = c.vertex.stride ? size_t(c.vertex.stride) : 12;
            std::memcpy(v.pos, static_cast<const uint8_t*>(c.vertex.pointer) + stride * i, 12);
        } else {
            float p[4] = {0, 0, 0, 1};
            ReadArray(c.vertex, i, p, 4);
            v.pos[0] = p[0], v.pos[1] = p[1], v.pos[2] = p[2];
        }
        if (!ReadArray(c.normal, i, v.normal, 3)) std::memcpy(v.normal, g.s.normal, sizeof v.normal);
        if (!ReadArray(c.colour, i, v.colour, 4)) std::memcpy(v.colour, g.s.colour, sizeof v.colour);
        else if (c.colour.size == 3) v.colour[3] = 1.0f;
        if (!ReadArray(c.tex, i, v.tex, 2)) std::memcpy(v.tex, g.s.tex, sizeof v.tex);
    }
}

ArrayPointer* ArrayFor(GLenum array) {
    switch (array) {
        case GL_VERTEX_ARRAY: return &g.c.vertex;
        case GL_NORMAL_ARRAY: return &g.c.normal;
        case GL_COLOR_ARRAY: return &g.c.colour;
        case GL_TEXTURE_COORD_ARRAY: return &g.c.tex;
        default: return nullptr;
    }
}

void SetPointer(ArrayPointer* a, GLint size, GLenum type, GLsizei stride, const void* pointer) {
    if (stride < 0 || size < 2 || size > 4) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    if (type != GL_FLOAT && type != GL_DOUBLE) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    a->size = size, a->type = type, a->stride = stride, a->pointer = pointer;
}

}  // namespace

extern "C" {

void gl11_glBegin(GLenum mode) {
    if (g.inBegin) {
        SetError(GL_INVALID_OPERATION);
        return;
    }
    if (!ValidMode(mode)) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    g.inBegin = true;
    g.beginMode = mode;
    g.immediate.clear();
    for (int a = 0; a < 3; ++a) g_firstSet[a] = g.compiling && g.listSet[a] ? 0 : SIZE_MAX;
}

void gl11_glEnd(void) {
    if (!g.inBegin) {
        SetError(GL_INVALID_OPERATION);
        return;
    }
    g.inBegin = false;
    if (g.compiling) {
        std::vector<Vertex> v = g.immediate;
        EndBatch(std::move(v), g.beginMode, g_firstSet);
        // After the block the list's last values are current.
        const bool set[3] = {g.listSet[0], g.listSet[1], g.listSet[2]};
        float n[3], c[4], t[2];
        std::memcpy(n, g.listNormal, sizeof n);
        std::memcpy(c, g.listColour, sizeof c);
        std::memcpy(t, g.listTex, sizeof t);
        DisplayList::Op op;
        op.run = [=] {
            if (set[0]) std::memcpy(g.s.normal, n, sizeof n);
            if (set[1]) std::memcpy(g.s.colour, c, sizeof c);
            if (set[2]) std::memcpy(g.s.tex, t, sizeof t);
        };
        g.compiling->ops.push_back(std::move(op));
        if (g.compilingMode == GL_COMPILE) return;
    }
    DrawNow(g.beginMode, g.immediate.data(), g.immediate.size(), nullptr, 0);
}

void gl11_glVertex3f(GLfloat x, GLfloat y, GLfloat z) { EmitVertex(x, y, z); }
void gl11_glVertex3fv(const GLfloat* v) { EmitVertex(v[0], v[1], v[2]); }
void gl11_glVertex2f(GLfloat x, GLfloat y) { EmitVertex(x, y, 0.0f); }

void gl11_glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    const float v[3] = {x, y, z};
    SetAttribute(kNormal, v);
}
void gl11_glNormal3fv(const GLfloat* v) { SetAttribute(kNormal, v); }

void gl11_glColor4f(GLfloat r, GLfloat gr, GLfloat b, GLfloat a) {
    const float v[4] = {r, gr, b, a};
    SetAttribute(kColour, v);
}
void gl11_glColor3f(GLfloat r, GLfloat gr, GLfloat b) { gl11_glColor4f(r, gr, b, 1.0f); }
void gl11_glColor3fv(const GLfloat* v) { gl11_glColor4f(v[0], v[1], v[2], 1.0f); }
void gl11_glColor4fv(const GLfloat* v) { gl11_glColor4f(v[0], v[1], v[2], v[3]); }
void gl11_glColor3ub(GLubyte r, GLubyte gr, GLubyte b) { gl11_glColor4f(r / 255.0f, gr / 255.0f, b / 255.0f, 1.0f); }

void gl11_glTexCoord2f(GLfloat s, GLfloat t) {
    const float v[2] = {s, t};
    SetAttribute(kTex, v);
}
void gl11_glTexCoord2fv(const GLfloat* v) { SetAttribute(kTex, v); }

void gl11_glRectf(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2) {
    gl11_glBegin(GL_POLYGON);
    gl11_glVertex2f(x1, y1);
    gl11_glVertex2f(x2, y1);
    gl11_glVertex2f(x2, y2);
    gl11_glVertex2f(x1, y2);
    gl11_glEnd();
}

void gl11_glEnableClientState(GLenum array) {
    if (ArrayPointer* a = ArrayFor(array)) a->enabled = true;
    else SetError(GL_INVALID_ENUM);
}

void gl11_glDisableClientState(GLenum array) {
    if (ArrayPointer* a = ArrayFor(array)) a->enabled = false;
    else SetError(GL_INVALID_ENUM);
}

void gl11_glVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
    SetPointer(&g.c.vertex, size, type, stride, pointer);
}
void gl11_glNormalPointer(GLenum type, GLsizei stride, const GLvoid* pointer) {
    SetPointer(&g.c.normal, 3, type, stride, pointer);
}
void gl11_glColorPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
    SetPointer(&g.c.colour, size, type, stride, pointer);
}
void gl11_glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
    SetPointer(&g.c.tex, size, type, stride, pointer);
}

void gl11_glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    if (g.inBegin) {
        SetError(GL_INVALID_OPERATION);
        return;
    }
    if (!ValidMode(mode)) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    if (first < 0 || count < 0) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    if (count == 0 || !g.c.vertex.enabled || !g.c.vertex.pointer) return;
    static std::vector<Vertex> v;
    Gather(size_t(first), size_t(first) + size_t(count) - 1, &v);
    Submit(mode, v.data(), v.size(), nullptr, 0);
}

void gl11_glDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices) {
    if (g.inBegin) {
        SetError(GL_INVALID_OPERATION);
        return;
    }
    if (!ValidMode(mode) || (type != GL_UNSIGNED_BYTE && type != GL_UNSIGNED_SHORT && type != GL_UNSIGNED_INT)) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    if (count < 0) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    if (count == 0 || !g.c.vertex.enabled || !g.c.vertex.pointer || !indices) return;
    // Only the vertices the indices reach, renumbered from the lowest.
    static std::vector<uint32_t> idx;
    idx.resize(size_t(count));
    for (GLsizei i = 0; i < count; ++i) {
        switch (type) {
            case GL_UNSIGNED_BYTE: idx[i] = static_cast<const uint8_t*>(indices)[i]; break;
            case GL_UNSIGNED_SHORT: idx[i] = static_cast<const uint16_t*>(indices)[i]; break;
            default: idx[i] = static_cast<const uint32_t*>(indices)[i]; break;
        }
    }
    uint32_t lo = idx[0], hi = idx[0];
    for (uint32_t i : idx) lo = i < lo ? i : lo, hi = i > hi ? i : hi;
    for (uint32_t& i : idx) i -= lo;
    static std::vector<Vertex> v;
    Gather(lo, hi, &v);
    Submit(mode, v.data(), v.size(), idx.data(), idx.size());
}

}  // extern "C"
