// make_mp3.h -- small MP3s for the tests, encoded on the spot with LAME.
#pragma once

#include <cstdint>
#include <vector>

struct TestMp3 {
    std::vector<uint8_t> bytes;
    uint32_t frames = 0;  // MPEG frames written (1152 samples each)
};

// A sine tone of `seconds` at 44100 Hz, 16-bit stereo, 128 kbit/s, with no
// VBR/LAME tag frame, so every frame decodes to 1152 sample frames.
TestMp3 MakeTestMp3(double seconds);
