// context.cpp -- starting the layer on a context: the ES loader, the state's
// defaults, the error flag merged with the driver's, a lost context, and
// the framebuffer-object calls passed straight through (GL/glext.h).
#include "context.h"

#include <gl11.h>

#include <cstdio>
#include <cstring>

namespace gl11 {

Es es;
Context g;

void SetError(GLenum error) {
    if (g.error == GL_NO_ERROR) g.error = error;
}

bool InBegin() {
    if (!g.inBegin) return false;
    SetError(GL_INVALID_OPERATION);
    return true;
}

bool Record(std::function<void()> run, bool keepsDraws) {
    DisplayList::Op op;
    op.run = std::move(run);
    op.keepsDraws = keepsDraws;
    g.compiling->ops.push_back(std::move(op));
    return g.compilingMode == GL_COMPILE;
}


void ResetState() {
    // The objects of an earlier context went with it: forgotten, not deleted.
    g = Context();
    g.s.lights[0].diffuse[0] = g.s.lights[0].diffuse[1] = g.s.lights[0].diffuse[2] = 1.0f;
    g.s.lights[0].specular[0] = g.s.lights[0].specular[1] = g.s.lights[0].specular[2] = 1.0f;
    g.s.texGen[0].objectPlane[0] = g.s.texGen[0].eyePlane[0] = 1.0f;
    g.s.texGen[1].objectPlane[1] = g.s.texGen[1].eyePlane[1] = 1.0f;
    for (auto& st : g.stacks) st.assign(1, Identity());
}

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
    SyncLineWidth();
}

namespace {

constexpr GLenum kContextLostWebGL = 0x9242;

// A driver error read: the context's loss ends the layer's use of it.
GLenum DriverError() {
    const GLenum e = es.GetError();
    if (e == kContextLost || e == kContextLostWebGL) {
        g.ready = false;
        g.lost = true;
        return kContextLost;
    }
    return e;
}

}  // namespace
}  // namespace gl11

using namespace gl11;

extern "C" {

int gl11_Init(gl11_GetProcFn getProc) {
    g.ready = false;
    g.lost = false;  // a new context, or none: not a lost one
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
    float lineWidths[2] = {1, 1};
    es.GetFloatv(ES_ALIASED_LINE_WIDTH_RANGE, lineWidths);
    g.maxLineWidth = lineWidths[1];
    const auto text = [](GLenum name) {
        const GLubyte* s = es.GetString(name);
        return std::string(s ? reinterpret_cast<const char*>(s) : "");
    };
    g.vendor = text(GL_VENDOR);
    g.renderer = text(GL_RENDERER);
    g.version = "1.1 gl11 on " + text(GL_VERSION);
    // Shaders compiled on the driver's own threads, where it offers them
    // (a browser's WebGL has the extension enabled by its GL library).
    if (text(GL_EXTENSIONS).find("GL_KHR_parallel_shader_compile") != std::string::npos) {
        if (auto threads = reinterpret_cast<void (*)(GLuint)>(getProc("glMaxShaderCompilerThreadsKHR")))
            threads(0xFFFFFFFFu);
    }
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

int gl11_ContextLost(void) {
    if (g.ready) {
        FlushDraws();
        const GLenum e = DriverError();
        if (e != kContextLost) SetError(e);
    }
    return g.lost ? 1 : 0;
}

int gl11_ShaderBlend(void) { return ShaderBlend() ? 1 : 0; }
void gl11_SetShaderBlend(int on) { SetShaderBlend(on != 0); }

void gl11_SetLineEmulation(int on) {
    g.emulateLines = on != 0;
    if (g.ready) SyncLineWidth();
}

// The layer's flag first, then the driver's: each is kept until read, as
// GL keeps one flag per kind of error.
GLenum gl11_glGetError(void) {
    if (g.ready) FlushDraws();  // their errors are this call's to report
    if (g.error != GL_NO_ERROR) {
        const GLenum e = g.error;
        g.error = GL_NO_ERROR;
        return e;
    }
    return g.ready ? DriverError() : GLenum(GL_NO_ERROR);
}

// ---- framebuffer objects, passed through ---------------------------------

void gl11_glGenFramebuffers(GLsizei n, GLuint* f) {
    if (Usable()) es.GenFramebuffers(n, f);
}
void gl11_glDeleteFramebuffers(GLsizei n, const GLuint* f) {
    if (!Usable()) return;
    es.DeleteFramebuffers(n, f);
    FramebufferChanged();
}
void gl11_glBindFramebuffer(GLenum t, GLuint f) {
    if (!Usable()) return;
    es.BindFramebuffer(t, f);
    FramebufferBound(t, f);
}
void gl11_glFramebufferRenderbuffer(GLenum t, GLenum a, GLenum rt, GLuint r) {
    if (!Usable()) return;
    es.FramebufferRenderbuffer(t, a, rt, r);
    FramebufferChanged();
}
GLenum gl11_glCheckFramebufferStatus(GLenum t) { return Usable() ? es.CheckFramebufferStatus(t) : 0; }
void gl11_glBlitFramebuffer(GLint a, GLint b, GLint c, GLint d, GLint e, GLint f, GLint gg, GLint h, GLbitfield m,
                            GLenum fi) {
    if (!Usable()) return;
    es.BlitFramebuffer(a, b, c, d, e, f, gg, h, m, fi);
    PixelsChanged();
}
void gl11_glGenRenderbuffers(GLsizei n, GLuint* r) {
    if (Usable()) es.GenRenderbuffers(n, r);
}
void gl11_glDeleteRenderbuffers(GLsizei n, const GLuint* r) {
    if (Usable()) es.DeleteRenderbuffers(n, r);
}
void gl11_glBindRenderbuffer(GLenum t, GLuint r) {
    if (Usable()) es.BindRenderbuffer(t, r);
}
void gl11_glRenderbufferStorage(GLenum t, GLenum f, GLsizei w, GLsizei h) {
    if (!Usable()) return;
    es.RenderbufferStorage(t, f, w, h);
    FramebufferChanged();
}
void gl11_glClearBufferfv(GLenum b, GLint d, const GLfloat* v) {
    if (!Usable()) return;
    es.ClearBufferfv(b, d, v);
    PixelsChanged();
}

}  // extern "C"
