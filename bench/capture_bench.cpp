// What the capture adds to each frame the demo draws: reading the surface
// back (3 or 4 bytes a pixel), turning it over, converting it to YUV for the
// video encoder, encoding a PNG, reducing a frame for the sheet. The whole
// run's cost against the demo's own length ("x real time") and its start-up
// are in demo-capture's own summary at the end of every run.
// Run by hand: <build>/bench/bench_capture
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "app/frame_driver.h"
#include "platform/sys_readback.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/frame_png.h"
#include "tools/capture/yuv420.h"
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

void BM_ReadFrameRgbx(benchmark::State& state) {
    FrameDriver& d = Driver();
    std::vector<uint8_t> rgbx(size_t(d.Width()) * size_t(d.Height()) * 4);
    for (auto _ : state) {
        Sys_ReadSurfaceRgbx(rgbx.data());
        benchmark::DoNotOptimize(rgbx.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(rgbx.size()));
}
BENCHMARK(BM_ReadFrameRgbx)->Unit(benchmark::kMillisecond);

void BM_FrameToYuv420(benchmark::State& state) {
    FrameDriver& d = Driver();
    std::vector<uint8_t> rgbx(size_t(d.Width()) * size_t(d.Height()) * 4);
    Sys_ReadSurfaceRgbx(rgbx.data());
    std::vector<uint8_t> yuv(Yuv420Size(d.Width(), d.Height()));
    for (auto _ : state) {
        RgbxBottomUpToYuv420(rgbx.data(), d.Width(), d.Height(), yuv.data());
        benchmark::DoNotOptimize(yuv.data());
    }
}
BENCHMARK(BM_FrameToYuv420)->Unit(benchmark::kMillisecond);

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

// As a PNG frame of a capture is written: from the 4-byte pixels read back.
void BM_FrameToFastPng(benchmark::State& state) {
    FrameDriver& d = Driver();
    std::vector<uint8_t> rgbx(size_t(d.Width()) * size_t(d.Height()) * 4);
    Sys_ReadSurfaceRgbx(rgbx.data());
    const std::string path = "/tmp/bench_capture_fast_" + std::to_string(getpid()) + ".png";
    for (auto _ : state) WriteFramePngRgbxBottomUp(path, d.Width(), d.Height(), rgbx.data());
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
