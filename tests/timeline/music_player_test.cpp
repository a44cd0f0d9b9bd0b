// The music player and the dispatcher's sync check, on the silent audio
// device with an injected clock: the music's position is then exactly
// (clock - moment play was asked for) x 176.4 bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/shell.h"
#include "fx/billboard.h"
#include "fx/particle_system.h"
#include "fx/spring_mesh.h"
#include "platform/sys_audio.h"
#include "tests/support/box_recorder.h"
#include "tests/support/gl_test.h"
#include "tests/timeline/make_mp3.h"
#include "timeline/dispatcher.h"
#include "timeline/music_player.h"

namespace {

uint32_t g_now = 0;
uint32_t FakeTicks() { return g_now; }

const char kSync[] = "1\r\nSzenensync\r\n8\r\n8.3\r\n16.6\r\n25.1\r\n33.5\r\n41.7\r\n50.1\r\n57.7\r\n65.6\r\n";

// Milliseconds of music that put the position at or just past `bytes`.
uint32_t MsFor(uint32_t bytes) { return uint32_t((uint64_t(bytes) * 1000 + 176399) / 176400); }

class MusicPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_now = 5000;
        g_boxes.clear();
        Sys_SetTickSource(FakeTicks);
        Sys_SetMessageBoxHook(RecordBox);
        Sys_SetSilentAudio(true);
        UseResources(kSync, nullptr);
    }
    void TearDown() override {
        Sys_SetSilentAudio(false);
        Sys_SetMessageBoxHook(nullptr);
        Sys_SetTickSource(nullptr);
        Sys_OverrideResources(nullptr, 0);
    }
    // The sync text (null: none) and an MP3 (null: none) as the only resources.
    void UseResources(const char* sync, const std::vector<uint8_t>* mp3) {
        entries.clear();
        if (sync)
            entries.push_back({"ZYN_MUCKE", "ZYN_MUCKE_DAT", reinterpret_cast<const uint8_t*>(sync),
                               uint32_t(std::strlen(sync))});
        if (mp3) entries.push_back({"ZYN_MUCKE", "ZYN_MUCKE_MP3", mp3->data(), uint32_t(mp3->size())});
        // A non-null table even when empty, so the embedded one stays out.
        static const ResourceEntry kNothing = {"", "", nullptr, 0};
        Sys_OverrideResources(entries.empty() ? &kNothing : entries.data(), entries.size());
    }
    std::vector<ResourceEntry> entries;
};

TEST_F(MusicPlayerTest, SyncsComeAtTheirBytePositionsOneAtATime) {
    MusicPlayer player(7, "ZYN_MUCKE");
    ASSERT_EQ(player.trackCount, 1u);
    ASSERT_EQ(player.syncCounts[0], 8u);
    const uint32_t start = g_now;  // play was asked for during construction

    // 8299 ms is 1463943.6 bytes (1463940 in whole frames), 8300 ms exactly
    // 1464120: equal counts.
    g_now = start + 8299;
    EXPECT_EQ(Sys_ChannelGetPosition(player.stream), 1463940u);
    EXPECT_FALSE(player.SyncReached(1));
    g_now = start + 8300;
    EXPECT_EQ(Sys_ChannelGetPosition(player.stream), 1464120u);
    EXPECT_TRUE(player.SyncReached(1));
    EXPECT_FALSE(player.SyncReached(1));  // reported once
    EXPECT_EQ(player.nextSync[0], 1u);

    // A stall past four more times: one report per call, in order.
    g_now = start + 42000;
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(player.SyncReached(1)) << i;
    EXPECT_FALSE(player.SyncReached(1));
    EXPECT_EQ(player.nextSync[0], 5u);

    // 50.1 s rounds down to 8837639 bytes: 50100 ms (8837640) reaches it.
    g_now = start + 50099;
    EXPECT_FALSE(player.SyncReached(1));
    g_now = start + 50100;
    EXPECT_TRUE(player.SyncReached(1));

    // After the eighth, never again.
    g_now = start + MsFor(11571839);
    EXPECT_TRUE(player.SyncReached(1));
    EXPECT_TRUE(player.SyncReached(1));
    EXPECT_EQ(player.nextSync[0], 8u);
    for (uint32_t later : {70000u, 600000u, 4000000u}) {
        g_now = start + later;
        EXPECT_FALSE(player.SyncReached(1));
    }
    // Tracks that are not in the file.
    EXPECT_FALSE(player.SyncReached(0));
    EXPECT_FALSE(player.SyncReached(2));
}

TEST_F(MusicPlayerTest, ANegativeTimeBlocksTheRestOfItsTrack) {
    static const char kBlocked[] = "2;A;3;1;-1;2;B;1;3;";
    UseResources(kBlocked, nullptr);
    MusicPlayer player(7, "ZYN_MUCKE");
    const uint32_t start = g_now;
    g_now = start + 1000;
    EXPECT_TRUE(player.SyncReached(1));
    g_now = start + 3000000;
    EXPECT_FALSE(player.SyncReached(1));  // -1 s is 4294790896 unsigned
    EXPECT_EQ(player.nextSync[0], 1u);
    EXPECT_TRUE(player.SyncReached(2));  // the other track goes its own way
}

TEST_F(MusicPlayerTest, WithoutSyncFileThereAreNoSyncs) {
    UseResources(nullptr, nullptr);
    MusicPlayer player(7, "ZYN_MUCKE");
    EXPECT_EQ(player.trackCount, 0u);
    g_now += 100000;
    EXPECT_FALSE(player.SyncReached(1));
}

TEST_F(MusicPlayerTest, FailuresAreReportedAndConstructionGoesOn) {
    // No sound card: the default device cannot open.
    Sys_SetSilentAudio(false);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    MusicPlayer player(7, "ZYN_MUCKE");  // and no MP3 resource
    unsetenv("SDL_AUDIODRIVER");
    ASSERT_EQ(g_boxes.size(), 3u);
    EXPECT_EQ(g_boxes[0].text, "Could not initialize BASS, switching to no-sound");
    EXPECT_EQ(g_boxes[1].text, "Failed to initialize BASS-Stream");
    EXPECT_EQ(g_boxes[2].text, "Can't play BASS-Stream");
    for (const Box& box : g_boxes) {
        EXPECT_EQ(box.caption, "Shit !");
        EXPECT_EQ(box.owner, 7u);
        EXPECT_EQ(box.type, uint32_t(MB_OK));
    }
    EXPECT_EQ(player.stream, 0u);
    // The timeline still runs, silently, on the clock.
    g_now += 8300;
    EXPECT_TRUE(player.SyncReached(1));
}

TEST_F(MusicPlayerTest, AStreamOfBytesThatAreNotMusicFails) {
    const std::vector<uint8_t> text(4000, 'x');
    UseResources(kSync, &text);
    MusicPlayer player(7, "ZYN_MUCKE");
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[0].text, "Failed to initialize BASS-Stream");
    EXPECT_EQ(g_boxes[1].text, "Can't play BASS-Stream");
}

TEST_F(MusicPlayerTest, ARealStreamOnTheSilentDevicePlaysWithoutABox) {
    const TestMp3 mp3 = MakeTestMp3(1.0);
    ASSERT_FALSE(mp3.bytes.empty());
    UseResources(kSync, &mp3.bytes);
    MusicPlayer player(7, "ZYN_MUCKE");
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_NE(player.stream, 0u);
    g_now += 500;
    EXPECT_EQ(Sys_ChannelGetPosition(player.stream), 88200u);
}

TEST_F(MusicPlayerTest, ALongBaseNameIsCutNotOverrun) {
    static const char kShort[] = "1;A;1;0;";
    entries = {{"ZYN_MUCKE", "ABCDEFGHIJKLMNO_DAT", reinterpret_cast<const uint8_t*>(kShort), 8}};
    Sys_OverrideResources(entries.data(), entries.size());
    MusicPlayer player(7, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(player.trackCount, 1u);
}

// Set-up and the dispatcher with the shell's window procedure, on a headless
// context, with the embedded pictures, sync file and music.
class SyncCheckTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        g_now = 1000;
        g_boxes.clear();
        Sys_SetTickSource(FakeTicks);
        Sys_SetSilentAudio(true);
        Sys_ResetWindowing();
        Sys_SetMessageBoxHook(RecordBox);
        app = AppState{};
        ASSERT_TRUE(Sys_RegisterClass("Application", MainWindowProc));
        window = Sys_CreateWindow("Application", "Demo v0.17", WindowStyle::Overlapped, 0, 0, 640, 480);
        app.mainWindow = window;
        SetUpAssets(window);
        ASSERT_NE(assets.musicPlayer, nullptr);
        start = g_now;
    }
    void TearDown() override {
        ReleaseAssets();
        Sys_SetMessageBoxHook(nullptr);
        Sys_SetSilentAudio(false);
        Sys_SetTickSource(nullptr);
        Sys_ResetWindowing();
    }
    // Frame passes until a frame is drawn.
    void Frame() {
        while (!RunFramePass()) {
        }
    }
    HWND window = 0;
    uint32_t start = 0;
};

TEST_F(SyncCheckTest, SetUpMakesEveryAssetAndReleaseFreesThem) {
    // Every picture decoded and the music stream made: nothing to report.
    for (const Box& box : g_boxes) ADD_FAILURE() << box.caption << ": " << box.text;
    EXPECT_NE(assets.musicPlayer->stream, 0u);
    // The fifteen textures, loaded in order (GL hands out rising names),
    // then the billboards' and particle systems' own copies.
    const TextureId textures[] = {assets.white,  assets.black,       assets.plasma, assets.ball,
                                  assets.ball2,  assets.boden,       assets.title,  assets.outtro,
                                  assets.look,   assets.spiral,      assets.spiralFront,
                                  assets.auge,   assets.gridmap,     assets.spikeFront,
                                  assets.spikeFront2};
    TextureId previous = 0;
    for (TextureId t : textures) {
        EXPECT_GT(t, previous);
        previous = t;
    }
    for (Billboard* b : {assets.particle1Billboard, assets.particle2Billboard, assets.particle3Billboard}) {
        ASSERT_NE(b, nullptr);
        EXPECT_GT(b->texture, previous);
        EXPECT_NE(b->list, 0u);
        previous = b->texture;
    }
    for (ParticleSystem* p : assets.particleSystems) {
        ASSERT_NE(p, nullptr);
        ASSERT_NE(p->states, nullptr);  // initialised
        EXPECT_GT(p->texture, previous);
        previous = p->texture;
    }
    // The mesh holds exactly its four pinned nodes.
    ASSERT_NE(assets.springMesh, nullptr);
    ASSERT_NE(assets.springMesh->nodeModes, nullptr);
    std::vector<int32_t> pinned;
    for (int32_t i = 0; i < 51 * 51; ++i)
        if (assets.springMesh->nodeModes[i] != SpringMesh::Free) pinned.push_back(i);
    EXPECT_EQ(pinned, (std::vector<int32_t>{0, 49, 2352, 2401}));
    ASSERT_NE(assets.helixRibbon, nullptr);

    ReleaseAssets();  // leaks show up under LeakSanitizer
    EXPECT_EQ(assets.musicPlayer, nullptr);
    EXPECT_EQ(assets.springMesh, nullptr);
    EXPECT_EQ(assets.helixRibbon, nullptr);
    EXPECT_EQ(assets.particle1Billboard, nullptr);
    for (ParticleSystem* p : assets.particleSystems) EXPECT_EQ(p, nullptr);
    // The music has stopped and its output is closed: it can open again.
    EXPECT_TRUE(Sys_AudioInit(kAudioNoSoundDevice, 44100, 0, 0));
    EXPECT_TRUE(Sys_AudioFree());
}

TEST_F(SyncCheckTest, ASyncPostsOneRightAfterTheFrame) {
    app.currentPart = 1;
    g_now = start + 8299;
    RunPartFrame(1, 0, window);
    EXPECT_EQ(Sys_PendingMessageCount(), 0u);
    g_now = start + 8300;
    RunPartFrame(1, 0, window);
    ASSERT_EQ(Sys_PendingMessageCount(), 1u);
    MSG msg;
    ASSERT_TRUE(Sys_PeekMessage(&msg));
    EXPECT_EQ(msg.window, window);
    EXPECT_EQ(msg.message, uint32_t(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, WPARAM(VK_RIGHT));
    EXPECT_EQ(msg.lParam, 0);
    RunPartFrame(1, 0, window);
    EXPECT_EQ(Sys_PendingMessageCount(), 0u);
}

TEST_F(SyncCheckTest, KeysShiftThePartsButNeverTheSyncs) {
    // Through the frame loop: stall to 30 s, three parts follow on three
    // frames, each Right dispatched in the passes before the next frame.
    g_now = start + 30000;
    Frame();
    for (int part = 2; part <= 4; ++part) {
        Frame();
        EXPECT_EQ(app.currentPart, part);
    }
    EXPECT_EQ(assets.musicPlayer->nextSync[0], 3u);
    EXPECT_EQ(Sys_PendingMessageCount(), 0u);
    // The viewer steps back twice and forward once: the sync index stays.
    MainWindowProc(window, WM_KEYDOWN, VK_LEFT, 0);
    MainWindowProc(window, WM_KEYDOWN, VK_LEFT, 0);
    MainWindowProc(window, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(app.currentPart, 3);
    EXPECT_EQ(assets.musicPlayer->nextSync[0], 3u);
    // The next sync (33.5 s) moves on from where the viewer is.
    g_now = start + 33500;
    Frame();
    Frame();
    EXPECT_EQ(app.currentPart, 4);
    EXPECT_EQ(assets.musicPlayer->nextSync[0], 4u);
}

using SyncCheckDeathTest = SyncCheckTest;

TEST_F(SyncCheckDeathTest, TheEighthSyncEndsTheDemoInPartEight) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    g_now = start + 57700;
    for (int i = 0; i < 7 * 2; ++i) Frame();
    ASSERT_EQ(app.currentPart, 8);
    g_now = start + 65600;  // 11571840 bytes, past 11571839
    Frame();
    EXPECT_EXIT(RunFramePass(), ::testing::ExitedWithCode(1), "");
}

}  // namespace
