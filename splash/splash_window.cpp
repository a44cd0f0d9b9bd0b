// splash_window.cpp -- the splash: capture, blend, a borderless window.
#include "splash/splash_window.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/sys_screen.h"

uint32_t splashWidth = 0;
uint32_t splashHeight = 0;
HGLOBAL splashImage = nullptr;

namespace {

constexpr uint32_t kTgaHeaderBytes = 18;

// The DIB's pixels as 24-bit rows (B, G, R), bottom row first, for painting.
// 24-bit DIBs are used as they are; 1-, 4- and 8-bit ones go through their
// colour table into `expanded`. False for anything else.
bool DibAsBgr(const uint8_t* dib, std::vector<uint8_t>* expanded, const uint8_t** bgr, int* rowBytes) {
    const int32_t width = DibWidth(dib);
    const int32_t rows = DibRowCount(dib);
    const uint16_t bits = DibBitCount(dib);
    if (width <= 0 || rows <= 0) return false;
    const uint8_t* data = DibColorData(dib);
    const uint32_t inRowBytes = DibRowBytes(width, bits);
    if (bits == 24) {
        *bgr = data;
        *rowBytes = int(inRowBytes);
        return true;
    }
    if (bits != 1 && bits != 4 && bits != 8) return false;
    const uint32_t entrySize = DibColorTableBytes(dib) / std::max<uint16_t>(DibColorTableEntries(dib), 1);
    const uint16_t entries = DibColorTableEntries(dib);
    const uint8_t* table = DibColorData(dib) - DibColorTableBytes(dib);
    expanded->assign(size_t(width) * 3 * rows, 0);
    for (int32_t row = 0; row < rows; ++row) {
        const uint8_t* in = data + size_t(row) * inRowBytes;
        uint8_t* out = expanded->data() + size_t(row) * width * 3;
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t bit = uint32_t(x) * bits;
            const uint32_t index = (in[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            if (index < entries) std::memcpy(out + 3 * x, table + entrySize * index, 3);
        }
    }
    *bgr = expanded->data();
    *rowBytes = width * 3;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------

RECT SplashClientRect(int screenWidth, int screenHeight, uint32_t width, uint32_t height) {
    const int32_t halfW = int32_t(width / 2), halfH = int32_t(height / 2);
    return RECT{screenWidth / 2 - halfW, screenHeight / 2 - halfH, screenWidth / 2 + halfW,
                screenHeight / 2 + halfH};
}

uint8_t BlendSplashChannel(uint8_t picture, uint8_t alpha, uint8_t capture) {
    if (alpha == 0) return capture;
    const uint32_t v = (uint32_t(picture) * alpha + uint32_t(capture) * (255u - alpha)) >> 8;
    return uint8_t(std::min(v, 255u));
}

void BlendSplashPicture(HGLOBAL block, const uint8_t* picture, uint32_t width, uint32_t height, int offsetX,
                        int offsetY) {
    uint8_t* dib = DibFitsBlock(block) ? GlobalLock(block) : nullptr;
    if (!dib || !picture || DibBitCount(dib) != 24) {
        GlobalUnlock(block);
        return;
    }
    const int32_t captureW = DibWidth(dib);
    const int32_t captureH = DibRowCount(dib);
    uint8_t* data = DibColorData(dib);
    const uint32_t rowBytes = DibRowBytes(captureW, 24);
    // Capture row r (from the top) and column c lie over picture row
    // offsetY + r from the top, column offsetX + c.
    for (int32_t r = 0; r < captureH; ++r) {
        const int64_t pictureRowFromTop = int64_t(offsetY) + r;
        if (pictureRowFromTop < 0 || pictureRowFromTop >= int64_t(height)) continue;
        const uint8_t* in = picture + (size_t(height - 1 - pictureRowFromTop) * width) * 4;
        uint8_t* out = data + size_t(captureH - 1 - r) * rowBytes;
        for (int32_t c = 0; c < captureW; ++c) {
            const int64_t px = int64_t(offsetX) + c;
            if (px < 0 || px >= int64_t(width)) continue;
            const uint8_t* p = in + size_t(px) * 4;
            uint8_t* q = out + size_t(c) * 3;
            for (int k = 0; k < 3; ++k) q[k] = BlendSplashChannel(p[k], p[3], q[k]);
        }
    }
    GlobalUnlock(block);
}

// ---------------------------------------------------------------------------

SplashWindow::SplashWindow(const char* resourceName) {
    Resource tga;
    if (!Sys_FindResource("ZYN_JPEGTEX", resourceName, &tga) || tga.size < kTgaHeaderBytes) return;
    splashWidth = uint32_t(tga.data[12] | (tga.data[13] << 8));
    splashHeight = uint32_t(tga.data[14] | (tga.data[15] << 8));
    // The colour data lies right behind the header; a short file leaves the
    // missing entries transparent.
    const size_t pictureBytes = size_t(splashWidth) * splashHeight * 4;
    picture = new (std::nothrow) uint8_t[pictureBytes]();
    if (!picture) return;
    std::memcpy(picture, tga.data + kTgaHeaderBytes,
                std::min<size_t>(pictureBytes, tga.size - kTgaHeaderBytes));

    int screenW = 0, screenH = 0;
    Sys_ScreenSize(&screenW, &screenH);
    const RECT client = SplashClientRect(screenW, screenH, splashWidth, splashHeight);

    // One splash at a time: an earlier one's image goes.
    GlobalFree(splashImage);
    splashImage = GrabScreenDib(client);
    // The capture covers the part of the rectangle on the screen; the
    // window lies exactly over it.
    RECT shown = client;
    if (splashImage) {
        shown.left = std::max(client.left, 0);
        shown.top = std::max(client.top, 0);
        shown.right = std::min(client.right, screenW);
        shown.bottom = std::min(client.bottom, screenH);
        BlendSplashPicture(splashImage, picture, splashWidth, splashHeight, shown.left - client.left,
                           shown.top - client.top);
    }

    Sys_RegisterClass("ReveDideva", SplashWndProc);
    // Borderless: the window is the client rectangle, no frame to cut away.
    window = Sys_CreateWindow("ReveDideva", "Fovex.exe", WindowStyle::Splash, shown.left, shown.top,
                              shown.right - shown.left, shown.bottom - shown.top);
    Sys_ShowWindow(window, true);
    Sys_UpdateWindow(window);
}

SplashWindow::~SplashWindow() {
    Sys_ShowWindow(window, false);
    delete[] picture;
}

LRESULT SplashWndProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            HPALETTE palette = CopySystemPalette();
            const RECT all{0, 0, int32_t(splashWidth), int32_t(splashHeight)};
            DrawDib(window, all, splashImage, all, palette);
            DeleteObject(palette);
            return 0;
        }
        case WM_CLOSE: Sys_PostMessage(window, WM_DESTROY, 0, 0); return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) Sys_PostMessage(window, WM_DESTROY, 0, 0);
            return 0;
        case WM_DESTROY: Sys_PostQuitMessage(0); return 0;
        default: return Sys_DefWindowProc(window, message, wParam, lParam);
    }
}

// ---------------------------------------------------------------------------

HBITMAP GrabScreenBitmap(const RECT& area) {
    if (area.right <= area.left || area.bottom <= area.top) return nullptr;
    Bitmap* bitmap = new (std::nothrow) Bitmap;
    if (!bitmap) return nullptr;
    if (!Sys_CaptureScreen(area.left, area.top, area.right, area.bottom, &bitmap->width, &bitmap->height,
                           &bitmap->bits)) {
        delete bitmap;
        return nullptr;
    }
    bitmap->planes = 1;
    bitmap->bitsPixel = 32;  // captures are read as B, G, R, 0 whatever the screen's depth
    return bitmap;
}

HGLOBAL GrabScreenDib(const RECT& area) {
    HBITMAP bitmap = GrabScreenBitmap(area);
    if (!bitmap) return nullptr;
    HPALETTE palette = CopySystemPalette();
    HGLOBAL dib = MakeDibFromBitmap(bitmap, palette);
    DeleteObject(palette);
    DeleteObject(bitmap);
    return dib;
}

int DrawDib(HWND window, const RECT& dest, HGLOBAL block, const RECT& source, HPALETTE) {
    if (!DibFitsBlock(block)) return 0;
    const uint8_t* dib = GlobalLock(block);
    std::vector<uint8_t> expanded;
    const uint8_t* bgr = nullptr;
    int rowBytes = 0;
    int painted = 0;
    if (DibAsBgr(dib, &expanded, &bgr, &rowBytes)) {
        const int32_t width = DibWidth(dib), rows = DibRowCount(dib);
        const int32_t dw = dest.right - dest.left, dh = dest.bottom - dest.top;
        const int32_t sw = source.right - source.left, sh = source.bottom - source.top;
        if (dw == sw && dh == sh) {
            painted = Sys_PaintClient(window, dest.left, dest.top, dw, dh, bgr, rowBytes, width, rows,
                                      source.left, rows - source.bottom);
        } else if (dw > 0 && dh > 0 && sw > 0 && sh > 0) {
            // Nearest pixels; source.top counts from the DIB's bottom row.
            std::vector<uint8_t> stretched(size_t(dw) * dh * 3, 0);
            for (int32_t y = 0; y < dh; ++y) {
                const int64_t row = int64_t(source.top) + sh - 1 - int64_t(y) * sh / dh;
                if (row < 0 || row >= rows) continue;
                for (int32_t x = 0; x < dw; ++x) {
                    const int64_t col = int64_t(source.left) + int64_t(x) * sw / dw;
                    if (col < 0 || col >= width) continue;
                    std::memcpy(&stretched[(size_t(dh - 1 - y) * dw + x) * 3],
                                bgr + size_t(row) * rowBytes + col * 3, 3);
                }
            }
            painted =
                Sys_PaintClient(window, dest.left, dest.top, dw, dh, stretched.data(), dw * 3, dw, dh, 0, 0);
        }
    }
    GlobalUnlock(block);
    return painted;
}
