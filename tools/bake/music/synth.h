// The music baker's synthesiser: the signal blocks the score is made of.
//
// Everything runs at kSampleRate, in floats for samples and doubles for
// phases and times, on one thread, with fixed seeds: the same score gives
// the same samples bit for bit on every run. Levels are linear, 1.0 is full
// scale; times are seconds; frequencies are Hz; pan is -1 (left) .. +1 (right).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace music {

constexpr int kSampleRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// Frequency of a MIDI note number (69 = A4 = 440 Hz), equal temperament.
double NoteHz(double midi);

// Converts decibels to a linear gain: 10^(db/20).
double DbToGain(double db);

// Deterministic white noise: xorshift32, uniform in [-1, 1).
struct Noise {
  uint32_t state;
  explicit Noise(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
  float Next();
};

// Band-limited oscillators (PolyBLEP). `phase` runs 0..1 per cycle, `dt` is
// frequency / kSampleRate (cycles per sample, below 0.5).
float SawBlep(double phase, double dt);
float SquareBlep(double phase, double dt);  // 50 % duty cycle

// Phase accumulator in cycles; Step returns the phase before advancing.
struct Phasor {
  double phase = 0.0;
  double Step(double dt) {
    double p = phase;
    phase += dt;
    phase -= static_cast<double>(static_cast<int64_t>(phase));
    return p;
  }
};

// ADSR envelope as a function of time: attack rises linearly to 1 in
// `attack`, decays exponentially towards `sustain` with time constant
// `decay`, and after the gate closes at `gate` falls exponentially from the
// level reached with time constant `release`.
struct Envelope {
  double attack = 0.005, decay = 0.1, sustain = 0.7, release = 0.1;
  float At(double t, double gate) const;
  // Time after which the envelope is below -60 dB (the voice can stop).
  double Length(double gate) const;
};

// Resonant state-variable filter (trapezoidal, zero-delay feedback).
// `cutoff` in Hz (clamped to 20 .. 0.45 * kSampleRate), `q` is resonance
// (0.5 = soft, 10 = whistling). One call per sample gives all three outputs.
struct Svf {
  float ic1 = 0.0f, ic2 = 0.0f;
  float a1 = 0.0f, a2 = 0.0f, a3 = 0.0f, k = 2.0f;
  void Set(double cutoff, double q);
  struct Out { float low, band, high; };
  Out Run(float in);
};

// A stereo buffer of the whole piece; frames are sample pairs.
struct Bus {
  std::vector<float> left, right;
  explicit Bus(size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
  size_t Frames() const { return left.size(); }
  // Adds a sample pair at frame `i`; ignores frames outside the buffer.
  void AddStereo(int64_t i, float l, float r) {
    if (i < 0 || static_cast<size_t>(i) >= left.size()) return;
    left[i] += l;
    right[i] += r;
  }
  // Constant-power pan gains, both 1 in the centre (so centred mono keeps
  // its level on each side).
  static void PanGains(float pan, float* l, float* r);
};

// Stereo ping-pong delay: `time` seconds, `feedback` 0..0.9, a low-pass
// of `damp` Hz in the loop so repeats get darker. Adds the wet signal of
// `in` to `out`.
void PingPongDelay(const Bus& in, double time, double feedback, double damp, Bus* out);

// Stereo reverb of the Schroeder-Moorer kind (eight damped combs, four
// all-passes per side). `size` 0..1 scales the decay, `damp` 0..1 darkens
// it. Adds the wet signal of `in` to `out`.
void Reverb(const Bus& in, double size, double damp, Bus* out);

// Look-ahead peak limiter: scales `bus` so that no sample exceeds `ceiling`
// (linear), reacting within `lookahead` seconds before a peak and letting
// go with time constant `release`.
void Limit(Bus* bus, double ceiling, double lookahead, double release);

}  // namespace music
