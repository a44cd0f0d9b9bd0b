// sys_audio.h -- audio output and MP3 streams played from memory.
//
// The operations of the streaming audio library the music player was
// written for: open an output device, make a stream of MP3 bytes held in
// memory, start the output, play a stream (looped), read its playing
// position, stop, free the stream, free the output.
//
// MP3 decoding is libmpg123, reading the caller's bytes in place (no copy).
// Output and decoding are 16-bit signed stereo at the frequency given to
// Sys_AudioInit (44100 Hz in the demo), so a position of 176400 bytes is one
// second of music. Sound goes out through the device: on the desktop SDL2,
// whose audio thread pulls the samples as they are decoded (SDL's dummy and
// disk outputs, which have no playback clock of their own, are paced by the
// steady clock, so positions keep to real time); in the browser Web Audio,
// given the whole stream decoded when it is made.
//
// Position: the count of decoded bytes played since the stream last started
// from its beginning (a loop back to the start sets it to 0), unsigned 32
// bits, whole sample frames. On a device it is the sample being heard (on
// the desktop the bytes decoded, less the buffer SDL still holds, advanced
// by the time since SDL took it; in the browser the AudioContext's output
// timestamp); it never goes back but at a loop. On the silent device, and
// for the stream handle 0 of a stream that could not be created, the
// position advances with Sys_GetTickCount() from the moment play was asked
// for (standing still while the output is stopped), as if the music
// played; a program that steps the tick source steps the music with it.
//
// Every call comes from the one main thread. Only the desktop's audio
// thread inside this layer runs alongside it; the position is read with it
// locked out.
#pragma once

#include <cstdint>

#include "platform/platform.h"  // HWND

// A stream. 0 is "no stream" (creation failed).
typedef uint32_t HSTREAM;

enum : int32_t {
    kAudioDefaultDevice = -1,  // the system's default output (SDL2, Web Audio)
    kAudioNoSoundDevice = -2,  // silent: nothing is heard, positions follow the clock
};

enum : uint32_t { kAudioSampleLoop = 4 };  // Sys_StreamPlay flag: loop from the start at the end

// Opens the output: device kAudioDefaultDevice or kAudioNoSoundDevice,
// frequency in Hz, flags unused (0). window is the owner the caller shows
// its messages on (unused here). The output runs from here on. False when
// the device cannot be opened or the output is already open.
bool Sys_AudioInit(int32_t device, uint32_t frequency, uint32_t flags, HWND window);

// A stream over `length` MP3 bytes at data + offset, which stay valid and
// unchanged for the stream's life (they are read in place). flags unused
// (0). Returns 0 when there is no open output, no bytes, or the bytes are
// not an MP3 stream.
HSTREAM Sys_StreamCreateMemory(const void* data, uint32_t offset, uint32_t length, uint32_t flags);

// Starts the output again after Sys_AudioStop. False without an open output.
bool Sys_AudioStart();

// Plays a stream: from its beginning when `flush` is true or it has not
// played yet, looped when flags has kAudioSampleLoop. False for handle 0 or
// an unknown stream; for handle 0 the clock position starts all the same.
bool Sys_StreamPlay(HSTREAM stream, bool flush, uint32_t flags);

// The playing position in decoded bytes (see above). 0 for an unknown
// stream, and for handle 0 before play was asked for.
uint32_t Sys_ChannelGetPosition(HSTREAM stream);

// Stops the output: positions stand still until Sys_AudioStart.
bool Sys_AudioStop();

// Releases a stream and its decoder. False for an unknown stream.
bool Sys_StreamFree(HSTREAM stream);

// Closes the output and releases every stream left. False when not open.
bool Sys_AudioFree();

// While true, kAudioDefaultDevice opens the silent device and succeeds (no
// sound card needed, nothing reported). Offline rendering turns it on.
void Sys_SetSilentAudio(bool silent);
