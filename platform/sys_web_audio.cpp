// sys_web_audio.cpp -- MP3 streams played from memory, in the browser.
//
// libmpg123 (the same decoder as on the desktop, built for WebAssembly)
// decodes the whole stream when it is made, while the splash is shown; the
// samples are handed to Web Audio once, as an AudioBuffer, and played by an
// AudioBufferSourceNode (looped as asked) on an AudioContext running at the
// stream's 44100 Hz, so nothing is resampled on the way.
//
// Position: the decoded bytes heard so far, from the AudioContext's output
// timestamp (the frame the device is playing), modulo the stream's length
// when it loops. The page opens the AudioContext when the viewer answers
// the question (the gesture a browser needs before it plays sound); when it
// does not run, the output cannot open, and the caller falls back to the
// silent device, whose position follows Sys_GetTickCount() from the moment
// play was asked for, as on the desktop.
#include "platform/sys_audio.h"
#include "platform/sys_web.h"

#include <emscripten.h>
#include <mpg123.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kMaxStreams = 8;
constexpr int kBytesPerFrame = 4;  // 16-bit stereo

enum class Output { Closed, Device, Silent };

struct Stream {
    bool used = false;
    uint32_t lengthBytes = 0;  // the decoded length
    bool started = false;
    bool loop = false;
    uint32_t playTick = 0;     // silent streams: the tick play was asked at
};

struct AudioState {
    Output output = Output::Closed;
    uint32_t frequency = 44100;
    bool stopped = false;
    uint32_t stopTick = 0;
    Stream streams[kMaxStreams];
    bool failedStreamPlaying = false;
    uint32_t failedStreamTick = 0;
};

AudioState g_audio;
bool g_silentAudio = false;
bool g_mpg123Ready = false;

// Reads the MP3 bytes in place.
struct Memory {
    const uint8_t* data;
    size_t size;
    size_t at;
};

ssize_t ReadMemory(void* handle, void* buffer, size_t bytes) {
    Memory& m = *static_cast<Memory*>(handle);
    const size_t n = std::min(bytes, m.size - m.at);
    std::memcpy(buffer, m.data + m.at, n);
    m.at += n;
    return ssize_t(n);
}

off_t SeekMemory(void* handle, off_t offset, int whence) {
    Memory& m = *static_cast<Memory*>(handle);
    off_t base = 0;
    if (whence == SEEK_CUR) base = off_t(m.at);
    else if (whence == SEEK_END) base = off_t(m.size);
    else if (whence != SEEK_SET) return -1;
    const off_t target = base + offset;
    if (target < 0 || target > off_t(m.size)) return -1;
    m.at = size_t(target);
    return target;
}

// Decodes the whole stream to 16-bit stereo at the output's frequency, or,
// without pcm (the silent device), only scans it for its length in sample
// frames. False when the bytes are not an MP3 stream.
bool DecodeAll(const uint8_t* data, size_t size, std::vector<int16_t>* pcm, size_t* frames) {
    if (!g_mpg123Ready) {
        mpg123_init();
        g_mpg123Ready = true;
    }
    Memory memory{data, size, 0};
    mpg123_handle* decoder = mpg123_new(nullptr, nullptr);
    bool ok = decoder != nullptr;
    ok = ok && mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0) == MPG123_OK;
    ok = ok && mpg123_format_none(decoder) == MPG123_OK;
    ok = ok && mpg123_format(decoder, long(g_audio.frequency), MPG123_STEREO, MPG123_ENC_SIGNED_16) == MPG123_OK;
    ok = ok && mpg123_replace_reader_handle(decoder, ReadMemory, SeekMemory, nullptr) == MPG123_OK;
    ok = ok && mpg123_open_handle(decoder, &memory) == MPG123_OK;
    long rate = 0;
    int channels = 0, encoding = 0;
    ok = ok && mpg123_getformat(decoder, &rate, &channels, &encoding) == MPG123_OK;
    *frames = 0;
    if (ok && !pcm) {
        ok = mpg123_scan(decoder) == MPG123_OK && mpg123_length(decoder) > 0;
        if (ok) *frames = size_t(mpg123_length(decoder));
    } else if (ok) {
        pcm->clear();
        const off_t samples = mpg123_length(decoder);
        if (samples > 0) pcm->reserve(size_t(samples) * 2);
        std::vector<int16_t> chunk(16384);
        for (;;) {
            size_t done = 0;
            const int err = mpg123_read(decoder, reinterpret_cast<unsigned char*>(chunk.data()),
                                        chunk.size() * sizeof(int16_t), &done);
            pcm->insert(pcm->end(), chunk.begin(), chunk.begin() + done / sizeof(int16_t));
            if (err == MPG123_DONE) break;
            if (err != MPG123_OK && err != MPG123_NEW_FORMAT) {
                ok = !pcm->empty();
                break;
            }
        }
        ok = ok && !pcm->empty();
        *frames = pcm->size() / 2;
    }
    if (decoder) {
        mpg123_close(decoder);
        mpg123_delete(decoder);
    }
    return ok;
}

Stream* FindStream(HSTREAM handle) {
    if (handle == 0 || handle > kMaxStreams) return nullptr;
    Stream* s = &g_audio.streams[handle - 1];
    return s->used ? s : nullptr;
}

uint32_t ClockBytes(uint32_t fromTick) {
    const uint32_t now = g_audio.stopped ? g_audio.stopTick : Sys_GetTickCount();
    return uint32_t(uint64_t(now - fromTick) * g_audio.frequency * kBytesPerFrame / 1000);
}

}  // namespace

// The page's Web Audio side. Handles are the stream numbers above.
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

bool Sys_AudioInit(int32_t device, uint32_t frequency, uint32_t, HWND) {
    if (g_audio.output != Output::Closed || frequency == 0) return false;
    g_audio = AudioState{};
    g_audio.frequency = frequency;
    if (device == kAudioNoSoundDevice || (device == kAudioDefaultDevice && g_silentAudio)) {
        g_audio.output = Output::Silent;
        return true;
    }
    if (device != kAudioDefaultDevice || !web_audio_open(int(frequency))) return false;
    g_audio.output = Output::Device;
    return true;
}

HSTREAM Sys_StreamCreateMemory(const void* data, uint32_t offset, uint32_t length, uint32_t) {
    if (g_audio.output == Output::Closed || !data || length == 0) return 0;
    int slot = 0;
    while (slot < kMaxStreams && g_audio.streams[slot].used) ++slot;
    if (slot == kMaxStreams) return 0;
    // The samples are needed only where they are heard.
    std::vector<int16_t> pcm;
    size_t frames = 0;
    const bool heard = g_audio.output == Output::Device;
    if (!DecodeAll(static_cast<const uint8_t*>(data) + offset, length, heard ? &pcm : nullptr, &frames)) return 0;
    if (uint64_t(frames) * kBytesPerFrame > UINT32_MAX) return 0;
    Stream& s = g_audio.streams[slot];
    s = Stream{};
    s.used = true;
    s.lengthBytes = uint32_t(frames * kBytesPerFrame);
    if (heard) web_audio_load(slot + 1, pcm.data(), int(frames));
    return HSTREAM(slot + 1);
}

bool Sys_AudioStart() {
    if (g_audio.output == Output::Closed) return false;
    if (g_audio.stopped) {
        g_audio.stopped = false;
        // The clock streams stood still while stopped.
        const uint32_t paused = Sys_GetTickCount() - g_audio.stopTick;
        for (Stream& s : g_audio.streams) s.playTick += paused;
        g_audio.failedStreamTick += paused;
        if (g_audio.output == Output::Device) web_audio_pause(0);
    }
    return true;
}

bool Sys_StreamPlay(HSTREAM stream, bool flush, uint32_t flags) {
    if (stream == 0) {
        if (!g_audio.failedStreamPlaying) {
            g_audio.failedStreamPlaying = true;
            g_audio.failedStreamTick = Sys_GetTickCount();
        }
        return false;
    }
    Stream* s = FindStream(stream);
    if (!s) return false;
    const bool restart = flush || !s->started;
    s->loop = (flags & kAudioSampleLoop) != 0;
    if (restart) s->playTick = Sys_GetTickCount();
    s->started = true;
    if (g_audio.output == Output::Device) return web_audio_play(int(stream), s->loop, restart) != 0;
    return true;
}

uint32_t Sys_ChannelGetPosition(HSTREAM stream) {
    if (stream == 0) return g_audio.failedStreamPlaying ? ClockBytes(g_audio.failedStreamTick) : 0;
    Stream* s = FindStream(stream);
    if (!s || !s->started) return 0;
    uint64_t bytes = g_audio.output == Output::Device
                         ? uint64_t(web_audio_frames(int(stream))) * kBytesPerFrame
                         : uint64_t(ClockBytes(s->playTick));
    if (s->lengthBytes) bytes = s->loop ? bytes % s->lengthBytes : std::min<uint64_t>(bytes, s->lengthBytes);
    return uint32_t(bytes);
}

bool Sys_AudioStop() {
    if (g_audio.output == Output::Closed) return false;
    if (!g_audio.stopped) {
        g_audio.stopped = true;
        g_audio.stopTick = Sys_GetTickCount();
        if (g_audio.output == Output::Device) web_audio_pause(1);
    }
    return true;
}

bool Sys_StreamFree(HSTREAM stream) {
    Stream* s = FindStream(stream);
    if (!s) return false;
    if (g_audio.output == Output::Device) web_audio_free(int(stream));
    *s = Stream{};
    return true;
}

bool Sys_AudioFree() {
    if (g_audio.output == Output::Closed) return false;
    if (g_audio.output == Output::Device) web_audio_close();
    g_audio = AudioState{};
    return true;
}

void Sys_SetSilentAudio(bool silent) { g_silentAudio = silent; }

void Sys_Web_StopAudio() {
    if (g_audio.output == Output::Device) web_audio_close();
}
