// sys_sdl_audio.cpp -- the desktop's sound: an SDL2 output whose audio
// thread decodes the playing streams as it goes (sys_audio.cpp's decoder)
// and mixes them into each buffer it hands to the device.
//
// What is heard: when SDL asks for a buffer, the device has played what it
// had, and the new buffer (the only latency SDL tells of, its size) is
// heard from then on, sample by sample. So the position heard is the
// stream's decoded count before that buffer plus the time since the
// callback, up to the stream's bytes in the buffer; it never goes back.
#include "platform/sys_device.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kBytesPerFrame = 4;  // 16-bit stereo

// The last buffer handed to the device, per stream: the stream's bytes in
// it come after `base` (its decoded count), `chunk` of them, heard from
// `at` (steady clock, ns).
struct Heard {
    uint64_t base = 0;
    uint32_t chunk = 0;
    int64_t at = 0;
    uint64_t reported = 0;  // the highest count reported
};

struct Output {
    bool open = false;
    SDL_AudioDeviceID device = 0;
    uint32_t frequency = 44100;
    bool paused = false;
    int64_t pausedAt = 0;               // steady ns
    std::vector<uint8_t> decodeBuffer;  // one callback's worth, audio thread only
    // SDL's dummy and disk outputs have no playback clock: they sleep about a
    // period per buffer, later and later on a busy machine. For them the
    // callback decodes what the steady clock says has played instead.
    bool selfClocked = false;
    bool anchored = false;  // audio thread: the clock's start is set
    std::chrono::steady_clock::time_point anchor;
    uint64_t deliveredSinceAnchor = 0;  // bytes per stream since the anchor
    Heard heard[kSysAudioSlots];
};

Output g_out;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Bytes of whole sample frames played in `ns` nanoseconds (at most 10 s).
uint64_t BytesForNanoseconds(int64_t ns) {
    if (ns <= 0) return 0;
    ns = std::min<int64_t>(ns, 10'000'000'000);
    return uint64_t(ns) * g_out.frequency / 1'000'000'000 * kBytesPerFrame;
}

// Bytes the device takes in this callback: the buffer for a real device;
// for a self-clocked one, what the steady clock says has played since the
// anchor (one buffer ahead, like a real device), at most 8 buffers at once
// so a process that was stopped does not race to catch up.
size_t BytesDue(size_t length, std::chrono::steady_clock::time_point now) {
    if (!g_out.selfClocked) return length;
    if (!g_out.anchored) {
        g_out.anchored = true;
        g_out.anchor = now;
        g_out.deliveredSinceAnchor = length;
        return length;
    }
    const uint64_t ns = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(now - g_out.anchor).count());
    const uint64_t frames = ns / 1000 * g_out.frequency / 1000000;
    const uint64_t expected = length + frames * kBytesPerFrame;
    if (expected <= g_out.deliveredSinceAnchor) return 0;
    const uint64_t due = std::min<uint64_t>(expected - g_out.deliveredSinceAnchor, 8 * uint64_t(length));
    g_out.deliveredSinceAnchor += due;
    return size_t(due);
}

void SDLCALL AudioCallback(void*, Uint8* out, int length) {
    std::memset(out, 0, size_t(length));
    std::vector<uint8_t>& buffer = g_out.decodeBuffer;
    if (buffer.size() < size_t(length)) return;  // cannot happen: sized at open
    const auto now = std::chrono::steady_clock::now();
    const int64_t nowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
    const size_t due = BytesDue(size_t(length), now);
    for (int slot = 0; slot < kSysAudioSlots; ++slot) {
        if (!Sys_Audio_IsPlaying(slot)) continue;
        // The first buffer's worth is heard.
        const size_t got = Sys_Audio_Decode(slot, buffer.data(), std::min(due, size_t(length)));
        // Mix, saturating, so several streams may play at once.
        int16_t* dst = reinterpret_cast<int16_t*>(out);
        const int16_t* src = reinterpret_cast<const int16_t*>(buffer.data());
        for (size_t i = 0; i < got / 2; ++i) {
            const int sum = int(dst[i]) + int(src[i]);
            dst[i] = int16_t(std::clamp(sum, -32768, 32767));
        }
        // A self-clocked device catching up: the rest is decoded, unheard.
        for (size_t left = due - std::min(due, size_t(length)); left > 0 && Sys_Audio_IsPlaying(slot);) {
            const size_t n = Sys_Audio_Decode(slot, buffer.data(), std::min(left, size_t(length)));
            if (n == 0) break;
            left -= n;
        }
        // Heard from now on: the buffer's bytes (what was skipped to catch
        // up counts as played before it).
        Heard& h = g_out.heard[slot];
        h.base = Sys_Audio_DecodedBytes(slot) - got;
        h.chunk = uint32_t(got);
        h.at = nowNs;
    }
}

// The process may end with the output open (every way out of the demo but
// WM_DESTROY). The audio thread must be gone before static storage it uses
// is destroyed, so the device is closed first thing at exit.
void CloseDeviceAtExit() {
    if (!g_out.open) return;
    SDL_CloseAudioDevice(g_out.device);  // joins the audio thread
    g_out.open = false;
}

}  // namespace

bool Sys_Device_AudioOpen(uint32_t frequency) {
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
    g_out.open = true;
    g_out.device = device;
    g_out.frequency = frequency;
    g_out.paused = false;
    g_out.decodeBuffer.assign(have.size, 0);
    for (Heard& h : g_out.heard) h = Heard{};
    const char* driver = SDL_GetCurrentAudioDriver();
    g_out.selfClocked = driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0);
    g_out.anchored = false;
    // Registered after g_out was constructed, so it runs before its destructor.
    static const bool closeAtExit = std::atexit(CloseDeviceAtExit) == 0;
    (void)closeAtExit;
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void Sys_Device_AudioClose() {
    SDL_CloseAudioDevice(g_out.device);  // waits for the callback to finish
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_out.open = false;
    g_out.device = 0;
    g_out.decodeBuffer.clear();
}

void Sys_Device_AudioPause(bool pause) {
    if (pause) {
        SDL_PauseAudioDevice(g_out.device, 1);
        if (!g_out.paused) g_out.pausedAt = NowNs();
        g_out.paused = true;
        return;
    }
    if (!g_out.paused) return;
    // What was heard before the pause is heard on from where it stood.
    const int64_t pauseNs = NowNs() - g_out.pausedAt;
    SDL_LockAudioDevice(g_out.device);
    g_out.anchored = false;  // a self-clocked device counts from the restart
    for (Heard& h : g_out.heard) h.at += pauseNs;
    g_out.paused = false;
    SDL_UnlockAudioDevice(g_out.device);
    SDL_PauseAudioDevice(g_out.device, 0);
}

void Sys_Device_AudioLock() { SDL_LockAudioDevice(g_out.device); }
void Sys_Device_AudioUnlock() { SDL_UnlockAudioDevice(g_out.device); }

bool Sys_Device_StreamMade(int slot, uint32_t) {
    g_out.heard[slot] = Heard{};
    return true;
}

bool Sys_Device_StreamPlay(int slot, bool restart, bool) {
    if (restart) {
        Heard& h = g_out.heard[slot];
        h.base = h.reported = Sys_Audio_DecodedBytes(slot);
        h.chunk = 0;
    }
    return true;
}

uint32_t Sys_Device_StreamPosition(int slot) {
    Heard& h = g_out.heard[slot];
    const int64_t now = g_out.paused ? g_out.pausedAt : NowNs();
    uint64_t heard = h.base + std::min<uint64_t>(h.chunk, BytesForNanoseconds(now - h.at));
    heard = std::max(heard, h.reported);
    h.reported = heard;
    return Sys_Audio_PassPosition(slot, heard);
}

void Sys_Device_StreamFreed(int slot) { g_out.heard[slot] = Heard{}; }
