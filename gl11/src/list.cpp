// list.cpp -- display lists. State calls are recorded as closures and run
// again when the list is called; geometry (glBegin / glEnd blocks and
// arrays) is kept in vertex buffers of the list's own (primitive.cpp), with
// the attributes the list set itself and the current values for the rest.
// GL_COMPILE_AND_EXECUTE runs each call once, as it is recorded.
#include "context.h"

namespace gl11 {

void CallList(GLuint name) {
    auto it = g.lists.find(name);
    if (it == g.lists.end() || !it->second) return;
    if (g.callDepth >= 64) return;  // GL_MAX_LIST_NESTING
    // Inside GL_COMPILE_AND_EXECUTE the glCallList itself is what is
    // recorded: the calls it runs are not recorded again.
    std::unique_ptr<DisplayList> compiling = std::move(g.compiling);
    ++g.callDepth;
    const DisplayList& list = *it->second;
    for (size_t i = 0; i < list.ops.size(); ++i) {
        const DisplayList::Op& op = list.ops[i];
        if (op.batch >= 0) {
            // A run's batches are ops one after another.
            i += DrawBatch(list, list.batches[size_t(op.batch)]) - 1;
        } else {
            // A state call may change what the pending draws need.
            if (!op.keepsDraws) FlushDraws();
            op.run();
        }
    }
    --g.callDepth;
    g.compiling = std::move(compiling);
}

}  // namespace gl11

using namespace gl11;

extern "C" {

GLuint gl11_glGenLists(GLsizei range) {
    if (!Usable() || InBegin()) return 0;
    if (range < 0) {
        SetError(GL_INVALID_VALUE);
        return 0;
    }
    if (range == 0) return 0;
    GLuint first = 0;
    Guarded([&] {
        // The first run of `range` free names.
        GLuint at = 1;
        for (;;) {
            GLsizei free = 0;
            while (free < range && !g.lists.count(at + GLuint(free))) ++free;
            if (free == range) break;
            at += GLuint(free) + 1;
        }
        for (GLsizei i = 0; i < range; ++i) g.lists[at + GLuint(i)] = std::make_unique<DisplayList>();
        first = at;
    });
    return first;
}

void gl11_glNewList(GLuint list, GLenum mode) {
    if (!Usable() || InBegin()) return;
    if (list == 0) return SetError(GL_INVALID_VALUE);
    if (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE) return SetError(GL_INVALID_ENUM);
    if (g.compiling) return SetError(GL_INVALID_OPERATION);
    Guarded([&] {
        g.compiling = std::make_unique<DisplayList>();
        g.compilingName = list;
        g.compilingMode = mode;
        for (bool& set : g.listSet) set = false;
    });
}

void gl11_glEndList(void) {
    if (!Usable() || InBegin()) return;
    if (!g.compiling) return SetError(GL_INVALID_OPERATION);
    Guarded([&] {
        FinishList(g.compiling.get());
        std::unique_ptr<DisplayList>& slot = g.lists[g.compilingName];
        if (slot) FreeList(slot.get());
        slot = std::move(g.compiling);
    });
    g.compiling.reset();
    g.compilingName = 0;
    g.compilingMode = 0;
}

void gl11_glCallList(GLuint list) {
    if (!UsableKeepingDraws()) return;
    GL11_RECORD_KEEPING(CallList(list));
    CallList(list);
}

void gl11_glDeleteLists(GLuint list, GLsizei range) {
    if (!Usable() || InBegin()) return;
    if (range < 0) return SetError(GL_INVALID_VALUE);
    for (GLsizei i = 0; i < range; ++i) {
        auto it = g.lists.find(list + GLuint(i));
        if (it == g.lists.end()) continue;
        if (it->second) FreeList(it->second.get());
        g.lists.erase(it);
    }
}

GLboolean gl11_glIsList(GLuint list) {
    if (!Usable() || InBegin()) return GL_FALSE;
    return g.lists.count(list) ? GL_TRUE : GL_FALSE;
}

}  // extern "C"
