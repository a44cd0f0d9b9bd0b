// attrib.cpp -- the attribute stacks: glPushAttrib / glPopAttrib restore
// the groups their mask names, glPushClientAttrib / glPopClientAttrib the
// pixel-store and vertex-array groups. 16 deep each, as Mesa's.
#include "context.h"

#include <cstring>

namespace gl11 {
namespace {

constexpr GLbitfield kCurrent = 0x1, kPoint = 0x2, kLine = 0x4, kPolygon = 0x8, kLighting = 0x40, kFog = 0x80,
                     kDepth = 0x100, kViewport = 0x800, kTransform = 0x1000, kEnable = 0x2000, kColour = 0x4000,
                     kHint = 0x8000, kTexture = 0x40000, kScissor = 0x80000;

template <class T>
void Take(T& dst, const T& src) {
    dst = src;
}
template <class T, size_t N>
void Take(T (&dst)[N], const T (&src)[N]) {
    std::memcpy(dst, src, sizeof dst);
}

// The groups of `mask` from `from` into `to`.
void Restore(ServerState& to, const ServerState& from, GLbitfield mask) {
    if (mask & kCurrent) Take(to.colour, from.colour), Take(to.normal, from.normal), Take(to.tex, from.tex);
    if (mask & kPoint) Take(to.pointSize, from.pointSize);
    if (mask & kLine) Take(to.lineWidth, from.lineWidth);
    if (mask & kPolygon) {
        Take(to.polygonMode, from.polygonMode);
        Take(to.cullFaceMode, from.cullFaceMode), Take(to.frontFace, from.frontFace);
        Take(to.cullFace, from.cullFace), Take(to.polygonOffsetFill, from.polygonOffsetFill);
    }
    if (mask & kLighting) {
        Take(to.lighting, from.lighting), Take(to.colourMaterial, from.colourMaterial);
        Take(to.lightOn, from.lightOn);
        for (int i = 0; i < 8; ++i) to.lights[i] = from.lights[i];
        to.material[0] = from.material[0], to.material[1] = from.material[1];
        Take(to.lightModelAmbient, from.lightModelAmbient);
        Take(to.localViewer, from.localViewer), Take(to.twoSide, from.twoSide);
        Take(to.colourMaterialFace, from.colourMaterialFace), Take(to.colourMaterialMode, from.colourMaterialMode);
        Take(to.shadeModel, from.shadeModel);
    }
    if (mask & kFog) {
        Take(to.fog, from.fog), Take(to.fogMode, from.fogMode), Take(to.fogDensity, from.fogDensity);
        Take(to.fogStart, from.fogStart), Take(to.fogEnd, from.fogEnd), Take(to.fogColour, from.fogColour);
    }
    if (mask & kDepth) {
        Take(to.depthTest, from.depthTest), Take(to.depthMask, from.depthMask);
        Take(to.depthFunc, from.depthFunc), Take(to.clearDepth, from.clearDepth);
    }
    if (mask & kViewport) Take(to.viewport, from.viewport);
    if (mask & kTransform) Take(to.matrixMode, from.matrixMode), Take(to.normalize, from.normalize);
    if (mask & kEnable) {
        Take(to.alphaTest, from.alphaTest), Take(to.blend, from.blend), Take(to.colourMaterial, from.colourMaterial);
        Take(to.cullFace, from.cullFace), Take(to.depthTest, from.depthTest), Take(to.dither, from.dither);
        Take(to.fog, from.fog), Take(to.lightOn, from.lightOn), Take(to.lighting, from.lighting);
        Take(to.normalize, from.normalize), Take(to.polygonOffsetFill, from.polygonOffsetFill);
        Take(to.scissorTest, from.scissorTest), Take(to.texture1D, from.texture1D);
        Take(to.texture2D, from.texture2D), Take(to.texGenOn, from.texGenOn);
    }
    if (mask & kColour) {
        Take(to.alphaTest, from.alphaTest), Take(to.alphaFunc, from.alphaFunc), Take(to.alphaRef, from.alphaRef);
        Take(to.blend, from.blend), Take(to.blendSrc, from.blendSrc), Take(to.blendDst, from.blendDst);
        Take(to.dither, from.dither), Take(to.clearColour, from.clearColour), Take(to.colourMask, from.colourMask);
    }
    if (mask & kHint) Take(to.hints, from.hints);
    if (mask & kTexture) {
        Take(to.texture1D, from.texture1D), Take(to.texture2D, from.texture2D);
        Take(to.texGenOn, from.texGenOn);
        for (int i = 0; i < 4; ++i) to.texGen[i] = from.texGen[i];
        Take(to.texEnvMode, from.texEnvMode), Take(to.texEnvColour, from.texEnvColour);
        Take(to.boundTexture, from.boundTexture);
    }
    if (mask & kScissor) Take(to.scissorTest, from.scissorTest), Take(to.scissor, from.scissor);
}

void PushAttrib(GLbitfield mask) {
    if (g.attribStack.size() >= kMaxAttribDepth) return SetError(GL_STACK_OVERFLOW);
    const Texture* t = BoundTexture();
    g.attribStack.push_back({mask, g.s, t->minFilter, t->magFilter, t->wrapS, t->wrapT});
}

void PopAttrib() {
    if (g.attribStack.empty()) return SetError(GL_STACK_UNDERFLOW);
    const AttribEntry e = g.attribStack.back();
    g.attribStack.pop_back();
    Restore(g.s, e.state, e.mask);
    if ((e.mask & kTexture) && g.textures.count(e.state.boundTexture)) {
        // The bound texture's parameters come back with the binding.
        Texture* t = BoundTexture();
        t->minFilter = e.minFilter, t->magFilter = e.magFilter, t->wrapS = e.wrapS, t->wrapT = e.wrapT;
        es.BindTexture(GL_TEXTURE_2D, EsTextureFor(g.s.boundTexture));
        ApplyTextureParameters(*t);
    }
    ++g.lightSerial;
    ++g.materialSerial;
    ++g.shadeSerial;
    MatrixChanged();
    SyncDriver();
}

}  // namespace
}  // namespace gl11

using namespace gl11;

extern "C" {

void gl11_glPushAttrib(GLbitfield mask) {
    if (!Usable()) return;
    GL11_RECORD(PushAttrib(mask));
    if (InBegin()) return;
    Guarded([&] { PushAttrib(mask); });
}

void gl11_glPopAttrib(void) {
    if (!Usable()) return;
    GL11_RECORD(PopAttrib());
    if (InBegin()) return;
    PopAttrib();
}

void gl11_glPushClientAttrib(GLbitfield mask) {
    if (!Usable() || InBegin()) return;
    if (g.clientAttribStack.size() >= kMaxAttribDepth) return SetError(GL_STACK_OVERFLOW);
    Guarded([&] { g.clientAttribStack.push_back({mask, g.c}); });
}

void gl11_glPopClientAttrib(void) {
    if (!Usable() || InBegin()) return;
    if (g.clientAttribStack.empty()) return SetError(GL_STACK_UNDERFLOW);
    const ClientAttribEntry e = g.clientAttribStack.back();
    g.clientAttribStack.pop_back();
    if (e.mask & GL_CLIENT_PIXEL_STORE_BIT) {
        g.c.packAlignment = e.state.packAlignment, g.c.unpackAlignment = e.state.unpackAlignment;
        g.c.packRowLength = e.state.packRowLength, g.c.unpackRowLength = e.state.unpackRowLength;
    }
    if (e.mask & GL_CLIENT_VERTEX_ARRAY_BIT) {
        g.c.vertex = e.state.vertex, g.c.normal = e.state.normal;
        g.c.colour = e.state.colour, g.c.tex = e.state.tex;
    }
}

}  // extern "C"
