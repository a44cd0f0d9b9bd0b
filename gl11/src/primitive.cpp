// primitive.cpp -- GL 1.1 primitives drawn with ES ones: quads, quad strips
// and polygons split into triangles as Mesa splits them (the vertex flat
// shading takes last in each), polygons in GL_LINE and GL_POINT mode (each
// face in its own mode, culled and lit as a polygon, flat as a polygon, in
// the polygons' order), lines wider than the driver draws as quads, points
// in a viewport grown for their squares; the streaming of vertex data into
// the driver's buffers, and display-list geometry kept in buffers of its own.
#include "program.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>

namespace gl11 {
namespace {

GLuint g_vao = 0;

// Vertices and indices drawn from client memory are streamed through two
// rings of buffer space: each draw's data goes after the last one's, so
// the driver never waits for (or copies) data a queued draw still reads.
// A ring is kRingBuffers buffers: when the one written is full, the ring
// goes on at the beginning of the next. By the time it comes back to a
// buffer (two fills later) the draws that read it are done, and the driver
// overwrites it in place. New storage for every fill (orphaning) would cost
// as much as the data: llvmpipe and a browser fill new storage with zeros.
// Vertices are placed at a multiple of their size; those of small draws
// are drawn by index from the buffer's start, so the attribute pointers
// stay as they are from draw to draw (large draws: kPackVertices).
constexpr int kRingBuffers = 3;
struct Ring {
    GLuint buffer = 0;  // the one written: buffers[turn]
    size_t offset = 0;  // in it
    GLuint buffers[kRingBuffers] = {};
    size_t capacities[kRingBuffers] = {};
    int turn = 0;
};
Ring g_rings[2];  // vertices, indices
constexpr size_t kRingBytes[2] = {size_t(2) << 20, size_t(512) << 10};

// The buffers bound to the array and element array targets (the latter is
// the vertex array object's), so that a bind of the bound one is not sent.
GLuint g_bound[2] = {0, 0};

// What the vertex array object holds now, so that unchanged attributes are
// not set again (every change costs the driver a validation).
struct AttributeState {
    GLuint buffer = 0;
    size_t base = SIZE_MAX;
    VertexLayout layout;
    unsigned arrays = 0;        // bit i: attribute i comes from the buffer
    float constant[4][4] = {};  // attributes 1-3 when they do not
} g_attributes;

void Bind(GLenum target, GLuint buffer) {
    GLuint& bound = g_bound[target == ES_ELEMENT_ARRAY_BUFFER ? 1 : 0];
    if (bound == buffer) return;
    es.BindBuffer(target, buffer);
    bound = buffer;
}

// Writes `bytes` into ring `which` at a multiple of `align`; returns where
// in the ring's buffer.
size_t Stream(int which, const void* data, size_t bytes, size_t align) {
    Ring& r = g_rings[which];
    const GLenum target = which ? ES_ELEMENT_ARRAY_BUFFER : ES_ARRAY_BUFFER;
    size_t at = (r.offset + align - 1) / align * align;
    const bool turn = at + bytes > r.capacities[r.turn];
    if (turn) {
        r.turn = (r.turn + 1) % kRingBuffers;
        r.buffer = r.buffers[r.turn];
        at = 0;
    }
    Bind(target, r.buffer);
    size_t& capacity = r.capacities[r.turn];
    if (bytes > capacity) {
        // Storage at the first turn, and larger for a draw that needs more.
        capacity = std::max(bytes, kRingBytes[which]);
        es.BufferData(target, GLsizeiptr(capacity), nullptr, ES_STREAM_DRAW);
    }
    es.BufferSubData(target, GLintptr(at), GLsizeiptr(bytes), data);
    r.offset = at + bytes;
    return at;
}

// A streamed draw of at least kPackVertices vertices, one of whose
// attributes is the same in all of them, sends only the attributes that
// differ, packed one after another; the others are given to the driver
// once, as the attributes' constant values, and positions whose w is 1 go
// as three floats (the driver supplies w = 1). Less to copy, upload and
// fetch: a textured, unlit sheet of one colour takes 20 bytes a vertex
// instead of 52. Such a draw's attributes point at its own first vertex, so
// that its indices count from 0 and go as 16 bits where it has at most
// 65,535 vertices (half the bytes again). Smaller draws keep the whole
// vertex and the pointers at the buffer's start, so that these stay as they
// are from one draw to the next: changing them costs calls that a few
// vertices do not save.
constexpr size_t kPackVertices = 64;

// Streams v[0 .. n) and points the attributes at them; returns the index of
// the first one from where the attributes point.
uint32_t StreamDrawVertices(const Vertex* v, size_t n) {
    if (n < kPackVertices) {
        const uint32_t first = uint32_t(StreamVertices(v, n, sizeof(Vertex)));
        PointAttributes(g_rings[0].buffer, 0, FullLayout());
        return first;
    }
    const Vertex& v0 = v[0];
    bool same[3] = {true, true, true};  // normal, colour, texture coordinate
    bool unitW = v0.pos[3] == 1.0f;
    for (size_t i = 1; i < n; ++i) {
        const Vertex& b = v[i];
        same[0] = same[0] && std::memcmp(v0.normal, b.normal, sizeof v0.normal) == 0;
        same[1] = same[1] && std::memcmp(v0.colour, b.colour, sizeof v0.colour) == 0;
        same[2] = same[2] && std::memcmp(v0.tex, b.tex, sizeof v0.tex) == 0;
        unitW = unitW && b.pos[3] == 1.0f;
    }
    if (!same[0] && !same[1] && !same[2]) {
        const size_t first = StreamVertices(v, n, sizeof(Vertex));
        PointAttributes(g_rings[0].buffer, first * sizeof(Vertex), FullLayout());
        return 0;
    }
    const VertexLayout full = FullLayout();
    VertexLayout packed;
    packed.size[0] = unitW ? 3 : 4;
    unsigned floats = packed.size[0], constants = 0;
    for (int a = 1; a < 4; ++a) {
        if (same[a - 1]) {
            constants |= 1u << a;
            continue;
        }
        packed.offset[a] = uint8_t(floats * 4);
        packed.size[a] = full.size[a];
        floats += full.size[a];
    }
    packed.stride = GLsizei(floats * 4);
    static std::vector<float, UninitialisedAllocator<float>> out;
    out.resize(n * floats);
    // Attribute by attribute, each copy of a size known here (a copy of a
    // variable length is a call to memmove per attribute and vertex).
    const auto copy = [&](int a, size_t from, auto bytes) {
        const uint8_t* in = reinterpret_cast<const uint8_t*>(v) + from;
        float* o = out.data() + packed.offset[a] / 4;
        for (size_t i = 0; i < n; ++i, in += sizeof(Vertex), o += floats) std::memcpy(o, in, decltype(bytes)::value);
    };
    const size_t from[4] = {offsetof(Vertex, pos), offsetof(Vertex, normal), offsetof(Vertex, colour),
                            offsetof(Vertex, tex)};
    for (int a = 0; a < 4; ++a) {
        switch (packed.size[a]) {
            case 2: copy(a, from[a], std::integral_constant<size_t, 8>()); break;
            case 3: copy(a, from[a], std::integral_constant<size_t, 12>()); break;
            case 4: copy(a, from[a], std::integral_constant<size_t, 16>()); break;
            default: break;
        }
    }
    const float values[4][4] = {{v0.normal[0], v0.normal[1], v0.normal[2], 1.0f},
                                {v0.colour[0], v0.colour[1], v0.colour[2], v0.colour[3]},
                                {v0.tex[0], v0.tex[1], 0.0f, 1.0f},
                                {0, 0, 0, 1}};
    const size_t first = StreamVertices(out.data(), n, size_t(packed.stride));
    PointAttributes(g_rings[0].buffer, first * size_t(packed.stride), packed, constants, values);
    return 0;
}

// Draws `mode` from the n streamed vertices numbered from `first` through
// idx[0 .. ni) (counted from the first; null: the vertices in order), the
// indices streamed as 16 bits where the numbers fit (16-bit ones counted
// from 0 go as they are). 0xFFFF is not a number that fits: WebGL 2 always
// takes the largest index of the type as the end of a primitive (primitive
// restart), and would drop the triangles of vertex 65,535.
template <class Index>
void DrawRange(GLenum mode, uint32_t first, size_t n, const Index* idx, size_t ni) {
    if (!idx) {
        es.DrawArrays(mode, GLint(first), GLsizei(n));
        return;
    }
    // The range tells the driver which vertices to shade, without a pass
    // over the indices.
    const GLuint last = GLuint(first + n - 1);
    if (last >= 0xFFFF) {
        const void* sent = idx;
        static std::vector<uint32_t> moved;
        if (sizeof(Index) != 4 || first != 0) {
            moved.resize(ni);
            for (size_t i = 0; i < ni; ++i) moved[i] = idx[i] + first;
            sent = moved.data();
        }
        const size_t at = Stream(1, sent, ni * 4, 4);
        es.DrawRangeElements(mode, first, last, GLsizei(ni), GL_UNSIGNED_INT, reinterpret_cast<const void*>(at));
        return;
    }
    const uint16_t* sent = nullptr;
    static std::vector<uint16_t> shorter;
    if (sizeof(Index) == 2 && first == 0) {
        sent = reinterpret_cast<const uint16_t*>(idx);
    } else {
        shorter.resize(ni);
        for (size_t i = 0; i < ni; ++i) shorter[i] = uint16_t(idx[i] + first);
        sent = shorter.data();
    }
    const size_t at = Stream(1, sent, ni * 2, 2);
    es.DrawRangeElements(mode, first, last, GLsizei(ni), GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(at));
}

// Draws `mode` from v[0 .. n) through idx[0 .. ni) (null: the vertices in
// order), streamed.
template <class Index>
void DrawStreamed(GLenum mode, const Vertex* v, size_t n, const Index* idx, size_t ni) {
    DrawRange(mode, StreamDrawVertices(v, n), n, idx, ni);
}

// Triangles of `v` through `idx` (filled primitives already split): one draw.
template <class Index>
void DrawTriangles(const Vertex* v, size_t n, const Index* idx, size_t ni) {
    DrawStreamed(GL_TRIANGLES, v, n, idx, ni);
}

// How many triangles the filled primitives `mode` make of n vertices.
size_t TriangleCount(GLenum mode, size_t n) {
    switch (mode) {
        case GL_TRIANGLES: return n / 3;
        case GL_TRIANGLE_STRIP:
        case GL_TRIANGLE_FAN:
        case GL_POLYGON: return n >= 3 ? n - 2 : 0;
        case GL_QUADS: return n / 4 * 2;
        case GL_QUAD_STRIP: return n >= 4 ? (n - 2) / 2 * 2 : 0;
        default: return 0;
    }
}

// Triangles of the filled primitives as Mesa splits them: the last vertex
// of every triangle is the one flat shading takes. `edges`, when given,
// gets per triangle the primitive's edges among its own (bit 0: a-b,
// bit 1: b-c, bit 2: c-a). Each index `base` more; added to `out`.
template <class Indices>
void Triangles(GLenum mode, size_t n, const uint32_t* idx, Indices* out, std::vector<uint8_t>* edges = nullptr,
               uint32_t base = 0) {
    using Index = typename Indices::value_type;
    const size_t from = out->size();
    out->resize(from + 3 * TriangleCount(mode, n));
    Index* o = out->data() + from;
    const auto at = [&](size_t i) { return Index(base + (idx ? idx[i] : uint32_t(i))); };
    const auto tri = [&](size_t a, size_t b, size_t c, unsigned e) {
        o[0] = at(a), o[1] = at(b), o[2] = at(c);
        o += 3;
        if (edges) edges->push_back(uint8_t(e));
    };
    switch (mode) {
        case GL_TRIANGLES:
            for (size_t i = 0; i + 2 < n; i += 3) tri(i, i + 1, i + 2, 7);
            break;
        case GL_TRIANGLE_STRIP:
            for (size_t i = 0; i + 2 < n; ++i) (i & 1) ? tri(i + 1, i, i + 2, 7) : tri(i, i + 1, i + 2, 7);
            break;
        case GL_TRIANGLE_FAN:
            for (size_t i = 1; i + 1 < n; ++i) tri(0, i, i + 1, 7);
            break;
        case GL_QUADS:
            for (size_t i = 0; i + 3 < n; i += 4) tri(i, i + 1, i + 3, 1 | 4), tri(i + 1, i + 2, i + 3, 1 | 2);
            break;
        case GL_QUAD_STRIP:
            for (size_t i = 0; i + 3 < n; i += 2) tri(i + 2, i, i + 3, 1 | 4), tri(i, i + 1, i + 3, 1 | 2);
            break;
        case GL_POLYGON:
            for (size_t i = 1; i + 1 < n; ++i) tri(i, i + 1, 0, 1u | (i + 2 == n ? 2u : 0u) | (i == 1 ? 4u : 0u));
            break;
        default: break;
    }
}

// ---- draws merged ----------------------------------------------------------
// Consecutive filled draws that differ only in their modelview (and, lit
// without colour material, in their diffuse colour) wait and are sent as
// one draw: their vertices carried into eye space here, the modelview the
// identity, the diffuse colours (where they differ) carried per vertex in
// the colour, which lighting does not read otherwise. Draws that all share
// one modelview are drawn with it, nothing carried into eye space, whatever
// their size; a draw of more than kMergeVertices vertices merges only so:
// carrying it would cost more than the draw call saves; so does one whose
// texture coordinates are generated (carried, object-linear ones would be
// made from other coordinates). A draw that found
// nothing to merge with is sent as it came. What may change between merged
// draws without sending them is in context.h; the rest is compared here.
constexpr size_t kMergeVertices = 32, kMergeMost = 0xFFFF;

struct Segment {
    size_t firstVertex, vertexCount;
    Mat4 modelview;
    float diffuse[4];
    // A list's batch: drawn alone, it is drawn from the list's buffers
    // (lists are neither changed nor deleted while draws wait), the
    // attributes in `constants` taking `values`.
    const DisplayList* list = nullptr;
    const Batch* batch = nullptr;
    unsigned constants = 0;
    float values[4][4] = {};
};
struct Pending {
    uint64_t key = 0;
    Mat4 projection, texture;
    Material material[2];
    uint32_t lightSerial = 0, shadeSerial = 0;
    GLuint boundTexture = 0;
    bool lit = false, tracked = false;  // lighting on; colour material too
    bool oneModelview = true;           // every segment's modelview the first's
    bool large = false;                 // a segment kept under its modelview (MergeRoom)
    Vertices vertices;                  // object space, every attribute filled in
    std::vector<uint16_t, UninitialisedAllocator<uint16_t>> indices;  // triangles, into vertices
    std::vector<Segment> segments;      // one per draw
} g_pending;
uint64_t g_joins = 0;

bool SameButDiffuse(const Material& a, const Material& b) {
    return std::memcmp(a.ambient, b.ambient, sizeof a.ambient) == 0 &&
           std::memcmp(a.specular, b.specular, sizeof a.specular) == 0 &&
           std::memcmp(a.emission, b.emission, sizeof a.emission) == 0 && a.shininess == b.shininess;
}

bool Unfilled();

// Whether `mode` over n vertices makes a triangle.
bool MakesTriangles(GLenum mode, size_t n) { return TriangleCount(mode, n) > 0; }

}  // namespace

Vertex* MergeRoom(GLenum mode, size_t n, const uint32_t* idx, size_t ni, size_t* shared) {
    size_t reuse = shared ? *shared : 0;
    if (shared) *shared = 0;
    if (!IsFill(mode) || Unfilled() || !MakesTriangles(mode, idx ? ni : n)) return nullptr;
    const uint64_t key = KeyFor(DrawKind());
    if (!Mergeable(key)) return nullptr;
    const bool large = n > kMergeVertices || (idx && ni > 4 * kMergeVertices) || GeneratesCoords(key);
    Pending& p = g_pending;
    const ServerState& s = g.s;
    const bool lit = s.lighting, tracked = s.lighting && s.colourMaterial;
    bool same = g.pendingDraws && p.key == key && p.lightSerial == g.lightSerial && p.shadeSerial == g.shadeSerial &&
                p.boundTexture == s.boundTexture && p.vertices.size() + n <= kMergeMost &&
                std::memcmp(&Top(1), &p.projection, sizeof(Mat4)) == 0 &&
                std::memcmp(&Top(2), &p.texture, sizeof(Mat4)) == 0;
    if (same && lit)
        same = tracked ? std::memcmp(&s.material[0], &p.material[0], sizeof(Material)) == 0
                       : SameButDiffuse(s.material[0], p.material[0]);
    const bool sameModelview = same && std::memcmp(&Top(0), &p.segments[0].modelview, sizeof(Mat4)) == 0;
    // A large draw is never carried into eye space: it joins draws that
    // all have its modelview, and only such draws join it.
    if (same && (large || p.large)) same = sameModelview && p.oneModelview;
    // A draw of more vertices than one draw of 16-bit indices reaches (0
    // to 0xFFFE: DrawRange).
    if (!same && n > kMergeMost) return nullptr;
    if (!same) {
        FlushDraws();
        p.key = key;
        p.projection = Top(1), p.texture = Top(2);
        p.material[0] = s.material[0], p.material[1] = s.material[1];
        p.lightSerial = g.lightSerial, p.shadeSerial = g.shadeSerial;
        p.boundTexture = s.boundTexture;
        p.lit = lit, p.tracked = tracked;
        p.oneModelview = true, p.large = false;
        p.vertices.clear(), p.indices.clear(), p.segments.clear();
        g.pendingDraws = true;
        reuse = 0;
    } else {
        p.oneModelview = p.oneModelview && sameModelview;
        // Waiting vertices taken from the draw before are carried into eye
        // space (and given a diffuse colour) as that draw's: taken only by a
        // draw of the same modelview and colour (which that draw shares with
        // any it took vertices from in turn).
        const Segment& last = p.segments.back();
        if (reuse > p.vertices.size() || std::memcmp(&Top(0), &last.modelview, sizeof(Mat4)) != 0 ||
            (lit && !tracked && std::memcmp(s.material[0].diffuse, last.diffuse, sizeof last.diffuse) != 0))
            reuse = 0;
    }
    p.large = p.large || large;
    Segment seg;  // its own vertices only: segments never overlap
    seg.firstVertex = p.vertices.size();
    seg.vertexCount = n - reuse;
    seg.modelview = Top(0);
    CopyN(seg.diffuse, s.material[0].diffuse, 4);
    p.vertices.resize(seg.firstVertex + seg.vertexCount);
    Triangles(mode, idx ? ni : n, idx, &p.indices, nullptr, uint32_t(seg.firstVertex - reuse));
    p.segments.push_back(seg);
    ++g_joins;
    if (shared) *shared = reuse;
    return p.vertices.data() + seg.firstVertex;
}

const Vertex* WaitingTail(size_t n) {
    const Vertices& v = g_pending.vertices;
    return g.pendingDraws && n <= v.size() ? v.data() + (v.size() - n) : nullptr;
}

uint64_t MergeJoins() { return g_joins; }

namespace {

void LinePairs(GLenum mode, size_t n, const uint32_t* idx, std::vector<uint32_t>* out) {
    const auto at = [&](size_t i) { return idx ? idx[i] : uint32_t(i); };
    if (mode == GL_LINES) {
        for (size_t i = 0; i + 1 < n; i += 2) out->push_back(at(i)), out->push_back(at(i + 1));
        return;
    }
    for (size_t i = 0; i + 1 < n; ++i) out->push_back(at(i)), out->push_back(at(i + 1));
    if (mode == GL_LINE_LOOP && n > 1) out->push_back(at(n - 1)), out->push_back(at(0));
}

// Vertices with the colour and normal of a provoking vertex each (flat
// shading of what a polygon or a line becomes).
void Provoked(const Vertex* v, const std::vector<uint32_t>& which, const std::vector<uint32_t>& provoking,
              size_t per, std::vector<Vertex>* out) {
    out->resize(which.size());
    for (size_t i = 0; i < which.size(); ++i) {
        Vertex& o = (*out)[i];
        o = v[which[i]];
        const Vertex& p = v[provoking[i / per]];
        CopyN(o.colour, p.colour, 4);
        CopyN(o.normal, p.normal, 3);
    }
}

void WithoutCulling(bool on) {
    if (g.s.cullFace) on ? es.Enable(GL_CULL_FACE) : es.Disable(GL_CULL_FACE);
}

// Lines wider than a pixel: each segment two triangles. `provoking` (one
// per pair, may be empty: the second vertex) gives the colour under flat
// shading; `face` which side's lighting they take.
void DrawWide(const Vertex* v, const std::vector<uint32_t>& pairs, const std::vector<uint32_t>& provoking, int face) {
    struct Wide {
        Vertex v;
        float other[4];
    };
    static std::vector<Wide> wide;
    static std::vector<uint32_t> tris;
    wide.clear();
    tris.clear();
    const bool flat = g.s.shadeModel == GL_FLAT;
    for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
        Vertex a = v[pairs[i]], b = v[pairs[i + 1]];
        if (flat) {
            const Vertex& p = v[provoking.empty() ? pairs[i + 1] : provoking[i / 2]];
            CopyN(a.colour, p.colour, 4), CopyN(b.colour, p.colour, 4);
            CopyN(a.normal, p.normal, 3), CopyN(b.normal, p.normal, 3);
        }
        const float aw = a.pos[3] != 0 ? a.pos[3] : 1.0f, bw = b.pos[3] != 0 ? b.pos[3] : 1.0f;
        const uint32_t base = uint32_t(wide.size());
        for (float side : {-1.0f, 1.0f}) wide.push_back({a, {b.pos[0] / bw, b.pos[1] / bw, b.pos[2] / bw, side}});
        for (float side : {-1.0f, 1.0f}) wide.push_back({b, {a.pos[0] / aw, a.pos[1] / aw, a.pos[2] / aw, side}});
        for (uint32_t k : {0u, 2u, 3u, 1u, 0u, 3u}) tris.push_back(base + k);
    }
    DrawKind kind;
    kind.wide = true;
    kind.face = face ? face : 1;  // a line is lit as a front face
    if (tris.empty() || !UseProgramFor(kind)) return;
    const uint32_t first = uint32_t(StreamVertices(wide.data(), wide.size(), sizeof(Wide)));
    PointAttributes(g_rings[0].buffer, 0, FullLayout(true));
    WithoutCulling(false);  // lines are never culled
    DrawRange(GL_TRIANGLES, first, wide.size(), tris.data(), tris.size());
    WithoutCulling(true);
}

// Draws `mode` (points or lines) from v through `idx`, lit as `face`.
void DrawIndexed(GLenum mode, const Vertex* v, size_t n, const uint32_t* idx, size_t ni, int face) {
    DrawKind kind;
    kind.points = mode == GL_POINTS;
    kind.face = face;
    if (ni == 0 || !UseProgramFor(kind)) return;
    GLint grown[4];
    if (kind.points) PointViewport(grown), es.Viewport(grown[0], grown[1], grown[2], grown[3]);
    DrawStreamed(mode, v, n, idx, ni);
    if (kind.points) es.Viewport(g.s.viewport[0], g.s.viewport[1], g.s.viewport[2], g.s.viewport[3]);
}

// A vertex's clip coordinates.
void ClipOf(const Mat4& mvp, const Vertex& v, float out[4]) {
    const float* p = v.pos;
    const float* m = mvp.m;
    for (int i = 0; i < 4; ++i) out[i] = m[i] * p[0] + m[4 + i] * p[1] + m[8 + i] * p[2] + m[12 + i] * p[3];
}

// Whether triangle c lies inside the clip volume.
bool Inside(const Mat4& mvp, const Vertex* v, const uint32_t c[3]) {
    for (int k = 0; k < 3; ++k) {
        float p[4];
        ClipOf(mvp, v[c[k]], p);
        if (std::fabs(p[0]) > p[3] || std::fabs(p[1]) > p[3] || std::fabs(p[2]) > p[3]) return false;
    }
    return true;
}

// Triangle c clipped to the clip volume, as GL clips a polygon: where an
// edge leaves the volume the new vertex begins an edge along its boundary
// (not a boundary edge of the polygon), where one enters it the new vertex
// begins the rest of that edge (a boundary edge when that edge was). The
// vertices that begin boundary edges are added to `pool` and their indices
// to `points`. The values at a new vertex are interpolated in clip space.
void ClipToPoints(const Mat4& mvp, const uint32_t c[3], unsigned edgeBits, std::vector<Vertex>* pool,
                  std::vector<uint32_t>* points) {
    struct Corner {
        Vertex v;
        float clip[4];
        bool boundary;  // the edge from here to the next corner is one of the polygon's
    };
    std::vector<Corner> polygon, next;
    const bool boundary[3] = {(edgeBits & 1) != 0, (edgeBits & 2) != 0, (edgeBits & 4) != 0};  // a-b, b-c, c-a
    for (int k = 0; k < 3; ++k) {
        Corner corner;
        corner.v = (*pool)[c[k]];
        ClipOf(mvp, corner.v, corner.clip);
        corner.boundary = boundary[k];
        polygon.push_back(corner);
    }
    const auto lerp = [](const float* a, const float* b, float t, float* out, int n) {
        for (int i = 0; i < n; ++i) out[i] = a[i] + (b[i] - a[i]) * t;
    };
    for (int plane = 0; plane < 6 && !polygon.empty(); ++plane) {
        const int axis = plane / 2;
        const float sign = plane % 2 ? -1.0f : 1.0f;
        const auto distance = [&](const Corner& p) { return p.clip[3] + sign * p.clip[axis]; };
        next.clear();
        for (size_t i = 0; i < polygon.size(); ++i) {
            const Corner& p = polygon[i];
            const Corner& q = polygon[(i + 1) % polygon.size()];
            const float dp = distance(p), dq = distance(q);
            if (dp >= 0) next.push_back(p);
            if ((dp >= 0) == (dq >= 0)) continue;
            const float t = dp / (dp - dq);
            Corner cut;
            lerp(p.v.pos, q.v.pos, t, cut.v.pos, 4);
            lerp(p.v.normal, q.v.normal, t, cut.v.normal, 3);
            lerp(p.v.colour, q.v.colour, t, cut.v.colour, 4);
            lerp(p.v.tex, q.v.tex, t, cut.v.tex, 2);
            lerp(p.clip, q.clip, t, cut.clip, 4);
            cut.boundary = dp >= 0 ? false : p.boundary;
            next.push_back(cut);
        }
        polygon.swap(next);
    }
    for (const Corner& corner : polygon) {
        if (!corner.boundary) continue;
        points->push_back(uint32_t(pool->size()));
        pool->push_back(corner.v);
    }
}

// Polygons with a face in GL_LINE or GL_POINT mode: each triangle's facing
// found here (as the rasteriser would), culled as GL culls polygons, then
// drawn in its face's mode; the filled ones go to the driver as triangles.
// Triangles are drawn in their order (where they overlap, the later one is
// on top): a run of triangles drawn alike is one draw.
void DrawUnfilled(GLenum mode, const Vertex* v, size_t n, const uint32_t* idx, size_t ni) {
    static std::vector<uint32_t> tris, run, provoking;
    static std::vector<uint8_t> edges;
    static std::vector<Vertex> provoked;
    // v and the vertices clipping adds, once it adds any (ClipToPoints).
    static std::vector<Vertex> pool;
    bool pooled = false;
    const auto vertices = [&] { return pooled ? pool.data() : v; };
    const auto count = [&] { return pooled ? pool.size() : n; };
    tris.clear(), edges.clear(), run.clear(), provoking.clear();
    Triangles(mode, idx ? ni : n, idx, &tris, &edges);
    const Mat4 mvp = Multiply(Top(1), Top(0));
    const auto clip = [&](uint32_t i, float out[3]) {  // x, y, w
        const float* p = v[i].pos;
        const float* m = mvp.m;
        out[0] = m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12] * p[3];
        out[1] = m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13] * p[3];
        out[2] = m[3] * p[0] + m[7] * p[1] + m[11] * p[2] + m[15] * p[3];
    };
    const ServerState& s = g.s;
    const bool flat = s.shadeModel == GL_FLAT;
    // Lines and points take their side's lighting only where the sides are
    // lit apart; otherwise the sides' runs are one.
    const bool twoSided = s.lighting && s.twoSide;
    GLenum runMode = GL_FILL;
    int runFace = 0;
    const auto flush = [&] {
        if (run.empty()) return;
        const Vertex* const at = vertices();
        const size_t total = count();
        if (runMode == GL_FILL) {
            if (UseProgramFor(DrawKind())) DrawTriangles(at, total, run.data(), run.size());
        } else if (runMode == GL_LINE && EmulatedWideLines()) {
            DrawWide(at, run, provoking, runFace);
        } else {
            const GLenum prim = runMode == GL_LINE ? GL_LINES : GL_POINTS;
            if (flat) {
                Provoked(at, run, provoking, prim == GL_LINES ? 2 : 1, &provoked);
                DrawIndexed(prim, provoked.data(), provoked.size(), nullptr, provoked.size(), runFace);
            } else {
                DrawIndexed(prim, at, total, run.data(), run.size(), runFace);
            }
        }
        run.clear(), provoking.clear();
    };
    for (size_t t = 0; t < edges.size(); ++t) {
        const uint32_t* c = &tris[3 * t];
        float a[3], b[3], d[3];
        clip(c[0], a), clip(c[1], b), clip(c[2], d);
        // The sign of the area in window coordinates, from homogeneous ones.
        const double det = double(a[0]) * (double(b[1]) * d[2] - double(b[2]) * d[1]) -
                           double(a[1]) * (double(b[0]) * d[2] - double(b[2]) * d[0]) +
                           double(a[2]) * (double(b[0]) * d[1] - double(b[1]) * d[0]);
        const bool front = (det > 0) == (s.frontFace == GL_CCW);
        if (s.cullFace && (s.cullFaceMode == GL_FRONT_AND_BACK || (s.cullFaceMode == GL_FRONT) == front)) continue;
        const int side = front ? 0 : 1;
        const GLenum faceMode = s.polygonMode[side];
        const int face = faceMode == GL_FILL ? 0 : side + 1;
        if (faceMode != runMode || (twoSided && face != runFace)) {
            flush();
            runMode = faceMode, runFace = face;
        }
        if (faceMode == GL_FILL) {
            run.insert(run.end(), c, c + 3);
            continue;
        }
        // Boundary edges in the order Mesa draws them: (c, a), (a, b), (b, c);
        // as points, each edge's first vertex in the order a, b, c.
        const unsigned e = edges[t];
        const bool line = faceMode == GL_LINE;
        if (!line && !Inside(mvp, v, c)) {
            // As points, the polygon clipping cuts has points at the vertices
            // the cut adds too (a line cut at the clip volume is the same
            // line: outlines need no such care).
            if (!pooled) pool.assign(v, v + n), pooled = true;
            ClipToPoints(mvp, c, e, &pool, &run);
            provoking.resize(run.size(), c[2]);
            continue;
        }
        const uint32_t from[3] = {c[2], c[0], c[1]}, to[3] = {c[0], c[1], c[2]};
        const unsigned bit[3] = {4, 1, 2};
        for (int j = 0; j < 3; ++j) {
            const int k = line ? j : (j + 1) % 3;
            if (!(e & bit[k])) continue;
            run.push_back(from[k]);
            if (line) run.push_back(to[k]);
            provoking.push_back(c[2]);
        }
    }
    flush();
}

bool Unfilled() { return g.s.polygonMode[0] != GL_FILL || g.s.polygonMode[1] != GL_FILL; }

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

// The current value of an attribute, into a vertex.
void FillCurrent(Vertex* v, int attr) {
    switch (attr) {
        case kNormal: CopyN(v->normal, g.s.normal, 3); break;
        case kColour: CopyN(v->colour, g.s.colour, 4); break;
        default: CopyN(v->tex, g.s.tex, 2); break;
    }
}

}  // namespace

bool IsFill(GLenum mode) { return mode >= GL_TRIANGLES && mode <= GL_POLYGON; }
bool IsLine(GLenum mode) { return mode >= GL_LINES && mode <= GL_LINE_STRIP; }

namespace {

// A list's batch drawn from the list's own buffers; the attributes in
// `constants` (bits 1-3) take `values` for every vertex.
// Draws batch b from the list's buffers, or (whole) the run it begins.
void DrawFromList(const DisplayList& list, const Batch& b, unsigned constants, const float values[4][4],
                  bool whole = false) {
    const size_t first = b.firstVertex - b.base;
    const size_t n = whole ? b.runVertices : b.vertices.size();
    const size_t count = whole ? b.runIndices : b.indexCount;
    DrawKind kind;
    kind.points = b.drawMode == GL_POINTS;
    if (!UseProgramFor(kind)) return;
    Bind(ES_ARRAY_BUFFER, list.vbo);
    PointAttributes(list.vbo, b.base * sizeof(Vertex), FullLayout(), constants, values);
    Bind(ES_ELEMENT_ARRAY_BUFFER, list.ibo);
    GLint grown[4];
    if (kind.points) PointViewport(grown), es.Viewport(grown[0], grown[1], grown[2], grown[3]);
    es.DrawRangeElements(b.drawMode, GLuint(first), GLuint(first + n - 1), GLsizei(count), GL_UNSIGNED_INT,
                         reinterpret_cast<const void*>(b.firstIndex * 4));
    if (kind.points) es.Viewport(g.s.viewport[0], g.s.viewport[1], g.s.viewport[2], g.s.viewport[3]);
}

}  // namespace

void SendPendingDraws() {
    g.pendingDraws = false;
    Pending& p = g_pending;
    if (p.segments.empty()) return;
    // The state the draws were made in, for the draw; the current one back after.
    ServerState& s = g.s;
    const Mat4 current[3] = {Top(0), Top(1), Top(2)};
    const Material material[2] = {s.material[0], s.material[1]};
    Top(1) = p.projection, Top(2) = p.texture;
    s.material[0] = p.material[0], s.material[1] = p.material[1];
    uint64_t key = p.key;
    const Segment& first = p.segments[0];
    CopyN(s.material[0].diffuse, first.diffuse, 4);
    if (p.segments.size() == 1) {
        Top(0) = first.modelview;
    } else {
        bool oneDiffuse = true;
        for (const Segment& seg : p.segments) oneDiffuse &= std::memcmp(seg.diffuse, first.diffuse, sizeof seg.diffuse) == 0;
        const bool carry = p.lit && !p.tracked && !oneDiffuse;
        if (carry) key = DiffuseFromColour(key);
        // Under one modelview the draw is made with it: only differing
        // diffuse colours are carried.
        Top(0) = p.oneModelview ? first.modelview : Identity();
        // Under one modelview and one diffuse colour the vertices go as they are.
        if (!p.oneModelview || carry) {
            for (const Segment& seg : p.segments) {
                const float* m = seg.modelview.m;
                float nm[9];
                const bool move = !p.oneModelview, turn = move && p.lit;
                if (turn) NormalMatrix(seg.modelview, nm);
                for (size_t i = seg.firstVertex; i < seg.firstVertex + seg.vertexCount; ++i) {
                    Vertex& v = p.vertices[i];
                    if (move) {
                        const float x = v.pos[0], y = v.pos[1], z = v.pos[2], w = v.pos[3];
                        for (int r = 0; r < 4; ++r) v.pos[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r] * w;
                    }
                    if (turn) {
                        // As the shader does it: the normal, a row vector, times the matrix.
                        const float a = v.normal[0], b = v.normal[1], c = v.normal[2];
                        for (int j = 0; j < 3; ++j) v.normal[j] = a * nm[3 * j] + b * nm[3 * j + 1] + c * nm[3 * j + 2];
                    }
                    if (carry) CopyN(v.colour, seg.diffuse, 4);
                }
            }
        }
    }
    MatrixChanged();
    ++g.materialSerial;
    if (p.segments.size() == 1 && first.list)
        DrawFromList(*first.list, *first.batch, first.constants, first.values);
    else if (UseProgramForKey(key))
        DrawTriangles(p.vertices.data(), p.vertices.size(), p.indices.data(), p.indices.size());
    Top(0) = current[0], Top(1) = current[1], Top(2) = current[2];
    s.material[0] = material[0], s.material[1] = material[1];
    MatrixChanged();
    ++g.materialSerial;
    p.vertices.clear(), p.indices.clear(), p.segments.clear();
}

GLuint StreamBuffer() { return g_rings[0].buffer; }

size_t StreamVertices(const void* data, size_t count, size_t stride) {
    return Stream(0, data, count * stride, stride) / stride;
}

VertexLayout FullLayout(bool wide) {
    VertexLayout l;
    l.stride = GLsizei(sizeof(Vertex) + (wide ? 4 * sizeof(float) : 0));
    const size_t offsets[5] = {offsetof(Vertex, pos), offsetof(Vertex, normal), offsetof(Vertex, colour),
                               offsetof(Vertex, tex), sizeof(Vertex)};
    const uint8_t sizes[5] = {4, 3, 4, 2, uint8_t(wide ? 4 : 0)};
    for (int i = 0; i < 5; ++i) l.offset[i] = uint8_t(offsets[i]), l.size[i] = sizes[i];
    return l;
}

void PointAttributes(GLuint buffer, size_t base, const VertexLayout& layout, unsigned constants,
                     const float values[4][4]) {
    AttributeState& a = g_attributes;
    unsigned held = 0;
    for (int i = 0; i < 5; ++i) held |= layout.size[i] ? 1u << i : 0u;
    // Attributes 1-3 the layout does not hold take their given values.
    constants |= ~held & 0x0Eu;
    const bool sameLayout = a.layout.stride == layout.stride &&
                            std::memcmp(a.layout.size, layout.size, sizeof layout.size) == 0 &&
                            std::memcmp(a.layout.offset, layout.offset, sizeof layout.offset) == 0;
    if (a.buffer != buffer || a.base != base || !sameLayout) {
        for (GLuint i = 0; i < 5; ++i) {
            if (!layout.size[i]) continue;
            es.VertexAttribPointer(i, layout.size[i], GL_FLOAT, GL_FALSE, layout.stride,
                                   reinterpret_cast<const void*>(base + layout.offset[i]));
        }
        a.buffer = buffer, a.base = base, a.layout = layout;
    }
    const unsigned arrays = held & ~constants;
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

void DrawNow(GLenum mode, const Vertex* v, size_t n, const uint32_t* idx, size_t ni) {
    if (n == 0) return;
    if (Vertex* room = MergeRoom(mode, n, idx, ni)) {
        std::copy(v, v + n, room);
        return;
    }
    DrawAlone(mode, v, n, idx, ni);
}

void DrawAlone(GLenum mode, const Vertex* v, size_t n, const uint32_t* idx, size_t ni) {
    FlushDraws();
    if (IsFill(mode) && Unfilled()) return DrawUnfilled(mode, v, n, idx, ni);
    if (IsLine(mode) && EmulatedWideLines()) {
        // Wider than the driver draws lines.
        static std::vector<uint32_t> pairs;
        pairs.clear();
        LinePairs(mode, idx ? ni : n, idx, &pairs);
        return DrawWide(v, pairs, {}, 1);
    }
    if (mode == GL_QUADS || mode == GL_QUAD_STRIP || mode == GL_POLYGON) {
        static std::vector<uint32_t> converted;
        converted.clear();
        Triangles(mode, idx ? ni : n, idx, &converted);
        if (converted.empty() || !UseProgramFor(DrawKind())) return;
        return DrawTriangles(v, n, converted.data(), converted.size());
    }
    DrawIndexed(mode, v, n, idx, idx ? ni : n, 0);
}

bool InitDrawing() {
    es.GenVertexArrays(1, &g_vao);
    es.BindVertexArray(g_vao);
    g_bound[0] = g_bound[1] = 0;
    for (Ring& r : g_rings) {
        r = Ring();
        es.GenBuffers(kRingBuffers, r.buffers);
        r.buffer = r.buffers[0];
    }
    g_attributes = AttributeState();
    g_pending = Pending();
    if (!InitPrograms()) return false;
    if (!InitBlend()) return false;
    es.UseProgram(0);
    ProgramChanged();
    return true;
}

void Submit(GLenum mode, const Vertex* vertices, size_t count, const uint32_t* indices, size_t indexCount,
            const size_t firstSet[3]) {
    if (!g.compiling) return DrawNow(mode, vertices, count, indices, indexCount);
    // Recorded as one run of vertices.
    std::vector<Vertex> flat;
    if (indices) {
        flat.reserve(indexCount);
        for (size_t i = 0; i < indexCount; ++i) flat.push_back(vertices[indices[i]]);
    } else {
        flat.assign(vertices, vertices + count);
    }
    EndBatch(std::move(flat), mode, firstSet);
}

// Whether batch b's attributes are each set by all of its vertices or by
// none, and which: bits 1, 2, 4 for normal, colour, texture coordinate set;
// -1 where some are set and some not.
int SetAlike(const Batch& b) {
    int bits = 0;
    for (int a = 0; a < 3; ++a) {
        if (b.firstSet[a] == 0 && !b.vertices.empty()) bits |= 1 << a;
        else if (b.firstSet[a] < b.vertices.size()) return -1;
    }
    return bits;
}

void FinishList(DisplayList* list) {
    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;
    Batch* head = nullptr;  // of the run being made
    int headSet = -1;
    for (const DisplayList::Op& op : list->ops) {
        if (op.batch < 0) {
            head = nullptr;  // a call between two batches ends a run
            continue;
        }
        Batch& b = list->batches[size_t(op.batch)];
        const bool triangles = b.mode == GL_QUADS || b.mode == GL_QUAD_STRIP || b.mode == GL_POLYGON ||
                               b.mode == GL_TRIANGLES;
        const int set = SetAlike(b);
        if (!head || !triangles || set < 0 || set != headSet) head = nullptr;
        b.firstVertex = vertices.size();
        b.base = head ? head->base : b.firstVertex;
        const uint32_t from = uint32_t(b.firstVertex - b.base);
        vertices.insert(vertices.end(), b.vertices.begin(), b.vertices.end());
        b.firstIndex = indices.size();
        const size_t before = indices.size();
        if (b.mode == GL_QUADS || b.mode == GL_QUAD_STRIP || b.mode == GL_POLYGON) {
            Triangles(b.mode, b.vertices.size(), nullptr, &indices, nullptr, from);
            b.drawMode = GL_TRIANGLES;
        } else {
            for (size_t i = 0; i < b.vertices.size(); ++i) indices.push_back(from + uint32_t(i));
            b.drawMode = b.mode;
        }
        b.indexCount = indices.size() - before;
        b.runBatches = 1, b.runVertices = b.vertices.size(), b.runIndices = b.indexCount;
        if (head) {
            ++head->runBatches, head->runVertices += b.runVertices, head->runIndices += b.indexCount;
        } else if (triangles && set >= 0) {
            head = &b, headSet = set;
        }
    }
    if (vertices.empty()) return;
    es.GenBuffers(1, &list->vbo);
    Bind(ES_ARRAY_BUFFER, list->vbo);
    es.BufferData(ES_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(Vertex)), vertices.data(), ES_STATIC_DRAW);
    es.GenBuffers(1, &list->ibo);
    Bind(ES_ELEMENT_ARRAY_BUFFER, list->ibo);
    es.BufferData(ES_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * 4), indices.data(), ES_STATIC_DRAW);
}

void FreeList(DisplayList* list) {
    // A buffer made later may take the name again.
    if (list->vbo && g_attributes.buffer == list->vbo) g_attributes.buffer = 0, g_attributes.base = SIZE_MAX;
    for (GLuint& bound : g_bound)
        if (bound && (bound == list->vbo || bound == list->ibo)) bound = 0;
    if (list->vbo) es.DeleteBuffers(1, &list->vbo);
    if (list->ibo) es.DeleteBuffers(1, &list->ibo);
    list->vbo = list->ibo = 0;
}

size_t DrawBatch(const DisplayList& list, const Batch& b) {
    const size_t n = b.vertices.size();
    if (n == 0) return 1;
    bool mixed = false;
    for (size_t first : b.firstSet) mixed |= first != 0 && first != n;
    const bool unfilled = IsFill(b.mode) && Unfilled();
    const bool wide = IsLine(b.mode) && EmulatedWideLines();
    if (mixed || unfilled || wide || !list.vbo) {
        // The general road: the vertices with the current values filled in.
        static std::vector<Vertex> v;
        v = b.vertices;
        for (int a = 0; a < 3; ++a)
            for (size_t i = 0; i < b.firstSet[a]; ++i) FillCurrent(&v[i], a);
        DrawNow(b.mode, v.data(), n, nullptr, 0);
        return 1;
    }
    // Attributes the list never set take the current value for every vertex.
    unsigned constants = 0;
    const float values[4][4] = {{g.s.normal[0], g.s.normal[1], g.s.normal[2], 1.0f},
                                {g.s.colour[0], g.s.colour[1], g.s.colour[2], g.s.colour[3]},
                                {g.s.tex[0], g.s.tex[1], 0.0f, 1.0f},
                                {0, 0, 0, 1}};
    if (b.firstSet[kNormal] == n) constants |= 2;
    if (b.firstSet[kColour] == n) constants |= 4;
    if (b.firstSet[kTex] == n) constants |= 8;
    if (b.runBatches > 1) {
        // The run, one draw: its batches are all set alike (as this one).
        FlushDraws();
        DrawFromList(list, b, constants, values, true);
        return b.runBatches;
    }
    if (n <= kMergeVertices) {
        if (Vertex* v = MergeRoom(b.mode, n, nullptr, 0)) {
            std::copy(b.vertices.begin(), b.vertices.end(), v);
            for (int a = 0; a < 3; ++a)
                for (size_t i = 0; i < b.firstSet[a]; ++i) FillCurrent(&v[i], a);
            Segment& seg = g_pending.segments.back();
            seg.list = &list, seg.batch = &b, seg.constants = constants;
            std::memcpy(seg.values, values, sizeof seg.values);
            return 1;
        }
    }
    FlushDraws();
    DrawFromList(list, b, constants, values);
    return 1;
}

}  // namespace gl11
