// The timeline's costs: SyncReached runs every frame, the load once at
// start-up, and the audio thread decodes 2048 sample frames per period.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sys_audio.h"
#include "timeline/music_player.h"
#include "timeline/sync_file.h"

namespace {

uint32_t g_now = 0;
uint32_t FakeTicks() { return g_now; }

// One frame's sync check, on the silent device (a position read and at most
// three array reads); the clock stands before the first sync.
void BM_SyncReached(benchmark::State& state) {
    Sys_SetSilentAudio(true);
    Sys_SetTickSource(FakeTicks);
    Sys_SetMessageBoxHook([](HWND, const char*, const char*, uint32_t) -> int { return IDOK; });
    g_now = 1000;
    MusicPlayer player(0, "ZYN_MUCKE");
    for (auto _ : state) benchmark::DoNotOptimize(player.SyncReached(1));
    Sys_SetMessageBoxHook(nullptr);
    Sys_SetTickSource(nullptr);
    Sys_SetSilentAudio(false);
}
BENCHMARK(BM_SyncReached);

// The two-pass load of the embedded sync file, and of a file of 1000 times.
void BM_LoadSyncTable(benchmark::State& state) {
    std::string text;
    if (state.range(0) == 0) {
        Resource file;
        Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_DAT", &file);
        text.assign(reinterpret_cast<const char*>(file.data), file.size);
    } else {
        text = "1\r\nLang\r\n" + std::to_string(state.range(0)) + "\r\n";
        for (int i = 0; i < state.range(0); ++i) text += std::to_string(i * 0.1) + "\r\n";
    }
    char names[kSyncFieldSize];
    for (auto _ : state) {
        SyncTable table = LoadSyncTable(reinterpret_cast<const uint8_t*>(text.data()), text.size(), names);
        benchmark::DoNotOptimize(table.syncPositions);
        FreeSyncTable(table);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_LoadSyncTable)->Arg(0)->Arg(1000);

// Making a stream of the embedded music: parsing its frames for the length.
void BM_StreamCreate(benchmark::State& state) {
    Sys_SetSilentAudio(true);
    Sys_AudioInit(kAudioDefaultDevice, 44100, 0, 0);
    Resource music;
    Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_MP3", &music);
    for (auto _ : state) {
        const HSTREAM stream = Sys_StreamCreateMemory(music.data, 0, music.size, 0);
        benchmark::DoNotOptimize(stream);
        Sys_StreamFree(stream);
    }
    Sys_AudioFree();
    Sys_SetSilentAudio(false);
}
BENCHMARK(BM_StreamCreate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
