// What the capture adds to each frame the demo draws: reading the surface
// back, turning it over, encoding a PNG, reducing a frame for the sheet.
// Run by hand: <build>/bench/bench_capture
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "app/frame_driver.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/frame_png.h"
#include "tools/common/png.h"

namespace {

// A driver one second into the demo, so the surface holds a real frame.
FrameDriver& Driver() {
    static FrameDriver* driver = [] {
        auto* d = new FrameDriver(60);
        d->Start();
        d->RunUntil(60);
        return d;
    }();
    return *driver;
}

void BM_DrawFrame(benchmark::State& state) {
    FrameDriver& d = Driver();
    for (auto _ : state) {
        if (!d.RunFrame()) state.SkipWithError("the demo ended");
    }
}
BENCHMARK(BM_DrawFrame)->Iterations(300)->Unit(benchmark::kMillisecond);

void BM_ReadFrame(benchmark::State& state) {
    FrameDriver& d = Driver();
    std::vector<uint8_t> rgb;
    for (auto _ : state) {
        d.ReadFrame(&rgb);
        benchmark::DoNotOptimize(rgb.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(rgb.size()));
}
BENCHMARK(BM_ReadFrame)->Unit(benchmark::kMillisecond);

void BM_FrameToPng(benchmark::State& state) {
    FrameDriver& d = Driver();
    std::vector<uint8_t> rgb;
    d.ReadFrame(&rgb);
    const std::string path = "/tmp/bench_capture_" + std::to_string(getpid()) + ".png";
    for (auto _ : state) {
        const Picture p = PictureFromBottomUp(d.Width(), d.Height(), rgb.data());
        WritePngRgb(path, p.width, p.height, p.rgb.data());
    }
    unlink(path.c_str());
}
BENCHMARK(BM_FrameToPng)->Unit(benchmark::kMillisecond);

void BM_FrameToFastPng(benchmark::State& state) {
    FrameDriver& d = Driver();
    std::vector<uint8_t> rgb;
    d.ReadFrame(&rgb);
    const std::string path = "/tmp/bench_capture_fast_" + std::to_string(getpid()) + ".png";
    for (auto _ : state) WriteFramePng(path, PictureFromBottomUp(d.Width(), d.Height(), rgb.data()));
    unlink(path.c_str());
}
BENCHMARK(BM_FrameToFastPng)->Unit(benchmark::kMillisecond);

void BM_ReduceForSheet(benchmark::State& state) {
    Picture p;
    p.width = 640 * int(state.range(0));
    p.height = 480 * int(state.range(0));
    p.rgb.assign(size_t(p.width) * p.height * 3, 128);
    for (auto _ : state) benchmark::DoNotOptimize(BoxReduce(p, 2 * int(state.range(0))).rgb.data());
}
BENCHMARK(BM_ReduceForSheet)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
