// scene_frames_bench.cpp -- frame time of each part's scene on the headless
// context at 640 x 480, next to an empty frame (clear, flush and present).
//
// Start-up runs once through the frame driver (every texture and effect
// object made as in the demo); each benchmark then applies its part's render
// state and draws frames with a part clock advancing 3 units (15 ms) per
// frame, as at about 60 frames per second, 100 frames over and over (the
// same ones for every program timed). glFinish ends every frame so that
// the time includes the rasterisation, which llvmpipe does on threads of its
// own: the times are wall-clock times. The CPU column is the main thread's
// time; the counter cpu_all_ms adds llvmpipe's threads (the process's CPU
// time per frame), which the load of other programs on the machine changes
// far less than the wall time. Build in Release:
//   cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDEMO_TESTS=ON
//   cmake --build build-bench --target bench_scene_frames
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <time.h>

#include <cmath>
#include <cstdio>

#include "app/frame_driver.h"
#include "app/globals.h"
#include "app/render_state.h"
#include "scenes/spike_ball.h"
#include "timeline/dispatcher.h"

namespace {

double ProcessCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Process CPU time per frame in milliseconds, all threads.
void CountProcessCpu(benchmark::State& state, double startSeconds) {
    state.counters["cpu_all_ms"] =
        benchmark::Counter((ProcessCpuSeconds() - startSeconds) * 1e3, benchmark::Counter::kAvgIterations);
}

void EmptyFrame(benchmark::State& state) {
    ApplyPartRenderState(1);
    const double cpu = ProcessCpuSeconds();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFlush();
        Sys_SwapBuffers(app.mainWindow);
        glFinish();
    }
    CountProcessCpu(state, cpu);
}

constexpr int kFramesPerPass = 100;  // 1.5 s of the part

void PartFrame(benchmark::State& state) {
    const int32_t part = int32_t(state.range(0));
    ApplyPartRenderState(part);
    int32_t clock = 0;
    // A few frames untimed: shaders and lists are made on a part's first frames.
    for (int i = 0; i < 5; ++i, clock += 3) {
        RunPartFrame(part, clock, app.mainWindow);
        Sys_SwapBuffers(app.mainWindow);
        glFinish();
    }
    // The same frames however many are timed (a faster program would
    // otherwise go on further into the part, where a frame may cost more or
    // less): the clock starts again after every kFramesPerPass.
    const int32_t from = clock;
    const double cpu = ProcessCpuSeconds();
    while (state.KeepRunningBatch(kFramesPerPass)) {
        for (int i = 0; i < kFramesPerPass; ++i) {
            RunPartFrame(part, from + 3 * i, app.mainWindow);
            Sys_SwapBuffers(app.mainWindow);
            glFinish();
        }
    }
    CountProcessCpu(state, cpu);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The spike ball's geometry alone, per frame of parts 4 and 5, and of part 8.
void SpikeBallGeometry(benchmark::State& state) {
    const int32_t segments = int32_t(state.range(0));
    SpikeBall ball;
    float t = 0.0f;
    for (auto _ : state) {
        BuildSpikeBall(&ball, segments, segments / 2, 30.0f, 25.0f * std::sin(t * 0.01f), 6, 6);
        benchmark::DoNotOptimize(ball.vertices.data());
        t += 3.0f;
    }
}

}  // namespace

BENCHMARK(SpikeBallGeometry)->Arg(90)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PartFrame)->DenseRange(1, 8)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    FrameDriver driver(60);
    if (!driver.Start()) {
        std::fprintf(stderr, "start-up failed\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
