// The music baker's signal blocks. See synth.h for units.
#include "tools/bake/music/synth.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace music {

double NoteHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

double DbToGain(double db) { return std::pow(10.0, db / 20.0); }

float Noise::Next() {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return static_cast<float>(static_cast<double>(state) / 2147483648.0 - 1.0);
}

// The polynomial correction that removes the step's aliasing around a wrap.
static double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

float SawBlep(double phase, double dt) {
  return static_cast<float>(2.0 * phase - 1.0 - PolyBlep(phase, dt));
}

float SquareBlep(double phase, double dt) {
  double second = phase + 0.5;
  if (second >= 1.0) second -= 1.0;
  double v = (phase < 0.5 ? 1.0 : -1.0) + PolyBlep(phase, dt) - PolyBlep(second, dt);
  return static_cast<float>(v);
}

float Envelope::At(double t, double gate) const {
  auto held = [this](double u) {
    if (u < 0.0) return 0.0;
    if (u < attack) return u / attack;
    return sustain + (1.0 - sustain) * std::exp(-(u - attack) / decay);
  };
  if (t < gate) return static_cast<float>(held(t));
  return static_cast<float>(held(gate) * std::exp(-(t - gate) / release));
}

double Envelope::Length(double gate) const { return gate + release * 7.0; }

void Svf::Set(double cutoff, double q) {
  cutoff = std::clamp(cutoff, 20.0, 0.45 * kSampleRate);
  double g = std::tan(kPi * cutoff / kSampleRate);
  double kk = 1.0 / std::max(q, 0.1);
  double b1 = 1.0 / (1.0 + g * (g + kk));
  a1 = static_cast<float>(b1);
  a2 = static_cast<float>(g * b1);
  a3 = static_cast<float>(g * g * b1);
  k = static_cast<float>(kk);
}

Svf::Out Svf::Run(float in) {
  float v3 = in - ic2;
  float v1 = a1 * ic1 + a2 * v3;
  float v2 = ic2 + a2 * ic1 + a3 * v3;
  ic1 = 2.0f * v1 - ic1;
  ic2 = 2.0f * v2 - ic2;
  if (std::fabs(ic1) < 1e-20f) ic1 = 0.0f;
  if (std::fabs(ic2) < 1e-20f) ic2 = 0.0f;
  return {v2, v1, in - k * v1 - v2};
}

void Bus::PanGains(float pan, float* l, float* r) {
  double a = (std::clamp(pan, -1.0f, 1.0f) + 1.0) * kPi / 4.0;
  *l = static_cast<float>(std::cos(a) * std::sqrt(2.0));
  *r = static_cast<float>(std::sin(a) * std::sqrt(2.0));
}

namespace {

// One-pole low-pass used inside feedback loops.
struct OnePole {
  float z = 0.0f, c = 0.0f;
  explicit OnePole(double hz) : c(static_cast<float>(std::exp(-2.0 * kPi * hz / kSampleRate))) {}
  float Run(float x) {
    z = x + (z - x) * c;
    if (std::fabs(z) < 1e-20f) z = 0.0f;
    return z;
  }
};

struct Comb {
  std::vector<float> buf;
  size_t pos = 0;
  float store = 0.0f;
  explicit Comb(size_t n) : buf(n, 0.0f) {}
  float Run(float in, float feedback, float damp) {
    float out = buf[pos];
    store = out * (1.0f - damp) + store * damp;
    if (std::fabs(store) < 1e-20f) store = 0.0f;
    buf[pos] = in + store * feedback;
    if (++pos == buf.size()) pos = 0;
    return out;
  }
};

struct AllPass {
  std::vector<float> buf;
  size_t pos = 0;
  explicit AllPass(size_t n) : buf(n, 0.0f) {}
  float Run(float in) {
    float held = buf[pos];
    float out = held - in;
    buf[pos] = in + held * 0.5f;
    if (++pos == buf.size()) pos = 0;
    return out;
  }
};

}  // namespace

void PingPongDelay(const Bus& in, double time, double feedback, double damp, Bus* out) {
  size_t d = static_cast<size_t>(std::lround(time * kSampleRate));
  size_t n = std::min(in.Frames(), out->Frames());
  std::vector<float> lineL(n, 0.0f), lineR(n, 0.0f);
  OnePole lpL(damp), lpR(damp);
  float fb = static_cast<float>(feedback);
  for (size_t i = 0; i < n; ++i) {
    float fromL = i >= d ? lineL[i - d] : 0.0f;
    float fromR = i >= d ? lineR[i - d] : 0.0f;
    lineL[i] = 0.5f * (in.left[i] + in.right[i]) + fb * lpR.Run(fromR);
    lineR[i] = lpL.Run(fromL);
    out->left[i] += fromL;
    out->right[i] += fromR;
  }
}

void Reverb(const Bus& in, double size, double damp, Bus* out) {
  static const size_t kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
  static const size_t kAllPasses[4] = {556, 441, 341, 225};
  const size_t kSpread = 23;
  float feedback = static_cast<float>(0.7 + 0.28 * std::clamp(size, 0.0, 1.0));
  float d = static_cast<float>(0.4 * std::clamp(damp, 0.0, 1.0));
  size_t n = std::min(in.Frames(), out->Frames());
  for (int side = 0; side < 2; ++side) {
    std::vector<Comb> combs;
    std::vector<AllPass> passes;
    for (size_t c : kCombs) combs.emplace_back(c + side * kSpread);
    for (size_t a : kAllPasses) passes.emplace_back(a + side * kSpread);
    std::vector<float>& dst = side == 0 ? out->left : out->right;
    for (size_t i = 0; i < n; ++i) {
      float x = 0.015f * (in.left[i] + in.right[i]);
      float acc = 0.0f;
      for (Comb& c : combs) acc += c.Run(x, feedback, d);
      for (AllPass& a : passes) acc = a.Run(acc);
      dst[i] += acc;
    }
  }
}

void Limit(Bus* bus, double ceiling, double lookahead, double release) {
  size_t n = bus->Frames();
  size_t la = std::max<size_t>(1, static_cast<size_t>(lookahead * kSampleRate));
  // Gain each frame needs on its own.
  std::vector<float> need(n);
  for (size_t i = 0; i < n; ++i) {
    float peak = std::max(std::fabs(bus->left[i]), std::fabs(bus->right[i]));
    need[i] = peak > ceiling ? static_cast<float>(ceiling / peak) : 1.0f;
  }
  // Minimum over the next `la` frames (monotonic queue), then release.
  std::vector<float> gain(n);
  std::deque<size_t> window;
  size_t next = 0;
  float rel = static_cast<float>(1.0 - std::exp(-1.0 / (release * kSampleRate)));
  float held = 1.0f;
  for (size_t i = 0; i < n; ++i) {
    while (next < n && next < i + la) {
      while (!window.empty() && need[window.back()] >= need[next]) window.pop_back();
      window.push_back(next++);
    }
    while (window.front() < i) window.pop_front();
    float m = need[window.front()];
    held = std::min(m, held + (1.0f - held) * rel);
    if (held > 0.99999f) held = 1.0f;  // fully let go: quiet passages stay bit-exact
    gain[i] = held;
  }
  // A box average over the last `la` gains stays below every need it covers,
  // so each peak is met while the gain moves smoothly.
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) {
    sum += gain[i];
    if (i >= la) sum -= gain[i - la];
    size_t count = std::min(i + 1, la);
    // Before the first full window, the missing frames count as the first
    // gain, which already meets every peak of the first window.
    double g = (sum + static_cast<double>(la - count) * gain[0]) / static_cast<double>(la);
    float gf = static_cast<float>(g);
    bus->left[i] *= gf;
    bus->right[i] *= gf;
  }
}

}  // namespace music
