// The splash headless: a test screen stands in for the desktop, the window
// is bookkeeping only and its painted client area is read back.
#include <gtest/gtest.h>

#include <vector>

#include "image/dib.h"
#include "platform/platform.h"
#include "platform/sys_screen.h"
#include "splash/splash_window.h"
#include "tests/splash/test_tga.h"
#include "tests/support/hooks.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The screen's pixel (x, y) is B = x / 4, G = y / 4, R = 100.
class SplashTest : public ::testing::Test {
protected:
    void SetUp() override {
        Sys_SetHeadless(1);
        Sys_ResetWindowing();
        Sys_ResetClients();
    }
    void TearDown() override {
        Sys_SetTestScreen(0, 0, 0, nullptr);
        Sys_ResetWindowing();
        Sys_ResetClients();
    }
    void UseScreen(int w, int h) {
        screen_.clear();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) screen_.insert(screen_.end(), {uint8_t(x / 4), uint8_t(y / 4), 100, 0});
        screenW_ = w;
        Sys_SetTestScreen(w, h, 24, screen_.data());
    }
    Bytes Screen(int x, int y) const { return Bytes(&screen_[(size_t(y) * screenW_ + x) * 4], &screen_[(size_t(y) * screenW_ + x) * 4 + 3]); }
    // Entry (x, y from the top) of splashImage, B, G, R.
    static Bytes Image(int x, int yFromTop) {
        const uint8_t* dib = GlobalLock(splashImage);
        const uint8_t* p = DibColorData(dib) + size_t(DibRowCount(dib) - 1 - yFromTop) * DibRowBytes(DibWidth(dib), 24) + x * 3;
        return Bytes(p, p + 3);
    }
    // The client area as painted: every pixel the splash image's.
    static void ExpectPaintedImage(HWND window, int w, int h) {
        int cw = 0, ch = 0, mismatches = 0;
        Bytes client;
        ASSERT_TRUE(Sys_ReadClient(window, &cw, &ch, &client));
        ASSERT_EQ(std::vector<int>({cw, ch}), std::vector<int>({w, h}));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) mismatches += Bytes(&client[(size_t(y) * w + x) * 3], &client[(size_t(y) * w + x) * 3 + 3]) != Image(x, y);
        EXPECT_EQ(mismatches, 0);
    }
    Bytes screen_;
    int screenW_ = 0;
};

FakeResources::File Splash(int w, int h) {
    return Jpeg("SPLASH.TGA", MakeTga(w, h, [=](int x, int y) { return SplashTestEntry(x, y, w, h); }));
}

TEST_F(SplashTest, BlendsThePictureIntoTheCaptureUnderItPaintsItAndHides) {
    UseScreen(1024, 768);
    const FakeResources tga({Splash(320, 240)});
    auto* splash = new SplashWindow("SPLASH.TGA");
    ASSERT_NE(splash->window, 0u);
    EXPECT_EQ(std::vector<uint32_t>({splashWidth, splashHeight}), std::vector<uint32_t>({320, 240}));
    ASSERT_NE(splashImage, nullptr);
    const uint8_t* dib = GlobalLock(splashImage);
    EXPECT_EQ(std::vector<int64_t>({DibWidth(dib), DibRowCount(dib), DibBitCount(dib), LoadInfoHeader(dib).biSizeImage}),
              std::vector<int64_t>({320, 240, 24, 230400}));
    // Centred: transparent corners show the screen at (352, 264), (671, 503);
    // the opaque middle the picture x 255 / 256; (40, 120) has alpha 192.
    EXPECT_EQ(Image(0, 0), Screen(352, 264));
    EXPECT_EQ(Image(319, 239), Screen(671, 503));
    EXPECT_EQ(Image(100, 120), Bytes({99, 119, 159}));
    EXPECT_EQ(Image(100, 100)[2], 254);
    const Bytes under = Screen(392, 384);
    EXPECT_EQ(Image(40, 120), Bytes({uint8_t((40 * 192 + under[0] * 63) >> 8), uint8_t((120 * 192 + under[1] * 63) >> 8),
                                     uint8_t((160 * 192 + 100 * 63) >> 8)}));
    // Painted while being made; going, it hides (not destroys) the window.
    ExpectPaintedImage(splash->window, 320, 240);
    EXPECT_EQ(Sys_PendingMessageCount(), 0u);
    const HWND window = splash->window;
    delete splash;
    ASSERT_NE(splashImage, nullptr);
    Sys_ResetClients();
    Sys_UpdateWindow(window);
    ExpectPaintedImage(window, 320, 240);
    const RECT odd = SplashClientRect(1023, 767, 321, 241);  // each half truncated
    EXPECT_EQ(std::vector<int>({odd.left, odd.top, odd.right, odd.bottom}), std::vector<int>({351, 263, 671, 503}));
}

TEST_F(SplashTest, SmallScreensOddPicturesShortFilesAndNoScreenStayInBounds) {
    {   // A screen smaller than the picture: the rectangle (-60, -70) to
        // (260, 170) is clipped; screen (0, 0) lies over picture column 60,
        // row 70 (opaque); the window covers the screen's part and shows it.
        UseScreen(200, 100);
        const FakeResources tga({Splash(320, 240)});
        SplashWindow splash("SPLASH.TGA");
        ASSERT_NE(splashImage, nullptr);
        ASSERT_EQ(std::vector<int>({DibWidth(GlobalLock(splashImage)), DibRowCount(GlobalLock(splashImage))}),
                  std::vector<int>({200, 100}));
        EXPECT_EQ(Image(0, 0), Bytes({59, 69, 159}));
        EXPECT_EQ(Image(199, 99)[0], (259 & 0xFF) * 255 / 256);
        ExpectPaintedImage(splash.window, 200, 100);
    }
    UseScreen(1024, 768);
    {   // 321 x 241: the rectangle is 320 x 240, the picture read at its own width.
        const FakeResources tga({Splash(321, 241)});
        SplashWindow splash("SPLASH.TGA");
        ASSERT_NE(splashImage, nullptr);
        EXPECT_EQ(DibWidth(GlobalLock(splashImage)), 320);
        EXPECT_EQ(Image(100, 120)[0], 99);
    }
    {   // The header alone: every entry transparent, the desktop shows.
        FakeResources::File header = Splash(320, 240);
        header.bytes.resize(18);
        const FakeResources tga({header});
        SplashWindow splash("SPLASH.TGA");
        ASSERT_NE(splash.window, 0u);
        EXPECT_EQ(Image(160, 120), Screen(512, 384));
    }
    {   // No picture at all: no window, and start-up goes on.
        const FakeResources none({});
        SplashWindow splash("SPLASH.TGA");
        EXPECT_EQ(splash.window, 0u);
        EXPECT_EQ(splash.picture, nullptr);
    }
    // No test screen: a black one, so the soft edges fade to black; nothing
    // captured off the screen, nothing painted of no image.
    Sys_SetTestScreen(0, 0, 0, nullptr);
    const FakeResources tga({Splash(320, 240)});
    SplashWindow splash("SPLASH.TGA");
    ASSERT_NE(splashImage, nullptr);
    EXPECT_EQ(DibWidth(GlobalLock(splashImage)), 320);
    EXPECT_EQ(Image(0, 0)[2], 0);
    EXPECT_EQ(Image(40, 120)[2], (160 * 192) >> 8);
    EXPECT_EQ(GrabScreenDib(RECT{700, 0, 800, 10}), nullptr);
    EXPECT_EQ(GrabScreenDib(RECT{10, 10, 10, 20}), nullptr);
    EXPECT_EQ(DrawDib(splash.window, RECT{0, 0, 4, 4}, nullptr, RECT{0, 0, 4, 4}, nullptr), 0);
}

TEST_F(SplashTest, ItsMessagesGoThroughTheQueueAndEndNothing) {
    UseScreen(1024, 768);
    const FakeResources tga({Splash(320, 240)});
    SplashWindow splash("SPLASH.TGA");
    const HWND w = splash.window;
    EXPECT_EQ(SplashWndProc(w, WM_KEYDOWN, 'A', 0), 0);
    EXPECT_EQ(Sys_PendingMessageCount(), 0u);
    EXPECT_EQ(SplashWndProc(w, WM_KEYDOWN, VK_ESCAPE, 0), 0);
    EXPECT_EQ(SplashWndProc(w, WM_CLOSE, 0, 0), 0);
    // Each posts a WM_DESTROY, dispatched to a harmless WM_QUIT for no window.
    for (const auto& [message, window] : {std::make_pair(WM_DESTROY, w), std::make_pair(WM_DESTROY, w),
                                          std::make_pair(WM_QUIT, HWND(0)), std::make_pair(WM_QUIT, HWND(0))}) {
        MSG msg;
        ASSERT_TRUE(Sys_PeekMessage(&msg));
        EXPECT_EQ(msg.message, uint32_t(message));
        EXPECT_EQ(msg.window, window);
        Sys_DispatchMessage(msg);
    }
    MSG msg;
    EXPECT_FALSE(Sys_PeekMessage(&msg));
    EXPECT_EQ(Sys_SendMessage(w, WM_PAINT, 0, 0), 0);  // still there, still paints
}

}  // namespace
