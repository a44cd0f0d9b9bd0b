// The music baker's instruments. Every voice is rendered on its own from a
// fresh state, so a note sounds the same wherever it falls.
#include "tools/bake/music/instruments.h"

#include <algorithm>
#include <cmath>

namespace music {

namespace {

int64_t Frame(double t) { return static_cast<int64_t>(std::llround(t * kSampleRate)); }

// Seeds for the noise of each hit, from its start frame: repeatable, yet no
// two hits share the same grain.
uint32_t SeedAt(double t0, uint32_t salt) {
  uint32_t x = static_cast<uint32_t>(Frame(t0)) * 2654435761u ^ salt;
  return x ? x : 1u;
}

// The inharmonic square cluster of an analogue drum machine's cymbals.
float Metal(double t, double scale) {
  static const double kRatios[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
  float s = 0.0f;
  for (double r : kRatios) {
    double cycles = t * r * scale;
    s += (cycles - std::floor(cycles)) < 0.5 ? 1.0f : -1.0f;
  }
  return s / 6.0f;
}

void Send(Bus* bus, int64_t i, float l, float r, float amount) {
  if (amount > 0.0f) bus->AddStereo(i, l * amount, r * amount);
}

float SoftClip(float x) { return std::tanh(x); }

}  // namespace

void Kick(Mix* mix, double t0, double vel) {
  int64_t start = Frame(t0);
  int n = static_cast<int>(0.45 * kSampleRate);
  Noise noise(SeedAt(t0, 0x4B));
  double phase = 0.0;
  for (int k = 0; k < n; ++k) {
    double t = static_cast<double>(k) / kSampleRate;
    double f = 46.0 + 130.0 * std::exp(-t / 0.03);
    phase += f / kSampleRate;
    double body = std::sin(2.0 * kPi * phase) * std::exp(-t / 0.26);
    double fadeOut = std::min(1.0, (0.45 - t) / 0.05);
    float click = noise.Next() * static_cast<float>(std::exp(-t / 0.0015)) * 0.35f;
    float v = (SoftClip(static_cast<float>(1.8 * body)) * static_cast<float>(fadeOut) + click) *
              static_cast<float>(vel);
    mix->drums.AddStereo(start + k, v, v);
    // Side-chain: the tonal group dips under every kick.
    double dip = 0.45 * std::min(vel, 1.0) * (t < 0.004 ? t / 0.004 : std::exp(-(t - 0.004) / 0.09));
    int64_t i = start + k;
    if (i >= 0 && static_cast<size_t>(i) < mix->duck.size())
      mix->duck[i] = std::min(mix->duck[i], static_cast<float>(1.0 - dip));
  }
}

void Snare(Mix* mix, double t0, double vel) {
  int64_t start = Frame(t0);
  int n = static_cast<int>(0.5 * kSampleRate);
  Noise noise(SeedAt(t0, 0x53));
  Svf hp;
  hp.Set(1400.0, 0.8);
  float pl, pr;
  Bus::PanGains(0.05f, &pl, &pr);
  for (int k = 0; k < n; ++k) {
    double t = static_cast<double>(k) / kSampleRate;
    double tone = 0.55 * std::sin(2.0 * kPi * (185.0 * t + 6.0 * (1.0 - std::exp(-t / 0.01)))) *
                      std::exp(-t / 0.05) +
                  0.25 * std::sin(2.0 * kPi * 330.0 * t) * std::exp(-t / 0.035);
    float rattle = hp.Run(noise.Next()).high * static_cast<float>(std::exp(-t / 0.12));
    float fadeOut = static_cast<float>(std::min(1.0, (0.5 - t) / 0.05));
    float v = static_cast<float>(vel) * (static_cast<float>(tone) + 0.9f * rattle) * fadeOut;
    mix->drums.AddStereo(start + k, v * pl, v * pr);
    Send(&mix->reverbSend, start + k, v, v, 0.3f);
  }
}

void Hat(Mix* mix, double t0, double vel, bool open, float pan) {
  int64_t start = Frame(t0);
  // A drummer never hits twice alike: up to 15 % either way, fixed per hit.
  vel *= 0.85 + 0.3 * (SeedAt(t0, 0x68) >> 8) / 16777216.0;
  double tau = open ? 0.16 : 0.028;
  int n = static_cast<int>((tau * 7.0) * kSampleRate);
  Noise noise(SeedAt(t0, 0x48));
  Svf hp;
  hp.Set(7500.0, 0.9);
  float pl, pr;
  Bus::PanGains(pan, &pl, &pr);
  for (int k = 0; k < n; ++k) {
    double t = static_cast<double>(k) / kSampleRate;
    float raw = 0.6f * Metal(t, 1.6) + 0.5f * noise.Next();
    float v = hp.Run(raw).high * static_cast<float>(vel * std::exp(-t / tau) * 0.7);
    mix->drums.AddStereo(start + k, v * pl, v * pr);
    Send(&mix->reverbSend, start + k, v, v, 0.08f);
  }
}

void Crash(Mix* mix, double t0, double vel) {
  int64_t start = Frame(t0);
  int n = static_cast<int>(3.2 * kSampleRate);
  Noise nl(SeedAt(t0, 0x43)), nr(SeedAt(t0, 0x63));
  Svf hl, hr;
  hl.Set(3800.0, 0.7);
  hr.Set(3800.0, 0.7);
  for (int k = 0; k < n; ++k) {
    double t = static_cast<double>(k) / kSampleRate;
    double env = vel * (0.55 * std::exp(-t / 0.05) + 0.45 * std::exp(-t / 0.9)) *
                 std::min(1.0, (3.2 - t) / 0.2);
    float metal = 0.5f * Metal(t, 2.3);
    float l = hl.Run(metal + nl.Next()).high * static_cast<float>(env * 0.55);
    float r = hr.Run(metal + nr.Next()).high * static_cast<float>(env * 0.55);
    mix->drums.AddStereo(start + k, l, r);
    Send(&mix->reverbSend, start + k, l, r, 0.25f);
  }
}

void Boom(Mix* mix, double t0, double vel) {
  int64_t start = Frame(t0);
  int n = static_cast<int>(2.5 * kSampleRate);
  double phase = 0.0;
  for (int k = 0; k < n; ++k) {
    double t = static_cast<double>(k) / kSampleRate;
    phase += (36.0 + 40.0 * std::exp(-t / 0.08)) / kSampleRate;
    double env = std::exp(-t / 0.7) * std::min(1.0, (2.5 - t) / 0.3);
    float v = static_cast<float>(vel * env) * SoftClip(static_cast<float>(1.5 * std::sin(2.0 * kPi * phase)));
    mix->drums.AddStereo(start + k, v, v);
    Send(&mix->reverbSend, start + k, v, v, 0.15f);
  }
}

void Riser(Mix* mix, double t0, double t1, double vel) {
  int64_t start = Frame(t0);
  int n = static_cast<int>((t1 - t0) * kSampleRate);
  Noise nl(SeedAt(t0, 0x52)), nr(SeedAt(t0, 0x72));
  Svf fl, fr;
  for (int k = 0; k < n; ++k) {
    double u = static_cast<double>(k) / n;
    if (k % 32 == 0) {
      double hz = 300.0 * std::pow(30.0, u);
      fl.Set(hz, 2.5);
      fr.Set(hz * 1.07, 2.5);
    }
    double tail = std::min(1.0, (t1 - t0) * (1.0 - u) / 0.01);
    float amp = static_cast<float>(vel * u * u * tail * 0.8);
    float l = fl.Run(nl.Next()).band * amp;
    float r = fr.Run(nr.Next()).band * amp;
    mix->tonal.AddStereo(start + k, l, r);
    Send(&mix->reverbSend, start + k, l, r, 0.35f);
  }
}

void Pad(Mix* mix, double t0, double dur, double midi, double vel, const Curve& cutoff) {
  Envelope env{1.2, 1.5, 0.8, 0.5};
  int64_t start = Frame(t0);
  int n = static_cast<int>(env.Length(dur) * kSampleRate);
  static const double kDetune[3] = {-0.09, 0.0, 0.085};  // semitones
  static const float kPan[3] = {-0.7f, 0.0f, 0.7f};
  Phasor osc[3];
  double dt[3];
  for (int v = 0; v < 3; ++v) {
    dt[v] = NoteHz(midi + kDetune[v]) / kSampleRate;
    osc[v].phase = 0.31 * v;  // fixed, different starting phases
  }
  float gl[3], gr[3];
  for (int v = 0; v < 3; ++v) Bus::PanGains(kPan[v], &gl[v], &gr[v]);
  Svf fl, fr;
  for (int k = 0; k < n; ++k) {
    double t = static_cast<double>(k) / kSampleRate;
    if (k % 32 == 0) {
      double hz = cutoff(t0 + t);
      fl.Set(hz, 0.9);
      fr.Set(hz, 0.9);
    }
    float l = 0.0f, r = 0.0f;
    for (int v = 0; v < 3; ++v) {
      float s = SawBlep(osc[v].Step(dt[v]), dt[v]);
      l += s * gl[v];
      r += s * gr[v];
    }
    float a = env.At(t, dur) * static_cast<float>(vel * 0.16);
    l = fl.Run(l).low * a;
    r = fr.Run(r).low * a;
    mix->tonal.AddStereo(start + k, l, r);
    Send(&mix->reverbSend, start + k, l, r, 0.35f);
  }
}

void Bass(Mix* mix, double t0, double dur, double midi, double vel, double cutoff, double drive) {
  Envelope env{0.003, 0.25, 0.75, 0.05};
  int64_t start = Frame(t0);
  int n = static_cast<int>(env.Length(dur) * kSampleRate);
  Phasor saw, sub;
  double dt = NoteHz(midi) / kSampleRate;
  Svf f;
  for (int k = 0; k < n; ++k) {
    double t = static_cast<double>(k) / kSampleRate;
    if (k % 16 == 0) f.Set(cutoff * (1.0 + 5.0 * std::exp(-t / 0.07)), 2.2);
    float s = 0.7f * SawBlep(saw.Step(dt), dt) +
              0.5f * static_cast<float>(std::sin(2.0 * kPi * sub.Step(dt * 0.5)));
    float y = f.Run(s).low;
    y = SoftClip(static_cast<float>(drive) * y) / static_cast<float>(std::tanh(drive));
    float v = y * env.At(t, dur) * static_cast<float>(vel * 0.42);
    mix->tonal.AddStereo(start + k, v, v);
    Send(&mix->reverbSend, start + k, v, v, 0.03f);
  }
}

void Pluck(Mix* mix, double t0, double dur, double midi, double vel, double cutoff, float pan) {
  Envelope env{0.002, 0.12, 0.25, 0.08};
  int64_t start = Frame(t0);
  int n = static_cast<int>(env.Length(dur) * kSampleRate);
  Phasor a, b;
  double dt = NoteHz(midi) / kSampleRate;
  double dt2 = NoteHz(midi + 0.07) / kSampleRate;
  Svf f;
  float l, r;
  Bus::PanGains(pan, &l, &r);
  for (int k = 0; k < n; ++k) {
    double t = static_cast<double>(k) / kSampleRate;
    if (k % 16 == 0) f.Set(cutoff * (1.0 + 3.0 * std::exp(-t / 0.05)), 3.0);
    float s = 0.5f * SquareBlep(a.Step(dt), dt) + 0.5f * SawBlep(b.Step(dt2), dt2);
    float v = f.Run(s).low * env.At(t, dur) * static_cast<float>(vel * 0.22);
    mix->tonal.AddStereo(start + k, v * l, v * r);
    Send(&mix->delaySend, start + k, v * l, v * r, 0.35f);
    Send(&mix->reverbSend, start + k, v * l, v * r, 0.2f);
  }
}

void Lead(Mix* mix, double t0, double dur, double midi, double vel) {
  Envelope env{0.012, 0.3, 0.75, 0.22};
  int64_t start = Frame(t0);
  int n = static_cast<int>(env.Length(dur) * kSampleRate);
  Phasor a, b, c;
  Svf f;
  for (int k = 0; k < n; ++k) {
    double t = static_cast<double>(k) / kSampleRate;
    double vib = 0.14 * std::min(1.0, std::max(0.0, (t - 0.2) / 0.3)) * std::sin(2.0 * kPi * 5.3 * t);
    double dta = NoteHz(midi + vib - 0.06) / kSampleRate;
    double dtb = NoteHz(midi + vib + 0.06) / kSampleRate;
    double dtc = NoteHz(midi + vib - 12.0) / kSampleRate;
    if (k % 16 == 0) f.Set(2600.0 * (1.0 + 1.5 * std::exp(-t / 0.15)), 1.3);
    float sa = SawBlep(a.Step(dta), dta), sb = SawBlep(b.Step(dtb), dtb);
    float sc = 0.4f * SquareBlep(c.Step(dtc), dtc);
    float e = env.At(t, dur) * static_cast<float>(vel * 0.14);
    // Mono and centred; the ping-pong delay gives it width.
    float v = f.Run(0.5f * (sa + sb) + sc).low * e;
    mix->tonal.AddStereo(start + k, v, v);
    Send(&mix->delaySend, start + k, v, v, 0.3f);
    Send(&mix->reverbSend, start + k, v, v, 0.3f);
  }
}

void Bell(Mix* mix, double t0, double midi, double vel, float pan) {
  int64_t start = Frame(t0);
  int n = static_cast<int>(3.5 * kSampleRate);
  double fc = NoteHz(midi);
  float pl, pr;
  Bus::PanGains(pan, &pl, &pr);
  for (int k = 0; k < n; ++k) {
    double t = static_cast<double>(k) / kSampleRate;
    double index = 2.2 * std::exp(-t / 0.35);
    double mod = index * std::sin(2.0 * kPi * 3.5 * fc * t);
    double env = std::min(1.0, t / 0.002) * std::exp(-t / 0.9) * std::min(1.0, (3.5 - t) / 0.3);
    float v = static_cast<float>(vel * 0.2 * env * std::sin(2.0 * kPi * fc * t + mod));
    mix->tonal.AddStereo(start + k, v * pl, v * pr);
    Send(&mix->delaySend, start + k, v * pl, v * pr, 0.5f);
    Send(&mix->reverbSend, start + k, v * pl, v * pr, 0.45f);
  }
}

}  // namespace music
