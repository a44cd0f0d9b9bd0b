// make_mp3.cpp -- a sine tone through libmp3lame.
#include "tests/timeline/make_mp3.h"

#include <lame/lame.h>

#include <cmath>

TestMp3 MakeTestMp3(double seconds) {
    TestMp3 mp3;
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, 44100);
    lame_set_out_samplerate(lame, 44100);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 7);
    lame_set_bWriteVbrTag(lame, 0);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return mp3;
    }
    const int samples = int(seconds * 44100);
    std::vector<short> pcm(size_t(samples) * 2);
    for (int i = 0; i < samples; ++i) {
        const short v = short(8000 * std::sin(2 * 3.14159265 * 440.0 * i / 44100.0));
        pcm[2 * size_t(i)] = v;
        pcm[2 * size_t(i) + 1] = v;
    }
    std::vector<unsigned char> out(size_t(1.25 * samples) + 7200 + 16384);
    int n = lame_encode_buffer_interleaved(lame, pcm.data(), samples, out.data(), int(out.size()));
    if (n >= 0) {
        const int tail = lame_encode_flush(lame, out.data() + n, int(out.size()) - n);
        if (tail >= 0) {
            mp3.bytes.assign(out.begin(), out.begin() + n + tail);
            mp3.frames = uint32_t(lame_get_frameNum(lame));
        }
    }
    lame_close(lame);
    return mp3;
}
