// matrix.cpp -- the three matrix stacks (modelview and projection 32 deep,
// texture 10, as Mesa's), the calls that build matrices, and GLU's
// gluPerspective and gluLookAt computed as Mesa's GLU computes them.
#include "context.h"

#include <GL/glu.h>

#include <cmath>
#include <cstring>

namespace gl11 {

namespace {

constexpr size_t kMaxDepth[3] = {32, 32, 10};

int StackIndex(GLenum mode) { return mode == GL_PROJECTION ? 1 : (mode == GL_TEXTURE ? 2 : 0); }

void LoadTop(const Mat4& m) {
    CurrentStack().back() = m;
    MatrixChanged();
}

void MultTop(const float* m) {
    Mat4 b;
    std::memcpy(b.m, m, sizeof b.m);
    Mat4& top = CurrentStack().back();
    top = Multiply(top, b);
    MatrixChanged();
}

}  // namespace

size_t MaxStackDepth(int which) { return kMaxDepth[which]; }

void MatrixChanged() { ++g.matrixSerial; }

std::vector<Mat4>& CurrentStack() { return g.stacks[StackIndex(g.s.matrixMode)]; }

Mat4 Identity() {
    Mat4 m{};
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
    return m;
}

bool IsIdentity(const Mat4& m) { return std::memcmp(m.m, Identity().m, sizeof m.m) == 0; }

Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 p;
    for (int i = 0; i < 4; ++i) {
        const float ai0 = a.m[i], ai1 = a.m[4 + i], ai2 = a.m[8 + i], ai3 = a.m[12 + i];
        for (int j = 0; j < 4; ++j)
            p.m[j * 4 + i] = ai0 * b.m[j * 4] + ai1 * b.m[j * 4 + 1] + ai2 * b.m[j * 4 + 2] + ai3 * b.m[j * 4 + 3];
    }
    return p;
}

Mat4 Transposed(const Mat4& a) {
    Mat4 t;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) t.m[i * 4 + j] = a.m[j * 4 + i];
    return t;
}

void PlaneTimes(const float p[4], const Mat4& m, float out[4]) {
    float r[4];
    for (int j = 0; j < 4; ++j) r[j] = p[0] * m.m[j * 4] + p[1] * m.m[j * 4 + 1] + p[2] * m.m[j * 4 + 2] + p[3] * m.m[j * 4 + 3];
    std::memcpy(out, r, sizeof r);
}

bool Invert(const Mat4& in, Mat4* out) {
    // Cofactors in double, the result in float.
    const float* m = in.m;
    double inv[16];
    inv[0] = double(m[5]) * m[10] * m[15] - double(m[5]) * m[11] * m[14] - double(m[9]) * m[6] * m[15] +
             double(m[9]) * m[7] * m[14] + double(m[13]) * m[6] * m[11] - double(m[13]) * m[7] * m[10];
    inv[4] = -double(m[4]) * m[10] * m[15] + double(m[4]) * m[11] * m[14] + double(m[8]) * m[6] * m[15] -
             double(m[8]) * m[7] * m[14] - double(m[12]) * m[6] * m[11] + double(m[12]) * m[7] * m[10];
    inv[8] = double(m[4]) * m[9] * m[15] - double(m[4]) * m[11] * m[13] - double(m[8]) * m[5] * m[15] +
             double(m[8]) * m[7] * m[13] + double(m[12]) * m[5] * m[11] - double(m[12]) * m[7] * m[9];
    inv[12] = -double(m[4]) * m[9] * m[14] + double(m[4]) * m[10] * m[13] + double(m[8]) * m[5] * m[14] -
              double(m[8]) * m[6] * m[13] - double(m[12]) * m[5] * m[10] + double(m[12]) * m[6] * m[9];
    inv[1] = -double(m[1]) * m[10] * m[15] + double(m[1]) * m[11] * m[14] + double(m[9]) * m[2] * m[15] -
             double(m[9]) * m[3] * m[14] - double(m[13]) * m[2] * m[11] + double(m[13]) * m[3] * m[10];
    inv[5] = double(m[0]) * m[10] * m[15] - double(m[0]) * m[11] * m[14] - double(m[8]) * m[2] * m[15] +
             double(m[8]) * m[3] * m[14] + double(m[12]) * m[2] * m[11] - double(m[12]) * m[3] * m[10];
    inv[9] = -double(m[0]) * m[9] * m[15] + double(m[0]) * m[11] * m[13] + double(m[8]) * m[1] * m[15] -
             double(m[8]) * m[3] * m[13] - double(m[12]) * m[1] * m[11] + double(m[12]) * m[3] * m[9];
    inv[13] = double(m[0]) * m[9] * m[14] - double(m[0]) * m[10] * m[13] - double(m[8]) * m[1] * m[14] +
              double(m[8]) * m[2] * m[13] + double(m[12]) * m[1] * m[10] - double(m[12]) * m[2] * m[9];
    inv[2] = double(m[1]) * m[6] * m[15] - double(m[1]) * m[7] * m[14] - double(m[5]) * m[2] * m[15] +
             double(m[5]) * m[3] * m[14] + double(m[13]) * m[2] * m[7] - double(m[13]) * m[3] * m[6];
    inv[6] = -double(m[0]) * m[6] * m[15] + double(m[0]) * m[7] * m[14] + double(m[4]) * m[2] * m[15] -
             double(m[4]) * m[3] * m[14] - double(m[12]) * m[2] * m[7] + double(m[12]) * m[3] * m[6];
    inv[10] = double(m[0]) * m[5] * m[15] - double(m[0]) * m[7] * m[13] - double(m[4]) * m[1] * m[15] +
              double(m[4]) * m[3] * m[13] + double(m[12]) * m[1] * m[7] - double(m[12]) * m[3] * m[5];
    inv[14] = -double(m[0]) * m[5] * m[14] + double(m[0]) * m[6] * m[13] + double(m[4]) * m[1] * m[14] -
              double(m[4]) * m[2] * m[13] - double(m[12]) * m[1] * m[6] + double(m[12]) * m[2] * m[5];
    inv[3] = -double(m[1]) * m[6] * m[11] + double(m[1]) * m[7] * m[10] + double(m[5]) * m[2] * m[11] -
             double(m[5]) * m[3] * m[10] - double(m[9]) * m[2] * m[7] + double(m[9]) * m[3] * m[6];
    inv[7] = double(m[0]) * m[6] * m[11] - double(m[0]) * m[7] * m[10] - double(m[4]) * m[2] * m[11] +
             double(m[4]) * m[3] * m[10] + double(m[8]) * m[2] * m[7] - double(m[8]) * m[3] * m[6];
    inv[11] = -double(m[0]) * m[5] * m[11] + double(m[0]) * m[7] * m[9] + double(m[4]) * m[1] * m[11] -
              double(m[4]) * m[3] * m[9] - double(m[8]) * m[1] * m[7] + double(m[8]) * m[3] * m[5];
    inv[15] = double(m[0]) * m[5] * m[10] - double(m[0]) * m[6] * m[9] - double(m[4]) * m[1] * m[10] +
              double(m[4]) * m[2] * m[9] + double(m[8]) * m[1] * m[6] - double(m[8]) * m[2] * m[5];
    const double det = double(m[0]) * inv[0] + double(m[1]) * inv[4] + double(m[2]) * inv[8] + double(m[3]) * inv[12];
    if (det == 0) return false;
    for (int i = 0; i < 16; ++i) out->m[i] = float(inv[i] / det);
    return true;
}

}  // namespace gl11

using namespace gl11;

extern "C" {

void gl11_glMatrixMode(GLenum mode) {
    if (!UsableKeepingDraws()) return;
    GL11_RECORD_KEEPING(gl11_glMatrixMode(mode));
    if (InBegin()) return;
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION && mode != GL_TEXTURE) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    g.s.matrixMode = mode;
}

void gl11_glPushMatrix(void) {
    if (!UsableKeepingDraws()) return;
    GL11_RECORD_KEEPING(gl11_glPushMatrix());
    if (InBegin()) return;
    std::vector<Mat4>& st = CurrentStack();
    if (st.size() >= kMaxDepth[StackIndex(g.s.matrixMode)]) {
        SetError(GL_STACK_OVERFLOW);
        return;
    }
    st.push_back(st.back());
}

void gl11_glPopMatrix(void) {
    if (!UsableKeepingDraws()) return;
    GL11_RECORD_KEEPING(gl11_glPopMatrix());
    if (InBegin()) return;
    std::vector<Mat4>& st = CurrentStack();
    if (st.size() <= 1) {
        SetError(GL_STACK_UNDERFLOW);
        return;
    }
    st.pop_back();
    MatrixChanged();
}

void gl11_glLoadIdentity(void) {
    if (!UsableKeepingDraws()) return;
    GL11_RECORD_KEEPING(gl11_glLoadIdentity());
    if (!InBegin()) LoadTop(Identity());
}

void gl11_glLoadMatrixf(const GLfloat* m) {
    if (!UsableKeepingDraws()) return;
    Mat4 a;
    std::memcpy(a.m, m, sizeof a.m);
    GL11_RECORD_KEEPING(gl11_glLoadMatrixf(a.m));
    if (!InBegin()) LoadTop(a);
}

void gl11_glMultMatrixf(const GLfloat* m) {
    if (!UsableKeepingDraws()) return;
    Mat4 a;
    std::memcpy(a.m, m, sizeof a.m);
    GL11_RECORD_KEEPING(gl11_glMultMatrixf(a.m));
    if (!InBegin()) MultTop(a.m);
}

void gl11_glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    if (!UsableKeepingDraws()) return;
    GL11_RECORD_KEEPING(gl11_glTranslatef(x, y, z));
    if (InBegin()) return;
    float* m = CurrentStack().back().m;
    for (int i = 0; i < 4; ++i) m[12 + i] = m[i] * x + m[4 + i] * y + m[8 + i] * z + m[12 + i];
    MatrixChanged();
}

void gl11_glScalef(GLfloat x, GLfloat y, GLfloat z) {
    if (!UsableKeepingDraws()) return;
    GL11_RECORD_KEEPING(gl11_glScalef(x, y, z));
    if (InBegin()) return;
    float* m = CurrentStack().back().m;
    for (int i = 0; i < 4; ++i) m[i] *= x, m[4 + i] *= y, m[8 + i] *= z;
    MatrixChanged();
}

void gl11_glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    if (!UsableKeepingDraws()) return;
    GL11_RECORD_KEEPING(gl11_glRotatef(angle, x, y, z));
    if (InBegin()) return;
    // As Mesa builds it: rotations about one axis exactly, others from the
    // normalised axis.
    const double pi = 3.14159265358979323846;  // M_PI, which strict C++ does not promise
    const float s = float(std::sin(angle * pi / 180.0)), c = float(std::cos(angle * pi / 180.0));
    Mat4 r = Identity();
    float* m = r.m;
#define M(row, col) m[(col)*4 + (row)]
    bool done = false;
    if (x == 0.0f && y == 0.0f && z != 0.0f) {
        M(0, 0) = c, M(1, 1) = c;
        M(0, 1) = z < 0 ? s : -s;
        M(1, 0) = z < 0 ? -s : s;
        done = true;
    } else if (x == 0.0f && z == 0.0f && y != 0.0f) {
        M(0, 0) = c, M(2, 2) = c;
        M(0, 2) = y < 0 ? -s : s;
        M(2, 0) = y < 0 ? s : -s;
        done = true;
    } else if (y == 0.0f && z == 0.0f && x != 0.0f) {
        M(1, 1) = c, M(2, 2) = c;
        M(1, 2) = x < 0 ? s : -s;
        M(2, 1) = x < 0 ? -s : s;
        done = true;
    }
    if (!done) {
        const float mag = std::sqrt(x * x + y * y + z * z);
        if (mag <= 1.0e-4f) return;
        x /= mag, y /= mag, z /= mag;
        const float xx = x * x, yy = y * y, zz = z * z, xy = x * y, yz = y * z, zx = z * x;
        const float xs = x * s, ys = y * s, zs = z * s, oneC = 1.0f - c;
        M(0, 0) = (oneC * xx) + c, M(0, 1) = (oneC * xy) - zs, M(0, 2) = (oneC * zx) + ys;
        M(1, 0) = (oneC * xy) + zs, M(1, 1) = (oneC * yy) + c, M(1, 2) = (oneC * yz) - xs;
        M(2, 0) = (oneC * zx) - ys, M(2, 1) = (oneC * yz) + xs, M(2, 2) = (oneC * zz) + c;
    }
#undef M
    MultTop(r.m);
}

void gl11_glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    if (!UsableKeepingDraws()) return;
    GL11_RECORD_KEEPING(gl11_glOrtho(l, r, b, t, n, f));
    if (InBegin()) return;
    if (l == r || b == t || n == f) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    const float left = float(l), right = float(r), bottom = float(b), top = float(t), nearv = float(n),
                farv = float(f);
    Mat4 o = Identity();
    o.m[0] = 2.0f / (right - left);
    o.m[12] = -(right + left) / (right - left);
    o.m[5] = 2.0f / (top - bottom);
    o.m[13] = -(top + bottom) / (top - bottom);
    o.m[10] = -2.0f / (farv - nearv);
    o.m[14] = -(farv + nearv) / (farv - nearv);
    MultTop(o.m);
}

void gl11_glFrustum(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    if (!UsableKeepingDraws()) return;
    GL11_RECORD_KEEPING(gl11_glFrustum(l, r, b, t, n, f));
    if (InBegin()) return;
    if (n <= 0 || f <= 0 || l == r || b == t || n == f) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    const float left = float(l), right = float(r), bottom = float(b), top = float(t), nearv = float(n),
                farv = float(f);
    Mat4 p{};
    p.m[0] = (2.0f * nearv) / (right - left);
    p.m[5] = (2.0f * nearv) / (top - bottom);
    p.m[8] = (right + left) / (right - left);
    p.m[9] = (top + bottom) / (top - bottom);
    p.m[10] = -(farv + nearv) / (farv - nearv);
    p.m[11] = -1.0f;
    p.m[14] = -(2.0f * farv * nearv) / (farv - nearv);
    MultTop(p.m);
}

void gl11_gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    if (!UsableKeepingDraws()) return;
    // Mesa's GLU: in double, handed over as glMultMatrixd (floats).
    const double radians = fovy / 2 * 3.14159265358979323846 / 180;
    const double deltaZ = zFar - zNear, sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) return;
    const double cotangent = std::cos(radians) / sine;
    float m[16] = {};
    m[0] = float(cotangent / aspect);
    m[5] = float(cotangent);
    m[10] = float(-(zFar + zNear) / deltaZ);
    m[11] = -1.0f;
    m[14] = float(-2 * zNear * zFar / deltaZ);
    gl11_glMultMatrixf(m);
}

void gl11_gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
                    GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
    if (!UsableKeepingDraws()) return;
    // Mesa's GLU: the axes in float.
    float forward[3] = {float(centerX - eyeX), float(centerY - eyeY), float(centerZ - eyeZ)};
    float up[3] = {float(upX), float(upY), float(upZ)};
    const auto normalize = [](float v[3]) {
        const float r = float(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
        if (r == 0.0f) return;
        v[0] /= r, v[1] /= r, v[2] /= r;
    };
    const auto cross = [](const float a[3], const float b[3], float out[3]) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    normalize(forward);
    float side[3];
    cross(forward, up, side);
    normalize(side);
    cross(side, forward, up);
    float m[16] = {side[0], up[0], -forward[0], 0, side[1], up[1], -forward[1], 0,
                   side[2], up[2], -forward[2], 0, 0,       0,     0,           1};
    gl11_glMultMatrixf(m);
    gl11_glTranslatef(float(-eyeX), float(-eyeY), float(-eyeZ));
}

}  // extern "C"
