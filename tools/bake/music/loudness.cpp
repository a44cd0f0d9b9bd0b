// BS.1770-4 loudness: see loudness.h. The filter coefficients are derived
// for any sample rate from the analogue prototypes (as libebur128 does); at
// 48 kHz they equal the table of the recommendation.
#include "tools/bake/music/loudness.h"

#include <cmath>
#include <vector>

namespace music {

namespace {

struct Biquad {
  double b0, b1, b2, a1, a2;
  double z1 = 0.0, z2 = 0.0;
  double Run(double x) {
    double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
  }
};

// Mean square of the K-weighted signal per 100 ms step, per channel summed.
std::vector<double> WeightedSquares(const float* left, const float* right, size_t frames, int rate,
                                    size_t* step) {
  const double pi = 3.14159265358979323846;
  double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
  double k = std::tan(pi * f0 / rate);
  double vh = std::pow(10.0, gainDb / 20.0);
  double vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1.0 + k / q + k * k;
  Biquad shelf{(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
               (vh - vb * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
               (1.0 - k / q + k * k) / a0};
  f0 = 38.13547087602444;
  q = 0.5003270373238773;
  k = std::tan(pi * f0 / rate);
  a0 = 1.0 + k / q + k * k;
  Biquad highPass{1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};

  *step = static_cast<size_t>(rate / 10);
  std::vector<double> sums(frames / *step, 0.0);
  Biquad chain[2][2] = {{shelf, highPass}, {shelf, highPass}};
  const float* in[2] = {left, right};
  for (int c = 0; c < 2; ++c) {
    for (size_t i = 0; i < sums.size() * *step; ++i) {
      double y = chain[c][1].Run(chain[c][0].Run(in[c][i]));
      sums[i / *step] += y * y;
    }
  }
  return sums;
}

}  // namespace

size_t MomentaryLoudness(const float* left, const float* right, size_t frames, int rate,
                         double* out, size_t max) {
  size_t step = 0;
  std::vector<double> sums = WeightedSquares(left, right, frames, rate, &step);
  if (sums.size() < 4) return 0;
  size_t blocks = sums.size() - 3;
  for (size_t b = 0; b < blocks && b < max; ++b) {
    double ms = (sums[b] + sums[b + 1] + sums[b + 2] + sums[b + 3]) / (4.0 * step);
    out[b] = ms > 0.0 ? -0.691 + 10.0 * std::log10(ms) : -200.0;
  }
  return blocks;
}

double IntegratedLoudness(const float* left, const float* right, size_t frames, int rate) {
  size_t step = 0;
  std::vector<double> sums = WeightedSquares(left, right, frames, rate, &step);
  if (sums.size() < 4) return -200.0;
  std::vector<double> blocks;
  for (size_t b = 0; b + 3 < sums.size(); ++b)
    blocks.push_back((sums[b] + sums[b + 1] + sums[b + 2] + sums[b + 3]) / (4.0 * step));
  auto loudness = [](double ms) { return -0.691 + 10.0 * std::log10(ms); };
  auto gatedMean = [&](double gate) {
    double sum = 0.0;
    size_t count = 0;
    for (double ms : blocks) {
      if (ms > 0.0 && loudness(ms) > gate) {
        sum += ms;
        ++count;
      }
    }
    return count ? sum / count : 0.0;
  };
  double absolute = gatedMean(-70.0);
  if (absolute <= 0.0) return -200.0;
  double relative = gatedMean(loudness(absolute) - 10.0);
  return relative > 0.0 ? loudness(relative) : -200.0;
}

}  // namespace music
