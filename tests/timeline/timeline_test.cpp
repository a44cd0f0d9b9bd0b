// The sync file's readers and load; the music player and the sync check on
// the silent device with a fake clock (the position is then exactly the ms
// since play x 176.4 bytes); the audio layer on SDL's dummy and disk outputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/globals.h"
#include "app/shell.h"
#include "platform/platform.h"
#include "platform/sys_audio.h"
#include "tests/support/gl_test.h"
#include "tests/support/hooks.h"
#include "tests/support/process.h"
#include "tests/timeline/make_mp3.h"
#include "timeline/dispatcher.h"
#include "timeline/music_player.h"
#include "timeline/sync_file.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max(), kMin = std::numeric_limits<int32_t>::min();
using Rows = std::vector<std::vector<int32_t>>;

// The sync file of this build, as embedded.
std::string BuildSyncFile() {
    Resource file;
    if (!Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_DAT", &file)) return "";
    return std::string(reinterpret_cast<const char*>(file.data), file.size);
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
    return s;
}

// The rows loaded from a buffer of exactly the text's size (AddressSanitizer
// sees any read past it), and the invariants every table keeps.
Rows Load(const std::string& text, uint32_t* maxSyncs = nullptr) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    char names[kSyncFieldSize];
    SyncTable table = LoadSyncTable(bytes.empty() ? nullptr : bytes.data(), bytes.size(), names);
    Rows rows;
    uint32_t longest = 0;
    for (uint32_t i = 0; i < table.trackCount; ++i) {
        EXPECT_EQ(table.nextSync[i], 0u);
        longest = std::max(longest, table.syncCounts[i]);
        rows.emplace_back(table.syncPositions + size_t(i) * table.maxSyncs,
                          table.syncPositions + size_t(i) * table.maxSyncs + table.syncCounts[i]);
    }
    EXPECT_EQ(table.maxSyncs, longest);  // the rows share the longest track's length
    EXPECT_LE(table.trackCount, bytes.size());  // every track took a byte at least
    EXPECT_EQ(table.trackCount == 0, table.syncCounts == nullptr);
    EXPECT_EQ(table.syncPositions == nullptr, longest == 0);
    if (maxSyncs) *maxSyncs = table.maxSyncs;
    FreeSyncTable(table);
    return rows;
}

TEST(SyncFile, LoadsTracksOfTimesAsBytePositions) {
    const std::string file = BuildSyncFile();
    ASSERT_EQ(file.size(), 65u);
    const Rows build = {{1464120, 2928240, 4427640, 5909400, 7355880, 8837639, 10178280, 11571839}};
    const struct {
        const char* what;
        std::string text;
        Rows rows;
    } table[] = {
        {"the file of this build", file, build},
        // ';' and CR LF are interchangeable; a lone LF is ordinary text.
        {"semicolons", Replace(file, "\r\n", ";"), build},
        {"mixed", "1;Szenensync\r\n8;8.3\r\n16.6;25.1;33.5\r\n41.7\r\n50.1;57.7;65.6\r\n", build},
        {"a line feed in a field", "1;A;2;1\n;2;", {{176400, 352800}}},
        {"line feeds only: one field that never ends", Replace(file, "\r\n", "\n"), {}},
        {"tracks of different lengths", "3;A;2;1;2;B;0;C;4;0.5;1.5;2.5;3;",
         {{176400, 352800}, {}, {88200, 264600, 441000, 529200}}},
        {"the only track empty: no table", "1;Leer;0;", {{}}},
        {"file order and sign", "1;T;4;2;1;-1;3;", {{352800, 176400, -176400, 529200}}},
        // Reads stay inside the data.
        {"a last field without its end", "1\r\nSz\r\n8\r\n8.3\r\n16.", {{1464120, 2822400}}},
        {"a carriage return as the last byte", "1;Sz;2;8.3;16.6\r", {{1464120, 2928240}}},
        {"cut inside the name", "1;Szen", {{}}},
        {"cut before the first track", "2;", {}},
        {"cut after the count", "1\r", {}},
        {"one long number", std::string(5000, '7'), {}},
        {"nothing", "", {}},
        // Counts cannot reach beyond the data.
        {"a negative count", "-1;A;2;1;2;", {}},
        {"a negative time count; the next count is \"B\"", "2;A;-3;1;B;1;2;", {{}, {}}},
        {"a huge time count", "1;A;2000000000;1;2;", {{176400, 352800}}},
        {"a huge track count", "4000000000;A;1;1;B;1;2;", {{176400}, {352800}}},
        // A field keeps its first 99 bytes, the rest passed over.
        {"a long name", "1;" + std::string(300, 'N') + ";1;8.3;", {{1464120}}},
        {"a long time", "1;A;1;1.5" + std::string(200, '0') + "9;", {{264600}}},
        {"infinite and not a number", "1;A;2;inf;nan;", {{kMax, kMin}}},
    };
    for (const auto& t : table) EXPECT_EQ(Load(t.text), t.rows) << t.what;
    uint32_t maxSyncs = 0;
    Load("1;A;2000000000;1;2;", &maxSyncs);
    EXPECT_EQ(maxSyncs, 2u);
    char names[kSyncFieldSize];
    SyncTable none = LoadSyncTable(nullptr, 0, names);
    EXPECT_EQ(none.trackCount, 0u);
    EXPECT_EQ(none.syncCounts, nullptr);
    // The inputs a fuzzer gathered reaching every branch of the loader.
    for (const auto& e : std::filesystem::directory_iterator(DEMO_SOURCE_DIR "/tests/timeline/sync_corpus")) {
        const std::vector<uint8_t> bytes = ReadBytes(e.path().string());
        SCOPED_TRACE(e.path().filename().string());
        Load(std::string(bytes.begin(), bytes.end()));
    }
}

TEST(SyncFile, FieldsReadLikeAtoiAndAtofAndTimesTruncateToBytes) {
    const std::string text = std::string(300, 'N') + ";  +42abc;abc;-17\r\n99999999999;-99999999999;50.1;65.6;1e3x;";
    SyncCursor c = {reinterpret_cast<const uint8_t*>(text.data()), reinterpret_cast<const uint8_t*>(text.data()) + text.size()};
    char buffer[kSyncFieldSize];
    std::memset(buffer, 'x', sizeof buffer);
    ReadTextField(c, buffer);
    EXPECT_EQ(std::string(buffer), std::string(99, 'N'));
    for (int32_t e : {42, 0, -17, kMax, kMin}) EXPECT_EQ(ReadIntField(c), e);  // saturating
    for (float e : {50.1f, 65.6f, 1000.0f}) EXPECT_EQ(ReadFloatField(c), e);
    EXPECT_EQ(c.at, c.end);
    EXPECT_EQ(ReadIntField(c), 0);  // at the end: an empty field, the cursor stays
    EXPECT_EQ(c.at, c.end);
    // Truncated (50.1 and 65.6 are just below as floats), saturated, NaN low.
    const struct { float seconds; int32_t bytes; } times[] = {
        {50.1f, 8837639}, {65.6f, 11571839}, {8.3f, 1464120}, {-0.5f, -88200}, {1e9f, kMax}, {-1e9f, kMin},
        {std::nanf(""), kMin}};
    for (const auto& t : times) EXPECT_EQ(SyncBytePosition(t.seconds), t.bytes) << t.seconds;
}


const std::string kSync = "1\r\nSzenensync\r\n8\r\n8.3\r\n16.6\r\n25.1\r\n33.5\r\n41.7\r\n50.1\r\n57.7\r\n65.6\r\n";

FakeResources::File Music(const std::string& name, const std::string& bytes) {
    return {"ZYN_MUCKE", name, std::vector<uint8_t>(bytes.begin(), bytes.end())};
}

class MusicPlayerTest : public ::testing::Test {
protected:
    void SetUp() override { Sys_SetSilentAudio(true); }
    void TearDown() override { Sys_SetSilentAudio(false); }
    FakeClock clock{5000};
    BoxRecorder boxes;
    std::optional<FakeResources> resources;
};

TEST_F(MusicPlayerTest, SyncsComeAtTheirBytePositionsOneAtATime) {
    resources.emplace(std::vector<FakeResources::File>{Music("ZYN_MUCKE_DAT", kSync)});
    MusicPlayer player(7, "ZYN_MUCKE");
    ASSERT_EQ(player.trackCount, 1u);
    ASSERT_EQ(player.syncCounts[0], 8u);
    const uint32_t start = FakeClock::now;  // play was asked for during construction
    // 8299 ms is 1463943.6 bytes (1463940 in whole frames), 8300 ms exactly 1464120.
    FakeClock::now = start + 8299;
    EXPECT_EQ(Sys_ChannelGetPosition(player.stream), 1463940u);
    const struct {
        uint32_t ms;
        std::vector<bool> reached;  // on successive calls
    } steps[] = {
        {8299, {false}}, {8300, {true, false}},    // equal counts; reported once
        {42000, {true, true, true, true, false}},  // a stall: one per call, in order
        {50099, {false}}, {50100, {true}},         // 50.1 s is 8837639 bytes, 50100 ms 8837640
        {65600, {true, true, false}},              // to the eighth, then never again
        {70000, {false}}, {4000000, {false}},
    };
    for (const auto& step : steps) {
        FakeClock::now = start + step.ms;
        for (bool reached : step.reached) EXPECT_EQ(player.SyncReached(1), reached) << step.ms << " ms";
    }
    EXPECT_EQ(player.nextSync[0], 8u);
    EXPECT_FALSE(player.SyncReached(0));  // tracks that are not in the file
    EXPECT_FALSE(player.SyncReached(2));
}

TEST_F(MusicPlayerTest, OddSyncFilesAndNames) {
    // A negative time (4294790896 unsigned) blocks the rest of its track only.
    resources.emplace(std::vector<FakeResources::File>{Music("ZYN_MUCKE_DAT", "2;A;3;1;-1;2;B;1;3;")});
    {
        MusicPlayer player(7, "ZYN_MUCKE");
        FakeClock::now += 1000;
        EXPECT_TRUE(player.SyncReached(1));
        FakeClock::now += 3000000;
        EXPECT_FALSE(player.SyncReached(1));
        EXPECT_EQ(player.nextSync[0], 1u);
        EXPECT_TRUE(player.SyncReached(2));
    }
    // No sync file: no tracks, no syncs.
    resources.emplace(std::vector<FakeResources::File>{});
    {
        MusicPlayer player(7, "ZYN_MUCKE");
        EXPECT_EQ(player.trackCount, 0u);
        FakeClock::now += 100000;
        EXPECT_FALSE(player.SyncReached(1));
    }
    // A long base name is cut to 15 characters, not overrun.
    resources.emplace(std::vector<FakeResources::File>{Music("ABCDEFGHIJKLMNO_DAT", "1;A;1;0;")});
    MusicPlayer player(7, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(player.trackCount, 1u);
}

// Each failure shows its box, owned by the window, and construction goes on;
// without a stream the timeline runs silently on the clock.
TEST_F(MusicPlayerTest, FailuresAreReportedAndTheTimelineGoesOn) {
    const TestMp3 mp3 = MakeTestMp3(1.0);
    ASSERT_FALSE(mp3.bytes.empty());
    const struct {
        const char* what;
        bool silentDevice;
        std::string mp3;
        std::vector<std::string> boxes;
    } table[] = {
        {"no sound card, no music", false, "",
         {"Could not initialize BASS, switching to no-sound", "Failed to initialize BASS-Stream",
          "Can't play BASS-Stream"}},
        {"bytes that are not music", true, std::string(4000, 'x'),
         {"Failed to initialize BASS-Stream", "Can't play BASS-Stream"}},
        {"music on the silent device", true, std::string(mp3.bytes.begin(), mp3.bytes.end()), {}},
    };
    for (const auto& t : table) {
        SCOPED_TRACE(t.what);
        std::vector<FakeResources::File> files = {Music("ZYN_MUCKE_DAT", kSync)};
        if (!t.mp3.empty()) files.push_back(Music("ZYN_MUCKE_MP3", t.mp3));
        resources.emplace(files);
        Sys_SetSilentAudio(t.silentDevice);
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
        BoxRecorder::boxes.clear();
        const uint32_t start = FakeClock::now;
        {
            MusicPlayer player(7, "ZYN_MUCKE");
            unsetenv("SDL_AUDIODRIVER");
            std::vector<std::string> texts;
            for (const Box& box : BoxRecorder::boxes) {
                texts.push_back(box.text);
                EXPECT_EQ(box.caption, "Shit !");
                EXPECT_EQ(box.owner, 7u);
                EXPECT_EQ(box.type, uint32_t(MB_OK));
            }
            EXPECT_EQ(texts, t.boxes);
            EXPECT_EQ(player.stream != 0, t.boxes.empty());
            FakeClock::now = start + 500;
            EXPECT_EQ(Sys_ChannelGetPosition(player.stream), 88200u);
            FakeClock::now = start + 8300;
            EXPECT_EQ(player.SyncReached(1), player.stream == 0);  // the 1 s test tone loops
        }
        // Gone, the player has stopped and closed the output: it opens again.
        EXPECT_TRUE(Sys_AudioInit(kAudioNoSoundDevice, 44100, 0, 0));
        EXPECT_TRUE(Sys_AudioFree());
    }
}

// Set-up and the dispatcher with the shell's window procedure, headless.
class SyncCheckTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        Sys_SetSilentAudio(true);
        Sys_ResetWindowing();
        app = AppState{};
        ASSERT_TRUE(Sys_RegisterClass("Application", MainWindowProc));
        window = Sys_CreateWindow("Application", "Demo v0.17", WindowStyle::Overlapped, 0, 0, 640, 480);
        app.mainWindow = window;
        SetUpAssets(window);
        ASSERT_NE(assets.musicPlayer, nullptr);
        start = FakeClock::now;
    }
    void TearDown() override {
        ReleaseAssets();
        Sys_SetSilentAudio(false);
        Sys_ResetWindowing();
    }
    void Frame() {  // frame passes until a frame is drawn
        while (!RunFramePass()) {
        }
    }
    FakeClock clock{1000};
    BoxRecorder boxes;
    HWND window = 0;
    uint32_t start = 0;
};

TEST_F(SyncCheckTest, KeysShiftThePartsButNeverTheSyncs) {
    for (const Box& box : BoxRecorder::boxes) ADD_FAILURE() << box.caption << ": " << box.text;
    // A stall to 30 s: three parts follow on three frames through the loop.
    FakeClock::now = start + 30000;
    Frame();
    for (int part = 2; part <= 4; ++part) {
        Frame();
        EXPECT_EQ(app.currentPart, part);
    }
    EXPECT_EQ(assets.musicPlayer->nextSync[0], 3u);
    EXPECT_EQ(Sys_PendingMessageCount(), 0u);
    // The viewer steps back twice and forward once: the sync index stays.
    for (uint32_t vk : {VK_LEFT, VK_LEFT, VK_RIGHT}) MainWindowProc(window, WM_KEYDOWN, vk, 0);
    EXPECT_EQ(app.currentPart, 3);
    EXPECT_EQ(assets.musicPlayer->nextSync[0], 3u);
    // The next sync (33.5 s) moves on from where the viewer is.
    FakeClock::now = start + 33500;
    Frame();
    Frame();
    EXPECT_EQ(app.currentPart, 4);
    EXPECT_EQ(assets.musicPlayer->nextSync[0], 4u);
}


using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class AudioTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    void TearDown() override {
        Sys_AudioFree();
        Sys_SetSilentAudio(false);
    }
};

TEST_F(AudioTest, ThePositionIsWhatIsHeardInRealTimeAndLoops) {
    const TestMp3 mp3 = MakeTestMp3(3.0), shortTone = MakeTestMp3(0.4);
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
    while (SecondsSince(start) < 1.0) {
        const uint32_t p = Sys_ChannelGetPosition(stream);
        const double elapsed = SecondsSince(start);
        EXPECT_GE(p, last);
        EXPECT_EQ(p % 4, 0u);  // whole 16-bit stereo frames
        last = p;
        if (elapsed > 0.2) lead.push_back(double(p) / 176400.0 - elapsed);
        Sleep(5);
    }
    // The layer keeps SDL's clockless dummy output to real time. What is heard
    // may trail the clock by up to a buffer (46 ms), never lead it, and moves
    // with it, not a buffer at a time (10th to 90th percentile).
    ASSERT_GT(lead.size(), 50u);
    std::sort(lead.begin(), lead.end());
    const double low = lead[lead.size() / 10], high = lead[lead.size() * 9 / 10];
    EXPECT_LT(high, 0.005);
    EXPECT_GT(low, -0.06);
    EXPECT_LT(high - low, 0.015);
    // Stopped, the position stands still; started again, it goes on.
    ASSERT_TRUE(Sys_AudioStop());
    const uint32_t stopped = Sys_ChannelGetPosition(stream);
    Sleep(200);
    EXPECT_EQ(Sys_ChannelGetPosition(stream), stopped);
    ASSERT_TRUE(Sys_AudioStart());
    Sleep(400);
    const double more = double(Sys_ChannelGetPosition(stream) - stopped) / 176400.0;
    EXPECT_GT(more, 0.15);
    EXPECT_LT(more, 0.55);
    EXPECT_TRUE(Sys_StreamFree(stream));
    EXPECT_FALSE(Sys_StreamFree(stream));
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 0u);
    // Looped, it wraps at its end, not early; unlooped it stays at its end.
    const HSTREAM tone = Sys_StreamCreateMemory(shortTone.bytes.data(), 0, uint32_t(shortTone.bytes.size()), 0);
    ASSERT_TRUE(Sys_StreamPlay(tone, false, kAudioSampleLoop));
    const uint32_t length = shortTone.frames * 1152 * 4;  // 1152 samples of 4 bytes a frame
    uint32_t highest = 0, previous = 0;
    int wraps = 0;
    for (const Clock::time_point t = Clock::now(); wraps < 2 && SecondsSince(t) < 5.0; Sleep(5)) {
        const uint32_t p = Sys_ChannelGetPosition(tone);
        EXPECT_LE(p, length);
        if (p < previous && ++wraps) {
            EXPECT_GE(highest, length - 8192);
        }
        highest = std::max(highest, p), previous = p;
    }
    EXPECT_EQ(wraps, 2);
    ASSERT_TRUE(Sys_StreamPlay(tone, true, 0));
    Sleep(900);
    EXPECT_EQ(Sys_ChannelGetPosition(tone), length);
    EXPECT_TRUE(Sys_AudioFree());
    EXPECT_FALSE(Sys_AudioFree());
}

// SDL's disk output writes what it gets to a file: the 440 Hz tone of
// amplitude 8000 on both channels, judged by the median of 20 ms windows
// without runs of zeros (on a busy machine that output skips and pads).
TEST_F(AudioTest, TheDecodedSoundReachesTheOutput) {
    const TempFolder dir;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir / "out.raw").c_str(), 1);
    const TestMp3 mp3 = MakeTestMp3(0.5);
    ASSERT_TRUE(Sys_AudioInit(kAudioDefaultDevice, 44100, 0, 0));
    const HSTREAM stream = Sys_StreamCreateMemory(mp3.bytes.data(), 0, uint32_t(mp3.bytes.size()), 0);
    ASSERT_TRUE(Sys_StreamPlay(stream, false, 0));
    for (const Clock::time_point t = Clock::now(); Sys_ChannelGetPosition(stream) < mp3.frames * 1152 * 4 && SecondsSince(t) < 5.0;)
        Sleep(20);
    Sys_AudioFree();  // closes the file
    unsetenv("SDL_DISKAUDIOFILE");
    const std::vector<uint8_t> bytes = ReadBytes(dir / "out.raw");
    std::vector<int16_t> samples(bytes.size() / 4);
    for (size_t i = 0; i < samples.size(); ++i) {
        int16_t pair[2];
        std::memcpy(pair, &bytes[i * 4], 4);
        ASSERT_EQ(pair[0], pair[1]) << "frame " << i;
        samples[i] = pair[0];
    }
    size_t first = 0;
    while (first < samples.size() && std::abs(samples[first]) < 1000) ++first;
    std::vector<double> rms, crossings;
    for (size_t w = first + 200; w + 882 <= std::min(samples.size(), first + 17640); w += 882) {  // 0.4 s
        double energy = 0;
        int crossed = 0, zeros = 0, longestZeros = 0;
        for (size_t i = w; i < w + 882; ++i) {
            energy += double(samples[i]) * samples[i];
            crossed += i > w && (samples[i - 1] < 0) != (samples[i] < 0);
            longestZeros = std::max(longestZeros, zeros = samples[i] == 0 ? zeros + 1 : 0);
        }
        if (longestZeros < 8) rms.push_back(std::sqrt(energy / 882)), crossings.push_back(crossed);
    }
    ASSERT_GE(rms.size(), 5u) << "too little sound reached the output";
    for (auto* v : {&rms, &crossings}) std::nth_element(v->begin(), v->begin() + v->size() / 2, v->end());
    EXPECT_NEAR(rms[rms.size() / 2], 8000 / std::sqrt(2.0), 600);
    EXPECT_NEAR(crossings[crossings.size() / 2], 2 * 440 * 882 / 44100.0, 1.5);  // two per period
}

TEST_F(AudioTest, OnlyMp3BytesMakeAStreamAndOnlyOnAnOpenOutput) {
    const TestMp3 mp3 = MakeTestMp3(1.0);
    EXPECT_EQ(Sys_StreamCreateMemory(mp3.bytes.data(), 0, uint32_t(mp3.bytes.size()), 0), 0u);
    EXPECT_FALSE(Sys_AudioStart());
    EXPECT_FALSE(Sys_AudioStop());
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(Sys_AudioInit(kAudioDefaultDevice, 44100, 0, 0));
    // Unless the silent output is asked for, as offline rendering does.
    Sys_SetSilentAudio(true);
    ASSERT_TRUE(Sys_AudioInit(kAudioDefaultDevice, 44100, 0, 0));
    const std::vector<uint8_t> zeros(10000, 0);  // text: the music player's table
    EXPECT_EQ(Sys_StreamCreateMemory(zeros.data(), 0, uint32_t(zeros.size()), 0), 0u);
    EXPECT_EQ(Sys_StreamCreateMemory(nullptr, 0, 0, 0), 0u);
    EXPECT_FALSE(Sys_StreamPlay(0, false, kAudioSampleLoop));  // playing the failed stream fails
    // Half an MP3 is still one; its bytes from an offset too.
    std::vector<uint8_t> padded(17, 0x55);
    padded.insert(padded.end(), mp3.bytes.begin(), mp3.bytes.end());
    const HSTREAM half = Sys_StreamCreateMemory(mp3.bytes.data(), 0, uint32_t(mp3.bytes.size() / 2), 0);
    const HSTREAM offset = Sys_StreamCreateMemory(padded.data(), 17, uint32_t(mp3.bytes.size()), 0);
    EXPECT_TRUE(half && offset && half != offset);
}

TEST_F(AudioTest, TheSilentDeviceFollowsTheClock) {
    const FakeClock clock(0xFFFFF000u);  // the tick count wraps during the test
    ASSERT_TRUE(Sys_AudioInit(kAudioNoSoundDevice, 44100, 0, 0));
    const TestMp3 mp3 = MakeTestMp3(1.0);
    const HSTREAM stream = Sys_StreamCreateMemory(mp3.bytes.data(), 0, uint32_t(mp3.bytes.size()), 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(Sys_AudioStart());
    FakeClock::now += 100;  // nothing moves before play
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 0u);
    ASSERT_TRUE(Sys_StreamPlay(stream, false, kAudioSampleLoop));
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 0u);
    FakeClock::now += 500;
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 88200u);
    FakeClock::now += 8;  // 1411.2 bytes: whole frames only
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 89608u);
    // Past the stream's length it starts again.
    FakeClock::now += 1000;
    EXPECT_EQ(Sys_ChannelGetPosition(stream), (88200u + 1411u + 176400u) % (mp3.frames * 1152 * 4) / 4 * 4);
    // Stop holds it, start goes on from there.
    const uint32_t held = Sys_ChannelGetPosition(stream);
    ASSERT_TRUE(Sys_AudioStop());
    FakeClock::now += 3000;
    EXPECT_EQ(Sys_ChannelGetPosition(stream), held);
    ASSERT_TRUE(Sys_AudioStart());
    EXPECT_EQ(Sys_ChannelGetPosition(stream), held);
    // The stream that could not be made runs on the clock from its play.
    EXPECT_EQ(Sys_ChannelGetPosition(0), 0u);
    EXPECT_FALSE(Sys_StreamPlay(0, false, kAudioSampleLoop));
    FakeClock::now += 65600;
    EXPECT_EQ(Sys_ChannelGetPosition(0), 11571840u);
}

// Play asked for while the output is stopped starts at 0 and waits for the
// start, on the silent device and for the stream that could not be made
// (the clocks stand at the stop's tick, not at the play's).
TEST_F(AudioTest, APlayAskedWhileStoppedWaitsForTheStart) {
    const FakeClock clock(2000);
    ASSERT_TRUE(Sys_AudioInit(kAudioNoSoundDevice, 44100, 0, 0));
    const TestMp3 mp3 = MakeTestMp3(1.0);
    const HSTREAM stream = Sys_StreamCreateMemory(mp3.bytes.data(), 0, uint32_t(mp3.bytes.size()), 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(Sys_AudioStop());
    FakeClock::now += 700;
    ASSERT_TRUE(Sys_StreamPlay(stream, false, kAudioSampleLoop));
    EXPECT_FALSE(Sys_StreamPlay(0, false, kAudioSampleLoop));
    FakeClock::now += 300;
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 0u);
    EXPECT_EQ(Sys_ChannelGetPosition(0), 0u);
    ASSERT_TRUE(Sys_AudioStart());
    FakeClock::now += 250;
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 44100u);
    EXPECT_EQ(Sys_ChannelGetPosition(0), 44100u);
    FakeClock::now += 3;  // 529.2 bytes: whole frames on both clocks
    EXPECT_EQ(Sys_ChannelGetPosition(stream), 44628u);
    EXPECT_EQ(Sys_ChannelGetPosition(0), 44628u);
}

}  // namespace
