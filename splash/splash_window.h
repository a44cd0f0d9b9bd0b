// splash_window.h -- the soft-edged picture shown while the demo loads.
//
// No window transparency is used: the screen area the picture will cover is
// captured first, the picture is blended into the capture through its alpha
// channel, and the result is shown in a borderless window lying exactly over
// that area. Where the picture is transparent the window shows the desktop
// as it was when captured.
#pragma once

#include <cstdint>

#include "image/dib.h"
#include "platform/platform.h"

// A rectangle in pixels: [left, right) x [top, bottom), y down.
struct RECT {
    int32_t left, top, right, bottom;
};

class SplashWindow {
public:
    // Reads the TGA resource `resourceName` (type ZYN_JPEGTEX: an 18-byte
    // header whose bytes 12-13 and 14-15 are the width and height, then
    // width x height entries B, G, R, A, bottom row first), captures the
    // screen under the centred picture, blends the picture in, and shows the
    // window "Fovex.exe" of class "ReveDideva", painted once before this
    // returns. A missing resource gives no window (window 0).
    explicit SplashWindow(const char* resourceName);
    // Hides the window and frees the picture; the window, its class and
    // splashImage stay until the process ends.
    ~SplashWindow();

    SplashWindow(const SplashWindow&) = delete;
    SplashWindow& operator=(const SplashWindow&) = delete;

    HWND window = 0;             // the splash window
    uint8_t* picture = nullptr;  // the TGA's entries, width x height x 4 bytes (B, G, R, A)
};

// Shared with the window procedure; one splash at a time.
extern uint32_t splashWidth;   // picture width, pixels
extern uint32_t splashHeight;  // picture height, pixels
extern HGLOBAL splashImage;    // the capture with the picture blended in (packed 24-bit DIB)

// The procedure of the class "ReveDideva": WM_PAINT draws splashImage at
// the client origin; WM_CLOSE and Escape post WM_DESTROY; WM_DESTROY posts
// WM_QUIT (which ends nothing in the demo's loop).
LRESULT SplashWndProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

// The picture centred on the screen, in integer halves:
// left = screenWidth / 2 - width / 2, right = screenWidth / 2 + width / 2,
// top and bottom alike.
RECT SplashClientRect(int screenWidth, int screenHeight, uint32_t width, uint32_t height);

// One channel of the blend: (picture x alpha + capture x (255 - alpha)) / 256,
// limited to 255; alpha 0 leaves the capture.
uint8_t BlendSplashChannel(uint8_t picture, uint8_t alpha, uint8_t capture);

// Blends the picture (width x height entries B, G, R, A, bottom row first)
// into a packed 24-bit DIB whose top-left pixel lies at (offsetX, offsetY)
// of the picture's top-left corner (both >= 0 when the capture was clipped
// at the screen's left or top). Only entries inside both are touched.
void BlendSplashPicture(HGLOBAL dib, const uint8_t* picture, uint32_t width, uint32_t height, int offsetX,
                        int offsetY);

// A new device-dependent bitmap (32 bits a pixel) of the screen area, clipped
// to the screen; null for an empty rectangle or when nothing is left.
HBITMAP GrabScreenBitmap(const RECT& area);

// A new packed 24-bit DIB of the screen area, clipped to the screen, or null.
HGLOBAL GrabScreenDib(const RECT& area);

// Paints the DIB into the window's client area: one to one when both
// rectangles have the same size (source y counted from the DIB's bottom as
// DibRowCount - source.bottom), stretched by nearest pixels otherwise. The
// palette has no effect on today's true-colour windows. Gives the number of
// rows painted; 0 for a null block or a DIB it cannot read.
int DrawDib(HWND window, const RECT& dest, HGLOBAL dib, const RECT& source, HPALETTE palette);
