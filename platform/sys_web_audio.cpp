// sys_web_audio.cpp -- the browser's sound: Web Audio, through the page.
//
// A stream is decoded whole when it is made (sys_audio.cpp's decoder, while
// the splash is shown); the samples are handed to the page once, as an
// AudioBuffer, and played by an AudioBufferSourceNode (looped as asked) on
// an AudioContext running at the stream's 44100 Hz, so nothing is resampled
// on the way. The position is the sample frames heard so far, from the
// AudioContext's output timestamp, within the stream's length.
//
// The page makes the AudioContext when the viewer answers the question (the
// gesture a browser needs before it plays sound); when it does not run, the
// output cannot open and the caller falls back to the silent output.
#include "platform/sys_device.h"

#include <emscripten.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int kBytesPerFrame = 4;  // 16-bit stereo

struct PageStream {
    uint32_t lengthBytes = 0;
    bool loop = false;
};
PageStream g_streams[kSysAudioSlots];

int Handle(int slot) { return slot + 1; }

}  // namespace

// The page's Web Audio side, by stream handle.
EM_ASYNC_JS(int, web_audio_open, (int frequency), { return await DemoPage.audio.open(frequency); });
EM_JS(void, web_audio_load, (int handle, const int16_t* pcm, int frames), {
    DemoPage.audio.load(handle, HEAP16.subarray(pcm >> 1, (pcm >> 1) + frames * 2), frames);
});
EM_JS(int, web_audio_play, (int handle, int loop, int restart), {
    return DemoPage.audio.play(handle, !!loop, !!restart) ? 1 : 0;
});
EM_JS(double, web_audio_frames, (int handle), { return DemoPage.audio.framesPlayed(handle); });
EM_JS(void, web_audio_pause, (int pause), { DemoPage.audio.pause(!!pause); });
EM_JS(void, web_audio_free, (int handle), { DemoPage.audio.free(handle); });
EM_JS(void, web_audio_close, (), { DemoPage.audio.close(); });

bool Sys_Device_AudioOpen(uint32_t frequency) {
    for (PageStream& s : g_streams) s = PageStream{};
    return web_audio_open(int(frequency)) != 0;
}

void Sys_Device_AudioClose() { web_audio_close(); }

void Sys_Device_AudioPause(bool pause) { web_audio_pause(pause); }

// The page's thread is the program's: nothing to keep away.
void Sys_Device_AudioLock() {}
void Sys_Device_AudioUnlock() {}

bool Sys_Device_StreamMade(int slot, uint32_t) {
    std::vector<int16_t> samples;
    if (!Sys_Audio_DecodeWhole(slot, &samples)) return false;
    const size_t frames = samples.size() / 2;
    if (uint64_t(frames) * kBytesPerFrame > UINT32_MAX) return false;
    g_streams[slot] = PageStream{uint32_t(frames * kBytesPerFrame), false};
    web_audio_load(Handle(slot), samples.data(), int(frames));
    return true;
}

bool Sys_Device_StreamPlay(int slot, bool restart, bool loop) {
    g_streams[slot].loop = loop;
    return web_audio_play(Handle(slot), loop, restart) != 0;
}

uint32_t Sys_Device_StreamPosition(int slot) {
    const PageStream& s = g_streams[slot];
    uint64_t bytes = uint64_t(web_audio_frames(Handle(slot))) * kBytesPerFrame;
    if (s.lengthBytes) bytes = s.loop ? bytes % s.lengthBytes : std::min<uint64_t>(bytes, s.lengthBytes);
    return uint32_t(bytes);
}

void Sys_Device_StreamFreed(int slot) {
    web_audio_free(Handle(slot));
    g_streams[slot] = PageStream{};
}
