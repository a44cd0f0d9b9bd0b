// differential_test.cpp -- generated OpenGL 1.1 command sequences drawn
// twice: on desktop Mesa (OpenGL through EGL, compatibility profile) and
// through the gl11 layer on Mesa's OpenGL ES 3.0, both on llvmpipe, read
// back and compared pixel by pixel, with the error state after each.
//
// The two cannot both define gl* in one program: each side is a table of
// entry points, filled once from the desktop context's eglGetProcAddress
// and once from the layer's gl11_ functions, and one interpreter runs the
// same commands through either. Sequences are random within the features
// the layer implements (every primitive and polygon mode, flat and wide
// lines, points, lists in both modes, attribute stacks, textures with every
// environment and generation, lighting with spot lights, two sides and
// colour material, fog, alpha test, blending, deliberate errors) and seeded:
// a failure names its seed. 500 sequences from seed 1 on every run;
// GL11_DIFF_SEQUENCES sets how many, GL11_DIFF_FIRST the first seed,
// GL11_DIFF_STEPS how many steps of each to run, GL11_DIFF_KEEP which
// steps (to find the one that differs), GL11_DIFF_VERBOSE=1 prints the
// vertices of a failing sequence.
//
// Where desktop Mesa 22 is not OpenGL 1.1, or GL leaves the result to the
// renderer, the generator keeps to what both draw alike, and says so where it
// does. Mesa is OpenGL 4.5 (compatibility), which accepts GL_SRC_COLOR as a
// source blend factor (OpenGL 1.4) and textures of any size (2.0), as the
// layer does; the generator does not give glLightModeli a vector parameter
// (Mesa accepts it, 1.1 and the layer do not), no GL_SRC_ALPHA_SATURATE as a
// destination factor (Mesa accepts it, as OpenGL 4 does) and no GL_CLAMP
// (drawn as GL_CLAMP_TO_EDGE by the layer). The rest is at each rule:
// Settle() (pending glMaterial and current values), Draw() and Current()
// (lists), Attribs() (glPopAttrib), executing_ (GL_COMPILE_AND_EXECUTE),
// homogeneous_ (lighting with w), Mode() and Immediate() (line loops, vertex
// attributes first given inside a block), Positions(), Arrays() and the
// rectangles (polygons of one plane, quads cut either way).
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <gl11.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tools/common/png.h"

namespace {

constexpr int kSize = 96;

#define GL11_DIFF_FUNCTIONS(X)                                                                                   \
    X(void, Enable, (GLenum))                                                                                  \
    X(void, Disable, (GLenum))                                                                                 \
    X(void, BlendFunc, (GLenum, GLenum))                                                                       \
    X(void, DepthFunc, (GLenum))                                                                               \
    X(void, DepthMask, (GLboolean))                                                                            \
    X(void, CullFace, (GLenum))                                                                                \
    X(void, FrontFace, (GLenum))                                                                               \
    X(void, PolygonMode, (GLenum, GLenum))                                                                     \
    X(void, ShadeModel, (GLenum))                                                                              \
    X(void, LineWidth, (GLfloat))                                                                              \
    X(void, PointSize, (GLfloat))                                                                              \
    X(void, Lightfv, (GLenum, GLenum, const GLfloat*))                                                         \
    X(void, Lightf, (GLenum, GLenum, GLfloat))                                                                 \
    X(void, LightModelfv, (GLenum, const GLfloat*))                                                            \
    X(void, LightModeli, (GLenum, GLint))                                                                      \
    X(void, Materialfv, (GLenum, GLenum, const GLfloat*))                                                      \
    X(void, Materialf, (GLenum, GLenum, GLfloat))                                                              \
    X(void, ColorMaterial, (GLenum, GLenum))                                                                   \
    X(void, Fogf, (GLenum, GLfloat))                                                                           \
    X(void, Fogfv, (GLenum, const GLfloat*))                                                                   \
    X(void, Fogi, (GLenum, GLint))                                                                             \
    X(void, AlphaFunc, (GLenum, GLclampf))                                                                     \
    X(void, TexEnvi, (GLenum, GLenum, GLint))                                                                  \
    X(void, TexEnvfv, (GLenum, GLenum, const GLfloat*))                                                        \
    X(void, TexGeni, (GLenum, GLenum, GLint))                                                                  \
    X(void, TexGenfv, (GLenum, GLenum, const GLfloat*))                                                        \
    X(void, GenTextures, (GLsizei, GLuint*))                                                                   \
    X(void, DeleteTextures, (GLsizei, const GLuint*))                                                          \
    X(void, BindTexture, (GLenum, GLuint))                                                                     \
    X(void, TexImage2D, (GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const GLvoid*))        \
    X(void, TexParameteri, (GLenum, GLenum, GLint))                                                            \
    X(void, MatrixMode, (GLenum))                                                                              \
    X(void, LoadIdentity, (void))                                                                              \
    X(void, Translatef, (GLfloat, GLfloat, GLfloat))                                                           \
    X(void, Rotatef, (GLfloat, GLfloat, GLfloat, GLfloat))                                                     \
    X(void, Scalef, (GLfloat, GLfloat, GLfloat))                                                               \
    X(void, PushMatrix, (void))                                                                                \
    X(void, PopMatrix, (void))                                                                                 \
    X(void, Ortho, (GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble))                               \
    X(void, Frustum, (GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble))                             \
    X(void, PushAttrib, (GLbitfield))                                                                          \
    X(void, PopAttrib, (void))                                                                                 \
    X(void, PushClientAttrib, (GLbitfield))                                                                    \
    X(void, PopClientAttrib, (void))                                                                           \
    X(void, Color4f, (GLfloat, GLfloat, GLfloat, GLfloat))                                                     \
    X(void, Normal3f, (GLfloat, GLfloat, GLfloat))                                                             \
    X(void, TexCoord2f, (GLfloat, GLfloat))                                                                    \
    X(void, Vertex3f, (GLfloat, GLfloat, GLfloat))                                                             \
    X(void, Vertex4f, (GLfloat, GLfloat, GLfloat, GLfloat))                                                    \
    X(void, Begin, (GLenum))                                                                                   \
    X(void, End, (void))                                                                                       \
    X(void, Rectf, (GLfloat, GLfloat, GLfloat, GLfloat))                                                       \
    X(void, EnableClientState, (GLenum))                                                                       \
    X(void, DisableClientState, (GLenum))                                                                      \
    X(void, VertexPointer, (GLint, GLenum, GLsizei, const GLvoid*))                                            \
    X(void, NormalPointer, (GLenum, GLsizei, const GLvoid*))                                                   \
    X(void, ColorPointer, (GLint, GLenum, GLsizei, const GLvoid*))                                             \
    X(void, TexCoordPointer, (GLint, GLenum, GLsizei, const GLvoid*))                                          \
    X(void, DrawArrays, (GLenum, GLint, GLsizei))                                                              \
    X(void, DrawElements, (GLenum, GLsizei, GLenum, const GLvoid*))                                            \
    X(GLuint, GenLists, (GLsizei))                                                                             \
    X(void, NewList, (GLuint, GLenum))                                                                         \
    X(void, EndList, (void))                                                                                   \
    X(void, CallList, (GLuint))                                                                                \
    X(void, DeleteLists, (GLuint, GLsizei))                                                                    \
    X(void, Viewport, (GLint, GLint, GLsizei, GLsizei))                                                        \
    X(void, Scissor, (GLint, GLint, GLsizei, GLsizei))                                                         \
    X(void, Clear, (GLbitfield))                                                                               \
    X(void, ClearColor, (GLclampf, GLclampf, GLclampf, GLclampf))                                              \
    X(void, ClearDepth, (GLclampd))                                                                            \
    X(void, ReadPixels, (GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, GLvoid*))                             \
    X(void, PixelStorei, (GLenum, GLint))                                                                      \
    X(GLenum, GetError, (void))                                                                                \
    X(void, GetIntegerv, (GLenum, GLint*))                                                                     \
    X(void, GenFramebuffers, (GLsizei, GLuint*))                                                               \
    X(void, BindFramebuffer, (GLenum, GLuint))                                                                 \
    X(void, GenRenderbuffers, (GLsizei, GLuint*))                                                              \
    X(void, BindRenderbuffer, (GLenum, GLuint))                                                                \
    X(void, RenderbufferStorage, (GLenum, GLenum, GLsizei, GLsizei))                                           \
    X(void, FramebufferRenderbuffer, (GLenum, GLenum, GLenum, GLuint))                                         \
    X(GLenum, CheckFramebufferStatus, (GLenum))

// One side's entry points.
struct Gl {
#define GL11_DIFF_MEMBER(ret, name, params) ret(*name) params = nullptr;
    GL11_DIFF_FUNCTIONS(GL11_DIFF_MEMBER)
#undef GL11_DIFF_MEMBER
};

Gl DesktopTable() {
    Gl gl;
#define GL11_DIFF_DESKTOP(ret, name, params) \
    gl.name = reinterpret_cast<ret(*) params>(eglGetProcAddress("gl" #name));
    GL11_DIFF_FUNCTIONS(GL11_DIFF_DESKTOP)
#undef GL11_DIFF_DESKTOP
    return gl;
}

Gl LayerTable() {
    Gl gl;
#define GL11_DIFF_LAYER(ret, name, params) gl.name = &gl11_gl##name;
    GL11_DIFF_FUNCTIONS(GL11_DIFF_LAYER)
#undef GL11_DIFF_LAYER
    return gl;
}

void* EglProc(const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

// The two contexts, each drawing into a kSize x kSize RGBA8 + depth
// framebuffer object of its own.
struct Sides {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context[2] = {EGL_NO_CONTEXT, EGL_NO_CONTEXT};  // desktop, layer
    Gl gl[2];
    bool ok = false;
};

bool MakeFramebuffer(const Gl& gl) {
    GLuint fbo = 0, rb[2] = {0, 0};
    gl.GenFramebuffers(1, &fbo);
    gl.GenRenderbuffers(2, rb);
    gl.BindRenderbuffer(GL_RENDERBUFFER, rb[0]);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kSize, kSize);
    gl.BindRenderbuffer(GL_RENDERBUFFER, rb[1]);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kSize, kSize);
    gl.BindFramebuffer(GL_FRAMEBUFFER, fbo);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb[0]);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, rb[1]);
    return gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

Sides& TheSides() {
    static Sides sides;
    static bool made = false;
    if (made) return sides;
    made = true;
    auto getDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getDisplay) return sides;
    sides.display = getDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (sides.display == EGL_NO_DISPLAY || !eglInitialize(sides.display, nullptr, nullptr)) return sides;
    const EGLint desktop[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    const EGLint es3[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
    if (!eglBindAPI(EGL_OPENGL_API)) return sides;
    sides.context[0] = eglCreateContext(sides.display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, desktop);
    if (!eglBindAPI(EGL_OPENGL_ES_API)) return sides;
    sides.context[1] = eglCreateContext(sides.display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, es3);
    if (sides.context[0] == EGL_NO_CONTEXT || sides.context[1] == EGL_NO_CONTEXT) return sides;
    sides.gl[0] = DesktopTable();
    sides.gl[1] = LayerTable();
#define GL11_DIFF_CHECK(ret, name, params) \
    if (!sides.gl[0].name) return sides;
    GL11_DIFF_FUNCTIONS(GL11_DIFF_CHECK)
#undef GL11_DIFF_CHECK
    eglMakeCurrent(sides.display, EGL_NO_SURFACE, EGL_NO_SURFACE, sides.context[0]);
    if (!MakeFramebuffer(sides.gl[0])) return sides;
    eglMakeCurrent(sides.display, EGL_NO_SURFACE, EGL_NO_SURFACE, sides.context[1]);
    if (!gl11_Init(EglProc) || !MakeFramebuffer(sides.gl[1])) return sides;
    sides.ok = true;
    return sides;
}

// ---- the generator ---------------------------------------------------------

// Mesa 22 keeps a glMaterial, glColor, glNormal or glTexCoord given outside
// glBegin / glEnd pending until the next drawing command, and does not
// always see it before then: the pending material is written over what
// glPopAttrib restored since, and over what glEnable(GL_COLOR_MATERIAL) or
// glColorMaterial took from the current colour; a glPopAttrib of
// GL_CURRENT_BIT that has not seen the current values change (given after
// glEndList, or after an array draw) leaves them as they are. GL 1.1 makes
// each call take effect at once. An empty glBegin / glEnd after such calls
// draws nothing and makes Mesa apply them at once.
void Settle(const Gl& gl) {
    gl.Begin(GL_POINTS);
    gl.End();
}

// A sequence is a list of steps, each run on one side's table; the data
// they point at (arrays, texels) belongs to the sequence.
struct Sequence {
    std::vector<std::function<void(const Gl&)>> steps;
    std::vector<bool> checked;  // per step: glGetError is asked after it
    std::vector<std::vector<float>> floats;
    std::vector<std::vector<uint8_t>> bytes;
    std::vector<std::string> log;  // what was generated, for a failure's message
};

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    Sequence Make() {
        Setup();
        const int count = Int(6, 16);
        for (int i = 0; i < count; ++i) Step(0);
        if (list_) {
            CallList("glCallList");
            if (Chance(0.5)) CallList("glCallList again");
        }
        return std::move(seq_);
    }

private:
    std::mt19937 rng_;
    Sequence seq_;
    GLuint list_ = 0;
    bool textures_ = false;
    bool inList_ = false;     // the steps being made are compiled into the list
    int listDraws_ = 0;       // geometry steps in the list
    // The list is GL_COMPILE_AND_EXECUTE. Mesa 22 runs glShadeModel and
    // glMaterial given there before it draws the block given before them
    // (GL 1.1 runs the commands in order): neither is given in such a list.
    bool executing_ = false;
    // Positions with w other than 1 in this sequence. GL 1.1 lights a
    // vertex from its position divided by w; Mesa 22 takes x, y and z as
    // they are: such sequences light with directional lights and an
    // infinite viewer only (which do not look at the position), the others
    // keep w at 1.
    bool homogeneous_ = false;
    int pushes_ = 0;          // attribute pushes open
    // GL 1.1's invariance rules do not require a fragment's depth to stay
    // the same when fog is turned on or off; Mesa 22's does not (the same
    // list drawn again after fog was enabled passed GL_LESS against its own
    // first drawing in stripes): a sequence uses fog or the depth test, the
    // first of them it meets, not both.
    bool depthUsed_ = false, fogUsed_ = false;

    float Real(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng_); }
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
    template <class T>
    T Pick(std::initializer_list<T> from) {
        return *(from.begin() + Int(0, int(from.size()) - 1));
    }
    void Do(const std::string& what, std::function<void(const Gl&)> f) {
        seq_.log.push_back(what);
        seq_.steps.push_back(std::move(f));
        // Mesa 22 answers glEndList with GL_INVALID_OPERATION when glGetError
        // was called after a glBegin / glEnd block of GL_COMPILE_AND_EXECUTE
        // in which an attribute first appears after the first vertex; GL 1.1
        // refuses glEndList only when no list is being made. Errors inside a
        // list are read after glEndList.
        seq_.checked.push_back(!inList_);
    }
    const float* Floats(std::vector<float> v) {
        seq_.floats.push_back(std::move(v));
        return seq_.floats.back().data();
    }

    void Setup() {
        homogeneous_ = Chance(0.5);
        if (Chance(0.5)) {
            const float near = Real(1.0f, 2.0f);
            Do("frustum", [near](const Gl& gl) {
                gl.MatrixMode(GL_PROJECTION);
                gl.Frustum(-0.6, 0.6, -0.6, 0.6, near, 10.0);
                gl.MatrixMode(GL_MODELVIEW);
                gl.Translatef(0, 0, -near - 1.5f);
            });
        } else {
            // In front of the eye, as the frustum's: GL leaves to the renderer
            // how a quad is cut into triangles (Mesa cuts one along either
            // diagonal by how it is drawn), and fog's eye distance |z| is not
            // linear across a quad that meets the plane z = 0, so the two cuts
            // would fog it differently.
            Do("ortho", [](const Gl& gl) {
                gl.MatrixMode(GL_PROJECTION);
                gl.Ortho(-1.2, 1.2, -1.2, 1.2, 0.5, 7.0);
                gl.MatrixMode(GL_MODELVIEW);
                gl.Translatef(0, 0, -3.0f);
            });
        }
        const float angle = Real(-40, 40), ax = Real(-1, 1), ay = Real(-1, 1);
        Do("rotate", [=](const Gl& gl) { gl.Rotatef(angle, ax, ay, 1.0f); });
        if (Chance(0.6)) MakeTextures();
    }

    void MakeTextures() {
        textures_ = true;
        // 1: RGB 8 x 8, 2: luminance-alpha 4 x 4 or RGBA 4 x 4, with levels.
        std::vector<uint8_t> rgb(8 * 8 * 3), second(4 * 4 * 4);
        for (uint8_t& b : rgb) b = uint8_t(Int(0, 255));
        for (uint8_t& b : second) b = uint8_t(Int(0, 255));
        seq_.bytes.push_back(rgb);
        const uint8_t* a = seq_.bytes.back().data();
        seq_.bytes.push_back(second);
        const uint8_t* b = seq_.bytes.back().data();
        const bool luminance = Chance(0.4), mip = Chance(0.4);
        const GLint minFilter = mip ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR;
        const GLint wrap = Pick<GLint>({GL_REPEAT, GL_CLAMP_TO_EDGE});
        Do(std::string("textures") + (luminance ? " LA" : " RGBA") + (mip ? " mip" : ""), [=](const Gl& gl) {
            gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
            gl.BindTexture(GL_TEXTURE_2D, 1);
            gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
            gl.TexImage2D(GL_TEXTURE_2D, 0, 3, 8, 8, 0, GL_RGB, GL_UNSIGNED_BYTE, a);
            gl.BindTexture(GL_TEXTURE_2D, 2);
            gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
            const GLint internal = luminance ? GL_LUMINANCE_ALPHA : GL_RGBA;
            const GLenum format = luminance ? GL_LUMINANCE_ALPHA : GL_RGBA;
            for (int level = 0, size = 4; size >= 1; ++level, size /= 2)
                gl.TexImage2D(GL_TEXTURE_2D, level, internal, size, size, 0, format, GL_UNSIGNED_BYTE, b);
            gl.BindTexture(GL_TEXTURE_2D, 0);
        });
    }

    void Step(int depth) {
        switch (Int(0, 15)) {
            case 0: case 1: case 2: return Draw(false);
            case 3: case 4: return Draw(true);
            case 5: return Enables();
            case 6: return Raster();
            case 7: return Lighting();
            case 8: return Texturing();
            case 9: return Fragment();
            case 10: return Matrices();
            case 11: return Attribs(depth);
            case 12: return depth == 0 ? List() : Draw(false);
            case 13: return Current();
            // Mesa 22 loses errors raised while some lists run (see Draw()):
            // deliberate errors outside lists only.
            case 14: return inList_ ? Enables() : Errors();
            default: return Enables();
        }
    }

    void Enables() {
        const GLenum cap = Pick<GLenum>({GL_LIGHTING, GL_LIGHT0, GL_LIGHT1, GL_LIGHT2, GL_TEXTURE_2D, GL_DEPTH_TEST,
                                         GL_BLEND, GL_CULL_FACE, GL_FOG, GL_ALPHA_TEST, GL_COLOR_MATERIAL,
                                         GL_NORMALIZE, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_Q,
                                         GL_SCISSOR_TEST, GL_LIGHTING, GL_TEXTURE_2D});
        bool on = Chance(0.7);
        if (on && ((cap == GL_DEPTH_TEST && fogUsed_) || (cap == GL_FOG && depthUsed_))) on = false;
        depthUsed_ |= on && cap == GL_DEPTH_TEST;
        fogUsed_ |= on && cap == GL_FOG;
        Do((on ? "enable " : "disable ") + std::to_string(cap), [=](const Gl& gl) { on ? gl.Enable(cap) : gl.Disable(cap); });
    }

    void Raster() {
        switch (Int(0, 7)) {
            case 0: {
                const GLenum face = Pick<GLenum>({GL_FRONT, GL_BACK, GL_FRONT_AND_BACK, GL_FRONT_AND_BACK});
                const GLenum mode = Pick<GLenum>({GL_FILL, GL_LINE, GL_LINE, GL_POINT});
                return Do("polygon mode " + std::to_string(face) + " " + std::to_string(mode), [=](const Gl& gl) { gl.PolygonMode(face, mode); });
            }
            case 1: {
                if (executing_) return Enables();  // see executing_
                const GLenum m = Pick<GLenum>({GL_FLAT, GL_SMOOTH});
                return Do("shade model " + std::to_string(m), [=](const Gl& gl) { gl.ShadeModel(m); });
            }
            case 2: {
                const float w = Pick<float>({1.0f, 2.0f, 3.0f, 5.0f});
                return Do("line width " + std::to_string(w), [=](const Gl& gl) { gl.LineWidth(w); });
            }
            case 3: {
                const float s = Pick<float>({1.0f, 3.0f, 5.0f});
                return Do("point size " + std::to_string(s), [=](const Gl& gl) { gl.PointSize(s); });
            }
            case 4: {
                const GLenum m = Pick<GLenum>({GL_FRONT, GL_BACK, GL_FRONT_AND_BACK});
                const GLenum f = Pick<GLenum>({GL_CW, GL_CCW});
                return Do("cull " + std::to_string(m) + " front " + std::to_string(f), [=](const Gl& gl) { gl.CullFace(m), gl.FrontFace(f); });
            }
            case 5: {
                const GLenum f = Pick<GLenum>({GL_LESS, GL_LEQUAL, GL_GREATER, GL_ALWAYS, GL_NOTEQUAL});
                const bool mask = Chance(0.8);
                return Do("depth func " + std::to_string(f) + " mask " + std::to_string(mask), [=](const Gl& gl) { gl.DepthFunc(f), gl.DepthMask(mask); });
            }
            case 6: {
                const int x = Int(0, 40), y = Int(0, 40), w = Int(20, 90), h = Int(20, 90);
                return Do("scissor", [=](const Gl& gl) { gl.Scissor(x, y, w, h); });
            }
            default: {
                const int x = Int(0, 20), y = Int(0, 20), w = Int(40, 96), h = Int(40, 96);
                return Do("viewport", [=](const Gl& gl) { gl.Viewport(x, y, w, h); });
            }
        }
    }

    std::vector<float> Colour(float alphaLo = 0.0f) {
        return {Real(0, 1), Real(0, 1), Real(0, 1), Real(alphaLo, 1)};
    }

    void Lighting() {
        const GLenum light = GL_LIGHT0 + GLenum(Int(0, 2));
        switch (Int(0, 7)) {
            case 0: {
                const bool positional = Chance(0.5) && !homogeneous_;  // see homogeneous_
                const float* p = Floats({Real(-2, 2), Real(-2, 2), Real(0.5f, 3), positional ? 1.0f : 0.0f});
                return Do(std::string("light position") + (positional ? " positional" : ""), [=](const Gl& gl) { gl.Lightfv(light, GL_POSITION, p); });
            }
            case 1: {
                const GLenum pname = Pick<GLenum>({GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR});
                const float* c = Floats(Colour());
                return Do("light colour", [=](const Gl& gl) { gl.Lightfv(light, pname, c); });
            }
            case 2: {
                const float* d = Floats({Real(-1, 1), Real(-1, 1), -1.0f, 0.0f});
                const float cutoff = Pick<float>({20.0f, 45.0f, 80.0f, 180.0f}), exponent = Pick<float>({0.0f, 2.0f, 30.0f});
                return Do("spot light cutoff " + std::to_string(cutoff) + " exponent " + std::to_string(exponent), [=](const Gl& gl) {
                    gl.Lightfv(light, GL_SPOT_DIRECTION, d);
                    gl.Lightf(light, GL_SPOT_CUTOFF, cutoff);
                    gl.Lightf(light, GL_SPOT_EXPONENT, exponent);
                });
            }
            case 3: {
                const float k = Real(0.5f, 1.5f), l = Real(0, 0.5f), q = Real(0, 0.3f);
                return Do("attenuation", [=](const Gl& gl) {
                    gl.Lightf(light, GL_CONSTANT_ATTENUATION, k);
                    gl.Lightf(light, GL_LINEAR_ATTENUATION, l);
                    gl.Lightf(light, GL_QUADRATIC_ATTENUATION, q);
                });
            }
            case 4: {
                if (executing_) return Enables();  // see executing_
                const GLenum face = Pick<GLenum>({GL_FRONT, GL_BACK, GL_FRONT_AND_BACK});
                const GLenum pname = Pick<GLenum>({GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION, GL_AMBIENT_AND_DIFFUSE});
                const float* c = Floats(Colour());
                const float shininess = Pick<float>({0.0f, 5.0f, 40.0f, 128.0f});
                return Do("material " + std::to_string(face) + " " + std::to_string(pname) + " shininess " + std::to_string(shininess), [=](const Gl& gl) {
                    gl.Materialfv(face, pname, c);
                    gl.Materialf(face, GL_SHININESS, shininess);
                    Settle(gl);
                });
            }
            case 5: {
                const bool two = Chance(0.6), local = Chance(0.3) && !homogeneous_;
                const float* a = Floats(Colour());
                return Do("light model two " + std::to_string(two) + " local " + std::to_string(local), [=](const Gl& gl) {
                    gl.LightModeli(GL_LIGHT_MODEL_TWO_SIDE, two);
                    gl.LightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, local);
                    gl.LightModelfv(GL_LIGHT_MODEL_AMBIENT, a);
                });
            }
            case 6: {
                const GLenum face = Pick<GLenum>({GL_FRONT, GL_BACK, GL_FRONT_AND_BACK});
                const GLenum mode = Pick<GLenum>({GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION, GL_AMBIENT_AND_DIFFUSE});
                return Do("colour material " + std::to_string(face) + " " + std::to_string(mode), [=](const Gl& gl) { gl.ColorMaterial(face, mode); gl.Enable(GL_COLOR_MATERIAL); });
            }
            default:
                return Do("lighting on " + std::to_string(light - GL_LIGHT0), [=](const Gl& gl) { gl.Enable(GL_LIGHTING), gl.Enable(light); });
        }
    }

    void Texturing() {
        switch (Int(0, 4)) {
            case 0: {
                const GLuint t = textures_ ? GLuint(Int(0, 2)) : 0;
                return Do("bind " + std::to_string(t), [=](const Gl& gl) { gl.BindTexture(GL_TEXTURE_2D, t), gl.Enable(GL_TEXTURE_2D); });
            }
            case 1: {
                const GLint mode = Pick<GLint>({GL_MODULATE, GL_DECAL, GL_BLEND, GL_REPLACE});
                const float* c = Floats(Colour());
                return Do("tex env " + std::to_string(mode), [=](const Gl& gl) {
                    gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
                    gl.TexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, c);
                });
            }
            case 2: {
                const GLenum coord = Pick<GLenum>({GL_S, GL_T, GL_Q});
                const GLint mode = coord == GL_Q ? Pick<GLint>({GL_OBJECT_LINEAR, GL_EYE_LINEAR})
                                                 : Pick<GLint>({GL_OBJECT_LINEAR, GL_EYE_LINEAR, GL_SPHERE_MAP});
                const float* plane = Floats(coord == GL_Q ? std::vector<float>{Real(-0.2f, 0.2f), Real(-0.2f, 0.2f), 0.0f, 1.0f}
                                                          : std::vector<float>{Real(-1, 1), Real(-1, 1), Real(-1, 1), Real(-1, 1)});
                const GLenum cap = GL_TEXTURE_GEN_S + (coord - GL_S);
                return Do("tex gen " + std::to_string(coord) + " " + std::to_string(mode), [=](const Gl& gl) {
                    gl.TexGeni(coord, GL_TEXTURE_GEN_MODE, mode);
                    gl.TexGenfv(coord, GL_OBJECT_PLANE, plane);
                    gl.TexGenfv(coord, GL_EYE_PLANE, plane);
                    gl.Enable(cap);
                });
            }
            case 3: {
                const float angle = Real(-60, 60), s = Real(0.5f, 2);
                return Do("texture matrix", [=](const Gl& gl) {
                    gl.MatrixMode(GL_TEXTURE);
                    gl.Rotatef(angle, 0, 0, 1);
                    gl.Scalef(s, s, 1);
                    gl.MatrixMode(GL_MODELVIEW);
                });
            }
            default: {
                const GLint filter = Pick<GLint>({GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_LINEAR});
                return Do("min filter", [=](const Gl& gl) { gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter); });
            }
        }
    }

    void Fragment() {
        switch (Int(0, 2)) {
            case 0: {
                const GLenum s = Pick<GLenum>({GL_ONE, GL_ZERO, GL_SRC_ALPHA, GL_SRC_COLOR, GL_DST_COLOR,
                                               GL_ONE_MINUS_DST_ALPHA, GL_SRC_ALPHA_SATURATE});
                const GLenum d = Pick<GLenum>({GL_ONE, GL_ZERO, GL_ONE_MINUS_SRC_ALPHA, GL_ONE_MINUS_SRC_COLOR,
                                               GL_SRC_COLOR, GL_DST_ALPHA});
                return Do("blend " + std::to_string(s) + " " + std::to_string(d), [=](const Gl& gl) { gl.BlendFunc(s, d), gl.Enable(GL_BLEND); });
            }
            case 1: {
                const GLenum f = Pick<GLenum>({GL_LESS, GL_GEQUAL, GL_GREATER, GL_NEVER, GL_NOTEQUAL});
                const float ref = Real(0.1f, 0.9f);
                return Do("alpha test " + std::to_string(f), [=](const Gl& gl) { gl.AlphaFunc(f, ref), gl.Enable(GL_ALPHA_TEST); });
            }
            default: {
                const GLint mode = Pick<GLint>({GL_LINEAR, GL_EXP, GL_EXP2});
                const float density = Real(0.1f, 0.8f), start = Real(0, 2), end = start + Real(0.5f, 4);
                const float* c = Floats(Colour());
                const bool enable = !depthUsed_;
                fogUsed_ |= enable;
                return Do("fog " + std::to_string(mode), [=](const Gl& gl) {
                    gl.Fogi(GL_FOG_MODE, mode);
                    gl.Fogf(GL_FOG_DENSITY, density);
                    gl.Fogf(GL_FOG_START, start);
                    gl.Fogf(GL_FOG_END, end);
                    gl.Fogfv(GL_FOG_COLOR, c);
                    if (enable) gl.Enable(GL_FOG);
                });
            }
        }
    }

    void Matrices() {
        switch (Int(0, 3)) {
            case 0: {
                const float x = Real(-0.4f, 0.4f), y = Real(-0.4f, 0.4f), z = Real(-0.4f, 0.4f);
                return Do("translate", [=](const Gl& gl) { gl.Translatef(x, y, z); });
            }
            case 1: {
                const float a = Real(-180, 180), x = Real(-1, 1), y = Real(-1, 1), z = Real(-1, 1);
                return Do("rotate", [=](const Gl& gl) { gl.Rotatef(a, x, y, z); });
            }
            case 2: {
                const float s = Real(0.6f, 1.3f);
                return Do("scale", [=](const Gl& gl) { gl.Scalef(s, s, s); });
            }
            default: return Do("push matrix", [](const Gl& gl) { gl.PushMatrix(); });
        }
    }

    void Attribs(int depth) {
        // Mesa 22's glPopAttrib restores only the groups it has seen change
        // since the push, and it misses the changes made inside another push
        // and pop to groups that one did not save (GL 1.1 restores every
        // group the push saved): no push inside another.
        if (pushes_ > 0) return Current();
        // Every group the layer keeps (GL_ALL_ATTRIB_BITS also names groups
        // of state Mesa restores with errors of its own on a framebuffer
        // object, the read and draw buffers).
        static const GLbitfield bits[] = {GL_CURRENT_BIT, GL_POINT_BIT, GL_LINE_BIT, GL_POLYGON_BIT, GL_LIGHTING_BIT,
                                          GL_FOG_BIT, GL_DEPTH_BUFFER_BIT, GL_VIEWPORT_BIT, GL_TRANSFORM_BIT,
                                          GL_ENABLE_BIT, GL_COLOR_BUFFER_BIT, GL_TEXTURE_BIT, GL_SCISSOR_BIT};
        GLbitfield mask = 0, kAllKept = 0;
        for (GLbitfield b : bits) kAllKept |= b;
        for (GLbitfield b : bits)
            if (Chance(0.3)) mask |= b;
        if (Chance(0.15)) mask = kAllKept;
        // A list sets the current values it holds without Mesa 22's
        // glPopAttrib seeing them change (so it does not restore them): in a
        // list, pushes leave GL_CURRENT_BIT out.
        if (inList_) mask &= ~GLbitfield(GL_CURRENT_BIT);
        // GL 1.1 saves the lights' enables with GL_ENABLE_BIT as well as with
        // GL_LIGHTING_BIT; Mesa 22's glPopAttrib restores them only with the
        // latter (a light enabled after glPushAttrib(GL_ENABLE_BIT) stays on
        // after the pop): the enable group is pushed with the lighting group.
        if (mask & GL_ENABLE_BIT) mask |= GL_LIGHTING_BIT;
        Do("push attrib " + std::to_string(mask), [=](const Gl& gl) { gl.PushAttrib(mask); });
        ++pushes_;
        const int n = Int(1, 4);
        for (int i = 0; i < n; ++i) Step(depth + 1);
        --pushes_;
        Do("pop attrib", [](const Gl& gl) { gl.PopAttrib(); });
    }

    // Geometry: a glBegin / glEnd block or an array draw. Mesa 22 runs some
    // lists of three of them or more wrongly (lists of a polygon, points
    // and an array draw lost every error raised in them, and left other
    // current values than the ones they gave; GL 1.1 runs a list as its
    // commands issued directly): at most two in a list.
    void Draw(bool arrays) {
        if (inList_ && listDraws_ == 2) return Enables();
        if (inList_) ++listDraws_;
        return arrays ? Arrays() : Immediate();
    }

    void List() {
        if (list_) return Draw(false);
        list_ = 1;
        const GLenum mode = Chance(0.5) ? GL_COMPILE : GL_COMPILE_AND_EXECUTE;
        inList_ = true;
        executing_ = mode == GL_COMPILE_AND_EXECUTE;
        Do(mode == GL_COMPILE ? "new list" : "new list, execute", [=](const Gl& gl) { gl.NewList(1, mode); });
        const int n = Int(1, 5);
        for (int i = 0; i < n; ++i) Step(1);
        inList_ = executing_ = false;
        Do("end list", [](const Gl& gl) { gl.EndList(); });
    }

    // Mesa 22 leaves current after a list the values the list gave outside
    // glBegin / glEnd where a block of the list gave others after them (GL
    // 1.1: the last ones given): the current values are given again after
    // each call.
    void CallList(const std::string& what) {
        const float* c = Floats(Colour(0.2f));
        const float nx = Real(-1, 1), ny = Real(-1, 1), nz = Real(0.2f, 1), s = Real(0, 1), t = Real(0, 1);
        Do(what, [=, l = list_](const Gl& gl) {
            gl.CallList(l);
            gl.Color4f(c[0], c[1], c[2], c[3]);
            gl.Normal3f(nx, ny, nz);
            gl.TexCoord2f(s, t);
            Settle(gl);
        });
    }

    void Current() {
        // In a list, Mesa 22 keeps a value given outside glBegin / glEnd
        // current over the values a later block of the list gives (after
        // the list runs, and for an array draw after the block; GL 1.1: the
        // last value given is current): no such values in lists.
        if (inList_) return Enables();
        const float* c = Floats(Colour(0.2f));
        const float nx = Real(-1, 1), ny = Real(-1, 1), nz = Real(0.2f, 1), s = Real(0, 1), t = Real(0, 1);
        Do("current", [=](const Gl& gl) {
            gl.Color4f(c[0], c[1], c[2], c[3]);
            gl.Normal3f(nx, ny, nz);
            gl.TexCoord2f(s, t);
            Settle(gl);
        });
    }

    void Errors() {
        switch (Int(0, 6)) {
            case 0: return Do("bad blend", [](const Gl& gl) { gl.BlendFunc(GL_ONE, 0x1234); });
            case 1: return Do("pop too far", [](const Gl& gl) { gl.MatrixMode(GL_PROJECTION), gl.PopMatrix(), gl.MatrixMode(GL_MODELVIEW); });
            case 2: return Do("end alone", [](const Gl& gl) { gl.End(); });
            case 3: return Do("line width 0", [](const Gl& gl) { gl.LineWidth(0); });
            case 4: return Do("shininess 200", [](const Gl& gl) { gl.Materialf(GL_FRONT, GL_SHININESS, 200); });
            case 5: return Do("bad cap", [](const Gl& gl) { gl.Enable(0x1234); });
            default: return Do("bad cull", [](const Gl& gl) { gl.CullFace(GL_CW); });
        }
    }

    static int Whole(GLenum mode, int n) {
        switch (mode) {
            case GL_LINES: return n / 2 * 2;
            case GL_TRIANGLES: return n / 3 * 3;
            case GL_QUADS: return n < 4 ? 4 : n / 4 * 4;
            case GL_QUAD_STRIP: return n < 4 ? 4 : n / 2 * 2;
            default: return n;
        }
    }

    // A primitive. Mesa 22 closes a GL_LINE_LOOP of a display list with a
    // copy of its first vertex and leaves that vertex's values current after
    // the list (GL 1.1: the last ones given): no line loops in lists.
    GLenum Mode() {
        const GLenum mode = GLenum(Int(0, 9));
        return inList_ && mode == GL_LINE_LOOP ? GL_LINE_STRIP : mode;
    }

    // n positions for `mode`. GL leaves non-planar and non-convex polygons
    // undefined (quads and polygons are split by each renderer its own way):
    // those of GL_QUADS, GL_QUAD_STRIP and GL_POLYGON are made flat and
    // convex, on a random plane.
    std::vector<float> Positions(GLenum mode, int n) {
        std::vector<float> p;
        if (mode != GL_QUADS && mode != GL_QUAD_STRIP && mode != GL_POLYGON) {
            for (int i = 0; i < 3 * n; ++i) p.push_back(Real(-1, 1));
            return p;
        }
        float o[3], u[3], w[3];
        for (int k = 0; k < 3; ++k) o[k] = Real(-0.3f, 0.3f), u[k] = Real(-1, 1), w[k] = Real(-1, 1);
        const auto at = [&](float a, float b) {
            for (int k = 0; k < 3; ++k) p.push_back(o[k] + a * u[k] + b * w[k]);
        };
        if (mode == GL_QUAD_STRIP) {
            float x = Real(-1, -0.5f);
            const float h = Real(0.3f, 0.8f);
            for (int i = 0; i < n; i += 2) {
                at(x, 0);
                if (i + 1 < n) at(x, h);
                x += Real(0.2f, 0.6f);
            }
            return p;
        }
        const int per = mode == GL_QUADS ? 4 : n;
        for (int first = 0; first < n; first += per) {
            // Each quad on a plane of its own (see Immediate()'s rectangles).
            if (first > 0)
                for (int k = 0; k < 3; ++k) o[k] = Real(-0.3f, 0.3f), u[k] = Real(-1, 1), w[k] = Real(-1, 1);
            const float r = Real(0.3f, 0.9f), cx = Real(-0.3f, 0.3f), cy = Real(-0.3f, 0.3f);
            float angle = Real(0, 1);
            for (int i = first; i < n && i < first + per; ++i) {
                at(cx + r * std::cos(angle), cy + r * std::sin(angle));
                angle += Real(0.3f, 6.0f / float(per));
            }
        }
        return p;
    }

    // One vertex's attributes, each set or not.
    void Immediate() {
        const GLenum mode = Mode();
        // Whole primitives only: Mesa records an incomplete one into a list
        // and then refuses the next state call with GL_INVALID_OPERATION.
        const int n = Whole(mode, Pick<int>({3, 4, 5, 6, 8, 9, 12}));
        struct V {
            float p[3], c[4], n[3], t[2];
            bool setC, setN, setT;
        };
        std::vector<V> vs(static_cast<size_t>(n));
        const std::vector<float> positions = Positions(mode, n);
        for (size_t i = 0; i < vs.size(); ++i) {
            V& v = vs[i];
            std::memcpy(v.p, &positions[3 * i], sizeof v.p);
            for (float& x : v.c) x = Real(0, 1);
            v.c[3] = Real(0.2f, 1);
            v.n[0] = Real(-1, 1), v.n[1] = Real(-1, 1), v.n[2] = Real(0.2f, 1);
            v.t[0] = Real(-0.5f, 1.5f), v.t[1] = Real(-0.5f, 1.5f);
            v.setC = Chance(0.6), v.setN = Chance(0.5), v.setT = Chance(0.6);
        }
        // GL leaves how colours and coordinates spread over a polygon of more
        // than three vertices to the renderer (a convex mix of the vertices'),
        // and Mesa splits a quad along one diagonal or the other depending on
        // where it comes from: a polygon's vertices all get the same values.
        if (mode == GL_QUADS || mode == GL_QUAD_STRIP || mode == GL_POLYGON)
            for (V& v : vs) {
                std::memcpy(v.c, vs[0].c, sizeof v.c), std::memcpy(v.n, vs[0].n, sizeof v.n);
                std::memcpy(v.t, vs[0].t, sizeof v.t);
                v.setC = vs[0].setC, v.setN = vs[0].setN, v.setT = vs[0].setT;
            }
        // Where an attribute first appears after a block's first vertex, Mesa
        // 22 splits the primitive there (its vertex grows) and does not always
        // join the pieces again: drawn directly, a GL_LINE_LOOP loses a
        // segment when that happens at two of its vertices; compiled into a
        // list, Mesa reads past the end of its vertex store (AddressSanitizer
        // reports it in swrast_dri.so) and draws lines to vertices of
        // garbage, strips of the wrong vertices. GL 1.1 draws every primitive
        // whole, and runs a list as its commands issued directly: such blocks
        // set from the first vertex on what they set at all.
        if (mode == GL_LINE_LOOP || inList_)
            for (const V& v : vs) vs[0].setC |= v.setC, vs[0].setN |= v.setN, vs[0].setT |= v.setT;
        if (Chance(0.1)) {
            // Each rectangle on a plane of its own: where two polygons of one
            // plane overlap, which is in front is a matter of rounding that GL
            // does not fix.
            const float x = Real(-1, 0), y = Real(-1, 0), z = Real(-0.5f, 0.5f);
            return Do("rect", [=](const Gl& gl) {
                gl.PushMatrix();
                gl.Translatef(0, 0, z);
                gl.Rectf(x, y, x + 0.9f, y + 0.7f);
                gl.PopMatrix();
            });
        }
        std::string what = "begin " + std::to_string(mode) + " x" + std::to_string(n);
        if (std::getenv("GL11_DIFF_VERBOSE"))
            for (const V& v : vs)
                what += "\n    " + std::to_string(v.p[0]) + " " + std::to_string(v.p[1]) + " " + std::to_string(v.p[2]) +
                        (v.setC ? " colour" : "") + (v.setN ? " normal" : "") + (v.setT ? " tex " + std::to_string(v.t[0]) + "," + std::to_string(v.t[1]) : "");
        Do(what, [=](const Gl& gl) {
            gl.Begin(mode);
            for (const V& v : vs) {
                if (v.setC) gl.Color4f(v.c[0], v.c[1], v.c[2], v.c[3]);
                if (v.setN) gl.Normal3f(v.n[0], v.n[1], v.n[2]);
                if (v.setT) gl.TexCoord2f(v.t[0], v.t[1]);
                gl.Vertex3f(v.p[0], v.p[1], v.p[2]);
            }
            gl.End();
        });
    }

    void Arrays() {
        const GLenum mode = Mode();
        // Whole primitives only (see Immediate()), in the vertices drawn.
        const int n = Whole(mode, Pick<int>({4, 6, 8, 12}));
        // Two components put every vertex on the plane z = 0: triangles of
        // one draw overlap there, and which is in front is rounding GL does
        // not fix (see Immediate()'s rectangles): points and lines only.
        const int size = mode <= GL_LINE_STRIP ? Pick<int>({2, 3, 4}) : Pick<int>({3, 4});
        std::vector<float> pos, colour, normal, tex;
        const std::vector<float> positions = Positions(mode, n);
        // Four-component positions of one polygon share their w: values a
        // polygon interpolates (fog's eye distance) then vary across it as
        // over a plane, and the two ways of cutting a quad give the same.
        const bool polygon = mode == GL_QUADS || mode == GL_QUAD_STRIP || mode == GL_POLYGON;
        const float polygonW = Real(0.5f, 2.0f);
        for (int i = 0; i < n; ++i) {
            const float w = size != 4 || !homogeneous_ ? 1.0f : polygon ? polygonW : Real(0.5f, 2.0f);
            for (int k = 0; k < size; ++k) pos.push_back(k < 3 ? positions[size_t(3 * i + k)] * w : w);
            for (int k = 0; k < 4; ++k) colour.push_back(Real(0, 1));
            normal.push_back(Real(-1, 1)), normal.push_back(Real(-1, 1)), normal.push_back(Real(0.2f, 1));
            tex.push_back(Real(-0.5f, 1.5f)), tex.push_back(Real(-0.5f, 1.5f));
        }
        if (mode == GL_QUADS || mode == GL_QUAD_STRIP || mode == GL_POLYGON)  // as in Immediate()
            for (int i = 1; i < n; ++i) {
                std::copy(colour.begin(), colour.begin() + 4, colour.begin() + 4 * i);
                std::copy(normal.begin(), normal.begin() + 3, normal.begin() + 3 * i);
                std::copy(tex.begin(), tex.begin() + 2, tex.begin() + 2 * i);
            }
        std::vector<uint8_t> ubColour;
        for (float c : colour) ubColour.push_back(uint8_t(std::lround(c * 255)));
        const float* p = Floats(pos);
        const float* c = Floats(colour);
        const float* nn = Floats(normal);
        const float* t = Floats(tex);
        seq_.bytes.push_back(ubColour);
        const uint8_t* cb = seq_.bytes.back().data();
        // In a list, positions only: an array draw leaves the current value
        // of what came from an array indeterminate (given again after it,
        // below), and Current() says why values are not given in lists.
        const bool useC = Chance(0.6) && !inList_, useN = Chance(0.5) && !inList_, useT = Chance(0.5) && !inList_;
        const bool bytes = Chance(0.4);
        const int cs = Pick<int>({3, 4});
        const bool elements = Chance(0.5);
        const std::vector<float> afterDraw = Colour(0.2f);
        const std::array<float, 4> after = {afterDraw[0], afterDraw[1], afterDraw[2], afterDraw[3]};
        std::vector<uint8_t> idx8;
        std::vector<uint16_t> idx16;
        std::vector<uint32_t> idx32;
        const bool polygonal = mode == GL_QUADS || mode == GL_QUAD_STRIP || mode == GL_POLYGON;
        // The vertices of polygons and triangles once each: one named twice
        // makes a triangle of no area, which GL calls neither front nor back
        // facing (Mesa takes it for the one or the other by the framebuffer's
        // orientation). Polygons take theirs in order (to stay convex),
        // triangles in any.
        const bool filled = mode >= GL_TRIANGLES;
        const int ni = filled ? n : Whole(mode, Int(3, 14));
        std::vector<uint32_t> order(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) order[size_t(i)] = uint32_t(i);
        if (!polygonal) std::shuffle(order.begin(), order.end(), rng_);
        const GLenum type = Pick<GLenum>({GL_UNSIGNED_BYTE, GL_UNSIGNED_SHORT, GL_UNSIGNED_INT});
        std::vector<uint8_t> indexBytes;
        for (int i = 0; i < ni; ++i) {
            const uint32_t v = filled ? order[size_t(i)] : uint32_t(Int(0, n - 1));
            if (type == GL_UNSIGNED_BYTE) indexBytes.push_back(uint8_t(v));
            if (type == GL_UNSIGNED_SHORT) { const uint16_t s = uint16_t(v); indexBytes.insert(indexBytes.end(), reinterpret_cast<const uint8_t*>(&s), reinterpret_cast<const uint8_t*>(&s) + 2); }
            if (type == GL_UNSIGNED_INT) indexBytes.insert(indexBytes.end(), reinterpret_cast<const uint8_t*>(&v), reinterpret_cast<const uint8_t*>(&v) + 4);
        }
        seq_.bytes.push_back(indexBytes);
        const uint8_t* ib = seq_.bytes.back().data();
        std::string what = std::string(elements ? "draw elements " : "draw arrays ") + std::to_string(mode) + " size " +
                           std::to_string(size) + " x" + std::to_string(n) + (useC ? " colour" : "") +
                           (useC && bytes ? " bytes" : "") + (useN ? " normal" : "") + (useT ? " tex" : "");
        if (std::getenv("GL11_DIFF_VERBOSE"))
            for (int i = 0; i < n; ++i) {
                what += "\n   ";
                for (int k = 0; k < size; ++k) what += " " + std::to_string(pos[size_t(i * size + k)]);
                what += " /";
                for (int k = 0; k < 4; ++k) what += " " + std::to_string(colour[size_t(i * 4 + k)]);
            }
        Do(what,
           [=](const Gl& gl) {
               gl.EnableClientState(GL_VERTEX_ARRAY);
               gl.VertexPointer(size, GL_FLOAT, 0, p);
               if (useC) {
                   gl.EnableClientState(GL_COLOR_ARRAY);
                   if (bytes) gl.ColorPointer(cs, GL_UNSIGNED_BYTE, 4, cb);
                   else gl.ColorPointer(cs, GL_FLOAT, 16, c);
               }
               if (useN) gl.EnableClientState(GL_NORMAL_ARRAY), gl.NormalPointer(GL_FLOAT, 0, nn);
               if (useT) gl.EnableClientState(GL_TEXTURE_COORD_ARRAY), gl.TexCoordPointer(2, GL_FLOAT, 0, t);
               if (elements) gl.DrawElements(mode, ni, type, ib);
               else gl.DrawArrays(mode, 0, n);
               gl.DisableClientState(GL_VERTEX_ARRAY);
               gl.DisableClientState(GL_COLOR_ARRAY);
               gl.DisableClientState(GL_NORMAL_ARRAY);
               gl.DisableClientState(GL_TEXTURE_COORD_ARRAY);
               // GL 1.1 leaves the current value of an attribute that came
               // from an array indeterminate after the draw (Mesa's lists
               // leave the last element's, the layer the one from before):
               // given again.
               if (useC) gl.Color4f(after[0], after[1], after[2], after[3]);
               if (useN) gl.Normal3f(after[0], after[1], 1.0f);
               if (useT) gl.TexCoord2f(after[2], after[3]);
               Settle(gl);
           });
    }
};

// ---- running a sequence ----------------------------------------------------


// Every state a sequence can change, back to GL's defaults.
void Reset(const Gl& gl) {
    GLint depth = 0;
    gl.GetIntegerv(GL_LIST_INDEX, &depth);
    if (depth) gl.EndList();
    for (int i = 0; i < 20; ++i) gl.PopAttrib();
    for (int i = 0; i < 20; ++i) gl.PopClientAttrib();
    for (GLenum mode : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
        gl.MatrixMode(mode);
        for (int i = 0; i < 40; ++i) gl.PopMatrix();
        gl.LoadIdentity();
    }
    const GLuint textures[2] = {1, 2};
    gl.DeleteTextures(2, textures);
    gl.DeleteLists(1, 1);
    for (GLenum cap : {GL_LIGHTING, GL_TEXTURE_2D, GL_DEPTH_TEST, GL_BLEND, GL_CULL_FACE, GL_FOG, GL_ALPHA_TEST,
                       GL_COLOR_MATERIAL, GL_NORMALIZE, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R,
                       GL_TEXTURE_GEN_Q, GL_SCISSOR_TEST})
        gl.Disable(cap);
    const float black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1}, zero[4] = {0, 0, 0, 0};
    const float ambient[4] = {0.2f, 0.2f, 0.2f, 1}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1}, up[4] = {0, 0, 1, 0};
    const float down[4] = {0, 0, -1, 0};
    for (int i = 0; i < 8; ++i) {
        const GLenum l = GL_LIGHT0 + GLenum(i);
        gl.Disable(l);
        gl.Lightfv(l, GL_AMBIENT, black);
        gl.Lightfv(l, GL_DIFFUSE, i == 0 ? white : black);
        gl.Lightfv(l, GL_SPECULAR, i == 0 ? white : black);
        gl.Lightfv(l, GL_POSITION, up);
        gl.Lightfv(l, GL_SPOT_DIRECTION, down);
        gl.Lightf(l, GL_SPOT_EXPONENT, 0);
        gl.Lightf(l, GL_SPOT_CUTOFF, 180);
        gl.Lightf(l, GL_CONSTANT_ATTENUATION, 1);
        gl.Lightf(l, GL_LINEAR_ATTENUATION, 0);
        gl.Lightf(l, GL_QUADRATIC_ATTENUATION, 0);
    }
    gl.ColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    gl.Materialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    gl.Materialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    gl.Materialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    gl.Materialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
    gl.Materialf(GL_FRONT_AND_BACK, GL_SHININESS, 0);
    Settle(gl);
    gl.LightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    gl.LightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    gl.LightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
    gl.Fogi(GL_FOG_MODE, GL_EXP);
    gl.Fogf(GL_FOG_DENSITY, 1);
    gl.Fogf(GL_FOG_START, 0);
    gl.Fogf(GL_FOG_END, 1);
    gl.Fogfv(GL_FOG_COLOR, zero);
    gl.AlphaFunc(GL_ALWAYS, 0);
    gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    gl.TexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, zero);
    const float planes[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    for (GLenum c = GL_S; c <= GL_Q; ++c) {
        gl.TexGeni(c, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
        gl.TexGenfv(c, GL_OBJECT_PLANE, planes[c - GL_S]);
        gl.TexGenfv(c, GL_EYE_PLANE, planes[c - GL_S]);
    }
    gl.BindTexture(GL_TEXTURE_2D, 0);
    gl.BlendFunc(GL_ONE, GL_ZERO);
    gl.DepthFunc(GL_LESS);
    gl.DepthMask(GL_TRUE);
    gl.CullFace(GL_BACK);
    gl.FrontFace(GL_CCW);
    gl.PolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    gl.ShadeModel(GL_SMOOTH);
    gl.LineWidth(1);
    gl.PointSize(1);
    gl.Viewport(0, 0, kSize, kSize);
    gl.Scissor(0, 0, kSize, kSize);
    gl.Color4f(1, 1, 1, 1);
    gl.Normal3f(0, 0, 1);
    gl.TexCoord2f(0, 0);
    Settle(gl);
    gl.ClearColor(0.1f, 0.2f, 0.3f, 0.5f);
    gl.ClearDepth(1);
    gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    while (gl.GetError() != GL_NO_ERROR) {
    }
}

struct Result {
    std::vector<uint8_t> rgba;
    GLenum error = GL_NO_ERROR;  // the first one
    size_t errorStep = 0;        // the step that made it
};

Result RunSide(const Sides& sides, int side, const Sequence& seq) {
    eglMakeCurrent(sides.display, EGL_NO_SURFACE, EGL_NO_SURFACE, sides.context[side]);
    const Gl& gl = sides.gl[side];
    Reset(gl);
    Result r;
    for (size_t i = 0; i < seq.steps.size(); ++i) {
        seq.steps[i](gl);
        if (seq.checked[i] && r.error == GL_NO_ERROR && (r.error = gl.GetError()) != GL_NO_ERROR) r.errorStep = i;
    }
    while (gl.GetError() != GL_NO_ERROR) {
    }
    GLint listIndex = 0;
    gl.GetIntegerv(GL_LIST_INDEX, &listIndex);
    if (listIndex) gl.EndList();
    r.rgba.resize(size_t(kSize) * kSize * 4);
    gl.PixelStorei(GL_PACK_ALIGNMENT, 1);
    gl.ReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, r.rgba.data());
    return r;
}

void SaveRgb(const std::string& path, const std::vector<uint8_t>& rgba) {
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i < rgba.size(); i += 4) rgb.insert(rgb.end(), &rgba[i], &rgba[i] + 3);
    WritePngRgbBottomUp(path, kSize, kSize, rgb.data());
}

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

// Each sequence: mean difference at most 1 level, 99.9 % of pixels within
// 8, the same first error.
TEST(Gl11Differential, GeneratedSequencesMatchDesktopMesa) {
    const Sides& sides = TheSides();
    ASSERT_TRUE(sides.ok) << "no desktop and ES contexts on EGL's surfaceless platform";
    const int count = EnvInt("GL11_DIFF_SEQUENCES", 500), first = EnvInt("GL11_DIFF_FIRST", 1);
    std::string failed;  // every seed that differs; the first five in full
    int failures = 0;
    double worstMean = 0;
    for (int seed = first; seed < first + count; ++seed) {
        Sequence seq = Generator(unsigned(seed)).Make();
        // GL11_DIFF_STEPS: only the first steps of each (to find the one that differs).
        if (const int steps = EnvInt("GL11_DIFF_STEPS", 0); steps > 0 && size_t(steps) < seq.steps.size())
            seq.steps.resize(size_t(steps)), seq.log.resize(size_t(steps)), seq.checked.resize(size_t(steps));
        // GL11_DIFF_KEEP=1,2,7: only those steps (counted from 1).
        if (const char* keep = std::getenv("GL11_DIFF_KEEP")) {
            Sequence kept;
            for (const char* p = keep; *p;) {
                const size_t i = size_t(std::strtoul(p, const_cast<char**>(&p), 10));
                if (i >= 1 && i <= seq.steps.size())
                    kept.steps.push_back(seq.steps[i - 1]), kept.log.push_back(seq.log[i - 1]),
                        kept.checked.push_back(seq.checked[i - 1]);
                if (*p) ++p;
            }
            seq.steps = kept.steps, seq.log = kept.log, seq.checked = kept.checked;
        }
        const Result desktop = RunSide(sides, 0, seq), layer = RunSide(sides, 1, seq);
        double sum = 0;
        size_t far = 0;
        for (size_t i = 0; i < desktop.rgba.size(); i += 4) {
            int worst = 0;
            for (size_t c = 0; c < 4; ++c) {
                const int d = std::abs(int(desktop.rgba[i + c]) - int(layer.rgba[i + c]));
                sum += d;
                worst = std::max(worst, d);
            }
            far += worst > 8;
        }
        const double mean = sum / double(desktop.rgba.size());
        worstMean = std::max(worstMean, mean);
        const double farShare = double(far) / double(kSize * kSize);
        const bool same = mean <= 1.0 && farShare <= 0.001 && desktop.error == layer.error;
        if (same) continue;
        failed += " " + std::to_string(seed);
        if (++failures > 5) continue;
        std::string steps;
        for (size_t i = 0; i < seq.log.size(); ++i) {
            steps += "\n  " + seq.log[i];
            if (desktop.error && desktop.errorStep == i) steps += "  <- desktop error";
            if (layer.error && layer.errorStep == i) steps += "  <- layer error";
        }
        const std::string name = "gl11-differential-" + std::to_string(seed);
        SaveRgb(name + "-desktop.png", desktop.rgba);
        SaveRgb(name + "-layer.png", layer.rgba);
        ADD_FAILURE() << "seed " << seed << ": mean difference " << mean << ", " << far
                      << " pixels more than 8 apart, error " << desktop.error << " on the desktop and "
                      << layer.error << " through the layer (pictures: " << name << "-*.png); the sequence:" << steps;
    }
    EXPECT_EQ(failures, 0) << "seeds that differ:" << failed;
    RecordProperty("worst_mean_difference", std::to_string(worstMean));
}

}  // namespace
