// Programme loudness after ITU-R BS.1770-4 (the EBU R 128 meter): K-weighting
// (a +4 dB high shelf above about 1.7 kHz and a 38 Hz high-pass), mean square
// per 400 ms block with 75 % overlap, an absolute gate at -70 LUFS and a
// relative gate 10 LU below the loudness of the blocks that pass it.
#pragma once

#include <cstddef>

namespace music {

// Integrated loudness in LUFS of `frames` stereo frames at `rate` Hz, the two
// channels weighted 1.0 each. A full-scale 1 kHz sine on both channels reads
// 0 LUFS. Returns -200 when no block passes the gates (silence).
double IntegratedLoudness(const float* left, const float* right, size_t frames, int rate);

// Loudness of each 400 ms block starting every 100 ms (momentary loudness),
// written to `out` (at most `max` values); returns how many blocks there are.
size_t MomentaryLoudness(const float* left, const float* right, size_t frames, int rate,
                         double* out, size_t max);

}  // namespace music
