// The splash as a person sees it, under Xvfb (run through xvfb.sh, which
// paints the root window with a plaid first): screenshots of the whole screen
// before, during and after the splash.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "splash/splash_window.h"
#include "tests/splash/test_tga.h"
#include "tests/support/hooks.h"
#include "tests/support/process.h"
#include "tools/common/png.h"

namespace {

struct Shot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // top row first
    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

Shot Screenshot() {
    const TempFolder dir;
    Shot shot;
    if (RunCommand("import -window root -depth 8 png24:" + dir / "shot.png").status != 0 ||
        !ReadPngRgb(dir / "shot.png", &shot.width, &shot.height, &shot.rgb))
        shot.width = shot.height = 0;
    return shot;
}

// Pixels that differ from what a splash of `picture` at (352, 264) over the
// desktop shows; shown == false: pixels that differ from the desktop itself.
int Mismatches(const Shot& shot, const Shot& desktop, bool shown, const std::function<Bgra(int, int)>& picture) {
    if (shot.width != desktop.width || shot.height != desktop.height) return -1;
    int bad = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const uint8_t* d = desktop.At(x, y);
            uint8_t want[3] = {d[0], d[1], d[2]};
            const int px = x - 352, py = y - 264;
            const Bgra e = shown && px >= 0 && px < 320 && py >= 0 && py < 240 ? picture(px, py) : Bgra{0, 0, 0, 0};
            const uint8_t entry[3] = {e.r, e.g, e.b};
            for (int c = 0; c < 3 && e.a; ++c) want[c] = uint8_t((entry[c] * e.a + d[c] * (255 - e.a)) >> 8);
            bad += std::vector<uint8_t>(want, want + 3) != std::vector<uint8_t>(shot.At(x, y), shot.At(x, y) + 3);
        }
    return bad;
}

// Every pixel: the blend in the rectangle, the desktop elsewhere (no frame,
// no title), with no message loop running; the desktop back when it goes.
// A picture made here, then the demo's own as embedded.
TEST(SplashOnX11, FloatsOverTheDesktopWithSoftEdgesAndNoBorder) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run through xvfb.sh";
    Resource embedded;
    ASSERT_TRUE(Sys_FindResource("ZYN_JPEGTEX", "SPLASH.TGA", &embedded));
    ASSERT_EQ(embedded.size, 18u + 320u * 240u * 4u + 26u);
    const std::function<Bgra(int, int)> pictures[] = {
        [](int x, int y) { return SplashTestEntry(x, y, 320, 240); },
        [&](int x, int y) {
            const uint8_t* p = embedded.data + 18 + (size_t(239 - y) * 320 + x) * 4;
            return Bgra{p[0], p[1], p[2], p[3]};
        }};
    const Shot desktop = Screenshot();
    ASSERT_EQ(desktop.width, 1024);
    ASSERT_EQ(desktop.height, 768);
    int differing = 0;  // a pattern under the splash, not one flat colour
    for (int x = 353; x < 672; ++x) differing += desktop.At(x, 301)[0] != desktop.At(x - 1, 301)[0];
    ASSERT_GT(differing, 20);
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k ? "the embedded picture" : "the test picture");
        std::vector<FakeResources::File> files;
        if (k == 0) files.push_back(Jpeg("SPLASH.TGA", MakeTga(320, 240, pictures[0])));
        std::unique_ptr<FakeResources> tga(k == 0 ? new FakeResources(files) : nullptr);
        auto* splash = new SplashWindow("SPLASH.TGA");
        ASSERT_NE(splash->window, 0u);
        const Outcome info = RunCommand("xwininfo -name Fovex.exe");  // the first one made
        for (const char* field : {"Absolute upper-left X:  352", "Absolute upper-left Y:  264", "Width: 320",
                                  "Height: 240", "Border width: 0", "Map State: IsViewable"}) {
            if (k == 0) {
                EXPECT_NE(info.output.find(field), std::string::npos) << field << "\n" << info.output;
            }
        }
        EXPECT_EQ(Mismatches(Screenshot(), desktop, true, pictures[k]), 0);
        EXPECT_EQ(Mismatches(Screenshot(), desktop, true, pictures[k]), 0);  // still there, with no message loop
        delete splash;
        EXPECT_EQ(Mismatches(Screenshot(), desktop, false, pictures[k]), 0);
        EXPECT_NE(RunCommand("xwininfo -name Fovex.exe").output.find("IsUnMapped"), std::string::npos);
    }
}

// Start-up shows the splash with the main window's OpenGL context current;
// the context must still be current, with its state, afterwards.
TEST(SplashOnX11, LeavesTheMainWindowsContextCurrent) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run through xvfb.sh";
    const FakeResources tga({Jpeg("SPLASH.TGA", MakeTga(320, 240, [](int x, int y) { return SplashTestEntry(x, y, 320, 240); }))});
    ASSERT_TRUE(Sys_RegisterClass("Main", [](HWND, uint32_t, WPARAM, LPARAM) { return LRESULT(0); }));
    const HWND main = Sys_CreateWindow("Main", "Main", WindowStyle::Overlapped, 0, 0, 640, 480);
    ASSERT_NE(main, 0u);
    ASSERT_TRUE(Sys_CreateGLContext(main));
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    auto* splash = new SplashWindow("SPLASH.TGA");
    Sys_UpdateWindow(splash->window);  // and once more, as an exposure would
    delete splash;
    GLfloat clear[4] = {0, 0, 0, 0};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(std::vector<float>(clear, clear + 3), std::vector<float>({0.25f, 0.5f, 0.75f}));
}

}  // namespace
