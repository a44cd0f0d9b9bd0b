// sys_screen.cpp -- screen size and capture (the system's own screen where
// sys_native reads it, SDL's desktop mode and black elsewhere) and painting
// pictures into windows (SDL window surfaces).
#include "platform/sys_screen.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/sys_internal.h"
#include "platform/sys_native.h"

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

// The operating system's own screen is asked only with a display behind SDL.
bool NativeScreenReady() { return !Sys_IsHeadless() && Sys_Internal_VideoUp(); }

// Where the screen is neither ours (tests) nor X11's: SDL's desktop mode.
bool SdlDesktop(int* width, int* height, int* bits) {
    if (Sys_IsHeadless() || !Sys_Internal_VideoUp()) return false;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
    *width = mode.w;
    *height = mode.h;
    *bits = int(SDL_BITSPERPIXEL(mode.format));
    return true;
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

// Copies the canvas to the SDL window's surface and shows it.
void Present(SDL_Window* window, const Canvas& c) {
    // SDL would otherwise back the surface with a renderer of its own, whose
    // OpenGL context would become current in place of the demo's.
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface) return;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    const int w = std::min(surface->w, c.width);
    const int h = std::min(surface->h, c.height);
    const int bpp = surface->format->BytesPerPixel;
    for (int row = 0; row < h; ++row) {
        uint8_t* out = static_cast<uint8_t*>(surface->pixels) + size_t(row) * surface->pitch;
        const uint8_t* in = &c.bgr[size_t(row) * c.width * 3];
        for (int col = 0; col < w; ++col, in += 3, out += bpp) {
            const uint32_t p = SDL_MapRGB(surface->format, in[2], in[1], in[0]);
            std::memcpy(out, &p, size_t(bpp));  // little-endian: the low bytes
        }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(window);
#ifdef _WIN32
    // Wine puts what GDI drew into a window on screen only when the thread
    // next looks at its messages, and the splash is painted while start-up
    // looks at none: look now (the events wait in SDL's queue).
    SDL_PumpEvents();
#endif
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
    *width = 0;
    *height = 0;
    if (g_testScreen.width > 0) {
        *width = g_testScreen.width;
        *height = g_testScreen.height;
        return true;
    }
    int bits = 0;
    if (NativeScreenReady() && Sys_Native_ScreenSize(width, height, &bits)) return true;
    if (SdlDesktop(width, height, &bits)) return true;
    if (Sys_IsHeadless()) {
        *width = kHeadlessScreenWidth;
        *height = kHeadlessScreenHeight;
        return true;
    }
    return false;
}

int Sys_ScreenColorBits() {
    if (g_testScreen.width > 0) return g_testScreen.colorBits;
    int w = 0, h = 0, bits = 0;
    if (NativeScreenReady() && Sys_Native_ScreenSize(&w, &h, &bits)) return bits;
    if (SdlDesktop(&w, &h, &bits)) return bits;
    return Sys_IsHeadless() ? 24 : 0;
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
    } else if (NativeScreenReady()) {
        // A failed read leaves the black picture.
        if (!Sys_Native_CaptureScreen(left, top, w, h, bgrx->data()))
            std::fill(bgrx->begin(), bgrx->end(), 0);
    }
    *width = w;
    *height = h;
    return true;
}

int Sys_PaintClient(HWND window, int destX, int destY, int width, int height, const uint8_t* bgr,
                    int rowBytes, int imageWidth, int imageHeight, int srcX, int srcY) {
    if (!window || !bgr || width <= 0 || height <= 0) return 0;
    SDL_Window* sdl = static_cast<SDL_Window*>(Sys_NativeWindow(window));
    Canvas& canvas = g_canvases[window];
    int clientW = 0, clientH = 0;
    if (sdl) {
        SDL_GetWindowSize(sdl, &clientW, &clientH);
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
    if (sdl) Present(sdl, canvas);
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
