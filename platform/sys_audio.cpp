// sys_audio.cpp -- SDL2 output, libmpg123 decoding from memory.
//
// The streams live in a fixed table. The main thread touches a stream only
// with the SDL device locked; the audio callback decodes the playing streams
// into the device buffer and notes, per stream, which decoded bytes that
// buffer holds and when it was handed over.
//
// What is heard: when SDL asks for a buffer, the device has played what it
// had, and the new buffer (the only latency SDL tells of, its size) is
// heard from then on, sample by sample. So the position heard is the
// stream's decoded count before that buffer plus the time since the
// callback, up to the stream's bytes in the buffer; it never goes back.
#include "platform/sys_audio.h"
#include "platform/sys_internal.h"

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kMaxStreams = 8;
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
    uint32_t playTick = 0;          // clock streams: tick at the start
    // Decoded bytes since the stream was made (never reset), and where in
    // that count the current pass (position 0) and the one before it began.
    uint64_t decoded = 0;
    uint64_t passStart = 0;
    uint64_t previousPassStart = 0;
    bool previousPassLooped = false;    // the current pass began by looping
    // The last buffer handed to the device: the stream's bytes in it come
    // after heardBase, heardChunk of them, heard from heardAt (steady ns).
    uint64_t heardBase = 0;
    uint32_t heardChunk = 0;
    int64_t heardAt = 0;
    uint64_t reported = 0;              // the highest count reported
};

struct AudioState {
    Output output = Output::Closed;
    SDL_AudioDeviceID device = 0;
    uint32_t frequency = 44100;
    bool stopped = false;           // Sys_AudioStop until Sys_AudioStart
    uint32_t stopTick = 0;
    int64_t stopNs = 0;             // the same on the steady clock
    std::vector<uint8_t> decodeBuffer;  // one callback's worth, audio thread only
    // SDL's dummy and disk outputs have no playback clock: they sleep about a
    // period per buffer, later and later on a busy machine. For them the
    // callback decodes what the steady clock says has played instead.
    bool selfClocked = false;
    bool anchored = false;                // audio thread: the clock's start is set
    std::chrono::steady_clock::time_point anchor;
    uint64_t deliveredSinceAnchor = 0;    // bytes per stream since the anchor
    Stream streams[kMaxStreams];
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

// --- positions --------------------------------------------------------------

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Decoded bytes in `ms` milliseconds of music, whole sample frames.
uint32_t BytesForMilliseconds(uint32_t ms) {
    const uint64_t bytes = uint64_t(ms) * g_audio.frequency * kBytesPerFrame / 1000;
    return uint32_t(bytes) & ~uint32_t(kBytesPerFrame - 1);
}

uint32_t ClockNow() { return g_audio.stopped ? g_audio.stopTick : Sys_GetTickCount(); }

uint32_t ClockPosition(const Stream& s) {
    if (!s.started) return 0;
    const uint32_t bytes = BytesForMilliseconds(ClockNow() - s.playTick);
    if (s.lengthBytes == 0) return bytes;
    if (s.loop) return bytes % s.lengthBytes;
    return std::min(bytes, s.lengthBytes);  // a finished stream stays at its end
}

// Bytes of whole sample frames played in `ns` nanoseconds (at most 10 s).
uint64_t BytesForNanoseconds(int64_t ns) {
    if (ns <= 0) return 0;
    ns = std::min<int64_t>(ns, 10'000'000'000);
    return uint64_t(ns) * g_audio.frequency / 1'000'000'000 * kBytesPerFrame;
}

// The position heard now of a stream on the device (locked).
uint32_t HeardPosition(Stream& s) {
    const int64_t now = g_audio.stopped ? g_audio.stopNs : NowNs();
    uint64_t heard = s.heardBase + std::min<uint64_t>(s.heardChunk, BytesForNanoseconds(now - s.heardAt));
    heard = std::max(heard, s.reported);
    s.reported = heard;
    // Bytes of the pass before a loop may still be playing.
    if (heard >= s.passStart) return uint32_t(heard - s.passStart);
    if (s.previousPassLooped && heard >= s.previousPassStart) return uint32_t(heard - s.previousPassStart);
    return 0;
}

Stream* Find(HSTREAM handle) {
    if (handle == 0 || handle > uint32_t(kMaxStreams)) return nullptr;
    Stream& s = g_audio.streams[handle - 1];
    return s.used ? &s : nullptr;
}

// --- the audio thread -------------------------------------------------------

// Decodes up to `bytes` of one stream into out, looping or ending as asked.
// Returns the bytes written.
size_t DecodeInto(Stream& s, uint8_t* out, size_t bytes) {
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

// Bytes the device takes in this callback: the buffer for a real device;
// for a self-clocked one, what the steady clock says has played since the
// anchor (one buffer ahead, like a real device), at most 8 buffers at once
// so a process that was stopped does not race to catch up.
size_t BytesDue(size_t length, std::chrono::steady_clock::time_point now) {
    if (!g_audio.selfClocked) return length;
    if (!g_audio.anchored) {
        g_audio.anchored = true;
        g_audio.anchor = now;
        g_audio.deliveredSinceAnchor = length;
        return length;
    }
    const uint64_t ns = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(now - g_audio.anchor).count());
    const uint64_t frames = ns / 1000 * g_audio.frequency / 1000000;
    const uint64_t expected = length + frames * kBytesPerFrame;
    if (expected <= g_audio.deliveredSinceAnchor) return 0;
    const uint64_t due = std::min<uint64_t>(expected - g_audio.deliveredSinceAnchor, 8 * uint64_t(length));
    g_audio.deliveredSinceAnchor += due;
    return size_t(due);
}

void SDLCALL AudioCallback(void*, Uint8* out, int length) {
    std::memset(out, 0, size_t(length));
    std::vector<uint8_t>& buffer = g_audio.decodeBuffer;
    if (buffer.size() < size_t(length)) return;  // cannot happen: sized at open
    const auto now = std::chrono::steady_clock::now();
    const int64_t nowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
    const size_t due = BytesDue(size_t(length), now);
    for (Stream& s : g_audio.streams) {
        if (!s.used || !s.playing) continue;
        // The first buffer's worth is heard.
        const size_t got = DecodeInto(s, buffer.data(), std::min(due, size_t(length)));
        // Mix, saturating, so several streams may play at once.
        int16_t* dst = reinterpret_cast<int16_t*>(out);
        const int16_t* src = reinterpret_cast<const int16_t*>(buffer.data());
        for (size_t i = 0; i < got / 2; ++i) {
            const int sum = int(dst[i]) + int(src[i]);
            dst[i] = int16_t(std::clamp(sum, -32768, 32767));
        }
        // A self-clocked device catching up: the rest is decoded, unheard.
        for (size_t left = due - std::min(due, size_t(length)); left > 0 && s.playing;) {
            const size_t n = DecodeInto(s, buffer.data(), std::min(left, size_t(length)));
            if (n == 0) break;
            left -= n;
        }
        // Heard from now on: the buffer's bytes (what was skipped to catch
        // up counts as played before it).
        s.heardBase = s.decoded - got;
        s.heardChunk = uint32_t(got);
        s.heardAt = nowNs;
    }
}

void Lock() {
    if (g_audio.output == Output::Device) SDL_LockAudioDevice(g_audio.device);
}
void Unlock() {
    if (g_audio.output == Output::Device) SDL_UnlockAudioDevice(g_audio.device);
}

void ReleaseStream(Stream& s) {
    if (s.decoder) {
        mpg123_close(s.decoder);
        mpg123_delete(s.decoder);
    }
    s.used = false;
    s.data = nullptr;
    s.size = s.readAt = 0;
    s.decoder = nullptr;
    s.lengthBytes = 0;
    s.started = s.playing = s.loop = false;
    s.playTick = 0;
    s.decoded = s.passStart = s.previousPassStart = 0;
    s.previousPassLooped = false;
    s.heardBase = s.reported = 0;
    s.heardChunk = 0;
    s.heardAt = 0;
}

// The process may end with the output open (every way out of the demo but
// WM_DESTROY). The audio thread must be gone before static storage it uses
// is destroyed, so the device is closed first thing at exit.
void CloseDeviceAtExit() {
    if (g_audio.output != Output::Device) return;
    SDL_CloseAudioDevice(g_audio.device);  // joins the audio thread
    g_audio.output = Output::Closed;
}

bool OpenDevice(uint32_t frequency) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = int(frequency);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 2048;  // 46 ms: what is heard follows the decoding by this much
    want.callback = AudioCallback;
    SDL_AudioSpec have;
    // No changes allowed: SDL converts to whatever the hardware takes.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    g_audio.device = device;
    g_audio.decodeBuffer.assign(have.size, 0);
    const char* driver = SDL_GetCurrentAudioDriver();
    g_audio.selfClocked = driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0);
    g_audio.anchored = false;
    // Registered after g_audio was constructed, so it runs before its destructor.
    static const bool closeAtExit = std::atexit(CloseDeviceAtExit) == 0;
    (void)closeAtExit;
    return true;
}

}  // namespace

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
    if (device != kAudioDefaultDevice || !OpenDevice(frequency)) return false;
    g_audio.output = Output::Device;
    SDL_PauseAudioDevice(g_audio.device, 0);
    return true;
}

HSTREAM Sys_StreamCreateMemory(const void* data, uint32_t offset, uint32_t length, uint32_t) {
    if (g_audio.output == Output::Closed || !data || length == 0) return 0;
    int slot = 0;
    while (slot < kMaxStreams && g_audio.streams[slot].used) ++slot;
    if (slot == kMaxStreams) return 0;

    // Set the stream up outside the table's lock: the callback skips unused slots.
    Stream& s = g_audio.streams[slot];
    s.data = static_cast<const uint8_t*>(data) + offset;
    s.size = length;
    s.readAt = 0;
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
    // The first frame must parse: bytes that are not MP3 fail here.
    ok = ok && mpg123_getformat(s.decoder, &rate, &channels, &encoding) == MPG123_OK;
    if (ok) {
        // The length only times the silent device's loop; the scan reads
        // frame headers and returns to the start.
        if (mpg123_scan(s.decoder) == MPG123_OK) {
            const off_t samples = mpg123_length(s.decoder);
            if (samples > 0 && uint64_t(samples) * kBytesPerFrame <= UINT32_MAX)
                s.lengthBytes = uint32_t(samples) * kBytesPerFrame;
        }
        ok = mpg123_seek(s.decoder, 0, SEEK_SET) >= 0;
    }
    if (!ok) {
        Lock();
        ReleaseStream(s);
        Unlock();
        return 0;
    }
    Lock();
    s.used = true;
    Unlock();
    return HSTREAM(slot + 1);
}

bool Sys_AudioStart() {
    if (g_audio.output == Output::Closed) return false;
    if (!g_audio.stopped) return true;  // already running
    // Positions resume where they stood.
    const uint32_t pause = Sys_GetTickCount() - g_audio.stopTick;
    for (Stream& s : g_audio.streams) s.playTick += pause;
    g_audio.failedStreamTick += pause;
    const int64_t pauseNs = NowNs() - g_audio.stopNs;
    g_audio.stopped = false;
    if (g_audio.output == Output::Device) {
        Lock();
        g_audio.anchored = false;  // a self-clocked device counts from the restart
        for (Stream& s : g_audio.streams) s.heardAt += pauseNs;
        Unlock();
        SDL_PauseAudioDevice(g_audio.device, 0);
    }
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
    Lock();
    if (flush || !s->started) {
        if (s->started) mpg123_seek(s->decoder, 0, SEEK_SET);
        // What was decoded before is not part of this play.
        s->passStart = s->heardBase = s->reported = s->decoded;
        s->previousPassLooped = false;
        s->heardChunk = 0;
        s->playTick = ClockNow();
    }
    s->started = true;
    s->playing = true;
    s->loop = (flags & kAudioSampleLoop) != 0;
    Unlock();
    Sys_Internal_TraceEvent("music");
    return true;
}

uint32_t Sys_ChannelGetPosition(HSTREAM handle) {
    if (handle == 0) {
        if (!g_audio.failedStreamPlaying) return 0;
        return BytesForMilliseconds(ClockNow() - g_audio.failedStreamTick);
    }
    Stream* s = Find(handle);
    if (!s) return 0;
    if (g_audio.output == Output::Silent) return ClockPosition(*s);
    Lock();
    const uint32_t position = HeardPosition(*s);
    Unlock();
    return position;
}

bool Sys_AudioStop() {
    if (g_audio.output == Output::Closed) return false;
    if (g_audio.output == Output::Device) SDL_PauseAudioDevice(g_audio.device, 1);
    if (!g_audio.stopped) {
        g_audio.stopped = true;
        g_audio.stopTick = Sys_GetTickCount();
        g_audio.stopNs = NowNs();
    }
    return true;
}

bool Sys_StreamFree(HSTREAM handle) {
    Stream* s = Find(handle);
    if (!s) return false;
    Lock();  // the callback lets go of it
    ReleaseStream(*s);
    Unlock();
    return true;
}

bool Sys_AudioFree() {
    if (g_audio.output == Output::Closed) return false;
    if (g_audio.output == Output::Device) {
        SDL_CloseAudioDevice(g_audio.device);  // waits for the callback to finish
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        g_audio.device = 0;
    }
    g_audio.output = Output::Closed;
    for (Stream& s : g_audio.streams)
        if (s.used || s.decoder) ReleaseStream(s);
    g_audio.decodeBuffer.clear();
    g_audio.stopped = false;
    g_audio.failedStreamPlaying = false;
    return true;
}

void Sys_SetSilentAudio(bool silent) { g_silentAudio = silent; }
