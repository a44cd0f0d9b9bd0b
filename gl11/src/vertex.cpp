// vertex.cpp -- where vertices come from: immediate mode (glBegin / glEnd
// and the current attributes, with GL's rules for what a vertex takes)
// and client arrays (every GL 1.1 type; texture coordinates of one or two
// components), gathered for glDrawArrays and glDrawElements.
#include "context.h"

#include <algorithm>
#include <cstring>

namespace gl11 {

// Sets an attribute: the current value, or the list's while one is compiled.
void SetAttribute(int attr, const float* v) {
    float* current[3] = {g.s.normal, g.s.colour, g.s.tex};
    float* recorded[3] = {g.listNormal, g.listColour, g.listTex};
    const int sizes[3] = {3, 4, 2};
    if (g.compiling) {
        CopyN(recorded[attr], v, sizes[attr]);
        g.listSet[attr] = true;
        if (!g.inBegin) {
            float copy[4] = {0, 0, 0, 0};
            CopyN(copy, v, sizes[attr]);
            Record([attr, copy] { SetAttribute(attr, copy); }, true);
        }
        if (g.compilingMode == GL_COMPILE) return;
    }
    CopyN(current[attr], v, sizes[attr]);
    if (attr == kTex) current[attr][2] = 0, current[attr][3] = 1;
    if (attr == kColour && g.s.colourMaterial) ColourMaterialTrack();
}

namespace {

void EmitVertex(float x, float y, float z, float w) {
    if (!UsableKeepingDraws()) return;
    if (!g.inBegin) return;  // outside glBegin / glEnd a vertex does nothing
    Vertex v;
    v.pos[0] = x, v.pos[1] = y, v.pos[2] = z, v.pos[3] = w;
    CopyN(v.normal, g.s.normal, 3);
    CopyN(v.colour, g.s.colour, 4);
    CopyN(v.tex, g.s.tex, 2);
    if (!g.compiling) return Guarded([&] { g.immediate.push_back(v); });
    Guarded([&] {
        if (g.compilingMode == GL_COMPILE_AND_EXECUTE) g.executed.push_back(v);
        CopyN(v.normal, g.listNormal, 3);
        CopyN(v.colour, g.listColour, 4);
        CopyN(v.tex, g.listTex, 2);
        for (int a = 0; a < 3; ++a)
            if (g.blockFirstSet[a] == SIZE_MAX && g.listSet[a]) g.blockFirstSet[a] = g.immediate.size();
        g.immediate.push_back(v);
    });
}

bool ValidMode(GLenum mode) { return mode <= GL_POLYGON; }

size_t TypeSize(GLenum type) {
    switch (type) {
        case GL_BYTE: case GL_UNSIGNED_BYTE: return 1;
        case GL_SHORT: case GL_UNSIGNED_SHORT: return 2;
        case GL_DOUBLE: return 8;
        default: return 4;
    }
}

// One component as a float; integers mapped to [-1, 1] or [0, 1] as GL
// maps colours and normals when `normalised`.
float Component(const uint8_t* p, GLenum type, bool normalised) {
    switch (type) {
        case GL_FLOAT: {
            float f;
            std::memcpy(&f, p, 4);
            return f;
        }
        case GL_DOUBLE: {
            double d;
            std::memcpy(&d, p, 8);
            return float(d);
        }
        case GL_BYTE: {
            const int8_t c = int8_t(p[0]);
            return normalised ? (2.0f * c + 1.0f) / 255.0f : float(c);
        }
        case GL_UNSIGNED_BYTE: return normalised ? p[0] / 255.0f : float(p[0]);
        case GL_SHORT: {
            int16_t c;
            std::memcpy(&c, p, 2);
            return normalised ? (2.0f * c + 1.0f) / 65535.0f : float(c);
        }
        case GL_UNSIGNED_SHORT: {
            uint16_t c;
            std::memcpy(&c, p, 2);
            return normalised ? c / 65535.0f : float(c);
        }
        case GL_INT: {
            int32_t c;
            std::memcpy(&c, p, 4);
            return normalised ? float((2.0 * c + 1.0) / 4294967295.0) : float(c);
        }
        default: {  // GL_UNSIGNED_INT
            uint32_t c;
            std::memcpy(&c, p, 4);
            return normalised ? float(c / 4294967295.0) : float(c);
        }
    }
}

// One enabled client array as Gather reads it.
struct Source {
    const uint8_t* base = nullptr;
    size_t stride = 0;
    int size = 0;
    GLenum type = GL_FLOAT;
    bool on = false;
};

Source SourceOf(const ArrayPointer& a) {
    Source s;
    if (!a.enabled || !a.pointer) return s;
    s.base = static_cast<const uint8_t*>(a.pointer);
    s.stride = a.stride ? size_t(a.stride) : TypeSize(a.type) * size_t(a.size);
    s.size = a.size, s.type = a.type, s.on = true;
    return s;
}

// Element i of `s` into out[0 .. size): floats as they are, bytes of a
// colour by their own road (the common cases), other types converted.
inline void Read(const Source& s, size_t i, float* out, bool normalised) {
    const uint8_t* p = s.base + s.stride * i;
    if (s.type == GL_FLOAT) {
        // Copies of a size known here (a loop of as many copies as the
        // size costs several times as much per vertex).
        switch (s.size) {
            case 1: std::memcpy(out, p, 4); break;
            case 2: std::memcpy(out, p, 8); break;
            case 3: std::memcpy(out, p, 12); break;
            default: std::memcpy(out, p, 16); break;
        }
    } else if (s.type == GL_UNSIGNED_BYTE && normalised) {
        for (int k = 0; k < s.size; ++k) out[k] = p[k] / 255.0f;
    } else {
        const size_t bytes = TypeSize(s.type);
        for (int k = 0; k < s.size; ++k) out[k] = Component(p + bytes * size_t(k), s.type, normalised);
    }
}

// The current values arrays fall back on: the state's, or while a list is
// compiled the list's own (an attribute the list has not set is filled in
// when the list runs, see Batch).
struct Fallback {
    const float* normal;
    const float* colour;
    const float* tex;
};

// The vertices `which` (or lo .. lo + count - 1) of the enabled arrays:
// each starts as a copy of what the disabled arrays give (the fallback
// values; w 1, and alpha 1 for a colour array of three), the enabled ones
// read over it.
// Into out[0 .. count).
void Gather(const uint32_t* which, size_t lo, size_t count, const Fallback& f, Vertex* out) {
    const ClientState& c = g.c;
    const Source position = SourceOf(c.vertex), normal = SourceOf(c.normal), colour = SourceOf(c.colour),
                 tex = SourceOf(c.tex);
    Vertex start;
    start.pos[0] = start.pos[1] = start.pos[2] = 0, start.pos[3] = 1;
    CopyN(start.normal, f.normal, 3);
    if (colour.on) start.colour[0] = start.colour[1] = start.colour[2] = 0, start.colour[3] = 1;
    else CopyN(start.colour, f.colour, 4);
    if (tex.on) start.tex[0] = start.tex[1] = 0;
    else CopyN(start.tex, f.tex, 2);
    const bool fastPosition = position.type == GL_FLOAT && position.size == 3;
    Vertex* v = out;
    for (size_t k = 0; k < count; ++k, ++v) {
        const size_t i = which ? which[k] : lo + k;
        *v = start;
        if (fastPosition) std::memcpy(v->pos, position.base + position.stride * i, 12);
        else Read(position, i, v->pos, false);
        if (normal.on) Read(normal, i, v->normal, true);
        if (colour.on) Read(colour, i, v->colour, true);
        if (tex.on) Read(tex, i, v->tex, false);
    }
}

// Whether the N 32-bit words at p and q are the same, bit for bit.
template <int N>
inline bool SameWords(const void* p, const void* q) {
    uint32_t a[N], b[N], differ = 0;
    std::memcpy(a, p, sizeof a);
    std::memcpy(b, q, sizeof b);
    for (int k = 0; k < N; ++k) differ |= a[k] ^ b[k];
    return differ == 0;
}

// Whether v[0 .. count) is what Gather makes now of vertices lo .. lo +
// count - 1: the arrays' values (float ones compared as they lie) and the
// fallback values where no array gives one. What Gather fills in beyond an
// array's size does not change.
bool Gathered(size_t lo, size_t count, const Fallback& f, const Vertex* v) {
    const ClientState& c = g.c;
    const Source position = SourceOf(c.vertex), normal = SourceOf(c.normal), colour = SourceOf(c.colour),
                 tex = SourceOf(c.tex);
    if (count == 0) return true;
    if ((!normal.on && std::memcmp(v->normal, f.normal, sizeof v->normal) != 0) ||
        (!colour.on && std::memcmp(v->colour, f.colour, sizeof v->colour) != 0) ||
        (!tex.on && std::memcmp(v->tex, f.tex, sizeof v->tex) != 0))
        return false;
    // Compared as 32-bit words, bit for bit (memcmp is a call, and a loop
    // over bytes in WebAssembly).
    const auto same = [](const Source& s, size_t i, const float* field, bool normalised) {
        if (!s.on) return true;
        const uint8_t* p = s.base + s.stride * i;
        float read[4];
        if (s.type != GL_FLOAT) Read(s, i, read, normalised), p = reinterpret_cast<const uint8_t*>(read);
        switch (s.size) {  // sizes known here, as in Read
            case 1: return SameWords<1>(p, field);
            case 2: return SameWords<2>(p, field);
            case 3: return SameWords<3>(p, field);
            default: return SameWords<4>(p, field);
        }
    };
    for (size_t k = 0; k < count; ++k, ++v) {
        const size_t i = lo + k;
        if (!same(position, i, v->pos, false) || !same(normal, i, v->normal, true) ||
            !same(colour, i, v->colour, true) || !same(tex, i, v->tex, false))
            return false;
    }
    return true;
}

// The vertices lo .. end - 1 of the arrays, gathered by the last draw from
// them into the draws waiting to be merged (the last of their vertices),
// while `joins` is MergeJoins(). Strips of a mesh drawn one by one share
// their rows: a draw that begins in that run takes the vertices gathered
// there (compared: the arrays may have changed in between), so that they
// are copied, sent and shaded once.
struct GatheredRun {
    size_t lo = 0, end = 0;
    uint64_t joins = ~0ull;
} g_run;

// How many of the first of vertices lo .. lo + count - 1 the last run
// gathered as they are now (none unless the draw goes on past its end).
size_t SharedWithRun(size_t lo, size_t count, const Fallback& f) {
    const GatheredRun& r = g_run;
    if (r.joins != MergeJoins() || lo < r.lo || lo >= r.end || lo + count < r.end) return 0;
    const size_t shared = r.end - lo;
    const Vertex* tail = WaitingTail(shared);
    return tail && Gathered(lo, shared, f, tail) ? shared : 0;
}

// Gathers and submits; the list records arrays with its own values. A draw
// that joins the draws waiting to be merged is gathered straight into
// their vertices.
void DrawFromArrays(GLenum mode, const uint32_t* which, size_t lo, size_t count, const uint32_t* idx, size_t ni) {
    const Fallback current = {g.s.normal, g.s.colour, g.s.tex};
    if (!g.compiling) {
        size_t shared = which ? 0 : SharedWithRun(lo, count, current);
        if (Vertex* room = MergeRoom(mode, count, idx, ni, &shared)) {
            Gather(which, lo + shared, count - shared, current, room);
            if (!which) g_run = {lo, lo + count, MergeJoins()};
            return;
        }
    }
    static Vertices v;
    if (v.size() < count) v.resize(count);
    if (g.compiling) {
        size_t firstSet[3];
        const ArrayPointer* arrays[3] = {&g.c.normal, &g.c.colour, &g.c.tex};
        Fallback list = {g.listNormal, g.listColour, g.listTex};
        for (int a = 0; a < 3; ++a) firstSet[a] = arrays[a]->enabled || g.listSet[a] ? 0 : SIZE_MAX;
        Gather(which, lo, count, list, v.data());
        Submit(mode, v.data(), count, idx, ni, firstSet);  // recorded
        if (g.compilingMode == GL_COMPILE) return;
        // GL_COMPILE_AND_EXECUTE: drawn now with the current values.
        Gather(which, lo, count, current, v.data());
        DrawNow(mode, v.data(), count, idx, ni);
        return;
    }
    Gather(which, lo, count, current, v.data());
    DrawAlone(mode, v.data(), count, idx, ni);
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

void SetPointer(ArrayPointer* a, GLint size, GLenum type, GLsizei stride, const void* pointer, bool sizeOk,
                bool typeOk) {
    if (!UsableKeepingDraws() || InBegin()) return;
    if (!typeOk) return SetError(GL_INVALID_ENUM);
    if (stride < 0 || !sizeOk) return SetError(GL_INVALID_VALUE);
    a->size = size, a->type = type, a->stride = stride, a->pointer = pointer;
}

bool ArraysReady() { return g.c.vertex.enabled && g.c.vertex.pointer; }

}  // namespace
}  // namespace gl11

using namespace gl11;

extern "C" {

void gl11_glBegin(GLenum mode) {
    if (!UsableKeepingDraws()) return;
    if (g.inBegin) return SetError(GL_INVALID_OPERATION);
    if (!ValidMode(mode)) return SetError(GL_INVALID_ENUM);
    g.inBegin = true;
    g.beginMode = mode;
    g.immediate.clear();
    g.executed.clear();
    for (int a = 0; a < 3; ++a) g.blockFirstSet[a] = g.compiling && g.listSet[a] ? 0 : SIZE_MAX;
}

void gl11_glEnd(void) {
    if (!UsableKeepingDraws()) return;
    if (!g.inBegin) return SetError(GL_INVALID_OPERATION);
    g.inBegin = false;
    Guarded([] {
        if (g.compiling) {
            Submit(g.beginMode, g.immediate.data(), g.immediate.size(), nullptr, 0, g.blockFirstSet);
            // After the block the list's last values are current.
            const bool set[3] = {g.listSet[0], g.listSet[1], g.listSet[2]};
            float n[3], c[4], t[2];
            CopyN(n, g.listNormal, 3);
            CopyN(c, g.listColour, 4);
            CopyN(t, g.listTex, 2);
            if (Record([=] {
                    if (set[0]) SetAttribute(kNormal, n);
                    if (set[1]) SetAttribute(kColour, c);
                    if (set[2]) SetAttribute(kTex, t);
                }, true))
                return;
            // GL_COMPILE_AND_EXECUTE: the block drawn now too, as it was
            // given (the current values are the block's own by now).
            DrawNow(g.beginMode, g.executed.data(), g.executed.size(), nullptr, 0);
            return;
        }
        DrawNow(g.beginMode, g.immediate.data(), g.immediate.size(), nullptr, 0);
    });
}

void gl11_glVertex2f(GLfloat x, GLfloat y) { EmitVertex(x, y, 0.0f, 1.0f); }
void gl11_glVertex3f(GLfloat x, GLfloat y, GLfloat z) { EmitVertex(x, y, z, 1.0f); }
void gl11_glVertex3fv(const GLfloat* v) { EmitVertex(v[0], v[1], v[2], 1.0f); }
void gl11_glVertex4f(GLfloat x, GLfloat y, GLfloat z, GLfloat w) { EmitVertex(x, y, z, w); }

void gl11_glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    if (!UsableKeepingDraws()) return;
    const float v[3] = {x, y, z};
    SetAttribute(kNormal, v);
}
void gl11_glNormal3fv(const GLfloat* v) { gl11_glNormal3f(v[0], v[1], v[2]); }

void gl11_glColor4f(GLfloat r, GLfloat gr, GLfloat b, GLfloat a) {
    if (!UsableKeepingDraws()) return;
    const float v[4] = {r, gr, b, a};
    SetAttribute(kColour, v);
}
void gl11_glColor3f(GLfloat r, GLfloat gr, GLfloat b) { gl11_glColor4f(r, gr, b, 1.0f); }
void gl11_glColor3fv(const GLfloat* v) { gl11_glColor4f(v[0], v[1], v[2], 1.0f); }
void gl11_glColor4fv(const GLfloat* v) { gl11_glColor4f(v[0], v[1], v[2], v[3]); }
void gl11_glColor3ub(GLubyte r, GLubyte gr, GLubyte b) { gl11_glColor4f(r / 255.0f, gr / 255.0f, b / 255.0f, 1.0f); }

void gl11_glTexCoord2f(GLfloat s, GLfloat t) {
    if (!UsableKeepingDraws()) return;
    const float v[2] = {s, t};
    SetAttribute(kTex, v);
}
void gl11_glTexCoord2fv(const GLfloat* v) { gl11_glTexCoord2f(v[0], v[1]); }

void gl11_glRectf(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2) {
    if (!UsableKeepingDraws()) return;
    if (g.inBegin) return SetError(GL_INVALID_OPERATION);
    gl11_glBegin(GL_POLYGON);
    gl11_glVertex2f(x1, y1);
    gl11_glVertex2f(x2, y1);
    gl11_glVertex2f(x2, y2);
    gl11_glVertex2f(x1, y2);
    gl11_glEnd();
}

void gl11_glEnableClientState(GLenum array) {
    if (!UsableKeepingDraws()) return;
    if (ArrayPointer* a = ArrayFor(array)) a->enabled = true;
    else SetError(GL_INVALID_ENUM);
}

void gl11_glDisableClientState(GLenum array) {
    if (!UsableKeepingDraws()) return;
    if (ArrayPointer* a = ArrayFor(array)) a->enabled = false;
    else SetError(GL_INVALID_ENUM);
}

void gl11_glVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
    const bool typeOk = type == GL_SHORT || type == GL_INT || type == GL_FLOAT || type == GL_DOUBLE;
    SetPointer(&g.c.vertex, size, type, stride, pointer, size >= 2 && size <= 4, typeOk);
}
void gl11_glNormalPointer(GLenum type, GLsizei stride, const GLvoid* pointer) {
    const bool typeOk = type == GL_BYTE || type == GL_SHORT || type == GL_INT || type == GL_FLOAT || type == GL_DOUBLE;
    SetPointer(&g.c.normal, 3, type, stride, pointer, true, typeOk);
}
void gl11_glColorPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
    const bool typeOk = (type >= GL_BYTE && type <= GL_FLOAT) || type == GL_DOUBLE;
    SetPointer(&g.c.colour, size, type, stride, pointer, size == 3 || size == 4, typeOk);
}
// Texture coordinates of three and four components (r and q) are refused
// with GL_INVALID_VALUE: the layer carries s and t per vertex.
void gl11_glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
    const bool typeOk = type == GL_SHORT || type == GL_INT || type == GL_FLOAT || type == GL_DOUBLE;
    SetPointer(&g.c.tex, size, type, stride, pointer, size == 1 || size == 2, typeOk);
}

void gl11_glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    if (!UsableKeepingDraws()) return;
    if (g.inBegin) return SetError(GL_INVALID_OPERATION);
    if (!ValidMode(mode)) return SetError(GL_INVALID_ENUM);
    if (first < 0 || count < 0) return SetError(GL_INVALID_VALUE);
    if (count == 0 || !ArraysReady()) return;
    Guarded([&] { DrawFromArrays(mode, nullptr, size_t(first), size_t(count), nullptr, 0); });
}

void gl11_glDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices) {
    if (!UsableKeepingDraws()) return;
    if (g.inBegin) return SetError(GL_INVALID_OPERATION);
    if (!ValidMode(mode) || (type != GL_UNSIGNED_BYTE && type != GL_UNSIGNED_SHORT && type != GL_UNSIGNED_INT))
        return SetError(GL_INVALID_ENUM);
    if (count < 0) return SetError(GL_INVALID_VALUE);
    if (count == 0 || !ArraysReady() || !indices) return;
    Guarded([&] {
        static std::vector<uint32_t> idx, used;
        idx.resize(size_t(count));
        // The indices as 32 bits, and their lowest and highest, in one pass.
        uint32_t first = UINT32_MAX, last = 0;
        const auto convert = [&](auto one) {
            using Index = decltype(one);
            const uint8_t* src = static_cast<const uint8_t*>(indices);
            for (size_t i = 0; i < size_t(count); ++i, src += sizeof(Index)) {
                Index v;
                std::memcpy(&v, src, sizeof v);
                idx[i] = v;
                first = v < first ? v : first;
                last = v > last ? v : last;
            }
        };
        if (type == GL_UNSIGNED_BYTE) convert(uint8_t());
        else if (type == GL_UNSIGNED_SHORT) convert(uint16_t());
        else convert(uint32_t());
        const size_t range = size_t(last) - first + 1;
        if (range <= 2 * idx.size() + 64) {
            // A dense range: the vertices from the lowest index, renumbered.
            if (first != 0)
                for (uint32_t& i : idx) i -= first;
            DrawFromArrays(mode, nullptr, first, range, idx.data(), idx.size());
            return;
        }
        // A sparse one: only the vertices the indices name, each once.
        used = idx;
        std::sort(used.begin(), used.end());
        used.erase(std::unique(used.begin(), used.end()), used.end());
        for (uint32_t& i : idx) i = uint32_t(std::lower_bound(used.begin(), used.end(), i) - used.begin());
        DrawFromArrays(mode, used.data(), 0, used.size(), idx.data(), idx.size());
    });
}

}  // extern "C"
