// The whole demo as it shows it, from start to end at 60 frames a second:
// each part compared with stored half-size pictures (2 x 2 means, so a line
// a pixel off costs little) at its first frame, 30 and 240 frames in (part 1
// also at 400), every part change checked against the sync times. The
// pictures are the desktop's: test_scenes run with DEMO_UPDATE_REFERENCE=1
// writes them anew (look at each one); the build on the OpenGL ES layer
// (test_scenes_es3) is compared with them and refuses to write them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/frame_driver.h"
#include "app/globals.h"
#include "fx/random.h"
#include "platform/platform.h"
#include "scenes/spiral_scene.h"
#include "scenes/spring_grid_scene.h"
#include "tests/support/gl_test.h"
#include "timeline/sync_file.h"
#include "tools/capture/contact_sheet.h"
#include "tools/common/png.h"

namespace {

std::string ReferencePath(const std::string& name) { return std::string(SCENE_REFERENCE_DIR) + "/" + name + ".png"; }

// Where a picture that fails is saved, with its difference, to look at:
// TEST_OUTPUT_DIR, a folder of each build's own (test-output/scenes for the
// desktop, test-output/scenes-es3 for the layer).
std::string OutputPath(const std::string& name) { return std::string(TEST_OUTPUT_DIR) + "/" + name + ".png"; }

// At most 1% of the channel values may differ by more than 24, the mean by 2.
void Compare(const std::string& name, const Picture& actual) {
    Picture expected;
    ASSERT_TRUE(ReadPngRgb(ReferencePath(name), &expected.width, &expected.height, &expected.rgb)) << name;
    ASSERT_EQ(expected.rgb.size(), actual.rgb.size()) << name;
    size_t far = 0;
    double sum = 0;
    std::vector<uint8_t> diff(actual.rgb.size());
    for (size_t i = 0; i < actual.rgb.size(); ++i) {
        const int d = std::abs(int(actual.rgb[i]) - int(expected.rgb[i]));
        sum += d;
        far += d > 24;
        diff[i] = uint8_t(std::min(255, d * 4));
    }
    const double farShare = double(far) / double(actual.rgb.size()), mean = sum / double(actual.rgb.size());
    if (farShare > 0.01 || mean > 2.0) {
        std::error_code ec;
        std::filesystem::create_directories(TEST_OUTPUT_DIR, ec);
        WritePngRgb(OutputPath(name), actual.width, actual.height, actual.rgb.data());
        WritePngRgb(OutputPath(name + "_diff"), actual.width, actual.height, diff.data());
    }
    EXPECT_LE(farShare, 0.01) << name << ": see " << OutputPath(name);
    EXPECT_LE(mean, 2.0) << name;
#ifdef DEMO_GLES3
    // Drawn through the gl11 layer on OpenGL ES: a mean of at most 1.5 and
    // 99 % of the pixels within 16 on every channel.
    size_t farPixels = 0;
    for (size_t i = 0; i < actual.rgb.size(); i += 3)
        farPixels += std::max({diff[i], diff[i + 1], diff[i + 2]}) > 16 * 4;
    EXPECT_LE(double(farPixels) / double(actual.rgb.size() / 3), 0.01) << name;
    EXPECT_LE(mean, 1.5) << name;
#endif
}

class SceneReference : public GLTest {};

}  // namespace

TEST_F(SceneReference, EveryPartFromTheStartOfTheDemoToItsEnd) {
    Resource file;
    ASSERT_TRUE(Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_DAT", &file));
    char name[kSyncFieldSize];
    SyncTable table = LoadSyncTable(file.data, file.size, name);
    ASSERT_EQ(table.trackCount, 1u);
    ASSERT_EQ(table.syncCounts[0], 8u);
    const std::vector<int32_t> syncs(table.syncPositions, table.syncPositions + 8);
    FreeSyncTable(table);
    // The scenes' statics and the random sequence as at program start.
    spiralPhase = 0.0f;
    pullStarted = false;
    pulledNode = 0;
    SetDemoRandState(1);

#ifdef DEMO_GLES3
    // The layer's pictures would replace the desktop's, which it is judged by.
    ASSERT_EQ(std::getenv("DEMO_UPDATE_REFERENCE"), nullptr)
        << "the references are the desktop's pictures: update them with test_scenes, not test_scenes_es3";
    const bool update = false;
#else
    const bool update = std::getenv("DEMO_UPDATE_REFERENCE") != nullptr;
#endif
    FrameDriver driver(60);
    ASSERT_TRUE(driver.Start());
    std::vector<int32_t> parts;  // the part of each frame drawn
    int64_t partStart = 0;
    int compared = 0;
    std::vector<uint8_t> rgb;
    while (driver.RunFrame()) {
        const int64_t n = int64_t(parts.size());
        parts.push_back(driver.CurrentPart());
        ASSERT_LT(n, 70 * 60) << "the demo does not end";
        if (n > 0 && parts[n] != parts[n - 1]) {
            ASSERT_EQ(parts[n], parts[n - 1] + 1);
            partStart = n;
        }
        for (int offset : {0, 30, 240, 400}) {
            if (n - partStart != offset || (offset == 400 && parts[n] != 1)) continue;
            ASSERT_TRUE(driver.ReadFrame(&rgb));
            const Picture half = BoxReduce(PictureFromBottomUp(driver.Width(), driver.Height(), rgb.data()), 2);
            const std::string name = "part" + std::to_string(parts[n]) + "_f" + std::to_string(offset);
            if (update) {
                ASSERT_TRUE(WritePngRgb(ReferencePath(name), half.width, half.height, half.rgb.data()));
                std::printf("wrote %s\n", ReferencePath(name).c_str());
            } else {
                Compare(name, half);
            }
            ++compared;
        }
    }
    EXPECT_EQ(compared, 25);
    ASSERT_TRUE(driver.Ended());
    EXPECT_EQ(driver.ExitStatus(), 1);
    // Each part changes in the frame after the one whose sync check first
    // sees the music at the sync's byte position (on the silent device the
    // decoded bytes of the milliseconds since play, in whole 4-byte frames);
    // the eighth sync posts the step past part 8: no frame after it.
    EXPECT_EQ(parts.front(), 1);
    for (int j = 0; j < 8; ++j) {
        int64_t n = 0;
        while ((uint32_t(uint64_t(driver.TickOfFrame(n)) * 176400 / 1000) & ~3u) < uint32_t(syncs[j])) ++n;
        ASSERT_LT(n, int64_t(parts.size())) << "sync " << j + 1;
        EXPECT_EQ(parts[n - 1], j + 1) << "sync " << j + 1;
        EXPECT_EQ(parts[n], j + 1) << "sync " << j + 1;
        if (j < 7) {
            EXPECT_EQ(parts[n + 1], j + 2) << "sync " << j + 1;
        }
    }
    // 65.6 s is 11571839 bytes, reached at 65600 ms: frame 3936 is the last.
    EXPECT_EQ(parts.size(), 3937u);
}
