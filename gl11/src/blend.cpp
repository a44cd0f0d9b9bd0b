// blend.cpp -- the blend done by hand.
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
// up a few levels away from a desktop driver's picture all over a frame
// buffer that is never cleared (measured: 1.7-2.2 levels on average in SwiftShader). At
// start a small test drawing asks the driver's blend; where it rounds
// otherwise, those two blends are done in the fragment shader against a copy
// of the pixels under the draw (a copy costs the driver a flush: on llvmpipe,
// whose blend rounds this way, copies made some parts 1.2-2 times slower).
#include "program.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace gl11 {
namespace {

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

}  // namespace

// Before a draw: for a blend done in the shader, the driver's blending off
// and the pixels the draw can touch (the viewport, within the scissor box)
// in the copy; otherwise the driver's blending as the state says.
void PrepareBlend(Program& p, uint64_t key) {
    const ServerState& s = g.s;
    if (!(key & (kKeyBlendAlpha | kKeyBlendColour))) {
        if (g_under.blendOff && s.blend) es.Enable(GL_BLEND);
        g_under.blendOff = false;
        g_under.current = false;
        return;
    }
    es.Disable(GL_BLEND);
    g_under.blendOff = true;
    // The pixels the draw can touch: the viewport's (for points, the
    // viewport they are drawn into, grown past GL's).
    GLint grown[4];
    if (key & kKeyPoints) PointViewport(grown);
    const GLint* vp = (key & kKeyPoints) ? grown : s.viewport;
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

namespace {

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
    Program* p = PlainProgram();
    const Mat4 identity = Identity();
    es.UseProgram(p->id);
    ProgramChanged();
    es.UniformMatrix4fv(p->mvp, 1, GL_FALSE, identity.m);
    p->Forget();
    const auto draw = [&](const float left[4], const float right[4]) {
        Vertex quad[4] = {};
        const float corners[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
        for (int i = 0; i < 4; ++i) {
            quad[i].pos[0] = corners[i][0], quad[i].pos[1] = corners[i][1], quad[i].pos[3] = 1.0f;
            std::memcpy(quad[i].colour, corners[i][0] < 0 ? left : right, sizeof quad[i].colour);
        }
        const GLint first = GLint(StreamVertices(quad, 4, sizeof(Vertex)));
        PointAttributes(StreamBuffer(), 0, FullLayout());
        es.DrawArrays(GL_TRIANGLE_STRIP, first, 4);
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

bool InitBlend() {
    g_under = Under();
    GLint framebuffer = 0;
    es.GetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
    g_under.framebuffer = GLuint(framebuffer);
    g_under.inShader = !DriverBlendsInBytes(g_under.framebuffer);
    return true;
}

}  // namespace gl11
