// The splash as a person sees it, under Xvfb (run by under_xvfb.sh, which
// paints the root window with a pattern first): screenshots of the root
// window before, during and after the splash.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "splash/splash_window.h"
#include "tests/splash/test_tga.h"
#include "tools/common/png.h"

namespace {

struct Shot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // top row first
    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

std::string OutputDir() {
    const char* bin = std::getenv("DEMO_BINARY_DIR");
    std::string dir = bin ? std::string(bin) + "/test-output" : "/tmp";
    if (std::system(("mkdir -p '" + dir + "'").c_str()) != 0) dir = "/tmp";
    return dir;
}

// A screenshot of the whole screen, kept as test-output/splash_<name>.png.
Shot Screenshot(const std::string& name) {
    Shot shot;
    const std::string path = OutputDir() + "/splash_" + name + ".png";
    const std::string cmd = "import -window root -depth 8 'png24:" + path + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0 || !ReadPngRgb(path, &shot.width, &shot.height, &shot.rgb))
        shot.width = shot.height = 0;
    return shot;
}

// One field of `xwininfo -name NAME`, e.g. "Width", as text.
std::string WindowInfo(const std::string& name, const std::string& field) {
    FILE* p = popen(("xwininfo -name '" + name + "' 2>/dev/null").c_str(), "r");
    if (!p) return "";
    std::string out;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        std::string s(line);
        const size_t at = s.find(field + ":");
        if (at == std::string::npos) continue;
        out = s.substr(at + field.size() + 1);
        out.erase(0, out.find_first_not_of(' '));
        out.erase(out.find_last_not_of(" \n") + 1);
        break;
    }
    pclose(p);
    return out;
}

uint8_t Blend(uint8_t picture, uint8_t alpha, uint8_t desktop) {
    if (alpha == 0) return desktop;
    return uint8_t((picture * alpha + desktop * (255 - alpha)) >> 8);
}

typedef std::function<Bgra(int x, int yFromTop)> Picture;

Bgra TestPicture(int x, int y) { return SplashTestEntry(x, y, 320, 240); }

// Pixels that differ from what a splash of `picture` at (left, top) over
// `desktop` shows; show == false: pixels that differ from the desktop itself.
int Mismatches(const Shot& shot, const Shot& desktop, bool show, int left, int top,
               const Picture& picture = TestPicture) {
    int bad = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const uint8_t* d = desktop.At(x, y);
            uint8_t want[3] = {d[0], d[1], d[2]};
            const int px = x - left, py = y - top;
            if (show && px >= 0 && px < 320 && py >= 0 && py < 240) {
                const Bgra e = picture(px, py);
                want[0] = Blend(e.r, e.a, d[0]);
                want[1] = Blend(e.g, e.a, d[1]);
                want[2] = Blend(e.b, e.a, d[2]);
            }
            const uint8_t* s = shot.At(x, y);
            bad += s[0] != want[0] || s[1] != want[1] || s[2] != want[2];
        }
    return bad;
}

TEST(SplashOnX11, FloatsOverTheDesktopWithSoftEdgesAndNoBorder) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run through under_xvfb.sh";
    std::vector<uint8_t> tga =
        MakeTga(320, 240, [](int x, int y) { return SplashTestEntry(x, y, 320, 240); });
    const ResourceEntry entry{"ZYN_JPEGTEX", "SPLASH.TGA", tga.data(), uint32_t(tga.size())};
    Sys_OverrideResources(&entry, 1);

    const Shot desktop = Screenshot("before");
    ASSERT_EQ(desktop.width, 1024);
    ASSERT_EQ(desktop.height, 768);
    // The desktop has a pattern under the splash, not one flat colour.
    int differing = 0;
    for (int x = 353; x < 672; ++x) differing += desktop.At(x, 301)[0] != desktop.At(x - 1, 301)[0];
    ASSERT_GT(differing, 20);

    auto* splash = new SplashWindow("SPLASH.TGA");
    ASSERT_NE(splash->window, 0u);
    EXPECT_EQ(WindowInfo("Fovex.exe", "Absolute upper-left X"), "352");
    EXPECT_EQ(WindowInfo("Fovex.exe", "Absolute upper-left Y"), "264");
    EXPECT_EQ(WindowInfo("Fovex.exe", "Width"), "320");
    EXPECT_EQ(WindowInfo("Fovex.exe", "Height"), "240");
    EXPECT_EQ(WindowInfo("Fovex.exe", "Border width"), "0");
    EXPECT_EQ(WindowInfo("Fovex.exe", "Map State"), "IsViewable");

    // Every pixel of the screen: the blend inside the rectangle (transparent
    // entries the pattern, opaque ones the picture x 255 / 256, soft ones the
    // mix), the untouched desktop everywhere else: no frame, no title.
    const Shot shown = Screenshot("shown");
    ASSERT_EQ(shown.width, 1024);
    EXPECT_EQ(Mismatches(shown, desktop, true, 352, 264), 0);
    // Spot checks of the three kinds of entry.
    EXPECT_EQ(shown.At(352, 264)[0], desktop.At(352, 264)[0]);  // transparent corner
    EXPECT_EQ(shown.At(352 + 100, 264 + 100)[0], 254);          // opaque 255: red channel
    EXPECT_EQ(shown.At(352 + 100, 264 + 120)[2], 99);           // opaque blue 100
    const uint8_t* under = desktop.At(352 + 40, 264 + 120);
    EXPECT_EQ(shown.At(352 + 40, 264 + 120)[0], (160 * 192 + under[0] * 63) >> 8);  // alpha 192

    // The painted picture stays on screen with no message loop running.
    EXPECT_EQ(Mismatches(Screenshot("still"), desktop, true, 352, 264), 0);

    delete splash;
    const Shot after = Screenshot("after");
    ASSERT_EQ(after.width, 1024);
    EXPECT_EQ(Mismatches(after, desktop, false, 0, 0), 0);
    EXPECT_EQ(WindowInfo("Fovex.exe", "Map State"), "IsUnMapped");
    Sys_OverrideResources(nullptr, 0);
}

LRESULT QuietProc(HWND, uint32_t, WPARAM, LPARAM) { return 0; }

// Start-up shows the splash with the main window's OpenGL context current;
// the context must still be current, with its state, afterwards.
TEST(SplashOnX11, LeavesTheMainWindowsContextCurrent) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run through under_xvfb.sh";
    std::vector<uint8_t> tga = MakeTga(320, 240, TestPicture);
    const ResourceEntry entry{"ZYN_JPEGTEX", "SPLASH.TGA", tga.data(), uint32_t(tga.size())};
    Sys_OverrideResources(&entry, 1);
    ASSERT_TRUE(Sys_RegisterClass("Main", QuietProc));
    const HWND main = Sys_CreateWindow("Main", "Main", WindowStyle::Overlapped, 0, 0, 640, 480);
    ASSERT_NE(main, 0u);
    ASSERT_TRUE(Sys_CreateGLContext(main));
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    auto* splash = new SplashWindow("SPLASH.TGA");
    Sys_UpdateWindow(splash->window);  // and once more, as an exposure would
    delete splash;
    GLfloat clear[4] = {0, 0, 0, 0};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 0.25f);
    EXPECT_FLOAT_EQ(clear[1], 0.5f);
    EXPECT_FLOAT_EQ(clear[2], 0.75f);
    Sys_OverrideResources(nullptr, 0);
}

// The demo's own picture, as embedded: the same arithmetic, and a look.
TEST(SplashOnX11, TheEmbeddedPictureShowsTheSameWay) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run through under_xvfb.sh";
    Resource tga;
    if (!Sys_FindResource("ZYN_JPEGTEX", "SPLASH.TGA", &tga)) GTEST_SKIP() << "no SPLASH.TGA embedded";
    ASSERT_EQ(tga.size, 18u + 320u * 240u * 4u + 26u);
    const uint8_t* data = tga.data + 18;
    const Picture picture = [data](int x, int y) {
        const uint8_t* p = data + (size_t(239 - y) * 320 + x) * 4;
        return Bgra{p[0], p[1], p[2], p[3]};
    };
    const Shot desktop = Screenshot("embedded_before");
    ASSERT_EQ(desktop.width, 1024);
    auto* splash = new SplashWindow("SPLASH.TGA");
    const Shot shown = Screenshot("embedded_shown");
    ASSERT_EQ(shown.width, 1024);
    EXPECT_EQ(Mismatches(shown, desktop, true, 352, 264, picture), 0);
    delete splash;
    EXPECT_EQ(Mismatches(Screenshot("embedded_after"), desktop, false, 0, 0), 0);
}

}  // namespace
