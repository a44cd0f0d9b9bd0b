// sys_web_core.cpp -- the tick count, embedded resources and the end of the
// program, in the browser (emscripten).
//
// A page cannot exit. The end of the program stops the music, leaves full
// screen and puts the page's "ended" view in place of the canvas; then the
// program sleeps for good (its stack unwound by Asyncify), so nothing after
// the exit runs, as nothing after exit() would.
#include "platform/platform.h"
#include "platform/sys_web.h"

#include <emscripten.h>

#include <cstring>

// Made by the build from resources/manifest.txt (resources_table.cpp).
extern const ResourceEntry kEmbeddedResources[];
extern const size_t kEmbeddedResourceCount;

namespace {

TickSource g_tickSource = nullptr;
const ResourceEntry* g_resources = nullptr;
size_t g_resourceCount = 0;
bool g_resourcesOverridden = false;
ExitHook g_exitHook = nullptr;

uint32_t RealTicks() {
    static const double start = emscripten_get_now();
    // A 32-bit count that wraps, as the demo's part clock expects.
    return uint32_t(uint64_t(emscripten_get_now() - start));
}

}  // namespace

EM_ASYNC_JS(void, web_end_page, (int status), {
    DemoPage.ended(status);
    // Never resumes: the program has ended.
    await new Promise(() => {});
});

uint32_t Sys_GetTickCount() { return g_tickSource ? g_tickSource() : RealTicks(); }

void Sys_SetTickSource(TickSource source) { g_tickSource = source; }

bool Sys_FindResource(const char* type, const char* name, Resource* out) {
    out->data = nullptr;
    out->size = 0;
    if (!type || !name) return false;
    const ResourceEntry* table = g_resourcesOverridden ? g_resources : kEmbeddedResources;
    const size_t count = g_resourcesOverridden ? g_resourceCount : kEmbeddedResourceCount;
    for (size_t i = 0; i < count; ++i) {
        if (std::strcmp(table[i].type, type) == 0 && std::strcmp(table[i].name, name) == 0) {
            out->data = table[i].data;
            out->size = table[i].size;
            return true;
        }
    }
    return false;
}

void Sys_OverrideResources(const ResourceEntry* entries, size_t count) {
    g_resourcesOverridden = entries != nullptr;
    g_resources = entries;
    g_resourceCount = count;
}

void Sys_SetExitHook(ExitHook hook) { g_exitHook = hook; }

void Sys_Exit(int status) {
    if (g_exitHook) g_exitHook(status);
    Sys_Web_StopAudio();
    web_end_page(status);
    __builtin_unreachable();
}
