// The music baker's instruments: each call plays one note or hit into the
// mix. Times are seconds of music, `vel` is a linear level (1 = the
// instrument's normal loudness), `midi` a MIDI note number, pan -1..+1.
#pragma once

#include <functional>

#include "tools/bake/music/synth.h"

namespace music {

// Where the instruments play into. `tonal` is ducked by the kick (`duck`
// holds the gain per frame); `drums` is saturated as a group; the sends feed
// the ping-pong delay and the reverb.
struct Mix {
  explicit Mix(size_t frames)
      : drums(frames), tonal(frames), delaySend(frames), reverbSend(frames), duck(frames, 1.0f) {}
  Bus drums, tonal, delaySend, reverbSend;
  std::vector<float> duck;
};

// A cutoff curve over the whole piece: Hz as a function of seconds of music.
using Curve = std::function<double(double)>;

void Kick(Mix* mix, double t0, double vel);
void Snare(Mix* mix, double t0, double vel);
void Hat(Mix* mix, double t0, double vel, bool open, float pan);
void Crash(Mix* mix, double t0, double vel);
void Boom(Mix* mix, double t0, double vel);
// Filtered noise sweeping up from t0 and stopping at t1.
void Riser(Mix* mix, double t0, double t1, double vel);

void Pad(Mix* mix, double t0, double dur, double midi, double vel, const Curve& cutoff);
void Bass(Mix* mix, double t0, double dur, double midi, double vel, double cutoff, double drive);
void Pluck(Mix* mix, double t0, double dur, double midi, double vel, double cutoff, float pan);
void Lead(Mix* mix, double t0, double dur, double midi, double vel);
void Bell(Mix* mix, double t0, double midi, double vel, float pan);

}  // namespace music
