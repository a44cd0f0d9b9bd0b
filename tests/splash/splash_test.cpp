// The splash headless: a test screen stands in for the desktop, the window
// is bookkeeping only and its painted client area is read back.
#include <gtest/gtest.h>

#include <vector>

#include "image/dib.h"
#include "platform/platform.h"
#include "platform/sys_screen.h"
#include "splash/splash_window.h"
#include "tests/splash/test_tga.h"

namespace {

// A screen whose pixel (x, y) is B = x / 4, G = y / 4, R = 100.
std::vector<uint8_t> PatternScreen(int w, int h) {
    std::vector<uint8_t> bgrx(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &bgrx[(size_t(y) * w + x) * 4];
            p[0] = uint8_t(x / 4);
            p[1] = uint8_t(y / 4);
            p[2] = 100;
            p[3] = 0;
        }
    return bgrx;
}

class SplashTest : public ::testing::Test {
protected:
    void SetUp() override {
        Sys_SetHeadless(1);
        Sys_ResetWindowing();
        Sys_ResetClients();
    }
    void TearDown() override {
        Sys_OverrideResources(nullptr, 0);
        Sys_SetTestScreen(0, 0, 0, nullptr);
        Sys_ResetWindowing();
        Sys_ResetClients();
    }
    void UseTga(std::vector<uint8_t> tga) {
        tga_ = std::move(tga);
        entry_ = ResourceEntry{"ZYN_JPEGTEX", "SPLASH.TGA", tga_.data(), uint32_t(tga_.size())};
        Sys_OverrideResources(&entry_, 1);
    }
    void UseScreen(int w, int h) {
        screen_ = PatternScreen(w, h);
        screenW_ = w;
        Sys_SetTestScreen(w, h, 24, screen_.data());
    }
    const uint8_t* ScreenAt(int x, int y) const { return &screen_[(size_t(y) * screenW_ + x) * 4]; }
    // Entry (x, y from the top) of splashImage, B, G, R.
    const uint8_t* ImageAt(int x, int yFromTop) const {
        const uint8_t* dib = GlobalLock(splashImage);
        const int rows = DibRowCount(dib);
        return DibColorData(dib) + size_t(rows - 1 - yFromTop) * DibRowBytes(DibWidth(dib), 24) + x * 3;
    }
    std::vector<uint8_t> tga_, screen_;
    int screenW_ = 0;
    ResourceEntry entry_{};
};

TEST_F(SplashTest, CentresOnTheScreenInIntegerHalves) {
    const RECT r = SplashClientRect(1024, 768, 320, 240);
    EXPECT_EQ(r.left, 352);
    EXPECT_EQ(r.top, 264);
    EXPECT_EQ(r.right, 672);
    EXPECT_EQ(r.bottom, 504);
    // Odd sizes lose a pixel: each half is truncated.
    const RECT odd = SplashClientRect(1023, 767, 321, 241);
    EXPECT_EQ(odd.left, 511 - 160);
    EXPECT_EQ(odd.right, 511 + 160);
    EXPECT_EQ(odd.top, 383 - 120);
    EXPECT_EQ(odd.bottom, 383 + 120);
}

TEST_F(SplashTest, BlendArithmetic) {
    EXPECT_EQ(BlendSplashChannel(200, 0, 77), 77);     // transparent: the desktop
    EXPECT_EQ(BlendSplashChannel(200, 255, 77), 199);  // opaque: v x 255 / 256
    EXPECT_EQ(BlendSplashChannel(255, 255, 255), 254);
    EXPECT_EQ(BlendSplashChannel(200, 128, 100), 149);  // (25600 + 12700) / 256
    EXPECT_EQ(BlendSplashChannel(0, 1, 255), 253);      // 254 x 255 / 256
}

TEST_F(SplashTest, BlendsThePictureIntoTheCaptureUnderIt) {
    UseScreen(1024, 768);
    UseTga(MakeTga(320, 240, [](int x, int y) { return SplashTestEntry(x, y, 320, 240); }));
    SplashWindow splash("SPLASH.TGA");
    ASSERT_NE(splash.window, 0u);
    EXPECT_EQ(splashWidth, 320u);
    EXPECT_EQ(splashHeight, 240u);
    ASSERT_NE(splashImage, nullptr);
    const uint8_t* dib = GlobalLock(splashImage);
    EXPECT_EQ(DibWidth(dib), 320);
    EXPECT_EQ(DibRowCount(dib), 240);
    EXPECT_EQ(DibBitCount(dib), 24);
    EXPECT_EQ(LoadInfoHeader(dib).biSizeImage, 230400u);

    // Transparent corner: the screen at (352, 264) as it was.
    const uint8_t* corner = ImageAt(0, 0);
    EXPECT_EQ(corner[0], ScreenAt(352, 264)[0]);
    EXPECT_EQ(corner[1], ScreenAt(352, 264)[1]);
    EXPECT_EQ(corner[2], 100);
    const uint8_t* lowRight = ImageAt(319, 239);
    EXPECT_EQ(lowRight[0], ScreenAt(671, 503)[0]);
    EXPECT_EQ(lowRight[1], ScreenAt(671, 503)[1]);
    // Opaque middle: the picture x 255 / 256, whatever lies beneath.
    const uint8_t* mid = ImageAt(100, 120);
    EXPECT_EQ(mid[0], 99);   // 100 x 255 / 256
    EXPECT_EQ(mid[1], 119);  // 120 x 255 / 256
    EXPECT_EQ(mid[2], 159);  // 160 x 255 / 256
    EXPECT_EQ(ImageAt(100, 100)[2], 254);
    // A soft entry: column 40, row 120 has edge 40, alpha 192.
    const uint8_t* soft = ImageAt(40, 120);
    const uint8_t* under = ScreenAt(352 + 40, 264 + 120);
    EXPECT_EQ(soft[0], (40 * 192 + under[0] * 63) >> 8);
    EXPECT_EQ(soft[1], (120 * 192 + under[1] * 63) >> 8);
    EXPECT_EQ(soft[2], (160 * 192 + 100 * 63) >> 8);
}

TEST_F(SplashTest, PaintsTheComposedImageOneToOneAtTheClientOrigin) {
    UseScreen(1024, 768);
    UseTga(MakeTga(320, 240, [](int x, int y) { return SplashTestEntry(x, y, 320, 240); }));
    SplashWindow splash("SPLASH.TGA");
    // Painted once while being made, with no message loop running.
    int w = 0, h = 0;
    std::vector<uint8_t> client;
    ASSERT_TRUE(Sys_ReadClient(splash.window, &w, &h, &client));
    ASSERT_EQ(w, 320);
    ASSERT_EQ(h, 240);
    int mismatches = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            for (int k = 0; k < 3; ++k)
                mismatches += client[(size_t(y) * 320 + x) * 3 + k] != ImageAt(x, y)[k];
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(Sys_PendingMessageCount(), 0u);
}

TEST_F(SplashTest, DrawDibStretchesWhenTheRectanglesDiffer) {
    // A 4 x 2 screen whose pixel (x, y) is B = 10 x, G = 50 y.
    std::vector<uint8_t> screen(4 * 2 * 4, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            screen[(y * 4 + x) * 4 + 0] = uint8_t(10 * x);
            screen[(y * 4 + x) * 4 + 1] = uint8_t(50 * y);
        }
    Sys_SetTestScreen(4, 2, 24, screen.data());
    HGLOBAL dib = GrabScreenDib(RECT{0, 0, 4, 2});
    ASSERT_NE(dib, nullptr);
    Sys_RegisterClass("ReveDideva", SplashWndProc);
    HWND window = Sys_CreateWindow("ReveDideva", "Fovex.exe", WindowStyle::Splash, 0, 0, 8, 4);
    // Twice the size: every source pixel covers 2 x 2, the top row on top.
    EXPECT_EQ(DrawDib(window, RECT{0, 0, 8, 4}, dib, RECT{0, 0, 4, 2}, nullptr), 4);
    int w = 0, h = 0;
    std::vector<uint8_t> client;
    ASSERT_TRUE(Sys_ReadClient(window, &w, &h, &client));
    ASSERT_EQ(w, 8);
    ASSERT_EQ(h, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(client[(y * 8 + x) * 3 + 0], 10 * (x / 2)) << x << ", " << y;
            EXPECT_EQ(client[(y * 8 + x) * 3 + 1], 50 * (y / 2)) << x << ", " << y;
        }
    // One to one with a source rectangle lower in the DIB: its bottom row
    // (the screen's row 1) lands at the given place.
    Sys_ResetClients();
    EXPECT_EQ(DrawDib(window, RECT{0, 0, 2, 1}, dib, RECT{2, 1, 4, 2}, nullptr), 1);
    ASSERT_TRUE(Sys_ReadClient(window, &w, &h, &client));
    EXPECT_EQ(client[0], 20);
    EXPECT_EQ(client[1], 50);
    EXPECT_EQ(DrawDib(window, RECT{0, 0, 8, 4}, nullptr, RECT{0, 0, 4, 2}, nullptr), 0);
    GlobalFree(dib);
}

TEST_F(SplashTest, AScreenSmallerThanThePictureKeepsTheBlendInsideTheCapture) {
    UseScreen(200, 100);
    UseTga(MakeTga(320, 240, [](int x, int y) { return SplashTestEntry(x, y, 320, 240); }));
    SplashWindow splash("SPLASH.TGA");
    ASSERT_NE(splashImage, nullptr);
    const uint8_t* dib = GlobalLock(splashImage);
    ASSERT_EQ(DibWidth(dib), 200);
    ASSERT_EQ(DibRowCount(dib), 100);
    // The rectangle is (-60, -70) to (260, 170): screen (0, 0) lies over
    // picture column 60, row 70, which is opaque.
    EXPECT_EQ(ImageAt(0, 0)[0], 59);  // 60 x 255 / 256
    EXPECT_EQ(ImageAt(0, 0)[1], 69);  // 70 x 255 / 256
    EXPECT_EQ(ImageAt(199, 99)[0], (259 & 0xFF) * 255 / 256);
    // The window covers the screen's part of the rectangle and shows it.
    int w = 0, h = 0;
    std::vector<uint8_t> client;
    ASSERT_TRUE(Sys_ReadClient(splash.window, &w, &h, &client));
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 100);
    EXPECT_EQ(client[0], 59);
    EXPECT_EQ(client[1], 69);
}

TEST_F(SplashTest, OddPicturesAndShortFilesStayInBounds) {
    UseScreen(1024, 768);
    // 321 x 241: the rectangle is 320 x 240, one column and row fewer.
    UseTga(MakeTga(321, 241, [](int x, int y) { return SplashTestEntry(x, y, 321, 241); }));
    {
        SplashWindow splash("SPLASH.TGA");
        ASSERT_NE(splashImage, nullptr);
        EXPECT_EQ(DibWidth(GlobalLock(splashImage)), 320);
        EXPECT_EQ(ImageAt(100, 120)[0], 99);
    }
    // The header alone: every entry transparent, the desktop shows.
    std::vector<uint8_t> header = MakeTga(320, 240, [](int, int) { return Bgra{9, 9, 9, 255}; });
    header.resize(18);
    UseTga(header);
    SplashWindow splash("SPLASH.TGA");
    ASSERT_NE(splash.window, 0u);
    EXPECT_EQ(ImageAt(160, 120)[0], ScreenAt(512, 384)[0]);
    EXPECT_EQ(ImageAt(160, 120)[1], ScreenAt(512, 384)[1]);
}

TEST_F(SplashTest, AMissingPictureGivesNoWindow) {
    UseScreen(1024, 768);
    Sys_OverrideResources(&entry_, 0);
    SplashWindow splash("SPLASH.TGA");
    EXPECT_EQ(splash.window, 0u);
    EXPECT_EQ(splash.picture, nullptr);
}

TEST_F(SplashTest, WithNoReadableScreenTheCaptureIsBlack) {
    // Headless with no test screen: a black 640 x 480 screen, so the soft
    // edges fade to black.
    UseTga(MakeTga(320, 240, [](int x, int y) { return SplashTestEntry(x, y, 320, 240); }));
    SplashWindow splash("SPLASH.TGA");
    ASSERT_NE(splashImage, nullptr);
    EXPECT_EQ(DibWidth(GlobalLock(splashImage)), 320);
    EXPECT_EQ(ImageAt(0, 0)[2], 0);
    EXPECT_EQ(ImageAt(40, 120)[2], (160 * 192) >> 8);
    EXPECT_EQ(ImageAt(100, 120)[2], 159);
    // Nothing to capture at all (a rectangle off the screen): no image,
    // and a paint of a null image paints nothing.
    EXPECT_EQ(GrabScreenDib(RECT{700, 0, 800, 10}), nullptr);
    EXPECT_EQ(GrabScreenDib(RECT{10, 10, 10, 20}), nullptr);
    EXPECT_EQ(DrawDib(splash.window, RECT{0, 0, 4, 4}, nullptr, RECT{0, 0, 4, 4}, nullptr), 0);
}

TEST_F(SplashTest, ItsMessagesGoThroughTheQueueAndEndNothing) {
    UseScreen(1024, 768);
    UseTga(MakeTga(320, 240, [](int x, int y) { return SplashTestEntry(x, y, 320, 240); }));
    SplashWindow splash("SPLASH.TGA");
    const HWND w = splash.window;

    EXPECT_EQ(SplashWndProc(w, WM_KEYDOWN, 'A', 0), 0);
    EXPECT_EQ(Sys_PendingMessageCount(), 0u);
    EXPECT_EQ(SplashWndProc(w, WM_KEYDOWN, VK_ESCAPE, 0), 0);
    EXPECT_EQ(SplashWndProc(w, WM_CLOSE, 0, 0), 0);
    MSG msg;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(Sys_PeekMessage(&msg));
        EXPECT_EQ(msg.window, w);
        EXPECT_EQ(msg.message, uint32_t(WM_DESTROY));
        Sys_DispatchMessage(msg);
    }
    // Each WM_DESTROY posted a WM_QUIT for no window; dispatching it is harmless.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(Sys_PeekMessage(&msg));
        EXPECT_EQ(msg.message, uint32_t(WM_QUIT));
        EXPECT_EQ(msg.window, 0u);
        Sys_DispatchMessage(msg);
    }
    EXPECT_FALSE(Sys_PeekMessage(&msg));
    // The window is still there and still paints.
    EXPECT_EQ(Sys_SendMessage(w, WM_PAINT, 0, 0), 0);
}

TEST_F(SplashTest, DestroyingHidesButKeepsTheImage) {
    UseScreen(1024, 768);
    UseTga(MakeTga(320, 240, [](int x, int y) { return SplashTestEntry(x, y, 320, 240); }));
    auto* splash = new SplashWindow("SPLASH.TGA");
    const HWND w = splash->window;
    delete splash;
    EXPECT_NE(splashImage, nullptr);
    // The window can still be painted: it was hidden, not destroyed.
    Sys_ResetClients();
    Sys_UpdateWindow(w);
    int cw = 0, ch = 0;
    std::vector<uint8_t> client;
    EXPECT_TRUE(Sys_ReadClient(w, &cw, &ch, &client));
}

}  // namespace
