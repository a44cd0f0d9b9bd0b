// The demo's soundtrack: the score, its tempo map and the mastering that
// turns it into the finished stereo signal.
#pragma once

#include "tools/bake/music/synth.h"

namespace music {

// Where the parts of the demo change, in seconds of music; the sections of
// the score begin at 0 and at each of these times.
constexpr int kSyncCount = 8;
inline constexpr double kSyncTimes[kSyncCount] = {8.3, 16.6, 25.1, 33.5, 41.7, 50.1, 57.7, 65.6};

// Length of the finished piece: the last chord has died away before the end,
// so the loop back to the start does not click.
constexpr double kLengthSeconds = 66.8;
constexpr size_t kLengthFrames = 2945880;  // kLengthSeconds * kSampleRate

// Plays the whole score into a stereo mix (before mastering).
Bus RenderScore();

// Mastering: removes DC and rumble, sets the gain so the piece reads
// `targetLufs` after a peak limiter holding `ceilingDb` (dBFS), fades the
// tail to digital silence. Returns the measured integrated loudness.
double Master(Bus* mix, double targetLufs, double ceilingDb);

}  // namespace music
