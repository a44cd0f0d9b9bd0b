// sys_audio.cpp -- the streams, their decoder (libmpg123, reading the
// caller's bytes in place) and their clocks, the same in every build. How
// the samples reach the speaker, and so what is heard when, is the device's
// (sys_sdl_audio.cpp, sys_web_audio.cpp).
//
// The streams live in a fixed table, one slot each. Where the device has a
// thread of its own (SDL's audio callback), every change to the table is
// made with the device locked.
#include "platform/sys_audio.h"
#include "platform/sys_device.h"
#include "platform/sys_internal.h"

#include <mpg123.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kBytesPerFrame = 4;  // 16-bit stereo

enum class Output { Closed, Device, Silent };

struct Stream {
    bool used = false;
    const uint8_t* data = nullptr;  // the caller's MP3 bytes, read in place
    size_t size = 0;
    size_t readAt = 0;              // the decoder's file position in data
    mpg123_handle* decoder = nullptr;
    uint32_t lengthBytes = 0;       // decoded length when known, else 0
    bool started = false;           // play was asked for at least once
    bool playing = false;
    bool loop = false;
    uint32_t playTick = 0;          // on the silent output: the tick at the start
    // Decoded bytes since the stream was made (never reset), and where in
    // that count the current pass (position 0) and the one before it began.
    uint64_t decoded = 0;
    uint64_t passStart = 0;
    uint64_t previousPassStart = 0;
    bool previousPassLooped = false;  // the current pass began by looping
};

struct AudioState {
    Output output = Output::Closed;
    uint32_t frequency = 44100;
    bool stopped = false;  // Sys_AudioStop until Sys_AudioStart
    uint32_t stopTick = 0;
    Stream streams[kSysAudioSlots];
    // The stream that could not be created (handle 0) still has a clock.
    bool failedStreamPlaying = false;
    uint32_t failedStreamTick = 0;
};

AudioState g_audio;
bool g_silentAudio = false;
bool g_mpg123Ready = false;

// --- mpg123 reads the caller's bytes through these ------------------------

ssize_t ReadMemory(void* handle, void* buffer, size_t bytes) {
    Stream& s = *static_cast<Stream*>(handle);
    const size_t n = std::min(bytes, s.size - s.readAt);
    std::memcpy(buffer, s.data + s.readAt, n);
    s.readAt += n;
    return ssize_t(n);
}

off_t SeekMemory(void* handle, off_t offset, int whence) {
    Stream& s = *static_cast<Stream*>(handle);
    off_t base = 0;
    if (whence == SEEK_CUR) base = off_t(s.readAt);
    else if (whence == SEEK_END) base = off_t(s.size);
    else if (whence != SEEK_SET) return -1;
    const off_t target = base + offset;
    if (target < 0 || target > off_t(s.size)) return -1;
    s.readAt = size_t(target);
    return target;
}

// Opens the decoder on the stream's bytes, 16-bit stereo at the output's
// frequency, and learns its length. False when the first frame does not
// parse (bytes that are not MP3).
bool OpenDecoder(Stream& s) {
    s.decoder = mpg123_new(nullptr, nullptr);
    bool ok = s.decoder != nullptr;
    ok = ok && mpg123_param(s.decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0) == MPG123_OK;
    ok = ok && mpg123_format_none(s.decoder) == MPG123_OK;
    ok = ok && mpg123_format(s.decoder, long(g_audio.frequency), MPG123_STEREO, MPG123_ENC_SIGNED_16) ==
                   MPG123_OK;
    ok = ok && mpg123_replace_reader_handle(s.decoder, ReadMemory, SeekMemory, nullptr) == MPG123_OK;
    ok = ok && mpg123_open_handle(s.decoder, &s) == MPG123_OK;
    long rate = 0;
    int channels = 0, encoding = 0;
    ok = ok && mpg123_getformat(s.decoder, &rate, &channels, &encoding) == MPG123_OK;
    if (!ok) return false;
    // The scan reads frame headers and returns to the start.
    if (mpg123_scan(s.decoder) == MPG123_OK) {
        const off_t samples = mpg123_length(s.decoder);
        if (samples > 0 && uint64_t(samples) * kBytesPerFrame <= UINT32_MAX)
            s.lengthBytes = uint32_t(samples) * kBytesPerFrame;
    }
    return mpg123_seek(s.decoder, 0, SEEK_SET) >= 0;
}

// --- clocks ------------------------------------------------------------------

// Decoded bytes in `ms` milliseconds of music, whole sample frames.
uint32_t BytesForMilliseconds(uint32_t ms) {
    const uint64_t bytes = uint64_t(ms) * g_audio.frequency * kBytesPerFrame / 1000;
    return uint32_t(bytes) & ~uint32_t(kBytesPerFrame - 1);
}

// The tick count, standing still while the output is stopped.
uint32_t ClockNow() { return g_audio.stopped ? g_audio.stopTick : Sys_GetTickCount(); }

// A stream on the silent output: as if it played from its play on.
uint32_t ClockPosition(const Stream& s) {
    if (!s.started) return 0;
    const uint32_t bytes = BytesForMilliseconds(ClockNow() - s.playTick);
    if (s.lengthBytes == 0) return bytes;
    if (s.loop) return bytes % s.lengthBytes;
    return std::min(bytes, s.lengthBytes);  // a finished stream stays at its end
}

Stream* Find(HSTREAM handle) {
    if (handle == 0 || handle > uint32_t(kSysAudioSlots)) return nullptr;
    Stream& s = g_audio.streams[handle - 1];
    return s.used ? &s : nullptr;
}

int SlotOf(const Stream* s) { return int(s - g_audio.streams); }

void Lock() {
    if (g_audio.output == Output::Device) Sys_Device_AudioLock();
}
void Unlock() {
    if (g_audio.output == Output::Device) Sys_Device_AudioUnlock();
}

void ReleaseStream(Stream& s) {
    if (s.decoder) {
        mpg123_close(s.decoder);
        mpg123_delete(s.decoder);
    }
    s = Stream{};
}

}  // namespace

// ---------------------------------------------------------------------------
// For the device

bool Sys_Audio_IsPlaying(int slot) {
    const Stream& s = g_audio.streams[slot];
    return s.used && s.playing;
}

size_t Sys_Audio_Decode(int slot, uint8_t* out, size_t bytes) {
    Stream& s = g_audio.streams[slot];
    size_t filled = 0;
    bool restarted = false;
    while (filled < bytes && s.playing) {
        size_t done = 0;
        const int err = mpg123_read(s.decoder, out + filled, bytes - filled, &done);
        filled += done;
        if (done > 0) {
            restarted = false;
            s.decoded += done;
        }
        if (err == MPG123_OK || err == MPG123_NEW_FORMAT) {
            if (done == 0 && err == MPG123_OK) break;  // nothing to give yet
            continue;
        }
        if (err == MPG123_DONE || done == 0) {
            // The end of the stream (or bytes that no longer decode).
            if (s.loop && !restarted && mpg123_seek(s.decoder, 0, SEEK_SET) >= 0) {
                restarted = true;  // a stream that gives nothing after a restart stops
                s.previousPassStart = s.passStart;
                s.previousPassLooped = true;
                s.passStart = s.decoded;
                continue;
            }
            s.playing = false;
        }
    }
    return filled;
}

uint64_t Sys_Audio_DecodedBytes(int slot) { return g_audio.streams[slot].decoded; }

uint32_t Sys_Audio_PassPosition(int slot, uint64_t decoded) {
    const Stream& s = g_audio.streams[slot];
    if (decoded >= s.passStart) return uint32_t(decoded - s.passStart);
    if (s.previousPassLooped && decoded >= s.previousPassStart) return uint32_t(decoded - s.previousPassStart);
    return 0;
}

bool Sys_Audio_DecodeWhole(int slot, std::vector<int16_t>* samples) {
    Stream& s = g_audio.streams[slot];
    samples->clear();
    if (s.lengthBytes) samples->reserve(s.lengthBytes / sizeof(int16_t));
    std::vector<int16_t> chunk(16384);
    for (;;) {
        size_t done = 0;
        const int err = mpg123_read(s.decoder, reinterpret_cast<unsigned char*>(chunk.data()),
                                    chunk.size() * sizeof(int16_t), &done);
        samples->insert(samples->end(), chunk.begin(), chunk.begin() + done / sizeof(int16_t));
        if (err == MPG123_NEW_FORMAT || (err == MPG123_OK && done > 0)) continue;
        break;  // the end, or bytes that no longer decode: what came so far
    }
    return mpg123_seek(s.decoder, 0, SEEK_SET) >= 0 && !samples->empty();
}

// ---------------------------------------------------------------------------

bool Sys_AudioInit(int32_t device, uint32_t frequency, uint32_t, HWND) {
    if (g_audio.output != Output::Closed || frequency == 0) return false;
    if (!g_mpg123Ready) {
        mpg123_init();  // needed by older libraries, harmless on newer ones
        g_mpg123Ready = true;
    }
    g_audio.frequency = frequency;
    g_audio.stopped = false;
    g_audio.failedStreamPlaying = false;
    if (device == kAudioNoSoundDevice || (device == kAudioDefaultDevice && g_silentAudio)) {
        g_audio.output = Output::Silent;
        return true;
    }
    if (device != kAudioDefaultDevice || !Sys_Device_AudioOpen(frequency)) return false;
    g_audio.output = Output::Device;
    return true;
}

HSTREAM Sys_StreamCreateMemory(const void* data, uint32_t offset, uint32_t length, uint32_t) {
    if (g_audio.output == Output::Closed || !data || length == 0) return 0;
    int slot = 0;
    while (slot < kSysAudioSlots && g_audio.streams[slot].used) ++slot;
    if (slot == kSysAudioSlots) return 0;

    // Set the stream up outside the table's lock: the device skips unused slots.
    Stream& s = g_audio.streams[slot];
    s.data = static_cast<const uint8_t*>(data) + offset;
    s.size = length;
    bool ok = OpenDecoder(s);
    Lock();
    if (ok && g_audio.output == Output::Device) ok = Sys_Device_StreamMade(slot, s.lengthBytes);
    if (ok) s.used = true;
    else ReleaseStream(s);
    Unlock();
    return ok ? HSTREAM(slot + 1) : 0;
}

bool Sys_AudioStart() {
    if (g_audio.output == Output::Closed) return false;
    if (!g_audio.stopped) return true;  // already running
    // Positions resume where they stood.
    const uint32_t pause = Sys_GetTickCount() - g_audio.stopTick;
    for (Stream& s : g_audio.streams) s.playTick += pause;
    g_audio.failedStreamTick += pause;
    g_audio.stopped = false;
    if (g_audio.output == Output::Device) Sys_Device_AudioPause(false);
    return true;
}

bool Sys_StreamPlay(HSTREAM handle, bool flush, uint32_t flags) {
    Stream* s = Find(handle);
    if (!s) {
        if (handle == 0 && !g_audio.failedStreamPlaying) {
            g_audio.failedStreamPlaying = true;
            g_audio.failedStreamTick = ClockNow();
            Sys_Internal_TraceEvent("music");
        }
        return false;
    }
    const bool restart = flush || !s->started;
    Lock();
    if (restart) {
        if (s->started) mpg123_seek(s->decoder, 0, SEEK_SET);
        // What was decoded before is not part of this play.
        s->passStart = s->decoded;
        s->previousPassLooped = false;
        s->playTick = ClockNow();
    }
    s->started = true;
    s->playing = true;
    s->loop = (flags & kAudioSampleLoop) != 0;
    const bool played = g_audio.output != Output::Device || Sys_Device_StreamPlay(SlotOf(s), restart, s->loop);
    Unlock();
    Sys_Internal_TraceEvent("music");
    return played;
}

uint32_t Sys_ChannelGetPosition(HSTREAM handle) {
    if (handle == 0) {
        if (!g_audio.failedStreamPlaying) return 0;
        return BytesForMilliseconds(ClockNow() - g_audio.failedStreamTick);
    }
    Stream* s = Find(handle);
    if (!s || !s->started) return 0;
    if (g_audio.output == Output::Silent) return ClockPosition(*s);
    Lock();
    const uint32_t position = Sys_Device_StreamPosition(SlotOf(s));
    Unlock();
    return position;
}

bool Sys_AudioStop() {
    if (g_audio.output == Output::Closed) return false;
    if (!g_audio.stopped) {
        g_audio.stopped = true;
        g_audio.stopTick = Sys_GetTickCount();
        if (g_audio.output == Output::Device) Sys_Device_AudioPause(true);
    }
    return true;
}

bool Sys_StreamFree(HSTREAM handle) {
    Stream* s = Find(handle);
    if (!s) return false;
    Lock();  // the device lets go of it
    if (g_audio.output == Output::Device) Sys_Device_StreamFreed(SlotOf(s));
    ReleaseStream(*s);
    Unlock();
    return true;
}

bool Sys_AudioFree() {
    if (g_audio.output == Output::Closed) return false;
    // Closed first: a device thread stops using the streams.
    if (g_audio.output == Output::Device) Sys_Device_AudioClose();
    g_audio.output = Output::Closed;
    for (Stream& s : g_audio.streams)
        if (s.used || s.decoder) ReleaseStream(s);
    g_audio.stopped = false;
    g_audio.failedStreamPlaying = false;
    return true;
}

void Sys_SetSilentAudio(bool silent) { g_silentAudio = silent; }
