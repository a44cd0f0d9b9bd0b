// scene_reference_test.cpp -- every part at two moments, as the demo shows
// it: the whole demo run from its start by the frame driver at 60 frames per
// second, each checkpoint compared with a stored picture.
//
// The pictures live in tests/scenes/reference/ at half size (each pixel the
// mean of a 2 x 2 block), so a line that moves by a pixel between builds
// costs little. Run with DEMO_UPDATE_REFERENCE=1 to write them anew, then
// look at every one before committing it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/frame_driver.h"
#include "app/globals.h"
#include "fx/random.h"
#include "scenes/spiral_scene.h"
#include "scenes/spring_grid_scene.h"
#include "tests/support/gl_test.h"
#include "tools/common/png.h"

namespace {

constexpr int kFps = 60;
constexpr int kHalfW = 320, kHalfH = 240;
// Frames into each part at which it is compared: half a second and four
// seconds after its first frame.
const int kCheckpoints[] = {30, 240};
// Part-change times of the sync file, for a build without music.
const double kSyncSeconds[] = {8.3, 16.6, 25.1, 33.5, 41.7, 50.1, 57.7};

// The frame at half size, top row first.
std::vector<uint8_t> HalfSize(const std::vector<uint8_t>& bottomUp, int width, int height) {
    std::vector<uint8_t> out(size_t(kHalfW) * kHalfH * 3);
    const int s = width / kHalfW;  // 2 at scale 1
    for (int y = 0; y < kHalfH; ++y) {
        for (int x = 0; x < kHalfW; ++x) {
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < s; ++dy)
                    for (int dx = 0; dx < s; ++dx)
                        sum += bottomUp[((size_t(height - 1 - (y * s + dy))) * width + x * s + dx) * 3 + c];
                out[(size_t(y) * kHalfW + x) * 3 + c] = uint8_t((sum + s * s / 2) / (s * s));
            }
        }
    }
    return out;
}

std::string ReferencePath(const std::string& name) {
    return std::string(SCENE_REFERENCE_DIR) + "/" + name + ".png";
}

std::string OutputPath(const std::string& name) {
    const char* bin = std::getenv("DEMO_BINARY_DIR");
    const std::string dir = bin ? std::string(bin) + "/test-output" : "/tmp";
    std::system(("mkdir -p '" + dir + "'").c_str());
    return dir + "/" + name + ".png";
}

// Compares a checkpoint with its reference: at most 1% of the channel values
// may differ by more than 24, and the mean difference must stay under 2.
void Compare(const std::string& name, const std::vector<uint8_t>& actual) {
    int w = 0, h = 0;
    std::vector<uint8_t> expected;
    ASSERT_TRUE(ReadPngRgb(ReferencePath(name), &w, &h, &expected)) << "no reference " << ReferencePath(name);
    ASSERT_EQ(w, kHalfW);
    ASSERT_EQ(h, kHalfH);
    size_t far = 0;
    double sum = 0;
    std::vector<uint8_t> diff(actual.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        const int d = std::abs(int(actual[i]) - int(expected[i]));
        sum += d;
        if (d > 24) ++far;
        diff[i] = uint8_t(std::min(255, d * 4));
    }
    const double farShare = double(far) / double(actual.size());
    const double mean = sum / double(actual.size());
    if (farShare > 0.01 || mean > 2.0) {
        WritePngRgb(OutputPath(name), kHalfW, kHalfH, actual.data());
        WritePngRgb(OutputPath(name + "_diff"), kHalfW, kHalfH, diff.data());
    }
    EXPECT_LE(farShare, 0.01) << name << ": see " << OutputPath(name);
    EXPECT_LE(mean, 2.0) << name;
}

}  // namespace

class SceneReference : public GLTest {};

TEST_F(SceneReference, EveryPartAtTwoMomentsFromTheStartOfTheDemo) {
    // The scenes' statics and the random sequence as at program start.
    spiralPhase = 0.0f;
    pullStarted = false;
    pulledNode = 0;
    SetDemoRandState(1);

    const bool update = std::getenv("DEMO_UPDATE_REFERENCE") != nullptr;
    FrameDriver driver(kFps);
    ASSERT_TRUE(driver.Start());
    const bool music = assets.musicPlayer != nullptr;
    int nextSync = 0;
    int part = 0;
    int64_t partStart = 0;
    int compared = 0;
    std::vector<uint8_t> rgb;
    while (part < 8 || driver.FrameIndex() - partStart <= kCheckpoints[1]) {
        if (!music && nextSync < 7 && driver.SecondsOfFrame(driver.FrameIndex()) >= kSyncSeconds[nextSync]) {
            driver.PostKey(VK_RIGHT);
            ++nextSync;
        }
        ASSERT_TRUE(driver.RunFrame()) << "the demo ended early";
        const int64_t drawn = driver.FrameIndex() - 1;
        if (driver.CurrentPart() != part) {
            ASSERT_EQ(driver.CurrentPart(), part + 1);
            part = driver.CurrentPart();
            partStart = drawn;
            // Each part begins within a frame or two of its sync time.
            if (part >= 2) {
                EXPECT_NEAR(driver.SecondsOfFrame(drawn), kSyncSeconds[part - 2], 0.05) << part;
            }
        }
        for (int offset : kCheckpoints) {
            if (drawn - partStart != offset) continue;
            ASSERT_TRUE(driver.ReadFrame(&rgb));
            const std::vector<uint8_t> half = HalfSize(rgb, driver.Width(), driver.Height());
            const std::string name = "part" + std::to_string(part) + "_f" + std::to_string(offset);
            if (update) {
                ASSERT_TRUE(WritePngRgb(ReferencePath(name), kHalfW, kHalfH, half.data()));
                std::printf("wrote %s\n", ReferencePath(name).c_str());
            } else {
                Compare(name, half);
            }
            ++compared;
        }
    }
    EXPECT_EQ(compared, 16);
}
