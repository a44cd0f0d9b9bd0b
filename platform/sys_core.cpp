// sys_core.cpp -- the tick count, embedded resources and process exit, the
// same on every system (the browser ends the program its own way:
// Sys_Internal_EndProcess in sys_web_window.cpp).
#include "platform/platform.h"
#include "platform/sys_internal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
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
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    // A 32-bit count that wraps, as the demo's part clock expects.
    return uint32_t(uint64_t(duration_cast<milliseconds>(steady_clock::now() - start).count()));
}

}  // namespace

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

#ifdef DEMO_TEST_HOOKS
void Sys_Internal_TraceEvent(const char* event) {
    const char* path = std::getenv("DEMO_TIMELINE_LOG");
    if (!path || !*path) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%u %s\n", unsigned(Sys_GetTickCount()), event);
        std::fclose(f);
    }
}
#else
void Sys_Internal_TraceEvent(const char*) {}
#endif

void Sys_Exit(int status) {
    char event[32];
    std::snprintf(event, sizeof event, "exit %d", status);
    Sys_Internal_TraceEvent(event);
    if (g_exitHook) g_exitHook(status);
    Sys_Internal_EndProcess(status);
}

#ifndef __EMSCRIPTEN__
void Sys_Internal_EndProcess(int status) { std::exit(status); }
#endif
