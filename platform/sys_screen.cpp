// sys_screen.cpp -- the screen's size and capture, and pictures painted
// into windows, the same in every build: a test's screen, the headless one
// (640 x 480, black), else the device's (sys_device.h); painted client
// areas kept here and shown by the device.
#include "platform/sys_screen.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/sys_device.h"
#include "platform/sys_internal.h"

namespace {

// ---------------------------------------------------------------------------
// The screen

struct TestScreen {
    int width = 0;
    int height = 0;
    int colorBits = 24;
    std::vector<uint8_t> bgrx;  // empty: black
};
TestScreen g_testScreen;

// Headless, the screen is one of the demo's own size that reads as black.
constexpr int kHeadlessScreenWidth = 640;
constexpr int kHeadlessScreenHeight = 480;
constexpr int kHeadlessScreenBits = 24;

// The screen's size and depth: the test's, the headless one, the device's.
bool Screen(int* width, int* height, int* bits) {
    if (g_testScreen.width > 0) {
        *width = g_testScreen.width;
        *height = g_testScreen.height;
        *bits = g_testScreen.colorBits;
        return true;
    }
    if (Sys_IsHeadless()) {
        *width = kHeadlessScreenWidth;
        *height = kHeadlessScreenHeight;
        *bits = kHeadlessScreenBits;
        return true;
    }
    return Sys_Device_ScreenSize(width, height, bits);
}

// ---------------------------------------------------------------------------
// Painted client areas

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;  // top row first
};
std::map<HWND, Canvas> g_canvases;

void GrowCanvas(Canvas* c, int width, int height) {
    if (width <= c->width && height <= c->height) return;
    Canvas grown;
    grown.width = std::max(width, c->width);
    grown.height = std::max(height, c->height);
    grown.bgr.assign(size_t(grown.width) * grown.height * 3, 0);
    for (int row = 0; row < c->height; ++row)
        std::memcpy(&grown.bgr[size_t(row) * grown.width * 3], &c->bgr[size_t(row) * c->width * 3],
                    size_t(c->width) * 3);
    *c = std::move(grown);
}

}  // namespace

// ---------------------------------------------------------------------------

void Sys_SetTestScreen(int width, int height, int colorBits, const uint8_t* bgrx) {
    g_testScreen = TestScreen{};
    if (width <= 0 || height <= 0) return;
    g_testScreen.width = width;
    g_testScreen.height = height;
    g_testScreen.colorBits = colorBits;
    if (bgrx) g_testScreen.bgrx.assign(bgrx, bgrx + size_t(width) * height * 4);
}

bool Sys_ScreenSize(int* width, int* height) {
    int bits = 0;
    if (Screen(width, height, &bits)) return true;
    *width = 0;
    *height = 0;
    return false;
}

int Sys_ScreenColorBits() {
    int width = 0, height = 0, bits = 0;
    return Screen(&width, &height, &bits) ? bits : 0;
}

bool Sys_CaptureScreen(int left, int top, int right, int bottom, int* width, int* height,
                       std::vector<uint8_t>* bgrx) {
    *width = 0;
    *height = 0;
    bgrx->clear();
    int screenW = 0, screenH = 0;
    Sys_ScreenSize(&screenW, &screenH);
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, screenW);
    bottom = std::min(bottom, screenH);
    if (right <= left || bottom <= top) return false;
    const int w = right - left, h = bottom - top;
    bgrx->assign(size_t(w) * h * 4, 0);
    if (g_testScreen.width > 0) {
        if (!g_testScreen.bgrx.empty())
            for (int row = 0; row < h; ++row)
                std::memcpy(&(*bgrx)[size_t(row) * w * 4],
                            &g_testScreen.bgrx[(size_t(top + row) * screenW + left) * 4], size_t(w) * 4);
    } else if (!Sys_IsHeadless()) {
        // A failed read leaves the black picture.
        if (!Sys_Device_CaptureScreen(left, top, w, h, bgrx->data()))
            std::fill(bgrx->begin(), bgrx->end(), 0);
    }
    *width = w;
    *height = h;
    return true;
}

int Sys_PaintClient(HWND window, int destX, int destY, int width, int height, const uint8_t* bgr,
                    int rowBytes, int imageWidth, int imageHeight, int srcX, int srcY) {
    if (!window || !bgr || width <= 0 || height <= 0) return 0;
    const DeviceWindow device = Sys_NativeWindow(window);
    Canvas& canvas = g_canvases[window];
    int clientW = 0, clientH = 0;
    if (device && Sys_Device_ClientSize(device, &clientW, &clientH)) {
        GrowCanvas(&canvas, clientW, clientH);
    } else {
        // As large as the part of the block that the picture covers.
        const int colEnd = std::min(width, imageWidth - srcX);
        const int rowEnd = std::min(height, srcY + height);
        GrowCanvas(&canvas, std::max(destX + colEnd, 0), std::max(destY + rowEnd, 0));
        clientW = canvas.width;
        clientH = canvas.height;
    }
    // The block's rows counted from the picture's bottom: srcY .. srcY + height - 1;
    // block row r from the top is picture row srcY + height - 1 - r from the bottom.
    int painted = 0;
    for (int r = 0; r < height; ++r) {
        const int pictureRow = srcY + height - 1 - r;  // from the bottom
        const int clientRow = destY + r;
        if (pictureRow < 0 || pictureRow >= imageHeight || clientRow < 0 || clientRow >= clientH) continue;
        const uint8_t* in = bgr + size_t(pictureRow) * rowBytes;
        uint8_t* out = &canvas.bgr[size_t(clientRow) * canvas.width * 3];
        bool any = false;
        for (int c = 0; c < width; ++c) {
            const int px = srcX + c, cx = destX + c;
            if (px < 0 || px >= imageWidth || cx < 0 || cx >= clientW) continue;
            std::memcpy(out + size_t(cx) * 3, in + size_t(px) * 3, 3);
            any = true;
        }
        if (any) ++painted;
    }
    if (device) Sys_Device_PresentClient(device, canvas.bgr.data(), canvas.width, canvas.height);
    return painted;
}

bool Sys_ReadClient(HWND window, int* width, int* height, std::vector<uint8_t>* bgr) {
    auto it = g_canvases.find(window);
    if (it == g_canvases.end()) {
        *width = *height = 0;
        bgr->clear();
        return false;
    }
    *width = it->second.width;
    *height = it->second.height;
    *bgr = it->second.bgr;
    return true;
}

void Sys_ResetClients() { g_canvases.clear(); }
