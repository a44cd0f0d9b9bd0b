// The frame driver on the headless context: the clock, the part sequence,
// the way out and the pixels of each frame.
#include <GL/gl.h>

#include "app/frame_driver.h"
#include "app/globals.h"
#include "fx/random.h"
#include "platform/platform.h"
#include "timeline/sync_file.h"
#include "tests/support/gl_test.h"

namespace {

TEST(FrameDriverClock, FrameNIsDrawnAtNTimesThePeriod) {
    FrameDriver at60(60), at25(25), at7(7);
    EXPECT_EQ(at60.TickOfFrame(0), 0u);
    EXPECT_EQ(at60.TickOfFrame(1), 16u);
    EXPECT_EQ(at60.TickOfFrame(3), 50u);
    EXPECT_EQ(at60.TickOfFrame(498), 8300u);
    EXPECT_EQ(at25.TickOfFrame(250), 10000u);
    // Far past the end of the demo the count stays exact (64-bit product).
    EXPECT_EQ(at60.TickOfFrame(60 * 3600 * 10), 36000000u);
    // FrameAtSeconds is the first frame at or after the time.
    for (FrameDriver* d : {&at60, &at25, &at7}) {
        for (double s : {0.0, 0.001, 0.016, 0.017, 1.0, 8.3, 16.6, 50.1, 65.6}) {
            const int64_t n = d->FrameAtSeconds(s);
            EXPECT_GE(d->SecondsOfFrame(n) + 1e-9, s) << d->Fps() << " fps, " << s << " s";
            if (n > 0) {
                EXPECT_LT(d->SecondsOfFrame(n - 1), s) << d->Fps() << " fps, " << s << " s";
            }
        }
    }
    EXPECT_EQ(at60.FrameAtSeconds(8.3), 498);
}

class FrameDriverTest : public GLTest {};

TEST_F(FrameDriverTest, RunsTheRealLoopOnItsOwnClock) {
    FrameDriver driver(50);
    ASSERT_TRUE(driver.Start());
    EXPECT_EQ(driver.CurrentPart(), 1);
    EXPECT_EQ(Sys_GetTickCount(), 0u);  // start-up runs at tick 0
    EXPECT_EQ(app.partStartTime, 0u);
    for (const std::string& m : driver.Messages())  // the question was answered without a box
        EXPECT_EQ(m.find("Fullscreen"), std::string::npos) << m;
    EXPECT_FALSE(app.fullscreen);

    std::vector<uint8_t> rgb;
    EXPECT_FALSE(driver.ReadFrame(&rgb));  // nothing drawn yet
    ASSERT_TRUE(driver.RunUntil(10));
    EXPECT_EQ(driver.FrameIndex(), 10);
    EXPECT_EQ(Sys_GetTickCount(), 180u);  // frame 9 at 9 * 20 ms
    EXPECT_EQ(PartClock(Sys_GetTickCount(), app.partStartTime), 36);
    ASSERT_TRUE(driver.ReadFrame(&rgb));
    EXPECT_EQ(rgb.size(), size_t(640 * 480 * 3));
}

TEST_F(FrameDriverTest, PostedKeysChangeThePartBeforeTheNextFrameAndTheEndReturns) {
    FrameDriver driver(60);
    ASSERT_TRUE(driver.Start());
    ASSERT_TRUE(driver.RunUntil(5));
    std::vector<uint8_t> first, rgb;
    ASSERT_TRUE(driver.ReadFrame(&first));
    for (int part = 2; part <= 8; ++part) {
        driver.PostKey(VK_RIGHT);
        const int64_t n = driver.FrameIndex();
        ASSERT_TRUE(driver.RunFrame());
        EXPECT_EQ(driver.CurrentPart(), part);
        // The part began at the tick of its first frame: its clock reads 0.
        EXPECT_EQ(app.partStartTime, driver.TickOfFrame(n));
        ASSERT_TRUE(driver.RunUntil(n + 3));
    }
    // The frame read back is the newest one: part 8's, not part 1's.
    ASSERT_TRUE(driver.ReadFrame(&rgb));
    ASSERT_EQ(rgb.size(), first.size());
    EXPECT_NE(rgb, first);

    // The step past part 8 ends the demo: no frame, status 1, the process
    // goes on and the driver stays ended.
    const int64_t last = driver.FrameIndex();
    driver.PostKey(VK_RIGHT);
    EXPECT_FALSE(driver.RunFrame());
    EXPECT_TRUE(driver.Ended());
    EXPECT_EQ(driver.ExitStatus(), 1);
    EXPECT_EQ(driver.FrameIndex(), last);
    EXPECT_FALSE(driver.RunFrame());
    EXPECT_FALSE(driver.RunUntil(last + 10));
}

TEST_F(FrameDriverTest, EscapeEndsAndTheClockAndExitAreGivenBack) {
    {
        FrameDriver driver(30);
        ASSERT_TRUE(driver.Start());
        ASSERT_TRUE(driver.RunUntil(2));
        driver.PostKey(VK_ESCAPE);
        EXPECT_FALSE(driver.RunFrame());
        EXPECT_TRUE(driver.Ended());
        EXPECT_EQ(driver.ExitStatus(), 1);
    }
    // The real clock again: it keeps moving.
    const uint32_t a = Sys_GetTickCount();
    uint32_t b = a;
    for (int i = 0; i < 1000000 && b == a; ++i) b = Sys_GetTickCount();
    EXPECT_NE(a, b);
}

TEST_F(FrameDriverTest, OnlyOneDriverRunsAtATime) {
    FrameDriver first(60), second(60);
    ASSERT_TRUE(first.Start());
    EXPECT_FALSE(second.Start());
    EXPECT_FALSE(second.RunFrame());
    EXPECT_TRUE(first.RunFrame());
}

TEST_F(FrameDriverTest, ALaterRunStartsFromAFreshSurfaceAndState) {
    uint32_t randomAfterStartUp = 0;
    {
        FrameDriver driver(60);
        ASSERT_TRUE(driver.Start());
        randomAfterStartUp = DemoRandState();
        for (int i = 0; i < 5; ++i) DemoRand();
        for (int i = 0; i < 7; ++i) driver.PostKey(VK_RIGHT);
        ASSERT_TRUE(driver.RunUntil(3));
        ASSERT_EQ(driver.CurrentPart(), 8);
        // Leave some state behind that no part sets.
        glEnable(GL_BLEND);
        glColor3f(0.5f, 0.25f, 0.125f);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glTranslatef(3, 4, 5);
    }
    FrameDriver driver(60);
    ASSERT_TRUE(driver.Start());
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_EQ(driver.CurrentPart(), 1);
    EXPECT_EQ(DemoRandState(), randomAfterStartUp);  // the sequence began again
    EXPECT_EQ(PixelAt(320, 240).b, 0);  // the old part-8 picture is gone
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// The music's position on the silent device: the decoded bytes of the
// milliseconds since play, in whole 4-byte sample frames.
uint32_t MusicBytesAt(uint32_t ms) { return uint32_t(uint64_t(ms) * 176400 / 1000) & ~3u; }

TEST_F(FrameDriverTest, PartsChangeAtTheSyncTimesAndTheDemoEndsOneFrameAfterTheLast) {
    Resource file;
    ASSERT_TRUE(Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_DAT", &file));
    char name[kSyncFieldSize];
    SyncTable table = LoadSyncTable(file.data, file.size, name);
    ASSERT_EQ(table.trackCount, 1u);
    ASSERT_EQ(table.syncCounts[0], 8u);
    std::vector<int32_t> syncs(table.syncPositions, table.syncPositions + 8);
    FreeSyncTable(table);

    // 20 frames per second keeps the run short; the rule is the same at any rate.
    FrameDriver driver(20);
    ASSERT_TRUE(driver.Start());
    std::vector<int32_t> parts;  // the part of each frame drawn
    while (driver.RunFrame() && parts.size() < 20 * 120) parts.push_back(driver.CurrentPart());
    ASSERT_TRUE(driver.Ended());
    EXPECT_EQ(driver.ExitStatus(), 1);
    ASSERT_EQ(int64_t(parts.size()), driver.FrameIndex());

    for (int j = 0; j < 8; ++j) {
        // The frame whose sync check first sees the position at the sync time.
        int64_t n = 0;
        while (MusicBytesAt(driver.TickOfFrame(n)) < uint32_t(syncs[j])) ++n;
        ASSERT_LT(n, int64_t(parts.size())) << "sync " << j + 1;
        EXPECT_EQ(parts[n - 1], j + 1) << "sync " << j + 1;
        EXPECT_EQ(parts[n], j + 1) << "sync " << j + 1;  // still the old part
        if (j < 7) {
            EXPECT_EQ(parts[n + 1], j + 2) << "sync " << j + 1;
        } else {
            // The eighth sync posts the step past part 8: no frame after it.
            EXPECT_EQ(int64_t(parts.size()), n + 1);
        }
    }
    EXPECT_EQ(parts.front(), 1);
    // 65.6 s is 11571839 bytes, reached at 65600 ms: frame 1312 is the last.
    EXPECT_EQ(parts.size(), 1313u);
}

}  // namespace
