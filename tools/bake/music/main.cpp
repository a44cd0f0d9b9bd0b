// bake_music: renders the score and writes it as an MP3 (MPEG-1 Layer III,
// 44100 Hz, joint stereo, 128 kbit/s constant bit rate) with a LAME "Info"
// tag that records the encoder delay and padding, so gapless decoders give
// back exactly the rendered samples.
//
//   bake_music OUT.MP3
//
// The same program on the same machine writes the same bytes every run.
#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "tools/bake/music/loudness.h"
#include "tools/bake/music/score.h"

namespace {

// The programme aims at -14 LUFS as decoded; the encoder's low-pass at about
// 16 kHz takes away some 0.55 LU of K-weighted energy, so the PCM aims higher.
constexpr double kTargetLufs = -13.45;
constexpr double kCeilingDb = -2.6;  // room for the codec's overshoot

std::vector<short> ToPcm(const music::Bus& bus) {
  std::vector<short> pcm(bus.Frames() * 2);
  for (size_t i = 0; i < bus.Frames(); ++i) {
    const float v[2] = {bus.left[i], bus.right[i]};
    for (int c = 0; c < 2; ++c) {
      long s = std::lround(static_cast<double>(v[c]) * 32767.0);
      pcm[i * 2 + c] = static_cast<short>(std::clamp(s, -32768L, 32767L));
    }
  }
  return pcm;
}

bool Encode(const std::vector<short>& pcm, std::vector<unsigned char>* out) {
  lame_t lame = lame_init();
  if (!lame) return false;
  lame_set_in_samplerate(lame, music::kSampleRate);
  lame_set_out_samplerate(lame, music::kSampleRate);
  lame_set_num_channels(lame, 2);
  lame_set_mode(lame, JOINT_STEREO);
  lame_set_VBR(lame, vbr_off);
  lame_set_brate(lame, 128);
  lame_set_quality(lame, 2);
  lame_set_bWriteVbrTag(lame, 1);  // the Info frame with delay and padding
  lame_set_write_id3tag_automatic(lame, 0);
  if (lame_init_params(lame) < 0) {
    lame_close(lame);
    return false;
  }
  const int frames = static_cast<int>(pcm.size() / 2);
  const int chunk = 8192;
  std::vector<unsigned char> buf(static_cast<size_t>(1.25 * chunk + 7200));
  bool ok = true;
  for (int start = 0; start < frames && ok; start += chunk) {
    int count = std::min(chunk, frames - start);
    int bytes = lame_encode_buffer_interleaved(lame, const_cast<short*>(&pcm[start * 2]), count,
                                               buf.data(), static_cast<int>(buf.size()));
    if (bytes < 0) ok = false;
    else out->insert(out->end(), buf.begin(), buf.begin() + bytes);
  }
  if (ok) {
    int bytes = lame_encode_flush(lame, buf.data(), static_cast<int>(buf.size()));
    if (bytes < 0) ok = false;
    else out->insert(out->end(), buf.begin(), buf.begin() + bytes);
  }
  if (ok) {
    // The first frame was a placeholder; now that the end is known, the
    // tag frame goes in its place.
    size_t tag = lame_get_lametag_frame(lame, buf.data(), buf.size());
    if (tag == 0 || tag > out->size()) ok = false;
    else std::copy(buf.begin(), buf.begin() + tag, out->begin());
  }
  lame_close(lame);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.MP3\n", argv[0]);
    return 2;
  }
  music::Bus mix = music::RenderScore();
  double lufs = music::Master(&mix, kTargetLufs, kCeilingDb);
  std::vector<short> pcm = ToPcm(mix);
  int peak = 0;
  for (short s : pcm) peak = std::max(peak, std::abs(static_cast<int>(s)));
  std::vector<unsigned char> mp3;
  if (!Encode(pcm, &mp3)) {
    std::fprintf(stderr, "bake_music: the MP3 encoder failed\n");
    return 1;
  }
  FILE* f = std::fopen(argv[1], "wb");
  if (!f || std::fwrite(mp3.data(), 1, mp3.size(), f) != mp3.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "bake_music: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("bake_music: %s, %zu bytes, %.2f s, %.2f LUFS, peak %.2f dBFS before encoding\n",
              argv[1], mp3.size(), static_cast<double>(pcm.size() / 2) / music::kSampleRate, lufs,
              20.0 * std::log10(std::max(peak, 1) / 32767.0));
  return 0;
}
