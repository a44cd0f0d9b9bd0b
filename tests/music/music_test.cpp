// The soundtrack as the demo gets it: the committed MP3, decoded by libmpg123
// with gapless trimming, measured against what the demo and the listener
// need. Also the loudness meter and the limiter the baker relies on, and a
// fresh render that must equal the committed file byte for byte.
#include <mpg123.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tools/bake/music/loudness.h"
#include "tools/bake/music/score.h"
#include "tools/bake/music/synth.h"

namespace {

constexpr int kRate = 44100;

std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// The decoded music as floats, and what the stream says about itself.
struct Decoded {
  bool ok = false;
  long rate = 0;
  int channels = 0;
  std::vector<float> left, right;
  std::vector<mpg123_frameinfo> frames;  // every audio frame's header
  size_t Frames() const { return left.size(); }
};

Decoded Decode(const std::string& path) {
  Decoded d;
  mpg123_init();
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) return d;
  mpg123_param(mh, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
  mpg123_format_none(mh);
  mpg123_format(mh, kRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open(mh, path.c_str()) != MPG123_OK) {
    mpg123_delete(mh);
    return d;
  }
  int encoding = 0;
  bool ready = mpg123_getformat(mh, &d.rate, &d.channels, &encoding) == MPG123_OK;
  std::vector<short> buf(16384);
  size_t got = 0;
  int rc = MPG123_OK;
  while (ready) {
    rc = mpg123_read(mh, buf.data(), buf.size() * sizeof(short), &got);
    for (size_t i = 0; i + 1 < got / sizeof(short); i += 2) {
      d.left.push_back(buf[i] / 32768.0f);
      d.right.push_back(buf[i + 1] / 32768.0f);
    }
    if (rc == MPG123_DONE) break;
    if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) {
      ready = false;
    }
  }
  mpg123_close(mh);
  // A second pass over the frame headers alone.
  if (ready && mpg123_open(mh, path.c_str()) == MPG123_OK) {
    while (mpg123_framebyframe_next(mh) == MPG123_OK) {
      mpg123_frameinfo fi;
      if (mpg123_info(mh, &fi) == MPG123_OK) d.frames.push_back(fi);
    }
    mpg123_close(mh);
  }
  mpg123_delete(mh);
  d.ok = ready && rc == MPG123_DONE;
  return d;
}

const Decoded& Music() {
  static const Decoded d = Decode(MUSIC_FILE);
  return d;
}

double Db(double v) { return 20.0 * std::log10(std::max(v, 1e-12)); }

double PeakOf(const Decoded& d, size_t from, size_t to) {
  double p = 0.0;
  for (size_t i = from; i < to && i < d.Frames(); ++i)
    p = std::max({p, std::fabs(static_cast<double>(d.left[i])), std::fabs(static_cast<double>(d.right[i]))});
  return p;
}

double RmsOf(const Decoded& d, size_t from, size_t to) {
  double sum = 0.0;
  to = std::min(to, d.Frames());
  for (size_t i = from; i < to; ++i) sum += 0.5 * (d.left[i] * d.left[i] + d.right[i] * d.right[i]);
  return to > from ? std::sqrt(sum / (to - from)) : 0.0;
}

// Onset strength at every frame: the energy of the first difference (which
// favours the attack of hits over sustained bass) in the 10 ms after a
// frame against the 50 ms before it, in dB.
class OnsetMeter {
 public:
  explicit OnsetMeter(const std::vector<float>& mono) : prefix_(mono.size() + 1, 0.0) {
    for (size_t i = 1; i < mono.size(); ++i) {
      double d = static_cast<double>(mono[i]) - mono[i - 1];
      prefix_[i + 1] = prefix_[i] + d * d;
    }
  }
  double Strength(size_t at) const {
    const size_t after = kRate / 100, before = kRate / 20;
    if (at < before || at + after >= prefix_.size()) return 0.0;
    double e1 = (prefix_[at + after] - prefix_[at]) / after;
    double e0 = (prefix_[at] - prefix_[at - before]) / before;
    return 10.0 * std::log10((e1 + 1e-12) / (e0 + 1e-12));
  }
  // The strongest onset within `radius` frames of `centre`.
  size_t Strongest(size_t centre, size_t radius, double* strength) const {
    size_t best = centre;
    *strength = -1e9;
    for (size_t i = centre - radius; i <= centre + radius; ++i) {
      double s = Strength(i);
      if (s > *strength) {
        *strength = s;
        best = i;
      }
    }
    return best;
  }

 private:
  std::vector<double> prefix_;
};

std::vector<float> Mono(const Decoded& d) {
  std::vector<float> m(d.Frames());
  for (size_t i = 0; i < m.size(); ++i) m[i] = 0.5f * (d.left[i] + d.right[i]);
  return m;
}

// ---------------------------------------------------------------------------
// The committed file.

TEST(MusicFile, IsMpeg1Layer3At128kConstantJointStereoAndDecodesToTheRenderedLength) {
  const Decoded& d = Music();
  ASSERT_TRUE(d.ok) << "cannot decode " << MUSIC_FILE;
  EXPECT_EQ(d.rate, 44100);
  EXPECT_EQ(d.channels, 2);
  ASSERT_GT(d.frames.size(), 2500u);
  for (const mpg123_frameinfo& fi : d.frames) {
    ASSERT_EQ(fi.version, MPG123_1_0);
    ASSERT_EQ(fi.layer, 3);
    ASSERT_EQ(fi.rate, 44100);
    ASSERT_EQ(fi.bitrate, 128);
    ASSERT_EQ(fi.vbr, MPG123_CBR);
    ASSERT_EQ(fi.mode, MPG123_M_JOINT);
  }
  double seconds = static_cast<double>(d.Frames()) / kRate;
  std::printf("decoded %zu frames = %.3f s from %zu MPEG frames, %zu bytes\n", d.Frames(), seconds,
              d.frames.size(), ReadFile(MUSIC_FILE).size());
  EXPECT_GE(seconds, 66.5);
  EXPECT_LE(seconds, 67.0);
  // Gapless trimming removed exactly the encoder's delay and padding, so
  // sample positions in the decoded audio are positions in the score.
  EXPECT_EQ(d.Frames(), music::kLengthFrames);
}

TEST(MusicFile, LevelsPeakDcAndLoudness) {
  const Decoded& d = Music();
  ASSERT_TRUE(d.ok);
  double peak = PeakOf(d, 0, d.Frames());
  double meanL = 0.0, meanR = 0.0;
  for (size_t i = 0; i < d.Frames(); ++i) {
    meanL += d.left[i];
    meanR += d.right[i];
  }
  meanL /= d.Frames();
  meanR /= d.Frames();
  double lufs = music::IntegratedLoudness(d.left.data(), d.right.data(), d.Frames(), kRate);
  std::printf("peak %.2f dBFS, DC %.2e / %.2e, integrated %.2f LUFS\n", Db(peak), meanL, meanR,
              lufs);
  EXPECT_LE(Db(peak), -1.0);
  EXPECT_GT(Db(peak), -6.0) << "far below full scale: the mastering did not happen";
  EXPECT_LT(std::fabs(meanL), 1e-3);
  EXPECT_LT(std::fabs(meanR), 1e-3);
  EXPECT_NEAR(lufs, -14.0, 2.0);
}

// A second opinion on the loudness: ffmpeg's EBU R 128 filter on the same
// file agrees with our meter.
TEST(MusicFile, LoudnessAgreesWithFfmpegsMeter) {
  if (std::system("ffmpeg -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
  const Decoded& d = Music();
  ASSERT_TRUE(d.ok);
  std::string cmd = std::string("ffmpeg -hide_banner -nostats -i '") + MUSIC_FILE +
                    "' -af ebur128 -f null - 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string text;
  char line[512];
  while (std::fgets(line, sizeof line, p)) text += line;
  pclose(p);
  // The summary at the end: "I:         -14.0 LUFS".
  size_t at = text.rfind("I:");
  ASSERT_NE(at, std::string::npos) << text;
  double theirs = std::atof(text.c_str() + at + 2);
  double ours = music::IntegratedLoudness(d.left.data(), d.right.data(), d.Frames(), kRate);
  std::printf("integrated loudness: ours %.2f LUFS, ffmpeg %.1f LUFS\n", ours, theirs);
  EXPECT_NEAR(ours, theirs, 0.2);
}

TEST(MusicFile, EverySectionSoundsAndTheEndIsSilent) {
  const Decoded& d = Music();
  ASSERT_TRUE(d.ok);
  std::vector<double> bounds = {0.0};
  for (double t : music::kSyncTimes) bounds.push_back(t);
  bounds.push_back(66.2);  // the final chord, before the fade
  for (size_t s = 0; s + 1 < bounds.size(); ++s) {
    size_t a = static_cast<size_t>(bounds[s] * kRate), b = static_cast<size_t>(bounds[s + 1] * kRate);
    double rms = RmsOf(d, a, b);
    std::vector<float> l(d.left.begin() + a, d.left.begin() + b), r(d.right.begin() + a, d.right.begin() + b);
    double lufs = music::IntegratedLoudness(l.data(), r.data(), l.size(), kRate);
    std::printf("section %zu  %5.1f-%5.1f s  rms %6.1f dBFS  peak %5.1f dBFS  %6.1f LUFS\n", s + 1,
                bounds[s], bounds[s + 1], Db(rms), Db(PeakOf(d, a, b)), lufs);
    EXPECT_GT(Db(rms), -35.0) << "section " << s + 1 << " is (nearly) silent";
    // The piece keeps its shape: no section is far above or below the whole.
    if (s + 1 < bounds.size() - 1) {
      EXPECT_GT(lufs, -26.0) << "section " << s + 1;
    }
  }
  size_t tail = d.Frames() - static_cast<size_t>(0.3 * kRate);
  double tailPeak = PeakOf(d, tail, d.Frames());
  std::printf("last 0.3 s: peak %.1f dBFS\n", Db(tailPeak));
  EXPECT_LT(Db(tailPeak), -60.0);
}

TEST(MusicFile, AClearOnsetAtEveryPartChange) {
  const Decoded& d = Music();
  ASSERT_TRUE(d.ok);
  OnsetMeter meter(Mono(d));
  for (double t : music::kSyncTimes) {
    size_t at = static_cast<size_t>(std::lround(t * kRate));
    double strength = 0.0;
    // The strongest onset in the 60 ms either side must be the one at the
    // part change: within 20 ms, and a jump of at least 6 dB.
    size_t found = meter.Strongest(at, kRate * 60 / 1000, &strength);
    double offsetMs = (static_cast<double>(found) - static_cast<double>(at)) * 1000.0 / kRate;
    std::printf("sync %5.1f s: onset %+5.1f ms, jump %4.1f dB\n", t, offsetMs, strength);
    EXPECT_LE(std::fabs(offsetMs), 20.0) << "at " << t << " s";
    EXPECT_GE(strength, 6.0) << "at " << t << " s";
  }
}

TEST(MusicFile, IsEmbeddedAsTheMusicResource) {
  Resource r{};
  ASSERT_TRUE(Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_MP3", &r));
  std::vector<unsigned char> file = ReadFile(MUSIC_FILE);
  ASSERT_EQ(r.size, file.size());
  EXPECT_TRUE(std::equal(file.begin(), file.end(), r.data));
}

// A fresh render into a temporary folder equals the committed file.
TEST(MusicFile, BakerReproducesTheCommittedFileByteForByte) {
  char dir[] = "/tmp/music_test_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string out = std::string(dir) + "/MUSIC.MP3";
  std::string cmd = std::string("'") + MUSIC_BAKER + "' '" + out + "' > /dev/null";
  int status = std::system(cmd.c_str());
  std::vector<unsigned char> fresh = ReadFile(out);
  std::remove(out.c_str());
  rmdir(dir);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << cmd;
  std::vector<unsigned char> committed = ReadFile(MUSIC_FILE);
  ASSERT_EQ(fresh.size(), committed.size());
  EXPECT_TRUE(fresh == committed) << "the committed music is not what the baker makes: run make assets";
}

// ---------------------------------------------------------------------------
// The tools the measurements and the baker rely on.

std::vector<float> Sine(double hz, double amplitude, double seconds) {
  std::vector<float> v(static_cast<size_t>(seconds * kRate));
  for (size_t i = 0; i < v.size(); ++i)
    v[i] = static_cast<float>(amplitude * std::sin(2.0 * music::kPi * hz * i / kRate));
  return v;
}

// The EBU Tech 3341 reference signals for a BS.1770 meter.
TEST(LoudnessMeter, ReadsTheReferenceSignals) {
  // A stereo 1 kHz sine at -23 dBFS reads -23 LUFS; at full scale 0 LUFS.
  std::vector<float> s = Sine(1000.0, music::DbToGain(-23.0), 20.0);
  EXPECT_NEAR(music::IntegratedLoudness(s.data(), s.data(), s.size(), kRate), -23.0, 0.1);
  s = Sine(1000.0, 1.0, 5.0);
  EXPECT_NEAR(music::IntegratedLoudness(s.data(), s.data(), s.size(), kRate), 0.0, 0.1);
  // K-weighting: 100 Hz reads lower than 1 kHz, 10 kHz higher (the shelf).
  std::vector<float> low = Sine(100.0, 0.1, 5.0), high = Sine(10000.0, 0.1, 5.0);
  std::vector<float> mid = Sine(1000.0, 0.1, 5.0);
  double lLow = music::IntegratedLoudness(low.data(), low.data(), low.size(), kRate);
  double lMid = music::IntegratedLoudness(mid.data(), mid.data(), mid.size(), kRate);
  double lHigh = music::IntegratedLoudness(high.data(), high.data(), high.size(), kRate);
  EXPECT_NEAR(lHigh - lMid, 3.3, 0.5);
  // 100 Hz: the 38 Hz high-pass takes about 1.2 dB, and 1 kHz already
  // sits about 0.7 dB up the shelf.
  EXPECT_NEAR(lLow - lMid, -1.85, 0.3);
}

TEST(LoudnessMeter, GatesSilenceAndQuietPassages) {
  // -36 / -23 / -36 dBFS for 10 / 60 / 10 s: the relative gate leaves only
  // the middle, so the reading is -23 LUFS (EBU Tech 3341 case 3).
  std::vector<float> quiet = Sine(1000.0, music::DbToGain(-36.0), 10.0);
  std::vector<float> loud = Sine(1000.0, music::DbToGain(-23.0), 60.0);
  std::vector<float> v = quiet;
  v.insert(v.end(), loud.begin(), loud.end());
  v.insert(v.end(), quiet.begin(), quiet.end());
  EXPECT_NEAR(music::IntegratedLoudness(v.data(), v.data(), v.size(), kRate), -23.0, 0.1);
  // Digital silence around a tone is gated out absolutely.
  std::vector<float> w(static_cast<size_t>(20 * kRate), 0.0f);
  w.insert(w.end(), loud.begin(), loud.begin() + 20 * kRate);
  w.resize(w.size() + 20 * kRate, 0.0f);
  EXPECT_NEAR(music::IntegratedLoudness(w.data(), w.data(), w.size(), kRate), -23.0, 0.1);
  std::vector<float> silence(kRate * 2, 0.0f);
  EXPECT_LT(music::IntegratedLoudness(silence.data(), silence.data(), silence.size(), kRate), -150.0);
}

TEST(Limiter, HoldsTheCeilingAndLeavesQuietPassagesAlone) {
  const size_t n = kRate * 2;
  music::Bus bus(n);
  music::Noise noise(7);
  // One quiet second, then a second of loud bursts well over full scale.
  for (size_t i = 0; i < n; ++i) {
    double amp = i < n / 2 ? 0.2 : ((i / 2000) % 2 ? 3.0 : 0.6);
    bus.left[i] = static_cast<float>(amp * noise.Next());
    bus.right[i] = static_cast<float>(amp * noise.Next());
  }
  music::Bus before = bus;
  const double ceiling = music::DbToGain(-2.0);
  music::Limit(&bus, ceiling, 0.003, 0.08);
  float peak = 0.0f;
  for (size_t i = 0; i < n; ++i) peak = std::max({peak, std::fabs(bus.left[i]), std::fabs(bus.right[i])});
  EXPECT_LE(peak, ceiling * 1.0001);
  EXPECT_GT(peak, ceiling * 0.98) << "the limiter pulls down further than needed";
  // The quiet second (after the first look-ahead window) is untouched.
  for (size_t i = kRate / 100; i < n / 2 - kRate / 100; ++i) {
    ASSERT_EQ(bus.left[i], before.left[i]) << i;
    ASSERT_EQ(bus.right[i], before.right[i]) << i;
  }
}

TEST(Limiter, HoldsAPeakOnTheVeryFirstFrame) {
  music::Bus bus(1000);
  bus.left[0] = 2.5f;
  bus.right[1] = -1.5f;
  music::Limit(&bus, 0.5, 0.003, 0.08);
  EXPECT_LE(std::fabs(bus.left[0]), 0.5f * 1.0001f);
  EXPECT_LE(std::fabs(bus.right[1]), 0.5f * 1.0001f);
  EXPECT_GT(std::fabs(bus.left[0]), 0.45f);
}

// The onset meter used above finds a hit where it is and nothing in a
// steady sound.
TEST(OnsetMeterCheck, FindsABurstAndIgnoresSteadyNoise) {
  music::Noise noise(3);
  std::vector<float> v(kRate * 2);
  for (size_t i = 0; i < v.size(); ++i) {
    double since = static_cast<double>(i) - kRate;
    double amp = since >= 0.0 ? 0.5 * std::exp(-since / 4410.0) + 0.05 : 0.05;
    v[i] = static_cast<float>(amp * noise.Next());
  }
  OnsetMeter meter(v);
  double strength = 0.0;
  size_t found = meter.Strongest(kRate + 300, kRate * 60 / 1000, &strength);
  EXPECT_NEAR(static_cast<double>(found), static_cast<double>(kRate), kRate / 1000.0);
  EXPECT_GT(strength, 12.0);
  meter.Strongest(kRate / 2, kRate * 60 / 1000, &strength);
  EXPECT_LT(strength, 3.0);
}

}  // namespace
