// Where the picture goes on the screen or in a window: the one rule every
// build places it by (the browser's full-screen page included).
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace {

// Full screen: whole multiples of 640 x 480 from twice up to four times,
// centred; a screen too small for twice gets the largest 4:3 that fits; in a
// window always the largest 4:3 that fits. x and y count from the lower left.
TEST(Placement, WholeMultiplesUpToFourTimesElseAsLargeAsFits) {
    const struct {
        int dw, dh, scale;
        bool fullscreen;
        Sys_Placement want;
    } table[] = {
        {1920, 1080, 1, true, {320, 60, 1280, 960, true}},
        {1920, 1200, 2, true, {320, 120, 1280, 960, true}},
        {2560, 1440, 3, true, {320, 0, 1920, 1440, true}},
        {3840, 2160, 4, true, {640, 120, 2560, 1920, true}},
        // Past four times the picture stays at four, black around it.
        {5120, 2880, 4, true, {1280, 480, 2560, 1920, true}},
        {7680, 4320, 4, true, {2560, 1200, 2560, 1920, true}},
        {7680, 4320, 1, true, {2560, 1200, 2560, 1920, true}},
        // Below 1280 x 960: as large as it fits, aspect kept.
        {1366, 768, 1, true, {171, 0, 1024, 768, false}},
        {1440, 900, 1, true, {120, 0, 1200, 900, false}},
        {1280, 800, 1, true, {107, 0, 1066, 800, false}},
        {1024, 768, 1, true, {0, 0, 1024, 768, false}},
        {640, 480, 1, true, {0, 0, 640, 480, true}},
        {600, 400, 1, true, {33, 0, 533, 400, false}},
        // A window shows the whole surface in whatever size it has.
        {640, 480, 1, false, {0, 0, 640, 480, true}},
        {640, 480, 2, false, {0, 0, 640, 480, false}},
        {1920, 1080, 1, false, {240, 0, 1440, 1080, false}},
        {1280, 960, 2, false, {0, 0, 1280, 960, true}},
    };
    for (const auto& t : table) {
        const Sys_Placement p = Sys_PlacePicture(t.dw, t.dh, t.scale, t.fullscreen);
        const Sys_Placement& w = t.want;
        EXPECT_TRUE(p.x == w.x && p.y == w.y && p.w == w.w && p.h == w.h && p.wholeMultiple == w.wholeMultiple)
            << t.dw << " x " << t.dh << " at scale " << t.scale << (t.fullscreen ? ", full screen" : ", window")
            << ": " << p.w << " x " << p.h << " at " << p.x << ", " << p.y << (p.wholeMultiple ? " (whole)" : "")
            << ", not " << w.w << " x " << w.h << " at " << w.x << ", " << w.y;
    }
}

}  // namespace
