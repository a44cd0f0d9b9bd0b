// The committed music (decoded gapless by libmpg123) and pictures, against
// what the demo and the listener need; the meter and limiter the music baker
// relies on; fresh bakes of both equal to the committed files byte for byte.
#include <gtest/gtest.h>
#include <mpg123.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "platform/platform.h"
#include "tests/support/process.h"
#include "tools/bake/music/loudness.h"
#include "tools/bake/music/score.h"
#include "tools/bake/music/synth.h"

namespace {

constexpr int kRate = 44100;

// The decoded music as floats, and every audio frame's header.
struct Decoded {
  bool ok = false;
  long rate = 0;
  int channels = 0;
  std::vector<float> left, right;
  std::vector<mpg123_frameinfo> frames;
  size_t Frames() const { return left.size(); }
};

const Decoded& Music() {
  static const Decoded d = [] {
    Decoded d;
    mpg123_init();
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    mpg123_format_none(mh);
    mpg123_format(mh, kRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    int encoding = 0, rc = mpg123_open(mh, MUSIC_FILE);
    if (rc == MPG123_OK) rc = mpg123_getformat(mh, &d.rate, &d.channels, &encoding);
    std::vector<short> buf(16384);
    size_t got = 0;
    while (rc == MPG123_OK || rc == MPG123_NEW_FORMAT) {
      rc = mpg123_read(mh, buf.data(), buf.size() * sizeof(short), &got);
      for (size_t i = 0; i + 1 < got / sizeof(short); i += 2) {
        d.left.push_back(buf[i] / 32768.0f);
        d.right.push_back(buf[i + 1] / 32768.0f);
      }
    }
    mpg123_close(mh);
    d.ok = rc == MPG123_DONE;
    if (mpg123_open(mh, MUSIC_FILE) == MPG123_OK) {  // a second pass over the frame headers
      mpg123_frameinfo fi;
      while (mpg123_framebyframe_next(mh) == MPG123_OK)
        if (mpg123_info(mh, &fi) == MPG123_OK) d.frames.push_back(fi);
      mpg123_close(mh);
    }
    mpg123_delete(mh);
    return d;
  }();
  return d;
}

double Db(double v) { return 20.0 * std::log10(std::max(v, 1e-12)); }

double PeakOf(const Decoded& d, size_t from, size_t to) {
  double p = 0.0;
  for (size_t i = from; i < to && i < d.Frames(); ++i) p = std::max({p, double(std::fabs(d.left[i])), double(std::fabs(d.right[i]))});
  return p;
}

TEST(MusicFile, IsEmbeddedMpeg1Layer3At128kConstantJointStereoOfTheRenderedLength) {
  const Decoded& d = Music();
  ASSERT_TRUE(d.ok) << "cannot decode " << MUSIC_FILE;
  EXPECT_EQ(std::vector<long>({d.rate, d.channels}), std::vector<long>({44100, 2}));
  ASSERT_GT(d.frames.size(), 2500u);
  for (const mpg123_frameinfo& fi : d.frames)
    ASSERT_EQ(std::vector<long>({fi.version, fi.layer, fi.rate, fi.bitrate, fi.vbr, fi.mode}),
              std::vector<long>({MPG123_1_0, 3, 44100, 128, MPG123_CBR, MPG123_M_JOINT}));
  // Gapless trimming removed exactly the encoder's delay and padding, so
  // sample positions in the decoded audio are positions in the score.
  EXPECT_EQ(d.Frames(), music::kLengthFrames);
  EXPECT_GE(double(d.Frames()) / kRate, 66.5);
  EXPECT_LE(double(d.Frames()) / kRate, 67.0);
  Resource r{};
  ASSERT_TRUE(Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_MP3", &r));
  EXPECT_TRUE(std::vector<uint8_t>(r.data, r.data + r.size) == ReadBytes(MUSIC_FILE));
}

TEST(MusicFile, EverySectionSoundsAtTheRightLevelAndTheEndIsSilent) {
  const Decoded& d = Music();
  ASSERT_TRUE(d.ok);
  double meanL = 0.0, meanR = 0.0;
  for (size_t i = 0; i < d.Frames(); ++i) meanL += d.left[i], meanR += d.right[i];
  EXPECT_LT(std::max(std::fabs(meanL), std::fabs(meanR)) / d.Frames(), 1e-3) << "DC";
  const double peak = Db(PeakOf(d, 0, d.Frames()));
  EXPECT_LE(peak, -1.0);
  EXPECT_GT(peak, -6.0) << "far below full scale: the mastering did not happen";
  EXPECT_NEAR(music::IntegratedLoudness(d.left.data(), d.right.data(), d.Frames(), kRate), -14.0, 2.0);
  std::vector<double> bounds = {0.0};
  for (double t : music::kSyncTimes) bounds.push_back(t);
  bounds.push_back(66.2);  // the final chord, before the fade
  for (size_t s = 0; s + 1 < bounds.size(); ++s) {
    const size_t a = size_t(bounds[s] * kRate), b = size_t(bounds[s + 1] * kRate);
    double sum = 0.0;
    for (size_t i = a; i < b; ++i) sum += 0.5 * (d.left[i] * d.left[i] + d.right[i] * d.right[i]);
    EXPECT_GT(Db(std::sqrt(sum / (b - a))), -35.0) << "section " << s + 1 << " is (nearly) silent";
    // The piece keeps its shape: no section far below the whole.
    if (s + 2 < bounds.size()) {
      EXPECT_GT(music::IntegratedLoudness(&d.left[a], &d.right[a], b - a, kRate), -26.0) << "section " << s + 1;
    }
  }
  EXPECT_LT(Db(PeakOf(d, d.Frames() - size_t(0.3 * kRate), d.Frames())), -60.0) << "the last 0.3 s";
}

// The strongest onset within 60 ms: the first difference's energy (hits over
// bass) in the 10 ms after a frame against the 50 ms before, in dB.
size_t StrongestOnset(const std::vector<float>& mono, size_t centre, double* strength) {
  std::vector<double> prefix(mono.size() + 1, 0.0);
  for (size_t i = 1; i < mono.size(); ++i) prefix[i + 1] = prefix[i] + std::pow(double(mono[i]) - mono[i - 1], 2);
  const size_t after = kRate / 100, before = kRate / 20, radius = kRate * 60 / 1000;
  size_t best = centre;
  *strength = -1e9;
  for (size_t at = centre - radius; at <= centre + radius; ++at) {
    const double e1 = (prefix[at + after] - prefix[at]) / after, e0 = (prefix[at] - prefix[at - before]) / before;
    const double s = 10.0 * std::log10((e1 + 1e-12) / (e0 + 1e-12));
    if (s > *strength) *strength = s, best = at;
  }
  return best;
}

TEST(MusicFile, AClearOnsetAtEveryPartChange) {
  // The meter finds a burst where it is and nothing in steady noise.
  music::Noise noise(3);
  std::vector<float> burst(kRate * 2);
  for (size_t i = 0; i < burst.size(); ++i) {
    const double since = double(i) - kRate;
    burst[i] = float((since >= 0.0 ? 0.5 * std::exp(-since / 4410.0) + 0.05 : 0.05) * noise.Next());
  }
  double strength = 0.0;
  EXPECT_NEAR(double(StrongestOnset(burst, kRate + 300, &strength)), double(kRate), kRate / 1000.0);
  EXPECT_GT(strength, 12.0);
  StrongestOnset(burst, kRate / 2, &strength);
  EXPECT_LT(strength, 3.0);

  const Decoded& d = Music();
  ASSERT_TRUE(d.ok);
  std::vector<float> mono(d.Frames());
  for (size_t i = 0; i < mono.size(); ++i) mono[i] = 0.5f * (d.left[i] + d.right[i]);
  for (double t : music::kSyncTimes) {
    // The strongest onset near the part change is at it: within 20 ms, a
    // jump of at least 6 dB.
    const size_t at = size_t(std::lround(t * kRate));
    const double offsetMs = (double(StrongestOnset(mono, at, &strength)) - double(at)) * 1000.0 / kRate;
    EXPECT_LE(std::fabs(offsetMs), 20.0) << "at " << t << " s";
    EXPECT_GE(strength, 6.0) << "at " << t << " s";
  }
}

TEST(MusicFile, BakerReproducesTheCommittedFileByteForByte) {
  const TempFolder dir;
  const Outcome run = RunCommand("'" MUSIC_BAKER "' " + dir / "MUSIC.MP3");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(ReadBytes(dir / "MUSIC.MP3") == ReadBytes(MUSIC_FILE))
      << "the committed music is not what the baker makes: run make assets";
}

std::vector<float> Sine(double hz, double amplitude, double seconds) {
  std::vector<float> v(size_t(seconds * kRate));
  for (size_t i = 0; i < v.size(); ++i) v[i] = float(amplitude * std::sin(2.0 * music::kPi * hz * i / kRate));
  return v;
}

double Lufs(const std::vector<float>& mono) { return music::IntegratedLoudness(mono.data(), mono.data(), mono.size(), kRate); }

// The EBU Tech 3341 reference signals for a BS.1770 meter.
TEST(LoudnessMeter, ReadsTheReferenceSignalsAndGatesQuietPassages) {
  // A stereo 1 kHz sine at -23 dBFS reads -23 LUFS; at full scale 0 LUFS.
  EXPECT_NEAR(Lufs(Sine(1000.0, music::DbToGain(-23.0), 20.0)), -23.0, 0.1);
  EXPECT_NEAR(Lufs(Sine(1000.0, 1.0, 5.0)), 0.0, 0.1);
  // K-weighting: 10 kHz reads higher than 1 kHz (the shelf); 100 Hz lower
  // (the 38 Hz high-pass takes about 1.2 dB, 1 kHz sits 0.7 dB up the shelf).
  const double mid = Lufs(Sine(1000.0, 0.1, 5.0));
  EXPECT_NEAR(Lufs(Sine(10000.0, 0.1, 5.0)) - mid, 3.3, 0.5);
  EXPECT_NEAR(Lufs(Sine(100.0, 0.1, 5.0)) - mid, -1.85, 0.3);
  // -36 / -23 / -36 dBFS for 10 / 60 / 10 s: the relative gate leaves only
  // the middle (case 3); silence around a tone is gated out absolutely.
  const std::vector<float> quiet = Sine(1000.0, music::DbToGain(-36.0), 10.0);
  const std::vector<float> loud = Sine(1000.0, music::DbToGain(-23.0), 60.0);
  std::vector<float> v = quiet, w(size_t(20 * kRate), 0.0f);
  v.insert(v.end(), loud.begin(), loud.end());
  v.insert(v.end(), quiet.begin(), quiet.end());
  EXPECT_NEAR(Lufs(v), -23.0, 0.1);
  w.insert(w.end(), loud.begin(), loud.begin() + 20 * kRate);
  w.resize(w.size() + 20 * kRate, 0.0f);
  EXPECT_NEAR(Lufs(w), -23.0, 0.1);
  EXPECT_LT(Lufs(std::vector<float>(kRate * 2, 0.0f)), -150.0);
}

TEST(Limiter, HoldsTheCeilingFromTheFirstFrameAndLeavesQuietPassagesAlone) {
  const size_t n = kRate * 2;
  music::Bus bus(n);
  music::Noise noise(7);
  // One quiet second, then a second of loud bursts well over full scale.
  for (size_t i = 0; i < n; ++i) {
    const double amp = i < n / 2 ? 0.2 : ((i / 2000) % 2 ? 3.0 : 0.6);
    bus.left[i] = float(amp * noise.Next());
    bus.right[i] = float(amp * noise.Next());
  }
  const music::Bus before = bus;
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
  music::Bus first(1000);  // a peak on the very first frame
  first.left[0] = 2.5f;
  first.right[1] = -1.5f;
  music::Limit(&first, 0.5, 0.003, 0.08);
  EXPECT_LE(std::fabs(first.left[0]), 0.5f * 1.0001f);
  EXPECT_LE(std::fabs(first.right[1]), 0.5f * 1.0001f);
  EXPECT_GT(std::fabs(first.left[0]), 0.45f);
}


const struct {
  const char* name;
  int width, height;
} kJpegs[] = {
    {"AUGE.JPG", 256, 256},      {"BALL.JPG", 256, 256},        {"BALL2.JPG", 256, 256},       {"BLACK.JPG", 128, 128},
    {"BODEN.JPG", 256, 256},     {"GLOW.JPG", 256, 256},        {"GLOW2.JPG", 256, 256},       {"GRIDMAP.JPG", 256, 256},
    {"LOOK.JPG", 256, 256},      {"MAP.JPG", 512, 512},         {"OUTTRO.JPG", 256, 256},      {"PARTICLE1.JPG", 256, 256},
    {"PARTICLE2.JPG", 256, 256}, {"PARTICLE3.JPG", 256, 256},   {"PLASMA.JPG", 256, 256},      {"SMOKE.JPG", 256, 256},
    {"SPIKEFRONT.JPG", 256, 256}, {"SPIKEFRONT2.JPG", 256, 256}, {"SPIRAL.JPG", 256, 256},     {"SPIRALFRONT.JPG", 256, 256},
    {"TESTPATTERN.JPG", 512, 512}, {"TITLE.JPG", 256, 256},     {"WHITE.JPG", 128, 128},
};

std::vector<uint8_t> Committed(const std::string& name) { return ReadBytes(std::string(RESOURCE_DIR) + "/" + name); }

// The frame header before the first scan (marker, precision, height, width,
// components) and whether a JFIF segment came first.
std::vector<int> FrameHeader(const std::vector<uint8_t>& b, bool* jfif) {
  *jfif = b.size() > 11 && b[0] == 0xFF && b[1] == 0xD8 && b[3] == 0xE0 && std::memcmp(&b[6], "JFIF", 5) == 0;
  for (size_t i = 2; i + 10 <= b.size() && b[i] == 0xFF && b[i + 1] != 0xDA; i += 2 + (b[i + 2] << 8 | b[i + 3]))
    if (b[i + 1] >= 0xC0 && b[i + 1] <= 0xCF && b[i + 1] != 0xC4 && b[i + 1] != 0xC8 && b[i + 1] != 0xCC)
      return {b[i + 1], b[i + 4], b[i + 5] << 8 | b[i + 6], b[i + 7] << 8 | b[i + 8], b[i + 9]};
  return {};
}

// Every picture: a baseline JFIF of 8-bit YCbCr at its listed size, modest,
// and embedded byte for byte under the picture type (the splash too).
TEST(Pictures, EveryPictureIsABaselineJfifOfItsSizeAndEmbedded) {
  for (const auto& e : kJpegs) {
    SCOPED_TRACE(e.name);
    const std::vector<uint8_t> bytes = Committed(e.name);
    ASSERT_FALSE(bytes.empty());
    EXPECT_LT(bytes.size(), 80u * 1024) << "keep the pictures modest";
    bool jfif = false;
    EXPECT_EQ(FrameHeader(bytes, &jfif), std::vector<int>({0xC0, 8, e.height, e.width, 3}));  // baseline, 8 bits
    EXPECT_TRUE(jfif);
    tjhandle h = tjInitDecompress();
    int width = 0, height = 0, subsamp = -1, colorspace = -1;
    EXPECT_EQ(tjDecompressHeader3(h, bytes.data(), bytes.size(), &width, &height, &subsamp, &colorspace), 0);
    tjDestroy(h);
    EXPECT_EQ(colorspace, TJCS_YCbCr);
  }
  for (const auto& e : kJpegs) {
    Resource r;
    ASSERT_TRUE(Sys_FindResource("ZYN_JPEGTEX", e.name, &r)) << e.name;
    EXPECT_TRUE(std::vector<uint8_t>(r.data, r.data + r.size) == Committed(e.name)) << e.name;
  }
  Resource r;
  ASSERT_TRUE(Sys_FindResource("ZYN_JPEGTEX", "SPLASH.TGA", &r));
  EXPECT_TRUE(std::vector<uint8_t>(r.data, r.data + r.size) == Committed("SPLASH.TGA"));
  EXPECT_FALSE(Sys_FindResource("ZYN_JPEGTEX", "auge.jpg", &r)) << "names are upper case";
}

std::vector<uint8_t> Texels(const char* name, int size) {
  const std::vector<uint8_t> jpeg = Committed(name);
  std::vector<uint8_t> rgb(size_t(size) * size * 3);
  tjhandle h = tjInitDecompress();
  EXPECT_EQ(tjDecompress2(h, jpeg.data(), jpeg.size(), rgb.data(), size, 0, size, TJPF_RGB, 0), 0) << name;
  tjDestroy(h);
  return rgb;
}

// Sprites are drawn additively: their outer texels must add nothing. BLACK
// and WHITE are flat.
TEST(Pictures, SpritesFadeToBlackBeforeTheirEdgesAndBlackAndWhiteAreFlat) {
  for (const char* name : {"PARTICLE1.JPG", "PARTICLE2.JPG", "PARTICLE3.JPG", "GLOW.JPG", "GLOW2.JPG", "SMOKE.JPG"}) {
    const std::vector<uint8_t> rgb = Texels(name, 256);
    auto brightest = [&](int x, int y) { return *std::max_element(&rgb[(y * 256 + x) * 3], &rgb[(y * 256 + x) * 3 + 3]); };
    int worst = 0;
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x)
        if (std::min({x, y, 255 - x, 255 - y}) < 4) worst = std::max<int>(worst, brightest(x, y));
    EXPECT_LE(worst, 2) << name;
    EXPECT_GT(brightest(128, 128), 100) << name << ": a sprite needs a bright middle";
  }
  for (const auto& [name, lo, hi] : {std::tuple{"BLACK.JPG", 0, 2}, {"WHITE.JPG", 253, 255}}) {
    const std::vector<uint8_t> rgb = Texels(name, 128);
    EXPECT_GE(*std::min_element(rgb.begin(), rgb.end()), lo) << name;
    EXPECT_LE(*std::max_element(rgb.begin(), rgb.end()), hi) << name;
  }
}

TEST(Pictures, SplashIsA32BitTgaWithASoftOutline) {
  const std::vector<uint8_t> t = Committed("SPLASH.TGA");
  ASSERT_EQ(t.size(), 307244u);
  // No image ID, no colour map, uncompressed true colour, 320 x 240 x 32,
  // 8 alpha bits, bottom row first.
  const std::vector<uint8_t> header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 1, 240, 0, 32, 8};
  EXPECT_EQ(std::vector<uint8_t>(t.begin(), t.begin() + 18), header);
  EXPECT_EQ(std::string(t.end() - 26, t.end()), std::string(8, '\0') + "TRUEVISION-XFILE." + std::string(1, '\0'));
  // Entries B, G, R, A from the bottom row up: transparent all round, a wide
  // soft band, opaque in the middle.
  auto alpha = [&](int x, int yFromBottom) { return t[18 + (size_t(yFromBottom) * 320 + x) * 4 + 3]; };
  int clear = 0, opaque = 0, soft = 0, edge = 0;
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) {
      const int a = alpha(x, y);
      (a == 0 ? clear : a == 255 ? opaque : soft)++;
      if (x == 0 || y == 0 || x == 319 || y == 239) edge = std::max(edge, a);
    }
  EXPECT_GT(clear, 1000);
  EXPECT_GT(opaque, 1000);
  EXPECT_GT(soft, 10000) << "a wide soft band";
  EXPECT_EQ(edge, 0);
  EXPECT_EQ(alpha(160, 120), 255);
}

// Exactly what the baker makes, whatever the SIMD path (forced off here),
// TurboJPEG's environment switches or the locale.
TEST(Pictures, TheBakerMakesTheseBytesWhateverTheCpuPathOrTheEnvironment) {
  const TempFolder dir;
  const Outcome run = RunCommand("env JSIMD_FORCENONE=1 TJ_OPTIMIZE=1 TJ_PROGRESSIVE=1 TJ_RESTART=4 LC_ALL=C.UTF-8 '"
                             BAKE_PICTURES "' --out " + dir.path);
  ASSERT_EQ(run.status, 0) << run.output;
  std::vector<std::string> names = {"SPLASH.TGA"};
  for (const auto& e : kJpegs) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(dir.Names(), names) << "nothing else is written";
  for (const std::string& name : names)
    EXPECT_TRUE(ReadBytes(dir / name) == Committed(name)) << name << ": run `make assets` and commit the pictures";
}

}  // namespace
