// Start-up cost of a picture: decoding alone, and decoding plus upload.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "image/texture_loader.h"
#include "platform/platform.h"
#include "platform/sys_jpeg.h"
#include "tests/image/make_jpeg.h"
#include "tests/support/gl_test.h"

namespace {

// A 256 x 256 picture with smooth shapes and some grain, like the demo's.
const std::vector<uint8_t>& Picture() {
    static const std::vector<uint8_t> jpeg = [] {
        std::vector<uint8_t> rgb(256 * 256 * 3);
        uint32_t seed = 1;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                seed = seed * 1103515245u + 12345u;
                const float ring = 0.5f + 0.5f * std::sin(std::hypot(x - 128.0f, y - 128.0f) * 0.15f);
                uint8_t* p = &rgb[(size_t(y) * 256 + x) * 3];
                p[0] = uint8_t(ring * 220 + (seed >> 28));
                p[1] = uint8_t(x);
                p[2] = uint8_t(y / 2 + (seed >> 29));
            }
        return MakeJpeg(256, 256, rgb);
    }();
    return jpeg;
}

void BM_Decode256(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = Picture();
    std::vector<uint8_t> rgb(256 * 256 * 3);
    for (auto _ : state) {
        JpegDecoder decoder;
        Sys_JpegInit(&decoder);
        decoder.jpgBytes = jpeg.data();
        decoder.jpgSizeBytes = uint32_t(jpeg.size());
        Sys_JpegReadParams(&decoder);
        Sys_JpegReadWholeImage(&decoder, rgb.data());
        Sys_JpegFree(&decoder);
        benchmark::DoNotOptimize(rgb.data());
    }
    state.counters["jpeg_bytes"] = double(jpeg.size());
}
BENCHMARK(BM_Decode256)->Unit(benchmark::kMicrosecond);

void BM_LoadTexture256(benchmark::State& state) {
    if (!MakeHeadlessGL()) {
        state.SkipWithError("no headless GL");
        return;
    }
    const std::vector<uint8_t>& jpeg = Picture();
    const ResourceEntry entry = {"ZYN_JPEGTEX", "BENCH.JPG", jpeg.data(), uint32_t(jpeg.size())};
    Sys_OverrideResources(&entry, 1);
    for (auto _ : state) {
        TextureId texture = 0;
        LoadTexture(texture, "BENCH.JPG");
        glFinish();
        state.PauseTiming();
        glDeleteTextures(1, &texture);
        state.ResumeTiming();
    }
    Sys_OverrideResources(nullptr, 0);
}
BENCHMARK(BM_LoadTexture256)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
