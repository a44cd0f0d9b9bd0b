// The audio layer: SDL's dummy output in real time, and the silent device
// on an injected clock.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/sys_audio.h"
#include "tests/timeline/make_mp3.h"

namespace {

using Clock = std::chrono::steady_clock;

uint32_t g_now = 0;
uint32_t FakeTicks() { return g_now; }

class AudioTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    void TearDown() override {
        Sys_AudioFree();
        Sys_SetSilentAudio(false);
        Sys_SetTickSource(nullptr);
    }
};

double SecondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

TEST_F(AudioTest, ThePositionFollowsRealTime) {
    const TestMp3 mp3 = MakeTestMp3(5.0);
    ASSERT_FALSE(mp3.bytes.empty());
    ASSERT_TRUE(Sys_AudioInit(kAudioDefaultDevice, 44100, 0, 0));
    EXPECT_FALSE(Sys_AudioInit(kAudioDefaultDevice, 44100, 0, 0));  // already open
    const HSTREAM stream = Sys_StreamCreateMemory(mp3.bytes.data(), 0, uint32_t(mp3.bytes.size()), 0);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 0u);  // not playing yet
    ASSERT_TRUE(Sys_AudioStart());
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(Sys_StreamPlay(stream, false, kAudioSampleLoop));
    // The position heard minus the steady clock since play, every 5 ms.
    uint32_t last = 0;
    std::vector<double> lead;
    while (SecondsSince(start) < 1.5) {
        const uint32_t p = Sys_ChannelGetPosition(stream);
        const double elapsed = SecondsSince(start);
        EXPECT_GE(p, last);
        EXPECT_EQ(p % 4, 0u);  // whole 16-bit stereo frames
        last = p;
        if (elapsed > 0.2) lead.push_back(double(p) / 176400.0 - elapsed);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // SDL's dummy output has no clock of its own; the layer keeps it to real
    // time, however busy the machine. What is heard starts with the first
    // buffer after play, so it may trail the clock by up to that buffer
    // (46 ms), never lead it, and it moves with the clock, not a buffer at
    // a time (the decoded count leads by a buffer, then stands still). The
    // tenth and ninetieth percentiles leave out a late callback or two.
    ASSERT_GT(lead.size(), 50u);
    std::sort(lead.begin(), lead.end());
    const double low = lead[lead.size() / 10], high = lead[lead.size() * 9 / 10];
    std::printf("heard minus clock: %.1f ms to %.1f ms\n", low * 1000, high * 1000);
    EXPECT_LT(high, 0.005);
    EXPECT_GT(low, -0.06);
    EXPECT_LT(high - low, 0.015);

    // Stopped, the position stands still.
    ASSERT_TRUE(Sys_AudioStop());
    const uint32_t stopped = Sys_ChannelGetPosition(stream);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Sys_ChannelGetPosition(stream), stopped);
    // Started again, it goes on from there.
    ASSERT_TRUE(Sys_AudioStart());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double more = double(Sys_ChannelGetPosition(stream) - stopped) / 176400.0;
    EXPECT_GT(more, 0.2);
    EXPECT_LT(more, 0.65);
    EXPECT_TRUE(Sys_StreamFree(stream));
    EXPECT_FALSE(Sys_StreamFree(stream));
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 0u);
    EXPECT_TRUE(Sys_AudioFree());
    EXPECT_FALSE(Sys_AudioFree());
}

TEST_F(AudioTest, ALoopedStreamStartsAgainFromZero) {
    const TestMp3 mp3 = MakeTestMp3(0.4);
    ASSERT_TRUE(Sys_AudioInit(kAudioDefaultDevice, 44100, 0, 0));
    const HSTREAM stream = Sys_StreamCreateMemory(mp3.bytes.data(), 0, uint32_t(mp3.bytes.size()), 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(Sys_StreamPlay(stream, false, kAudioSampleLoop));
    // Each MPEG frame decodes to 1152 stereo samples of 4 bytes.
    const uint32_t length = mp3.frames * 1152 * 4;
    uint32_t highest = 0, previous = 0;
    int wraps = 0;
    const Clock::time_point start = Clock::now();
    while (wraps < 2 && SecondsSince(start) < 5.0) {
        const uint32_t p = Sys_ChannelGetPosition(stream);
        EXPECT_LE(p, length);
        if (p < previous) {
            ++wraps;
            EXPECT_GE(highest, length - 8192);  // wrapped at the end, not early
        }
        if (p > highest) highest = p;
        previous = p;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(wraps, 2);

    // Without the loop flag the stream ends and stays at its end.
    ASSERT_TRUE(Sys_StreamPlay(stream, true, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    EXPECT_EQ(Sys_ChannelGetPosition(stream), length);
}

// SDL's disk output writes what it is given to a file: the decoded tone
// must arrive there, a 440 Hz sine of amplitude 8000 on both channels.
TEST_F(AudioTest, TheDecodedSoundReachesTheOutput) {
    const char* dir = std::getenv("TMPDIR");
    const std::string path = std::string(dir ? dir : "/tmp") + "/sys_audio_test_" +
                             std::to_string(::getpid()) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    const TestMp3 mp3 = MakeTestMp3(0.5);
    ASSERT_TRUE(Sys_AudioInit(kAudioDefaultDevice, 44100, 0, 0));
    const HSTREAM stream = Sys_StreamCreateMemory(mp3.bytes.data(), 0, uint32_t(mp3.bytes.size()), 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(Sys_StreamPlay(stream, false, 0));
    const Clock::time_point start = Clock::now();
    while (Sys_ChannelGetPosition(stream) < mp3.frames * 1152 * 4 && SecondsSince(start) < 5.0)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Sys_AudioFree();  // closes the file
    unsetenv("SDL_DISKAUDIOFILE");

    std::ifstream in(path, std::ios::binary);
    std::vector<int16_t> samples;
    int16_t pair[2];
    while (in.read(reinterpret_cast<char*>(pair), sizeof pair)) {
        EXPECT_EQ(pair[0], pair[1]) << "frame " << samples.size();
        samples.push_back(pair[0]);
        if (pair[0] != pair[1]) break;
    }
    std::remove(path.c_str());
    // On a busy machine the self-clocked disk output hands over silent
    // buffers when it runs early and skips decoded sound when it catches up,
    // so judge the tone by the median of 20 ms windows: a few windows with a
    // gap or a jump cannot move it. Windows holding a run of exact zeros
    // (which a 440 Hz sine of this amplitude never has) are silence.
    size_t first = 0;
    while (first < samples.size() && std::abs(samples[first]) < 1000) ++first;
    const size_t last = std::min(samples.size(), first + 17640);  // 0.4 s of the 0.5 s tone
    constexpr size_t kWindow = 882;
    std::vector<double> rmsOf, crossingsOf;
    for (size_t w = first + 200; w + kWindow <= last; w += kWindow) {
        double energy = 0;
        int crossings = 0, zeros = 0, longestZeros = 0;
        for (size_t i = w; i < w + kWindow; ++i) {
            energy += double(samples[i]) * samples[i];
            if (i > w && (samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
            zeros = samples[i] == 0 ? zeros + 1 : 0;
            longestZeros = std::max(longestZeros, zeros);
        }
        if (longestZeros >= 8) continue;
        rmsOf.push_back(std::sqrt(energy / kWindow));
        crossingsOf.push_back(crossings);
    }
    ASSERT_GE(rmsOf.size(), 5u) << "too little sound reached the output";
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    };
    EXPECT_NEAR(median(rmsOf), 8000 / std::sqrt(2.0), 600);
    EXPECT_NEAR(median(crossingsOf), 2 * 440 * double(kWindow) / 44100, 1.5);  // two per period
}

TEST_F(AudioTest, BytesThatAreNotAnMp3MakeNoStream) {
    ASSERT_TRUE(Sys_AudioInit(kAudioDefaultDevice, 44100, 0, 0));
    const std::vector<uint8_t> text(10000, 'x');
    const std::vector<uint8_t> zeros(10000, 0);
    EXPECT_EQ(Sys_StreamCreateMemory(text.data(), 0, uint32_t(text.size()), 0), 0u);
    EXPECT_EQ(Sys_StreamCreateMemory(zeros.data(), 0, uint32_t(zeros.size()), 0), 0u);
    EXPECT_EQ(Sys_StreamCreateMemory(nullptr, 0, 0, 0), 0u);
    // Half an MP3 is still one; its bytes from an offset too.
    const TestMp3 mp3 = MakeTestMp3(1.0);
    std::vector<uint8_t> padded(17, 0x55);
    padded.insert(padded.end(), mp3.bytes.begin(), mp3.bytes.end());
    const HSTREAM half = Sys_StreamCreateMemory(mp3.bytes.data(), 0, uint32_t(mp3.bytes.size() / 2), 0);
    const HSTREAM offset = Sys_StreamCreateMemory(padded.data(), 17, uint32_t(mp3.bytes.size()), 0);
    EXPECT_NE(half, 0u);
    EXPECT_NE(offset, 0u);
    EXPECT_NE(half, offset);
    // Playing the failed stream fails.
    EXPECT_FALSE(Sys_StreamPlay(0, false, kAudioSampleLoop));
}

TEST_F(AudioTest, NothingWorksBeforeTheOutputIsOpen) {
    const TestMp3 mp3 = MakeTestMp3(0.2);
    EXPECT_EQ(Sys_StreamCreateMemory(mp3.bytes.data(), 0, uint32_t(mp3.bytes.size()), 0), 0u);
    EXPECT_FALSE(Sys_AudioStart());
    EXPECT_FALSE(Sys_AudioStop());
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(Sys_AudioInit(kAudioDefaultDevice, 44100, 0, 0));
    // Unless the silent output is asked for, as offline rendering does.
    Sys_SetSilentAudio(true);
    EXPECT_TRUE(Sys_AudioInit(kAudioDefaultDevice, 44100, 0, 0));
}

TEST_F(AudioTest, TheSilentDeviceFollowsTheClock) {
    Sys_SetTickSource(FakeTicks);
    g_now = 0xFFFFF000u;  // the tick count wraps during the test
    ASSERT_TRUE(Sys_AudioInit(kAudioNoSoundDevice, 44100, 0, 0));
    const TestMp3 mp3 = MakeTestMp3(1.0);
    const HSTREAM stream = Sys_StreamCreateMemory(mp3.bytes.data(), 0, uint32_t(mp3.bytes.size()), 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(Sys_AudioStart());
    g_now += 100;  // nothing moves before play
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 0u);
    ASSERT_TRUE(Sys_StreamPlay(stream, false, kAudioSampleLoop));
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 0u);
    g_now += 500;
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 88200u);
    g_now += 8;  // 1411.2 bytes: whole frames only
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 89608u);
    // Past the stream's length it starts again.
    const uint32_t length = mp3.frames * 1152 * 4;
    g_now += 1000;
    EXPECT_EQ(Sys_ChannelGetPosition(stream), (88200u + 1411u + 176400u) % length / 4 * 4);
    // Stop holds it, start goes on from there.
    const uint32_t held = Sys_ChannelGetPosition(stream);
    ASSERT_TRUE(Sys_AudioStop());
    g_now += 3000;
    EXPECT_EQ(Sys_ChannelGetPosition(stream), held);
    ASSERT_TRUE(Sys_AudioStart());
    EXPECT_EQ(Sys_ChannelGetPosition(stream), held);

    // The stream that could not be made runs on the clock from its play.
    EXPECT_EQ(Sys_ChannelGetPosition(0), 0u);
    EXPECT_FALSE(Sys_StreamPlay(0, false, kAudioSampleLoop));
    g_now += 65600;
    EXPECT_EQ(Sys_ChannelGetPosition(0), 11571840u);
}

}  // namespace
