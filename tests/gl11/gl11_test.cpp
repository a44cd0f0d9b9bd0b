// gl11_test.cpp -- the gl11 layer on Mesa's OpenGL ES 3.0 (EGL surfaceless):
// what a reference frame would not show. The current-attribute rules, the
// stacks at their limits, a list replayed after its texture changed, wide
// lines, a blend done in the shader, and every query the demo makes answered
// without the driver. Last, the capture tool's stills at --scale 2 drawn
// through the layer against the desktop's.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <gl11.h>
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "gl11/src/es3.h"
#include "tests/support/process.h"
#include "tools/common/png.h"

// This program's own operator new, which fails while asked to (the layer's
// allocations then fail as they would without memory).
bool g_failAllocations = false;

// Every form of it and of operator delete, so that whatever is allocated
// here is freed here.
void* operator new(std::size_t bytes) {
    if (g_failAllocations) throw std::bad_alloc();
    if (void* p = std::malloc(bytes ? bytes : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) { return operator new(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return g_failAllocations ? nullptr : std::malloc(bytes ? bytes : 1);
}
void* operator new[](std::size_t bytes, const std::nothrow_t& t) noexcept { return operator new(bytes, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

constexpr int kSize = 64;

// The driver's query functions, counted.
int g_driverQueries = 0;
void (*g_realGetIntegerv)(GLenum, GLint*);
void (*g_realGetFloatv)(GLenum, GLfloat*);
GLenum (*g_realGetError)(void);
void (*g_realReadPixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
void CountedGetIntegerv(GLenum p, GLint* v) { ++g_driverQueries, g_realGetIntegerv(p, v); }
void CountedGetFloatv(GLenum p, GLfloat* v) { ++g_driverQueries, g_realGetFloatv(p, v); }
void CountedReadPixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum f, GLenum t, void* p) {
    ++g_driverQueries, g_realReadPixels(x, y, w, h, f, t, p);
}

// Faults put in on purpose: an error the driver reports next, a shader
// whose source holds `g_failShader` failing to compile; and what was made
// and deleted.
GLenum g_injectedError = 0;
std::string g_failShader;
int g_failedCompiles = 0, g_shadersMade = 0, g_shadersDeleted = 0, g_programsMade = 0, g_programsDeleted = 0;
std::string g_lastSource;
void (*g_realShaderSource)(GLuint, GLsizei, const char* const*, const GLint*);
void (*g_realGetShaderiv)(GLuint, GLenum, GLint*);
GLuint (*g_realCreateShader)(GLenum);
void (*g_realDeleteShader)(GLuint);
GLuint (*g_realCreateProgram)(void);
void (*g_realDeleteProgram)(GLuint);
void FaultyShaderSource(GLuint s, GLsizei n, const char* const* src, const GLint* len) {
    g_lastSource.clear();
    for (GLsizei i = 0; i < n; ++i) g_lastSource += src[i];
    g_realShaderSource(s, n, src, len);
}
void FaultyGetShaderiv(GLuint s, GLenum p, GLint* v) {
    g_realGetShaderiv(s, p, v);
    if (p == 0x8B81 && !g_failShader.empty() && g_lastSource.find(g_failShader) != std::string::npos)
        *v = 0, ++g_failedCompiles;
}
GLuint CountedCreateShader(GLenum t) { return ++g_shadersMade, g_realCreateShader(t); }
void CountedDeleteShader(GLuint s) { ++g_shadersDeleted, g_realDeleteShader(s); }
GLuint CountedCreateProgram() { return ++g_programsMade, g_realCreateProgram(); }
void CountedDeleteProgram(GLuint p) { ++g_programsDeleted, g_realDeleteProgram(p); }
GLenum InjectedGetError() {
    ++g_driverQueries;
    if (g_injectedError) return g_injectedError;
    return g_realGetError();
}

void* FaultyGetProc(const char* name) {
    void* real = reinterpret_cast<void*>(eglGetProcAddress(name));
    const std::string n = name;
    if (n == "glShaderSource") return g_realShaderSource = reinterpret_cast<decltype(g_realShaderSource)>(real), reinterpret_cast<void*>(FaultyShaderSource);
    if (n == "glGetShaderiv") return g_realGetShaderiv = reinterpret_cast<decltype(g_realGetShaderiv)>(real), reinterpret_cast<void*>(FaultyGetShaderiv);
    if (n == "glCreateShader") return g_realCreateShader = reinterpret_cast<decltype(g_realCreateShader)>(real), reinterpret_cast<void*>(CountedCreateShader);
    if (n == "glDeleteShader") return g_realDeleteShader = reinterpret_cast<decltype(g_realDeleteShader)>(real), reinterpret_cast<void*>(CountedDeleteShader);
    if (n == "glCreateProgram") return g_realCreateProgram = reinterpret_cast<decltype(g_realCreateProgram)>(real), reinterpret_cast<void*>(CountedCreateProgram);
    if (n == "glDeleteProgram") return g_realDeleteProgram = reinterpret_cast<decltype(g_realDeleteProgram)>(real), reinterpret_cast<void*>(CountedDeleteProgram);
    if (n == "glGetIntegerv") return g_realGetIntegerv = reinterpret_cast<decltype(g_realGetIntegerv)>(real), reinterpret_cast<void*>(CountedGetIntegerv);
    if (n == "glGetFloatv") return g_realGetFloatv = reinterpret_cast<decltype(g_realGetFloatv)>(real), reinterpret_cast<void*>(CountedGetFloatv);
    if (n == "glGetError") return g_realGetError = reinterpret_cast<decltype(g_realGetError)>(real), reinterpret_cast<void*>(InjectedGetError);
    if (n == "glReadPixels") return g_realReadPixels = reinterpret_cast<decltype(g_realReadPixels)>(real), reinterpret_cast<void*>(CountedReadPixels);
    return real;
}

// Every ES function the layer loads, counted by name; the uniform calls
// aimed at location -1 (no such uniform) and the offsets buffer data was
// written at, apart.
enum EsIndex {
#define ES_INDEX(ret, name, params) kEs##name,
    GL11_ES_FUNCTIONS(ES_INDEX)
#undef ES_INDEX
    kEsCount
};
const char* const kEsNames[] = {
#define ES_NAME(ret, name, params) #name,
    GL11_ES_FUNCTIONS(ES_NAME)
#undef ES_NAME
};
int g_esCalls[kEsCount] = {};
int g_uniformsToNowhere = 0;
std::vector<long> g_subDataOffsets;
long g_vertexBytes = 0, g_indexBytes = 0;  // written into array, element array buffers by glBufferSubData

template <class T>
long long AsInt(T v) {
    if constexpr (std::is_integral<T>::value) return static_cast<long long>(v);
    return 0;
}

template <int I, class F>
struct Counted;
template <int I, class R, class... A>
struct Counted<I, R (*)(A...)> {
    static inline R (*real)(A...) = nullptr;
    static R Call(A... a) {
        ++g_esCalls[I];
        if constexpr (sizeof...(A) > 0) {
            const long long first = AsInt(std::get<0>(std::tie(a...)));
            if (std::strncmp(kEsNames[I], "Uniform", 7) == 0 && first == -1) ++g_uniformsToNowhere;
            if constexpr (sizeof...(A) == 4)
                if (I == kEsBufferSubData) {
                    g_subDataOffsets.push_back(long(AsInt(std::get<1>(std::tie(a...)))));
                    const long bytes = long(AsInt(std::get<2>(std::tie(a...))));
                    if (first == ES_ARRAY_BUFFER) g_vertexBytes += bytes;
                    if (first == ES_ELEMENT_ARRAY_BUFFER) g_indexBytes += bytes;
                }
        }
        return real(a...);
    }
};

void* CountingGetProc(const char* name) {
    void* real = FaultyGetProc(name);
    if (!real) return nullptr;
    const std::string n = name;
#define ES_WRAP(ret, fn, params)                                                       \
    if (n == "gl" #fn) {                                                               \
        using W = Counted<kEs##fn, ret(*) params>;                                     \
        W::real = reinterpret_cast<ret(*) params>(real);                               \
        return reinterpret_cast<void*>(&W::Call);                                      \
    }
    GL11_ES_FUNCTIONS(ES_WRAP)
#undef ES_WRAP
    return real;
}

struct EsCalls {
    int all = 0, draws = 0, uniforms = 0, binds = 0, bufferData = 0;
};
EsCalls CountSince(const int before[kEsCount]) {
    EsCalls c;
    for (int i = 0; i < kEsCount; ++i) {
        const int n = g_esCalls[i] - before[i];
        c.all += n;
        if (std::strncmp(kEsNames[i], "Draw", 4) == 0) c.draws += n;
        if (std::strncmp(kEsNames[i], "Uniform", 7) == 0) c.uniforms += n;
    }
    c.binds = g_esCalls[kEsBindBuffer] - before[kEsBindBuffer];
    c.bufferData = g_esCalls[kEsBufferData] - before[kEsBufferData];
    return c;
}

// An ES 3.0 context drawing into a 64 x 64 framebuffer object, made once.
GLuint g_framebuffer = 0;
bool MakeContext() {
    static int made = -1;
    if (made >= 0) return made == 1;
    made = 0;
    auto getDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getDisplay) return false;
    EGLDisplay display = getDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr) || !eglBindAPI(EGL_OPENGL_ES_API))
        return false;
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) return false;
    if (!gl11_Init(CountingGetProc)) return false;
    // WebGL 2 always ends a primitive at the largest index of the draw's
    // type (0xFFFF for 16 bits); ES 3.0 does where this is enabled, so the
    // layer is tested as a browser draws it.
    reinterpret_cast<void (*)(GLenum)>(eglGetProcAddress("glEnable"))(0x8D69 /* GL_PRIMITIVE_RESTART_FIXED_INDEX */);
    GLuint fbo, colour, depth;
    glGenFramebuffers(1, &fbo);
    glGenRenderbuffers(1, &colour);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, kSize, kSize);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kSize, kSize);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    g_framebuffer = fbo;
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    made = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    return made == 1;
}

struct Rgb {
    int r, g, b;
};

Rgb Pixel(int x, int y) {
    uint8_t p[3];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

// Window coordinates = object coordinates (0..64), lighting off, black.
class Gl11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeContext());
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kSize, 0, kSize, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glLineWidth(1);
        glColor4f(1, 1, 1, 1);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    static void Quad(float x0, float y0, float x1, float y1) {
        glBegin(GL_QUADS);
        glTexCoord2f(0.5f, 0.5f);
        glVertex2f(x0, y0);
        glVertex2f(x1, y0);
        glVertex2f(x1, y1);
        glVertex2f(x0, y1);
        glEnd();
    }
};

TEST_F(Gl11, AttributesSetBeforeBeginHoldInsideItAndTheLastSetStaysCurrent) {
    // A colour before glBegin colours every vertex of the block.
    glColor3f(1, 0, 0);
    Quad(0, 0, 32, 64);
    EXPECT_EQ(Pixel(16, 32).r, 255);
    EXPECT_EQ(Pixel(16, 32).g, 0);
    // A normal before glBegin is the one the light sees: facing the light
    // is lit, facing away is not.
    const GLfloat white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1}, dir[4] = {0, 0, 1, 0};
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_POSITION, dir);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glNormal3f(0, 0, 1);
    Quad(32, 0, 48, 64);
    glNormal3f(0, 0, -1);
    Quad(48, 0, 64, 64);
    glDisable(GL_LIGHTING);
    EXPECT_EQ(Pixel(40, 32).g, 255);
    EXPECT_EQ(Pixel(56, 32).g, 0);
    // The last colour set inside a block stays current after glEnd.
    glBegin(GL_POINTS);
    glColor3f(0, 0, 1);
    glEnd();
    GLfloat current[4];
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_EQ(current[2], 1.0f);
    EXPECT_EQ(current[0], 0.0f);
    // A list that sets no colour takes the one current when it runs; one
    // that sets it leaves it current after it ran.
    const GLuint lists = glGenLists(2);
    glNewList(lists, GL_COMPILE);
    Quad(0, 0, 16, 16);
    glEndList();
    glNewList(lists + 1, GL_COMPILE);
    glColor3f(0, 1, 0);
    Quad(16, 0, 32, 16);
    glEndList();
    glColor3f(1, 1, 0);
    glCallList(lists);
    EXPECT_EQ(Pixel(8, 8).r, 255);
    EXPECT_EQ(Pixel(8, 8).g, 255);
    EXPECT_EQ(Pixel(8, 8).b, 0);
    glColor3f(1, 0, 1);
    glCallList(lists + 1);
    EXPECT_EQ(Pixel(24, 8).r, 0);
    EXPECT_EQ(Pixel(24, 8).g, 255);
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_EQ(current[0], 0.0f);
    EXPECT_EQ(current[1], 1.0f);
    glDeleteLists(lists, 2);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Gl11, StacksAtTheirLimitsGiveTheErrorAndKeepTheirContents) {
    GLint depth = 0, max = 0;
    glGetIntegerv(GL_MAX_MODELVIEW_STACK_DEPTH, &max);
    glTranslatef(1, 2, 3);
    for (GLint i = 1; i < max; ++i) glPushMatrix();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glTranslatef(4, 0, 0);
    glPushMatrix();  // one too many
    EXPECT_EQ(glGetError(), GLenum(GL_STACK_OVERFLOW));
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, max);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 5.0f);
    for (GLint i = 1; i < max; ++i) glPopMatrix();
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 1.0f);
    glPopMatrix();  // one too many
    EXPECT_EQ(glGetError(), GLenum(GL_STACK_UNDERFLOW));
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 1.0f);
    EXPECT_EQ(m[14], 3.0f);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);

    // The projection stack, then the attribute stack: the state saved first
    // comes back whole after an overflow.
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    EXPECT_EQ(glGetError(), GLenum(GL_STACK_UNDERFLOW));
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_FLOAT_EQ(m[0], 2.0f / kSize);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_BLEND);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_BLEND);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glScissor(1, 2, 3, 4);
    int pushed = 1;
    while (glGetError() == GL_NO_ERROR && pushed < 100) glPushAttrib(GL_ALL_ATTRIB_BITS), ++pushed;
    EXPECT_EQ(pushed, 17);  // 16 deep, then the overflow was reported
    for (int i = 0; i < 15; ++i) glPopAttrib();
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    glPopAttrib();
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint modes[2], box[4];
    glGetIntegerv(GL_POLYGON_MODE, modes);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_EQ(modes[0], GL_FILL);
    EXPECT_NE(box[0], 1);
    glPopAttrib();
    EXPECT_EQ(glGetError(), GLenum(GL_STACK_UNDERFLOW));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    // The driver's blending came back with ours: a blended quad adds.
    glLoadIdentity();
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(0.5f, 0, 0);
    Quad(0, 0, 64, 64);
    Quad(0, 0, 64, 64);
    EXPECT_NEAR(Pixel(32, 32).r, 255, 1);
    glDisable(GL_BLEND);
}

TEST_F(Gl11, AListDrawsTheTextureItBindsAsItIsWhenTheListRuns) {
    const uint8_t red[3 * 4] = {255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0};
    const uint8_t green[3 * 4] = {0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, red);
    glBindTexture(GL_TEXTURE_2D, 0);
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBindTexture(GL_TEXTURE_2D, texture);
    Quad(0, 0, 64, 64);
    glEndList();
    glEnable(GL_TEXTURE_2D);
    glCallList(list);
    EXPECT_EQ(Pixel(32, 32).r, 255);
    // The picture replaced under the same name.
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, green);
    glBindTexture(GL_TEXTURE_2D, 0);
    glCallList(list);
    EXPECT_EQ(Pixel(32, 32).r, 0);
    EXPECT_EQ(Pixel(32, 32).g, 255);
    // The texture deleted and the name made anew: the list binds the new one.
    glDeleteTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, red);
    glBindTexture(GL_TEXTURE_2D, 0);
    glCallList(list);
    EXPECT_EQ(Pixel(32, 32).r, 255);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), texture);
    glDisable(GL_TEXTURE_2D);
    glDeleteLists(list, 1);
}

TEST_F(Gl11, WideLinesCoverTheirWidth) {
    // Three wide covers three rows at any slope, drawn by the driver and
    // as triangles.
    for (int emulated : {0, 1}) {
        SCOPED_TRACE(emulated ? "as triangles" : "by the driver");
        gl11_SetLineEmulation(emulated);
        glClear(GL_COLOR_BUFFER_BIT);
        glLineWidth(3);
        glBegin(GL_LINES);
        glVertex2f(4, 20.5f);
        glVertex2f(60, 20.5f);
        glVertex2f(40.5f, 30);
        glVertex2f(40.5f, 60);
        glEnd();
        for (int y : {19, 20, 21}) EXPECT_EQ(Pixel(30, y).r, 255) << y;
        EXPECT_EQ(Pixel(30, 18).r, 0);
        EXPECT_EQ(Pixel(30, 22).r, 0);
        for (int x : {39, 40, 41}) EXPECT_EQ(Pixel(x, 45).r, 255) << x;
        EXPECT_EQ(Pixel(38, 45).r, 0);
        EXPECT_EQ(Pixel(42, 45).r, 0);
        // Outlines (polygon mode GL_LINE) are wide too, without the diagonal.
        glClear(GL_COLOR_BUFFER_BIT);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        Quad(10.5f, 10.5f, 50.5f, 50.5f);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        EXPECT_EQ(Pixel(30, 11).r, 255);
        EXPECT_EQ(Pixel(11, 30).r, 255);
        EXPECT_EQ(Pixel(30, 30).r, 0);
    }
    gl11_SetLineEmulation(0);
}

// llvmpipe's blend rounds as the layer wants, so the layer leaves it to the
// driver. Made to blend in the shader, against a copy of the pixels under
// the draw: through a viewport and a scissor box that do not start at the
// corner, each pixel blends with its own pixel, in 8-bit arithmetic, and only
// inside the box; a second such draw over the first blends with what the
// first drew; the next draw blends in the driver again; the framebuffer's
// format is asked once.
// a * b / 255 for bytes (t = a * b), as an 8-bit blend unit takes it: the
// nearest byte but for a few products just above a half (152 * 229).
long Byte(long t) { return (t + (t >> 8) + 128) >> 8; }

TEST_F(Gl11, BlendsDoneByHandMeetTheirOwnPixels) {
    EXPECT_EQ(gl11_ShaderBlend(), 0);
    gl11_SetShaderBlend(1);
    glBegin(GL_QUADS);  // no two pixels alike
    glColor3f(0, 0, 0);
    glVertex2f(0, 0);
    glColor3f(1, 0, 0.5f);
    glVertex2f(64, 0);
    glColor3f(1, 1, 0);
    glVertex2f(64, 64);
    glColor3f(0, 1, 1);
    glVertex2f(0, 64);
    glEnd();
    std::vector<uint8_t> before(kSize * kSize * 3), after(kSize * kSize * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kSize, kSize, GL_RGB, GL_UNSIGNED_BYTE, before.data());

    glViewport(8, 4, 48, 56);
    glScissor(12, 10, 30, 40);
    glEnable(GL_SCISSOR_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.2f, 0.6f, 1.0f, 0.1f);
    Quad(0, 0, 64, 64);
    Quad(0, 0, 64, 64);  // over the first: blends with what that drew
    glReadPixels(0, 0, kSize, kSize, GL_RGB, GL_UNSIGNED_BYTE, after.data());
    const int source[3] = {51, 153, 255}, w = 26;  // the colour and alpha as bytes
    int wrong = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const bool inside = x >= 12 && x < 42 && y >= 10 && y < 50;
            for (int k = 0; k < 3; ++k) {
                const int d = before[(y * kSize + x) * 3 + k];
                const long once = Byte(source[k] * w) + Byte(d * (255 - w));
                const long want = inside ? Byte(source[k] * w) + Byte(once * (255 - w)) : d;
                if (after[(y * kSize + x) * 3 + k] != want && wrong++ < 5)
                    ADD_FAILURE() << x << ", " << y << " [" << k << "]: " << int(after[(y * kSize + x) * 3 + k])
                                  << ", not " << want << " (under it " << d << ")";
            }
        }
    }
    EXPECT_EQ(wrong, 0);

    const Rgb under = Pixel(20, 20);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(0.1f, 0.1f, 0.1f);
    Quad(0, 0, 64, 64);
    const Rgb added = Pixel(20, 20);
    EXPECT_EQ(added.r, std::min(under.r + 26, 255));
    EXPECT_EQ(added.g, std::min(under.g + 26, 255));
    // Bound again (as every frame), the framebuffer is not asked its format
    // again: such a query can wait for the GPU in a browser.
    glBindFramebuffer(GL_FRAMEBUFFER, g_framebuffer);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    g_driverQueries = 0;
    Quad(0, 0, 64, 64);
    EXPECT_EQ(g_driverQueries, 0);
    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    gl11_SetShaderBlend(0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Gl11, QueriesAreAnsweredWithoutTheDriver) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const uint8_t texels[3 * 3 * 2] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 3, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glViewport(1, 2, 30, 40);
    glScissor(3, 4, 5, 6);
    glEnable(GL_SCISSOR_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(7, 8, 9);
    const GLuint list = glGenLists(1);

    g_driverQueries = 0;
    GLint v[4] = {}, modes[2] = {}, depth = 0, max = 0, w = 0, h = 0, pack = 0;
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[2], 30);
    EXPECT_EQ(v[3], 40);
    glGetIntegerv(GL_SCISSOR_BOX, v);
    EXPECT_EQ(v[0], 3);
    EXPECT_EQ(v[3], 6);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[1], GL_LINE);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 2);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
    EXPECT_GE(max, 2048);
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    // Rows padded to 4 bytes on the way out.
    uint8_t back[2 * 12];
    std::memset(back, 0xEE, sizeof back);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back);
    EXPECT_EQ(0, std::memcmp(back, texels, 9));
    EXPECT_EQ(0, std::memcmp(back + 12, texels + 9, 9));
    EXPECT_EQ(back[9], 0xEE);
    GLdouble mv[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    EXPECT_EQ(mv[13], 8.0);
    EXPECT_TRUE(glIsList(list));
    EXPECT_EQ(g_driverQueries, 0);
    // glGetError alone asks the driver, for the errors only it can see.
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_SCISSOR_TEST);
    glDeleteTextures(1, &texture);
    glDeleteLists(list, 1);
}

TEST_F(Gl11, TheDriversErrorsReachGetError) {
    // ES refuses a linear filter for a depth blit, and an unknown format.
    glBlitFramebuffer(0, 0, 4, 4, 0, 0, 4, 4, GL_DEPTH_BUFFER_BIT, GL_LINEAR);
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_OPERATION));
    glRenderbufferStorage(GL_RENDERBUFFER, 0x1234, 4, 4);
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_ENUM));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    // The layer's own error comes first; the driver's is kept for the next read.
    glBlitFramebuffer(0, 0, 4, 4, 0, 0, 4, 4, GL_DEPTH_BUFFER_BIT, GL_LINEAR);
    glBlendFunc(GL_ONE, 0x1234);
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_ENUM));
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_OPERATION));
}

TEST_F(Gl11, RefusedValuesGiveGLsErrorAndChangeNothing) {
    GLint dst = 0;
    glGetIntegerv(GL_BLEND_DST, &dst);
    glBlendFunc(GL_SRC_ALPHA, 0x1234);
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_ENUM));
    glCullFace(GL_CW);
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_ENUM));
    glFrontFace(GL_FRONT);
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_ENUM));
    glEnable(GL_LINE_STIPPLE);  // not drawn by the layer: refused, not ignored
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_ENUM));
    GLint v[3];
    glGetIntegerv(GL_BLEND_DST, &v[0]);
    glGetIntegerv(GL_CULL_FACE_MODE, &v[1]);
    glGetIntegerv(GL_FRONT_FACE, &v[2]);
    EXPECT_EQ(v[0], dst);
    EXPECT_EQ(v[1], GL_BACK);
    EXPECT_EQ(v[2], GL_CCW);
    EXPECT_FALSE(glIsEnabled(GL_LINE_STIPPLE));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Gl11, CompileAndExecuteRunsEachCallOnce) {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE_AND_EXECUTE);
    glTranslatef(1, 0, 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(0.25f, 0.25f, 0.25f);
    Quad(0, 0, 64, 64);
    glEndList();
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 1.0f);
    EXPECT_NEAR(Pixel(40, 32).r, 64, 1);
    glDisable(GL_BLEND);
    glLoadIdentity();
    // A block drawn as it is given: its first vertex, before the block's
    // first colour, in the colour current before the block (red).
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 0, 0);
    glNewList(list, GL_COMPILE_AND_EXECUTE);
    glBegin(GL_TRIANGLES);
    glVertex2f(0, 0);
    glColor3f(0, 1, 0);
    glVertex2f(64, 0);
    glVertex2f(0, 64);
    glEnd();
    glEndList();
    EXPECT_GT(Pixel(1, 1).r, 240);
    EXPECT_LT(Pixel(1, 1).g, 15);
    glDeleteLists(list, 1);
}

TEST_F(Gl11, PopAttribRestoresOnlyTheGroupsOfItsMask) {
    glPushAttrib(GL_ENABLE_BIT);
    glViewport(1, 2, 3, 4);
    glEnable(GL_BLEND);
    glPopAttrib();
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 3);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, kSize, kSize);
    glEnable(GL_BLEND);
    glPopAttrib();
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 3);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glDisable(GL_BLEND);
    glViewport(0, 0, kSize, kSize);
}

TEST_F(Gl11, ArraysInAListTakeTheListsOwnCurrentValues) {
    const GLfloat corners[] = {0, 0, 0, 64, 0, 0, 64, 64, 0, 0, 64, 0};
    glVertexPointer(3, GL_FLOAT, 0, corners);
    glEnableClientState(GL_VERTEX_ARRAY);
    glColor3f(1, 0, 0);
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glColor3f(0, 1, 0);
    glDrawArrays(GL_QUADS, 0, 4);
    glEndList();
    glDisableClientState(GL_VERTEX_ARRAY);
    glCallList(list);
    EXPECT_EQ(Pixel(32, 32).g, 255);
    EXPECT_EQ(Pixel(32, 32).r, 0);
    glDeleteLists(list, 1);
}

TEST_F(Gl11, FlatShadingTakesGLsVertexForWideLinesAndOutlines) {
    glShadeModel(GL_FLAT);
    glLineWidth(3);
    glBegin(GL_LINES);  // a line is coloured by its second vertex
    glColor3f(1, 0, 0);
    glVertex2f(4, 20.5f);
    glColor3f(0, 1, 0);
    glVertex2f(60, 20.5f);
    glEnd();
    for (int x : {8, 30, 56}) {
        EXPECT_EQ(Pixel(x, 20).r, 0) << x;
        EXPECT_EQ(Pixel(x, 20).g, 255) << x;
    }
    // A quad in outline: every edge in the colour of its fourth vertex.
    glLineWidth(1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glBegin(GL_QUADS);
    const float colours[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    const float at[4][2] = {{10.5f, 10.5f}, {50.5f, 10.5f}, {50.5f, 50.5f}, {10.5f, 50.5f}};
    for (int i = 0; i < 4; ++i) glColor3fv(colours[i]), glVertex2f(at[i][0], at[i][1]);
    glEnd();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    for (const auto& p : {std::pair<int, int>{30, 10}, {50, 30}, {30, 50}, {10, 30}}) {
        const Rgb c = Pixel(p.first, p.second);
        EXPECT_TRUE(c.r == 255 && c.g == 255 && c.b == 255) << p.first << ", " << p.second << ": " << c.r << " " << c.g << " " << c.b;
    }
}

TEST_F(Gl11, FourComponentVerticesKeepTheirW) {
    const GLfloat corners[] = {0, 0, 0, 2, 64, 0, 0, 2, 64, 64, 0, 2, 0, 64, 0, 2};  // the quad of half the size
    glVertexPointer(4, GL_FLOAT, 0, corners);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDrawArrays(GL_QUADS, 0, 4);
    glDisableClientState(GL_VERTEX_ARRAY);
    EXPECT_EQ(Pixel(16, 16).r, 255);
    EXPECT_EQ(Pixel(48, 48).r, 0);
}

// The cheap parts of the fixed function, each seen in a pixel.
TEST_F(Gl11, FogAlphaTestEnvironmentsColourMaterialGenerationTwoSidesAndSpots) {
    // Linear fog from 0 to 2 at eye distance 1: half the fog colour.
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, 0);
    glFogf(GL_FOG_END, 2);
    const GLfloat blue[4] = {0, 0, 1, 1};
    glFogfv(GL_FOG_COLOR, blue);
    glEnable(GL_FOG);
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex3f(0, 0, -1), glVertex3f(64, 0, -1), glVertex3f(64, 64, -1), glVertex3f(0, 64, -1);
    glEnd();
    glDisable(GL_FOG);
    EXPECT_NEAR(Pixel(32, 32).r, 128, 1);
    EXPECT_NEAR(Pixel(32, 32).b, 128, 1);
    // Alpha test: a fragment of alpha 0.4 fails GL_GREATER 0.5.
    glClear(GL_COLOR_BUFFER_BIT);
    glAlphaFunc(GL_GREATER, 0.5f);
    glEnable(GL_ALPHA_TEST);
    glColor4f(1, 1, 1, 0.4f);
    Quad(0, 0, 32, 64);
    glColor4f(1, 1, 1, 0.6f);
    Quad(32, 0, 64, 64);
    glDisable(GL_ALPHA_TEST);
    EXPECT_EQ(Pixel(16, 32).r, 0);
    EXPECT_EQ(Pixel(48, 32).r, 255);
    // Texture environments over a red texel drawn green: replace, decal and
    // blend (towards the environment colour, blue).
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const uint8_t red[3] = {255, 0, 0};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, red);
    glEnable(GL_TEXTURE_2D);
    glColor3f(0, 1, 0);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, blue);
    const GLint modes[3] = {GL_REPLACE, GL_DECAL, GL_BLEND};
    const Rgb want[3] = {{255, 0, 0}, {255, 0, 0}, {0, 255, 0}};  // blend: green (1 - 1, 1 - 0, 1 - 0) + blue (1, 0, 0)
    for (int i = 0; i < 3; ++i) {
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, modes[i]);
        Quad(0, 0, 64, 64);
        const Rgb c = Pixel(32, 32);
        EXPECT_TRUE(c.r == want[i].r && c.g == want[i].g && c.b == want[i].b) << i << ": " << c.r << " " << c.g << " " << c.b;
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // Object-linear generation across a red | green texture: s = x / 64.
    const uint8_t redGreen[6] = {255, 0, 0, 0, 255, 0};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, redGreen);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    const GLfloat plane[4] = {1.0f / 64, 0, 0, 0};
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGenfv(GL_S, GL_OBJECT_PLANE, plane);
    glEnable(GL_TEXTURE_GEN_S);
    glColor3f(1, 1, 1);
    Quad(0, 0, 64, 64);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_2D);
    EXPECT_EQ(Pixel(16, 32).r, 255);
    EXPECT_EQ(Pixel(48, 32).g, 255);
    EXPECT_EQ(Pixel(48, 32).r, 0);
    glDeleteTextures(1, &texture);
    // Lighting: no ambient anywhere, one white light from the viewer.
    const GLfloat white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1}, toViewer[4] = {0, 0, 1, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_POSITION, toViewer);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, black);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    // Colour material: the vertex colour is the diffuse colour.
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glNormal3f(0, 0, 1);
    glColor3f(0, 1, 0);
    Quad(0, 0, 64, 64);
    glDisable(GL_COLOR_MATERIAL);
    EXPECT_EQ(Pixel(32, 32).g, 255);
    // Two sides: a quad turned away, its normal away from the light, lit
    // with the back material and the normal turned round.
    const GLfloat redMaterial[4] = {1, 0, 0, 1};
    glMaterialfv(GL_FRONT, GL_DIFFUSE, black);
    glMaterialfv(GL_BACK, GL_DIFFUSE, redMaterial);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glNormal3f(0, 0, -1);
    glBegin(GL_QUADS);  // clockwise: the back
    glVertex2f(0, 0), glVertex2f(0, 64), glVertex2f(64, 64), glVertex2f(64, 0);
    glEnd();
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    EXPECT_EQ(Pixel(32, 32).r, 255);
    // A spot light straight down from 100 above the middle: the corners,
    // 24 degrees off its axis, lit by a cone of 30 degrees, not by one of 20.
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    const GLfloat above[4] = {32, 32, 100, 1}, down[3] = {0, 0, -1};
    glLightfv(GL_LIGHT0, GL_POSITION, above);
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, down);
    glNormal3f(0, 0, 1);
    glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 30);
    Quad(0, 0, 64, 64);
    EXPECT_GT(Pixel(32, 32).r, 200);
    glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 20);
    Quad(0, 0, 64, 64);
    EXPECT_EQ(Pixel(32, 32).r, 0);
    glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 180);
    glDisable(GL_LIGHTING);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// GL compares alpha in the colour buffer's fixed point (the fragment's
// alpha and the reference rounded to bytes), and draws a point as a square
// of whole pixels placed by GL's rule, kept or clipped by where the point
// itself is.
TEST_F(Gl11, AlphaTestAndPointsFollowGLsPixelRules) {
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);  // 128 as a byte
    glColor4f(1, 1, 1, 0.501f);     // 128 too: not greater
    Quad(0, 0, 32, 64);
    glAlphaFunc(GL_EQUAL, 0.5f);
    Quad(32, 0, 64, 64);  // equal
    glDisable(GL_ALPHA_TEST);
    EXPECT_EQ(Pixel(16, 32).r, 0);
    EXPECT_EQ(Pixel(48, 32).r, 255);
    // Points. A size of 1 on a pixel's corner is the pixel above and right
    // of it; 2 around the nearest corner; 2.5 rounds to 2; 3 centred on the
    // pixel the point is in.
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    const auto covered = [](int x0, int y0, int x1, int y1) {  // exactly this box lit around it
        for (int y = y0 - 1; y <= y1 + 1; ++y)
            for (int x = x0 - 1; x <= x1 + 1; ++x) {
                const bool inside = x >= x0 && x <= x1 && y >= y0 && y <= y1;
                if ((Pixel(x, y).r == 255) != inside) return ::testing::AssertionFailure() << x << ", " << y;
            }
        return ::testing::AssertionSuccess();
    };
    const struct {
        float size, x, y;
        int x0, y0, x1, y1;
    } points[] = {{1, 10, 10, 10, 10, 10, 10}, {2, 20.5f, 10.25f, 20, 9, 21, 10}, {2.5f, 30.5f, 10.75f, 30, 10, 31, 11},
                  {3, 40, 10, 39, 9, 41, 11}};
    for (const auto& p : points) {
        glPointSize(p.size);
        glBegin(GL_POINTS);
        glVertex2f(p.x, p.y);
        glEnd();
        EXPECT_TRUE(covered(p.x0, p.y0, p.x1, p.y1)) << "size " << p.size;
    }
    // In a viewport short of the framebuffer's edges: a point just inside
    // lights pixels outside it too, one just outside lights none.
    glClear(GL_COLOR_BUFFER_BIT);
    glViewport(16, 16, 32, 32);  // the ortho projection now maps 0..64 onto it
    glPointSize(5);
    glBegin(GL_POINTS);
    glVertex2f(0.5f, 32);   // window x 16.25: inside
    glVertex2f(-0.5f, 48);  // window x 15.75: outside
    glEnd();
    glViewport(0, 0, kSize, kSize);
    glPointSize(1);
    EXPECT_EQ(Pixel(14, 32).r, 255);
    EXPECT_EQ(Pixel(18, 32).r, 255);
    for (int x = 10; x < 20; ++x) EXPECT_EQ(Pixel(x, 40).r, 0) << x;
}

// A line ends by GL's diamond-exit rule, wide or not: one from x = 4.7 to
// 60.2 lights columns 4 to 59 (its first pixel, whose diamond it leaves,
// and not its last, inside whose diamond it ends). The driver draws wide
// lines where it can; drawn as triangles instead (where it cannot), they
// cover their width but end where their vertices are.
TEST_F(Gl11, WideLinesEndWhereGLEndsThem) {
    for (float width : {1.0f, 3.0f}) {
        glClear(GL_COLOR_BUFFER_BIT);
        glLineWidth(width);
        glBegin(GL_LINES);
        glVertex2f(4.7f, 20.5f);
        glVertex2f(60.2f, 20.5f);
        glEnd();
        EXPECT_EQ(Pixel(4, 20).r, 255) << width;
        EXPECT_EQ(Pixel(59, 20).r, 255) << width;
        EXPECT_EQ(Pixel(60, 20).r, 0) << width;
        EXPECT_EQ(Pixel(3, 20).r, 0) << width;
    }
    glLineWidth(1);
}

// Polygons with a face outlined: triangles drawn in their order (a filled
// one after an outlined one covers its edges), a fan's triangles flat in
// the colours of their own last vertices; as points, a polygon clipping cuts
// has points where GL's clipping adds vertices too.
TEST_F(Gl11, OutlinedPolygonsKeepTheirOrderAndFlatColours) {
    glPolygonMode(GL_BACK, GL_LINE);
    glBegin(GL_TRIANGLES);
    glColor3f(1, 0, 0);  // clockwise: the back, outlined in red
    glVertex2f(10.5f, 10.5f), glVertex2f(10.5f, 50.5f), glVertex2f(50.5f, 10.5f);
    glColor3f(0, 1, 0);  // counter-clockwise: the front, filled green, over the outline
    glVertex2f(4, 4), glVertex2f(60, 4), glVertex2f(4, 60);
    glEnd();
    EXPECT_EQ(Pixel(30, 10).r, 0);
    EXPECT_EQ(Pixel(30, 10).g, 255);
    EXPECT_EQ(Pixel(10, 30).g, 255);
    // A fan of two front triangles, filled, flat: the first in the colour of
    // its vertex 2 (blue), the second of its vertex 3 (white); back faces
    // outlined still.
    glClear(GL_COLOR_BUFFER_BIT);
    glShadeModel(GL_FLAT);
    glBegin(GL_TRIANGLE_FAN);
    glColor3f(1, 0, 0), glVertex2f(2, 2);
    glColor3f(0, 1, 0), glVertex2f(62, 2);
    glColor3f(0, 0, 1), glVertex2f(62, 62);
    glColor3f(1, 1, 1), glVertex2f(2, 62);
    glEnd();
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    const Rgb first = Pixel(50, 20), second = Pixel(20, 50);
    EXPECT_TRUE(first.r == 0 && first.g == 0 && first.b == 255) << first.r << " " << first.g << " " << first.b;
    EXPECT_TRUE(second.r == 255 && second.g == 255 && second.b == 255) << second.r << " " << second.g << " " << second.b;
    // As points, a triangle the left edge cuts: a point where its edge a-b
    // enters the view (x = 0, y = 10), none where c-a leaves it (a new edge
    // along the boundary begins there), none at a.
    glClear(GL_COLOR_BUFFER_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_POINT);
    glPointSize(3);
    glColor3f(1, 1, 1);
    glBegin(GL_TRIANGLES);
    glVertex2f(-20, 10), glVertex2f(40, 10), glVertex2f(40, 50);
    glEnd();
    glPointSize(1);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    EXPECT_EQ(Pixel(0, 10).r, 255);
    EXPECT_EQ(Pixel(1, 11).r, 255);
    EXPECT_EQ(Pixel(40, 50).r, 255);
    EXPECT_EQ(Pixel(0, 23).r, 0);
}

// Lighting where GL's equation, or desktop Mesa where GL leaves the choice,
// says what to draw. Every case: one white light from the viewer, no
// ambient, a black material but for what the case sets.
TEST_F(Gl11, LightingsCornersAsGLAndDesktopMesaHaveThem) {
    const GLfloat white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1}, red[4] = {1, 0, 0, 1}, toViewer[4] = {0, 0, 1, 0};
    const auto reset = [&] {
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_SPECULAR, black);
        glLightfv(GL_LIGHT0, GL_POSITION, toViewer);
        for (GLenum p : {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION}) glMaterialfv(GL_FRONT_AND_BACK, p, black);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0);
        const GLfloat down[3] = {0, 0, -1};
        glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, down);
        glNormal3f(0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    };
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    // A glMaterial of a property that tracks the colour does not reach it:
    // after colour material, the property holds the last colour (green).
    reset();
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glColor3f(0, 1, 0);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, red);
    glDisable(GL_COLOR_MATERIAL);
    glColor3f(1, 1, 1);
    Quad(0, 0, 64, 64);
    EXPECT_EQ(Pixel(32, 32).r, 0);
    EXPECT_EQ(Pixel(32, 32).g, 255);
    // A spot cone applies to a directional light too: the light from the
    // viewer, its cone of 30 degrees turned sideways, lights nothing.
    reset();
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    const GLfloat sideways[3] = {1, 0, 0};
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, sideways);
    glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 30);
    Quad(0, 0, 64, 64);
    glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 180);
    EXPECT_EQ(Pixel(32, 32).r, 0);
    // Shininess 0 with the half-way vector behind the surface: GLSL leaves
    // pow(0, 0) open; desktop Mesa takes it as 1, full specular.
    reset();
    glLightfv(GL_LIGHT0, GL_DIFFUSE, black);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    const GLfloat behind[4] = {0.3f, 0, -0.954f, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, behind);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
    glNormal3f(0.1f, 0, -0.995f);  // toward the light (n.l > 0), n.h < 0
    Quad(0, 0, 64, 64);
    EXPECT_EQ(Pixel(32, 32).r, 255);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 1);  // and with any other: none
    Quad(0, 0, 64, 64);
    EXPECT_EQ(Pixel(32, 32).r, 0);
    // A light 10 above a small square, its corners (2, 2) off the light's
    // foot: n.l = 10 / sqrt(108) = 0.962 alone, 245 of 255; attenuated
    // by 1 / (1 + 0.1 d), d = sqrt(108), 0.472: 120.
    reset();
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    const GLfloat above[4] = {32, 32, 10, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, above);
    Quad(30, 30, 34, 34);
    EXPECT_NEAR(Pixel(32, 32).r, 245, 1);
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.1f);
    Quad(30, 30, 34, 34);
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0);
    EXPECT_NEAR(Pixel(32, 32).r, 120, 1);
    reset();
    glDisable(GL_LIGHTING);
    // GL_DECAL over a luminance texture, which GL leaves undefined: the
    // colour as it is, as desktop Mesa draws it.
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const uint8_t grey = 200;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, 1, 1, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, &grey);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glColor3f(0, 1, 0);
    Quad(0, 0, 64, 64);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &texture);
    EXPECT_EQ(Pixel(32, 32).r, 0);
    EXPECT_EQ(Pixel(32, 32).g, 255);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// glDrawElements naming vertices far apart reads those vertices only: an
// array whose elements 0, 1 and 2^31 - 16 are readable and every other page
// is not (address space kept without memory), drawn as one triangle.
TEST_F(Gl11, DrawElementsOverASparseRangeReadsOnlyTheNamedVertices) {
    const size_t far = (size_t(1) << 31) - 16, stride = 3 * sizeof(GLfloat);
    const size_t page = size_t(sysconf(_SC_PAGESIZE)), bytes = (far + 1) * stride + page;
    void* reserved = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(reserved, MAP_FAILED);
    auto* base = static_cast<uint8_t*>(reserved);
    const auto open = [&](size_t element) {
        const size_t at = element * stride / page * page;
        return mprotect(base + at, 2 * page, PROT_READ | PROT_WRITE) == 0;
    };
    ASSERT_TRUE(open(0));
    ASSERT_TRUE(open(far));
    const GLfloat a[3] = {0, 0, 0}, b[3] = {64, 0, 0}, c[3] = {0, 64, 0};
    std::memcpy(base, a, stride);
    std::memcpy(base + stride, b, stride);
    std::memcpy(base + far * stride, c, stride);
    const GLuint indices[3] = {0, 1, GLuint(far)};
    glVertexPointer(3, GL_FLOAT, 0, base);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDrawElements(GL_TRIANGLES, 3, GL_UNSIGNED_INT, indices);
    glDisableClientState(GL_VERTEX_ARRAY);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(Pixel(16, 16).r, 255);
    EXPECT_EQ(Pixel(48, 48).r, 0);
    munmap(reserved, bytes);
}

// Where the layer cannot allocate, the call records GL_OUT_OF_MEMORY and
// leaves the state as it was; nothing is thrown through the C interface.
// The allocations fail through this program's own operator new (below).
TEST_F(Gl11, AFailedAllocationIsOutOfMemory) {
    const GLuint list = glGenLists(1);
    g_failAllocations = true;
    glNewList(list, GL_COMPILE);
    g_failAllocations = false;
    EXPECT_EQ(glGetError(), GLenum(GL_OUT_OF_MEMORY));
    GLint compiling = -1;
    glGetIntegerv(GL_LIST_INDEX, &compiling);
    EXPECT_EQ(compiling, 0);
    glEndList();  // no list is being made
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_OPERATION));
    // A block that cannot keep its vertices reports it (what it draws then
    // is GL's to leave undefined).
    glBegin(GL_POINTS);
    g_failAllocations = true;
    for (int i = 0; i < 1000; ++i) glVertex2f(float(i % 64), 1);
    g_failAllocations = false;
    glEnd();
    EXPECT_EQ(glGetError(), GLenum(GL_OUT_OF_MEMORY));
    // And the layer draws on.
    Quad(0, 0, 64, 64);
    EXPECT_EQ(Pixel(16, 16).r, 255);
    glDeleteLists(list, 1);
}

// A variant whose shader does not build: the error once, the draw skipped,
// the shader not built again, nothing left behind.
TEST_F(Gl11, AVariantThatDoesNotBuildIsReportedOnceAndLeaksNothing) {
    g_failShader = "#define FOG 3";  // exp2 fog
    g_failedCompiles = 0;
    const int shaders = g_shadersMade - g_shadersDeleted, programs = g_programsMade - g_programsDeleted;
    glFogi(GL_FOG_MODE, GL_EXP2);
    glEnable(GL_FOG);
    glColor3f(1, 1, 1);
    Quad(0, 0, 64, 64);
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_OPERATION));
    Quad(0, 0, 64, 64);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glDisable(GL_FOG);
    g_failShader.clear();
    EXPECT_EQ(g_failedCompiles, 1);
    EXPECT_EQ(Pixel(32, 32).r, 0);  // skipped
    EXPECT_EQ(g_shadersMade - g_shadersDeleted, shaders);
    EXPECT_EQ(g_programsMade - g_programsDeleted, programs);
}

// Before a successful start and after the context is lost, calls record an
// error and do nothing; a new start works and has forgotten the objects.
TEST_F(Gl11, CallsWithoutAContextRecordAnErrorAndTheLayerStartsAgain) {
    const GLuint list = glGenLists(1);
    g_injectedError = GL_CONTEXT_LOST;
    EXPECT_EQ(glGetError(), GLenum(GL_CONTEXT_LOST));
    EXPECT_EQ(gl11_ContextLost(), 1);
    g_driverQueries = 0;
    glEnable(GL_BLEND);
    glBegin(GL_TRIANGLES);
    glVertex2f(0, 0), glVertex2f(1, 0), glVertex2f(0, 1);
    glEnd();
    const GLfloat v[3] = {0, 0, 0};
    glVertexPointer(3, GL_FLOAT, 0, v);
    glDrawArrays(GL_POINTS, 0, 1);
    EXPECT_EQ(glGenLists(1), 0u);
    EXPECT_EQ(glGetError(), GLenum(GL_CONTEXT_LOST));
    EXPECT_EQ(g_driverQueries, 0);
    g_injectedError = 0;
    // A start that fails leaves the layer refusing calls.
    EXPECT_EQ(gl11_Init([](const char* name) -> void* {
                  return std::string(name) == "glFinish" ? nullptr : CountingGetProc(name);
              }),
              0);
    glEnable(GL_BLEND);
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_OPERATION));
    ASSERT_EQ(gl11_Init(CountingGetProc), 1);
    EXPECT_EQ(gl11_ContextLost(), 0);
    EXPECT_FALSE(glIsList(list));
    glBindFramebuffer(GL_FRAMEBUFFER, g_framebuffer);
    SetUp();
    Quad(0, 0, 64, 64);
    EXPECT_EQ(Pixel(32, 32).r, 255);
}

std::vector<uint8_t> Frame() {
    std::vector<uint8_t> rgb(kSize * kSize * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kSize, kSize, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// A system of particles as the demo draws one: lit, added up, each with its
// own diffuse alpha, place and turn, and the same list. `apart`: each one
// followed by a call that sends what is pending (glGetError).
void Particles(GLuint list, bool apart) {
    for (int i = 0; i < 100; ++i) {
        glPushMatrix();
        const float diffuse[4] = {1.0f, 0.5f, 0.25f, 0.2f + 0.008f * float(i)};
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
        glTranslatef(3.5f + float(i % 10) * 6.1f, 3.5f + float(i / 10) * 6.1f, 0);
        glRotatef(17.0f * float(i), 0, 0, 1);
        glRotatef(float(i % 7) * 9.0f, 1, 0.5f, 0);  // each its own light
        glScalef(1.0f + 0.01f * float(i), 1, 1);
        glCallList(list);
        glPopMatrix();
        if (apart) glGetError();
    }
    glDisable(GL_BLEND);
}

// Many similar draws cost a handful of ES calls: consecutive draws that
// differ in their matrix and diffuse colour only are one draw, with the
// pixels of the draws made one by one; nothing is sent to an absent
// uniform.
TEST_F(Gl11, ManySimilarDrawsAreAHandfulOfESCallsWithTheSamePixels) {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glVertex3f(-4, -3, 0), glVertex3f(4, -3, 0), glVertex3f(4, 3, 0), glVertex3f(-4, 3, 0);
    glEnd();
    glEndList();
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const auto scene = [&](bool apart) {
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        Particles(list, apart);
        return Frame();
    };
    const std::vector<uint8_t> one = scene(true);
    scene(false);  // the programs built, their uniforms set
    int before[kEsCount];
    std::memcpy(before, g_esCalls, sizeof before);
    g_uniformsToNowhere = 0;
    const std::vector<uint8_t> merged = scene(false);
    const EsCalls c = CountSince(before);
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDeleteLists(list, 1);
    EXPECT_LE(c.draws, 3);
    EXPECT_LE(c.uniforms, 10);
    EXPECT_LE(c.all, 40);
    EXPECT_EQ(g_uniformsToNowhere, 0);
    int worst = 0, lit = 0;
    for (size_t i = 0; i < one.size(); ++i) worst = std::max(worst, std::abs(int(one[i]) - int(merged[i])));
    for (size_t i = 0; i < one.size(); i += 3) lit += one[i] > 0;
    EXPECT_LE(worst, 1);
    EXPECT_GT(lit, kSize * kSize / 2);  // the particles cover the frame
}

// Long strips under one matrix, as a sheet or a floor is drawn row by row:
// one draw however many vertices, the pixels those of the strips drawn one
// by one (added up, so their order shows).
TEST_F(Gl11, LongStripsUnderOneMatrixAreOneDrawWithTheSamePixels) {
    constexpr int kRows = 40, kPairs = 100;
    std::vector<float> xyz, rgb;
    for (int r = 0; r < kRows; ++r)
        for (int i = 0; i < kPairs; ++i)
            for (int k = 0; k < 2; ++k) {
                const float x = float(i) * 0.65f, y = float(r) * 1.5f + float(k) * 3.0f;
                xyz.insert(xyz.end(), {x, y, 0.1f * float(i % 7)});
                rgb.insert(rgb.end(), {0.02f * float(r), 0.01f * float(i), 0.3f});
            }
    const auto scene = [&](bool apart) {
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, xyz.data());
        glColorPointer(3, GL_FLOAT, 0, rgb.data());
        for (int r = 0; r < kRows; ++r) {
            glDrawArrays(r % 2 ? GL_QUAD_STRIP : GL_TRIANGLE_STRIP, r * kPairs * 2, kPairs * 2);
            if (apart) glGetError();
        }
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisable(GL_BLEND);
        return Frame();
    };
    const std::vector<uint8_t> one = scene(true);
    int before[kEsCount];
    std::memcpy(before, g_esCalls, sizeof before);
    const std::vector<uint8_t> merged = scene(false);
    const EsCalls c = CountSince(before);
    EXPECT_LE(c.draws, 2);
    EXPECT_EQ(one, merged);
    int covered = 0;
    for (size_t i = 0; i < one.size(); i += 3) covered += one[i] > 0;
    EXPECT_GT(covered, kSize * kSize / 2);
}

// Strips around what 16-bit indices number. A merged draw holds at most
// 65,535 vertices, numbered 0 to 0xFFFE: 0xFFFF ends a primitive in WebGL 2
// (and here), past it a number cut to 16 bits names another vertex. A strip
// of 65,535 vertices; one of four that cannot join it; one of 65,532 that
// cannot join the four either; a quad strip of 65,536 (drawn alone, by
// index); a strip longer than 16 bits number. Each is a square drawn by its
// last four vertices after a run of vertices on the square's corner
// (triangles of no area), so that a square drawn through a wrong index is
// not drawn whole.
TEST_F(Gl11, StripsPastWhatSixteenBitIndicesNumberDrawTheirLastTriangles) {
    const auto strip = [](size_t n, float x, float y) {
        std::vector<GLfloat> xy;
        for (size_t i = 0; i + 4 < n; ++i) xy.insert(xy.end(), {x, y});
        xy.insert(xy.end(), {x, y, x + 12, y, x, y + 12, x + 12, y + 12});
        return xy;
    };
    const std::vector<GLfloat> most = strip(0xFFFF, 4, 4), four = strip(4, 24, 4), after = strip(0xFFFC, 44, 4),
                               quads = strip(0x10000, 4, 24), longer = strip(70000, 24, 24);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    const struct {
        const std::vector<GLfloat>& xy;
        GLenum mode;
        GLfloat r, g, b;
    } strips[] = {{most, GL_TRIANGLE_STRIP, 1, 0, 0},
                  {four, GL_TRIANGLE_STRIP, 0, 1, 0},
                  {after, GL_TRIANGLE_STRIP, 0, 0, 1},
                  {quads, GL_QUAD_STRIP, 1, 1, 0},
                  {longer, GL_TRIANGLE_STRIP, 0, 1, 1}};
    for (const auto& s : strips) {
        glColor3f(s.r, s.g, s.b);
        glVertexPointer(2, GL_FLOAT, 0, s.xy.data());
        glDrawArrays(s.mode, 0, GLsizei(s.xy.size() / 2));
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    // Two pixels of each square, one in each of its triangles (whichever
    // diagonal splits it).
    const struct {
        int x, y, r, g, b;
    } expected[] = {{4, 4, 255, 0, 0}, {24, 4, 0, 255, 0}, {44, 4, 0, 0, 255}, {4, 24, 255, 255, 0}, {24, 24, 0, 255, 255}};
    for (const auto& e : expected)
        for (const auto& d : {std::make_pair(3, 1), std::make_pair(9, 10)}) {
            const Rgb p = Pixel(e.x + d.first, e.y + d.second);
            EXPECT_TRUE(p.r == e.r && p.g == e.g && p.b == e.b)
                << "square at " << e.x << ", " << e.y << ": " << p.r << " " << p.g << " " << p.b;
        }
    EXPECT_EQ(Pixel(12, 52).r, 0);
}

// A texture of four texels in a row, red, green, blue and yellow, sampled
// nearest; bound.
GLuint FourTexels() {
    const uint8_t texels[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    return texture;
}

// Short strips whose texture coordinates are generated (object-linear, as
// a pattern laid on each, and a sphere map, as on a shiny ball): under one
// modelview they are one draw; under a modelview each they are drawn apart
// (carried into eye space, object-linear coordinates would come from other
// positions). Either way the pixels are those of the strips drawn one by one.
TEST_F(Gl11, StripsWithGeneratedCoordinatesMergeUnderOneModelviewOnly) {
    const GLuint texture = FourTexels();
    const float plane[4] = {0.09f, 0.04f, 0, 0};
    glTexGenfv(GL_S, GL_OBJECT_PLANE, plane);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_2D);
    const auto scene = [&](bool moved, bool apart) {
        glClear(GL_COLOR_BUFFER_BIT);
        glPushMatrix();
        for (int r = 0; r < 16; ++r) {
            if (moved) glTranslatef(0.7f, 0, 0);
            glBegin(GL_TRIANGLE_STRIP);
            for (int i = 0; i < 14; ++i) {
                glNormal3f(0.06f * float(i), 0.3f, 1);
                glVertex3f(float(i) * 5.0f, float(r) * 4.0f + float(i % 2) * 3.5f, 0);
            }
            glEnd();
            if (apart) glGetError();
        }
        glPopMatrix();
        return Frame();
    };
    for (bool moved : {false, true}) {
        const std::vector<uint8_t> one = scene(moved, true);
        int before[kEsCount];
        std::memcpy(before, g_esCalls, sizeof before);
        const std::vector<uint8_t> merged = scene(moved, false);
        const EsCalls c = CountSince(before);
        EXPECT_EQ(c.draws, moved ? 16 : 1) << (moved ? "a modelview each" : "one modelview");
        EXPECT_EQ(one, merged) << (moved ? "a modelview each" : "one modelview");
        int red = 0, green = 0;
        for (size_t i = 0; i < one.size(); i += 3) red += one[i] > 200 && one[i + 1] < 50, green += one[i + 1] > 200 && one[i] < 50;
        EXPECT_GT(red, kSize * 2);  // the generated coordinates pick several texels
        EXPECT_GT(green, kSize * 2);
    }
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDeleteTextures(1, &texture);
}

// A large draw sends only what differs among its vertices: a textured sheet
// of one colour goes as positions and texture coordinates, a strip of
// four-component vertices with a colour each as those, lines of one colour
// as positions; its indices go as 16 bits. The pixels are those of the same
// vertices sent whole, in draws too small to be packed.
TEST_F(Gl11, LargeDrawsSendOnlyTheAttributesThatVaryWithTheSamePixels) {
    const GLuint texture = FourTexels();
    constexpr int kRuns = 12, kPerRun = 40;  // apart, each run is a draw of its own
    // `apart`: each run followed by a call that sends what is pending.
    const auto scene = [&](int which, bool apart) {
        glClear(GL_COLOR_BUFFER_BIT);
        if (which == 0) glEnable(GL_TEXTURE_2D);
        if (which == 2) glBegin(GL_LINES);
        for (int r = 0; r < kRuns; ++r) {
            if (which == 0) glBegin(GL_QUAD_STRIP);
            if (which == 1) glBegin(GL_TRIANGLE_STRIP);
            if (which == 2 && apart) glBegin(GL_LINES);
            glColor3f(1.0f, 0.9f, 1.0f);
            for (int i = 0; i < kPerRun; ++i) {
                const float x = float(i) * 1.7f, y = float(r) * 5.3f + float(i % 2) * 4.0f;
                if (which == 0) {
                    glTexCoord2f(0.02f * x + 0.01f * y, 0.5f);
                    glVertex2f(x, y);
                } else if (which == 1) {
                    const float w = 1.0f + 0.25f * float(i % 3);
                    glColor3f(0.02f * float(i), 0.08f * float(r), 0.5f);
                    glVertex4f(x * w, y * w, 0, w);
                } else {
                    glVertex2f(x, y + float(i % 4) * 2.0f);
                }
            }
            if (which != 2 || apart) glEnd();
            if (apart) glGetError();
        }
        if (which == 2 && !apart) glEnd();
        glDisable(GL_TEXTURE_2D);
        return Frame();
    };
    const char* const names[] = {"textured sheet", "four components, a colour each", "lines"};
    const int floats[] = {5, 8, 3};  // per vertex, of what varies
    for (int which = 0; which < 3; ++which) {
        const std::vector<uint8_t> whole = scene(which, true);
        g_vertexBytes = g_indexBytes = 0;
        const std::vector<uint8_t> packed = scene(which, false);
        EXPECT_LE(g_vertexBytes, long(kRuns * kPerRun * floats[which] * 4)) << names[which];
        const long triangles = which == 2 ? 0 : kRuns * (kPerRun - 2);
        EXPECT_LE(g_indexBytes, triangles * 3 * 2) << names[which];
        EXPECT_EQ(whole, packed) << names[which];
        int covered = 0, red = 0, green = 0;
        for (size_t i = 0; i < whole.size(); i += 3) {
            covered += whole[i] + whole[i + 1] + whole[i + 2] > 0;
            red += whole[i] > 200 && whole[i + 1] < 50, green += whole[i + 1] > 200 && whole[i] < 50;
        }
        EXPECT_GT(covered, which == 2 ? kSize * 4 : kSize * kSize / 3) << names[which];
        if (which == 0) {
            EXPECT_GT(red * green, 0) << "the texture coordinates reach several texels";
        }
    }
    glDeleteTextures(1, &texture);
}

// A mesh drawn band by band from one array, as a surface of rows is: each
// band a strip through two rows, so that neighbours share a row. Merged,
// a shared row is sent once, and the pictures are those of the bands drawn
// one by one (`apart`: each followed by a call that sends what is pending)
// when the array changes between two bands, when each band has a diffuse
// colour of its own, and when each has a modelview of its own.
TEST_F(Gl11, BandsOfOneArraySendTheirSharedRowsOnceWithTheSamePixels) {
    enum Variant { kPlain, kChangedBetween, kDiffuseEach, kModelviewEach, kVariants };
    const auto scene = [](Variant variant, bool apart) {
        const int columns = variant == kPlain || variant == kChangedBetween ? 24 : 10, rows = 10;
        std::vector<GLfloat> xy, rgba;
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < columns; ++i) {
                xy.insert(xy.end(), {float(i) * 64.0f / float(columns - 1), float(j) * 60.0f / float(rows - 1)});
                rgba.insert(rgba.end(), {0.04f * float(i), 0.1f * float(j), 0.5f, 1.0f});
            }
        glClear(GL_COLOR_BUFFER_BIT);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(2, GL_FLOAT, 0, xy.data());
        if (variant == kDiffuseEach) {
            const GLfloat direction[4] = {0, 0, 1, 0}, white[4] = {1, 1, 1, 1};
            glEnable(GL_LIGHTING);
            glEnable(GL_LIGHT0);
            glLightfv(GL_LIGHT0, GL_POSITION, direction);
            glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
            glNormal3f(0, 0, 1);
        } else {
            glEnableClientState(GL_COLOR_ARRAY);
            glColorPointer(4, GL_FLOAT, 0, rgba.data());
        }
        glPushMatrix();
        std::vector<GLushort> band;
        for (int j = 0; j + 1 < rows; ++j) {
            band.clear();
            for (int i = 0; i < columns; ++i) band.insert(band.end(), {GLushort(j * columns + i), GLushort((j + 1) * columns + i)});
            if (variant == kDiffuseEach) {
                const GLfloat diffuse[4] = {0.1f * float(j), 0.5f, 1.0f - 0.1f * float(j), 1.0f};
                glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
            }
            if (variant == kModelviewEach) glTranslatef(0.6f, 0.4f, 0);
            glDrawElements(GL_TRIANGLE_STRIP, GLsizei(band.size()), GL_UNSIGNED_SHORT, band.data());
            // The next band's first row, drawn by this one, changes.
            if (variant == kChangedBetween)
                for (int i = 0; i < columns; ++i) rgba[size_t((j + 1) * columns + i) * 4] = 1.0f - 0.03f * float(i);
            if (apart) glGetError();
        }
        glPopMatrix();
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisable(GL_LIGHTING);
        return Frame();
    };
    const char* const names[] = {"one array", "changed between bands", "a diffuse colour each", "a modelview each"};
    for (int variant = 0; variant < kVariants; ++variant) {
        const std::vector<uint8_t> apart = scene(Variant(variant), true);
        g_vertexBytes = 0;
        const std::vector<uint8_t> merged = scene(Variant(variant), false);
        EXPECT_EQ(apart, merged) << names[variant];
        int covered = 0;
        for (size_t i = 0; i < apart.size(); i += 3) covered += apart[i] + apart[i + 1] + apart[i + 2] > 0;
        EXPECT_GT(covered, kSize * kSize * 3 / 4) << names[variant];
        // 240 vertices of position and colour (7 floats) sent, not the
        // 432 the bands name.
        if (variant == kPlain) {
            EXPECT_LE(g_vertexBytes, 240 * 7 * 4);
        }
    }
}

// A display list of strips drawn one after another, nothing between them,
// is one draw when called, with the pixels of the strips drawn one by one;
// in GL_LINE mode each strip is still outlined as its quads, not as the
// triangles the list keeps.
TEST_F(Gl11, ListOfStripsIsOneDrawWithTheSamePixels) {
    constexpr int kRows = 30, kPairs = 50;
    std::vector<float> xyz, rgb;
    for (int r = 0; r < kRows; ++r)
        for (int i = 0; i < kPairs; ++i)
            for (int k = 0; k < 2; ++k) {
                xyz.insert(xyz.end(), {float(i) * 1.3f, float(r) * 2.0f + float(k) * 3.0f, 0.1f * float(i % 5)});
                rgb.insert(rgb.end(), {0.03f * float(r), 0.02f * float(i), 0.4f});
            }
    const auto strips = [&](bool apart) {
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, xyz.data());
        glColorPointer(3, GL_FLOAT, 0, rgb.data());
        for (int r = 0; r < kRows; ++r) {
            glDrawArrays(r % 3 ? GL_QUAD_STRIP : GL_QUADS, r * kPairs * 2, kPairs * 2);
            if (apart) glGetError();
        }
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
    };
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    strips(false);
    glEndList();
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
    for (GLenum mode : {GL_FILL, GL_LINE}) {
        glPolygonMode(GL_FRONT_AND_BACK, mode);
        glClear(GL_COLOR_BUFFER_BIT);
        strips(true);
        const std::vector<uint8_t> apart = Frame();
        glClear(GL_COLOR_BUFFER_BIT);
        int before[kEsCount];
        std::memcpy(before, g_esCalls, sizeof before);
        glCallList(list);
        const std::vector<uint8_t> called = Frame();
        const EsCalls c = CountSince(before);
        if (mode == GL_FILL) {
            EXPECT_EQ(c.draws, 1);
        }
        EXPECT_EQ(apart, called) << (mode == GL_FILL ? "filled" : "outlined");
        int covered = 0;
        for (size_t i = 0; i < apart.size(); i += 3) covered += apart[i] > 0;
        EXPECT_GT(covered, kSize * kSize / (mode == GL_FILL ? 2 : 8));
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_BLEND);
    glDeleteLists(list, 1);
}

// Draws that cannot be one (each followed by glGetError): a uniform set again
// to the value it has is not sent, a buffer or texture bound is not bound
// again, and
// each draw's vertices go into the stream after the last one's.
TEST_F(Gl11, UnchangedStateIsNotSentAgainAndVerticesStreamThroughARing) {
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const float diffuse[4] = {0.5f, 0.5f, 0.5f, 1}, position[4] = {0, 0, 1, 0};
    const auto draw = [&] {
        glLoadIdentity();
        glTranslatef(1, 2, 0);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
        glLightfv(GL_LIGHT0, GL_POSITION, position);
        glBindTexture(GL_TEXTURE_2D, 0);  // bound already
        Quad(0, 0, 30, 30);
        glGetError();
    };
    draw();
    int before[kEsCount];
    std::memcpy(before, g_esCalls, sizeof before);
    g_subDataOffsets.clear();
    for (int i = 0; i < 50; ++i) draw();
    const EsCalls c = CountSince(before);
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glLoadIdentity();
    EXPECT_EQ(c.draws, 50);
    EXPECT_EQ(c.uniforms, 0);
    EXPECT_LE(c.binds, 2);
    EXPECT_LE(c.bufferData, 2);  // new storage only when the ring is full
    std::vector<long> offsets = g_subDataOffsets;
    std::sort(offsets.begin(), offsets.end());
    EXPECT_GE(std::unique(offsets.begin(), offsets.end()) - offsets.begin(), 50);
    EXPECT_LE(c.all, 50 * 4);  // the vertices, the indices, the draw, glGetError

    // Draws of half a megabyte each turn the rings many times over; each of
    // their buffers gets storage once, the same picture every time.
    constexpr int kPairs = 10000;
    std::vector<float> xyz, rgb;
    for (int i = 0; i < kPairs; ++i)
        for (int k = 0; k < 2; ++k) {
            xyz.insert(xyz.end(), {float(i) * 64.0f / kPairs, float(k) * 64.0f, 0});
            rgb.insert(rgb.end(), {float(i % 256) / 255.0f, 0.5f, float(k)});
        }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, xyz.data());
    glColorPointer(3, GL_FLOAT, 0, rgb.data());
    const auto strip = [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        glDrawArrays(GL_QUAD_STRIP, 0, 2 * kPairs);
        return Frame();
    };
    const std::vector<uint8_t> first = strip();
    std::memcpy(before, g_esCalls, sizeof before);
    g_subDataOffsets.clear();
    std::vector<uint8_t> last;
    for (int i = 0; i < 40; ++i) last = strip();
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    const int turns = int(std::count(g_subDataOffsets.begin(), g_subDataOffsets.end(), 0L));
    EXPECT_GE(turns, 12);
    EXPECT_LE(CountSince(before).bufferData, 6);
    EXPECT_EQ(first, last);
}

// Variants prepared ahead are compiled then, not at their first draw, and
// draw as those built at it; finished ahead, their first draw reads nothing
// of their link (a browser answers that query only after the frame's work);
// gl11_Variants names the ones built; an id the layer never makes is left
// out.
TEST_F(Gl11, PreparedVariantsAreNotCompiledAtTheirFirstDraw) {
    const auto state = [] {
        glShadeModel(GL_FLAT);
        glFogi(GL_FOG_MODE, GL_LINEAR);
        glEnable(GL_FOG);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GEQUAL, 0.25f);
        glColor4f(0.2f, 0.9f, 0.4f, 0.5f);
    };
    const auto ids = [] {
        std::vector<unsigned long long> v(size_t(gl11_Variants(nullptr, 0)));
        EXPECT_EQ(gl11_Variants(v.data(), int(v.size())), int(v.size()));
        std::sort(v.begin(), v.end());
        return v;
    };
    const std::vector<unsigned long long> before = ids();
    state();
    Quad(0, 0, 64, 64);
    const Rgb drawn = Pixel(32, 32);
    std::vector<unsigned long long> made, after = ids();
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(made));
    ASSERT_EQ(made.size(), 1u);
    ASSERT_EQ(gl11_Init(CountingGetProc), 1);
    glBindFramebuffer(GL_FRAMEBUFFER, g_framebuffer);
    SetUp();
    const std::vector<unsigned long long> prepared = {made[0], ~0ull, 15ull << 1 /* 15 lights */};
    const int compiles = g_esCalls[kEsCompileShader];
    gl11_PrepareVariants(prepared.data(), int(prepared.size()));
    EXPECT_EQ(g_esCalls[kEsCompileShader] - compiles, 2);
    const int linkQueries = g_esCalls[kEsGetProgramiv];
    gl11_FinishVariants();
    EXPECT_EQ(g_esCalls[kEsGetProgramiv] - linkQueries, 1);
    state();
    Quad(0, 0, 64, 64);
    EXPECT_EQ(g_esCalls[kEsCompileShader] - compiles, 2);
    EXPECT_EQ(g_esCalls[kEsGetProgramiv] - linkQueries, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    const Rgb again = Pixel(32, 32);
    EXPECT_EQ(again.r, drawn.r);
    EXPECT_EQ(again.g, drawn.g);
    EXPECT_EQ(again.b, drawn.b);
    EXPECT_GT(again.g, 0);
    after = ids();
    EXPECT_TRUE(std::binary_search(after.begin(), after.end(), made[0]));
    EXPECT_FALSE(std::binary_search(after.begin(), after.end(), ~0ull));
    glDisable(GL_FOG);
    glDisable(GL_ALPHA_TEST);
    glShadeModel(GL_SMOOTH);
}

// The capture tool's stills at --scale 2, through the layer and through the
// desktop's OpenGL, at 5 frames a second (the whole demo stays quick to draw):
// mean difference at most 1.5 levels, 99 % of pixels within 16.
TEST(Gl11Capture, StillsAtScaleTwoMatchTheDesktop) {
    TempFolder desktop, layer;
    const std::string options = " --no-progress --fps 5 --scale 2 --stills 3,20,28,39,47,62 -o ";
    const Outcome a = RunCommand(std::string(DESKTOP_CAPTURE) + options + desktop.path + "/");
    const Outcome b = RunCommand(std::string(LAYER_CAPTURE) + options + layer.path + "/");
    ASSERT_EQ(a.status, 0) << a.output;
    ASSERT_EQ(b.status, 0) << b.output;
    // Every shader variant the demo draws with was prepared at start.
    EXPECT_EQ(b.output.find("built at its first draw"), std::string::npos) << b.output;
    const std::vector<std::string> names = desktop.Names();
    ASSERT_EQ(names.size(), 6u);
    ASSERT_EQ(layer.Names(), names);
    for (const std::string& name : names) {
        int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
        std::vector<uint8_t> p1, p2;
        ASSERT_TRUE(ReadPngRgb(desktop / name, &w1, &h1, &p1));
        ASSERT_TRUE(ReadPngRgb(layer / name, &w2, &h2, &p2));
        ASSERT_EQ(w1, 1280);
        ASSERT_EQ(h1, 960);
        ASSERT_EQ(p1.size(), p2.size());
        double sum = 0;
        size_t far = 0;
        for (size_t i = 0; i < p1.size(); i += 3) {
            int worst = 0;
            for (size_t c = 0; c < 3; ++c) {
                const int d = std::abs(int(p1[i + c]) - int(p2[i + c]));
                sum += d;
                worst = std::max(worst, d);
            }
            far += worst > 16;
        }
        const size_t pixels = p1.size() / 3;
        EXPECT_LE(sum / double(p1.size()), 1.5) << name;
        EXPECT_LE(double(far) / double(pixels), 0.01) << name;
    }
}

// The variants a browser's renderer needs (the blend done in the shader)
// were prepared at start too.
TEST(Gl11Capture, TheVariantsOfABlendInTheShaderArePrepared) {
    TempFolder out;
    const Outcome run = RunCommand("DEMO_GL11_SHADER_BLEND=1 " + std::string(LAYER_CAPTURE) +
                                   " --no-progress --fps 5 --stills 65.6 -o " + out.path + "/");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("built at its first draw"), std::string::npos) << run.output;
}

}  // namespace
