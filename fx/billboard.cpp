// billboard.cpp -- the display-listed sprite quad and its facing draw.
#include "fx/billboard.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "fx/sprite_quad.h"
#include "image/texture_loader.h"

Billboard::Billboard() {
    BuildList();  // the unit quad, size 1.0
}

void Billboard::LoadTexture(const char* resourceName) {
    ::LoadTexture(texture, resourceName);
}

void Billboard::BuildList() {
    // A list of this size would be the same list again.
    if (list != 0 && size == listSize_ && glIsList(list)) return;
    // The quad it replaces is never drawn again: release its name, so that
    // rebuilding every frame keeps the number of live lists constant.
    if (list != 0) glDeleteLists(list, 1);
    listSize_ = size;
    const float h = size * 0.5f;
    list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    TexturedCorners(h);
    glEnd();
    glEndList();
}

void Billboard::Draw() {
    const float at[1][3] = {{position[0], position[1], position[2]}};
    DrawAt(at, 1);
}

namespace {

// Column-major 4 x 4 matrix times (x, y, z, 1).
void Transform(const double m[16], const double v[3], double out[4]) {
    for (int r = 0; r < 4; ++r) out[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r];
}

}  // namespace

void Billboard::DrawAt(const float (*positions)[3], int count) {
    // F cancels the view's rotation so the quad faces the viewer; every
    // quad of the call is drawn under the same modelview.
    GLfloat f[16];
    FacingMatrix(f);

    glEnable(GL_TEXTURE_2D);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, texture);

    // Where the picture is black, the additive blend leaves the frame as it
    // is: find once which texels are not black.
    if (!litKnown_ || litTexture_ != texture) {
        litKnown_ = true;
        litTexture_ = texture;
        litInside_ = false;
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        if (w > 2 && h > 2) {
            std::vector<uint8_t> texels(size_t(w) * h * 3);
            GLint alignment = 4;
            glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
            glPixelStorei(GL_PACK_ALIGNMENT, alignment);
            int x0 = w, x1 = -1, y0 = h, y1 = -1;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const uint8_t* t = &texels[(size_t(y) * w + x) * 3];
                    if ((t[0] | t[1] | t[2]) == 0) continue;
                    x0 = std::min(x0, x), x1 = std::max(x1, x);
                    y0 = std::min(y0, y), y1 = std::max(y1, y);
                }
            }
            // Linear filtering wraps around the edges: only a picture black
            // along all four of them can be cut down.
            if (x1 >= 0 && x0 > 0 && y0 > 0 && x1 < w - 1 && y1 < h - 1) {
                litInside_ = true;
                lit_[0] = x0, lit_[1] = x1, lit_[2] = y0, lit_[3] = y1;
                texSize_[0] = w, texSize_[1] = h;
            }
        }
    }

    // The quad's part that can read a non-black texel, as a fraction of the
    // quad: a pixel reads the two texels around s * width - 1/2, so half a
    // texel more on each side, and half a texel more for rounding.
    double box[4] = {0, 1, 0, 1};  // s0, s1, t0, t1
    double modelview[16], projection[16];
    GLint viewport[4] = {0, 0, 0, 0};
    GLint scissorBox[4];
    const GLboolean scissoring = glIsEnabled(GL_SCISSOR_TEST);
    if (litInside_) {
        box[0] = std::max(0.0, (lit_[0] - 1.0) / texSize_[0]);
        box[1] = std::min(1.0, (lit_[1] + 2.0) / texSize_[0]);
        box[2] = std::max(0.0, (lit_[2] - 1.0) / texSize_[1]);
        box[3] = std::min(1.0, (lit_[3] + 2.0) / texSize_[1]);
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_SCISSOR_BOX, scissorBox);
    }
    const double half = listSize_ * 0.5;  // the quad as compiled

    const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
    // Each quad's scissor rectangle, or none (drawn whole), or skipped.
    // A scissor rectangle costs a state change per quad, worth it only for
    // quads large on the screen: small ones are drawn whole, first, all
    // under the caller's scissor state (additive quads that write no depth
    // give the same sum in any order).
    constexpr int kWorthScissoring = 64 * 64;
    struct Plan {
        int rect[4];
        bool skip, scissor;
    };
    std::vector<Plan> plans(size_t(count > 0 ? count : 0));
    for (int n = 0; n < count; ++n) {
        Plan& plan = plans[size_t(n)];
        plan.skip = false;
        plan.scissor = false;
        if (!litInside_) continue;
        const float* at = positions[n];
        // The corners of that part through the facing matrix, the
        // translation, the modelview and the projection to the window.
        double x0 = 1e30, x1 = -1e30, y0 = 1e30, y1 = -1e30;
        bool behind = false;
        for (int c = 0; c < 4; ++c) {
            const double qx = -half + 2.0 * half * box[c & 1];
            const double qy = -half + 2.0 * half * box[2 + (c >> 1)];
            const double object[3] = {f[0] * qx + f[4] * qy + at[0], f[1] * qx + f[5] * qy + at[1],
                                      f[2] * qx + f[6] * qy + at[2]};
            double eye[4], clip[4];
            Transform(modelview, object, eye);
            const double e3[3] = {eye[0] / eye[3], eye[1] / eye[3], eye[2] / eye[3]};
            Transform(projection, e3, clip);
            if (!(clip[3] > 1e-3)) {
                behind = true;
                break;
            }
            const double wx = viewport[0] + (clip[0] / clip[3] + 1.0) * 0.5 * viewport[2];
            const double wy = viewport[1] + (clip[1] / clip[3] + 1.0) * 0.5 * viewport[3];
            x0 = std::min(x0, wx), x1 = std::max(x1, wx);
            y0 = std::min(y0, wy), y1 = std::max(y1, wy);
        }
        if (behind) continue;  // drawn whole
        // One pixel more on each side, within the viewport and the caller's
        // scissor box; nothing at all when that part lies outside them.
        int l = std::max(viewport[0], int(std::floor(x0)) - 1);
        int b = std::max(viewport[1], int(std::floor(y0)) - 1);
        int r = std::min(viewport[0] + viewport[2], int(std::ceil(x1)) + 1);
        int t = std::min(viewport[1] + viewport[3], int(std::ceil(y1)) + 1);
        if (scissoring) {
            l = std::max(l, scissorBox[0]), b = std::max(b, scissorBox[1]);
            r = std::min(r, scissorBox[0] + scissorBox[2]), t = std::min(t, scissorBox[1] + scissorBox[3]);
        }
        if (r <= l || t <= b) {
            plan.skip = true;
            continue;
        }
        plan.scissor = (r - l) * (t - b) >= kWorthScissoring;
        plan.rect[0] = l, plan.rect[1] = b, plan.rect[2] = r - l, plan.rect[3] = t - b;
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (int n = 0; n < count; ++n) {
            const Plan& plan = plans[size_t(n)];
            if (plan.skip || plan.scissor != (pass == 1)) continue;
            if (plan.scissor) {
                glEnable(GL_SCISSOR_TEST);
                glScissor(plan.rect[0], plan.rect[1], plan.rect[2], plan.rect[3]);
            }
            const float* at = positions[n];
            glPushMatrix();
            glTranslatef(at[0], at[1], at[2]);
            glMultMatrixf(f);
            glCallList(list);
            glPopMatrix();
        }
    }
    if (count > 0) {
        position[0] = positions[count - 1][0];
        position[1] = positions[count - 1][1];
        position[2] = positions[count - 1][2];
    }
    if (litInside_) {
        glScissor(scissorBox[0], scissorBox[1], scissorBox[2], scissorBox[3]);
        if (scissoring) {
            glEnable(GL_SCISSOR_TEST);
        } else {
            glDisable(GL_SCISSOR_TEST);
        }
    }

    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glDisable(GL_TEXTURE_2D);
}
