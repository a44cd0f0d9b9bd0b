// sys_web_screen.cpp -- the page as the screen, and pictures painted into
// the splash window, in the browser.
//
// The page stands where the desktop would be: its size is the browser's
// viewport, and a page cannot be read back, so a capture reads as the
// page's own background colour. The splash, blended into that, shows with
// its soft edge over the page. A painted window is put on the page's splash
// canvas, and the browser is given one frame to show it.
#include "platform/sys_screen.h"
#include "platform/sys_web.h"

#include <emscripten.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace {

constexpr int kHeadlessScreenWidth = 640;
constexpr int kHeadlessScreenHeight = 480;

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;  // top row first
};
std::map<HWND, Canvas> g_canvases;

}  // namespace

EM_JS(void, web_screen_size, (int* size), {
    const s = DemoPage.screenSize();
    HEAP32[size >> 2] = s[0];
    HEAP32[(size >> 2) + 1] = s[1];
});

EM_JS(int, web_background, (), { return DemoPage.backgroundRgb(); });

EM_ASYNC_JS(void, web_paint_splash, (const uint8_t* rgba, int width, int height), {
    await DemoPage.paintSplash(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height);
});

void Sys_SetTestScreen(int, int, int, const uint8_t*) {}

bool Sys_ScreenSize(int* width, int* height) {
    if (Sys_IsHeadless()) {
        *width = kHeadlessScreenWidth;
        *height = kHeadlessScreenHeight;
        return true;
    }
    int size[2] = {0, 0};
    web_screen_size(size);
    *width = size[0];
    *height = size[1];
    return *width > 0 && *height > 0;
}

int Sys_ScreenColorBits() { return 24; }

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
    const uint32_t rgb = Sys_IsHeadless() ? 0 : uint32_t(web_background());
    const uint8_t pixel[4] = {uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), 0};
    bgrx->resize(size_t(w) * h * 4);
    for (size_t i = 0; i < bgrx->size(); i += 4) std::memcpy(&(*bgrx)[i], pixel, 4);
    *width = w;
    *height = h;
    return true;
}

int Sys_PaintClient(HWND window, int destX, int destY, int width, int height, const uint8_t* bgr,
                    int rowBytes, int imageWidth, int imageHeight, int srcX, int srcY) {
    if (!window || !bgr || width <= 0 || height <= 0) return 0;
    int clientW = 0, clientH = 0;
    if (!Sys_Web_WindowSize(window, &clientW, &clientH)) return 0;
    Canvas& canvas = g_canvases[window];
    if (canvas.width != clientW || canvas.height != clientH) {
        canvas.width = clientW;
        canvas.height = clientH;
        canvas.bgr.assign(size_t(clientW) * clientH * 3, 0);
    }
    // Block row r from the top is picture row srcY + height - 1 - r from the bottom.
    int painted = 0;
    for (int r = 0; r < height; ++r) {
        const int pictureRow = srcY + height - 1 - r;
        const int clientRow = destY + r;
        if (pictureRow < 0 || pictureRow >= imageHeight || clientRow < 0 || clientRow >= clientH) continue;
        const uint8_t* in = bgr + size_t(pictureRow) * rowBytes;
        uint8_t* out = &canvas.bgr[size_t(clientRow) * clientW * 3];
        bool any = false;
        for (int c = 0; c < width; ++c) {
            const int px = srcX + c, cx = destX + c;
            if (px < 0 || px >= imageWidth || cx < 0 || cx >= clientW) continue;
            std::memcpy(out + size_t(cx) * 3, in + size_t(px) * 3, 3);
            any = true;
        }
        if (any) ++painted;
    }
    if (!Sys_IsHeadless() && painted > 0) {
        std::vector<uint8_t> rgba(size_t(clientW) * clientH * 4);
        for (size_t i = 0, n = size_t(clientW) * clientH; i < n; ++i) {
            rgba[4 * i] = canvas.bgr[3 * i + 2];
            rgba[4 * i + 1] = canvas.bgr[3 * i + 1];
            rgba[4 * i + 2] = canvas.bgr[3 * i];
            rgba[4 * i + 3] = 255;
        }
        web_paint_splash(rgba.data(), clientW, clientH);
    }
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
