// What the splash costs at start-up: capture, blend and first paint of a
// 320 x 240 picture (headless, over a test screen), and the blend alone.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/platform.h"
#include "platform/sys_screen.h"
#include "splash/splash_window.h"
#include "tests/splash/test_tga.h"

namespace {

std::vector<uint8_t> g_tga = MakeTga(320, 240, [](int x, int y) { return SplashTestEntry(x, y, 320, 240); });
const ResourceEntry g_entry{"ZYN_JPEGTEX", "SPLASH.TGA", g_tga.data(), uint32_t(g_tga.size())};

void Setup() {
    Sys_SetHeadless(1);
    Sys_OverrideResources(&g_entry, 1);
    std::vector<uint8_t> screen(1024 * 768 * 4, 90);
    Sys_SetTestScreen(1024, 768, 24, screen.data());
}

void BM_SplashConstruction(benchmark::State& state) {
    Setup();
    for (auto _ : state) {
        SplashWindow splash("SPLASH.TGA");
        benchmark::DoNotOptimize(splash.window);
        Sys_ResetWindowing();
        Sys_ResetClients();
    }
}
BENCHMARK(BM_SplashConstruction)->Unit(benchmark::kMillisecond);

void BM_BlendOnly(benchmark::State& state) {
    Setup();
    HGLOBAL dib = GrabScreenDib(RECT{352, 264, 672, 504});
    const uint8_t* picture = g_tga.data() + 18;
    for (auto _ : state) {
        BlendSplashPicture(dib, picture, 320, 240, 0, 0);
        benchmark::ClobberMemory();
    }
    GlobalFree(dib);
}
BENCHMARK(BM_BlendOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
