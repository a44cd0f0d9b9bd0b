// sys_screen.h -- the desktop as a picture: its size, reading a rectangle
// of it, and painting a picture into a window's client area.
//
// The screen is read where the window system lets us: under X11 the root
// window as it is on screen, on Windows through GDI. Where it cannot be read
// (Wayland, SDL's offscreen driver) it reads as black; in the browser the
// page stands for the screen and reads as its background colour; headless,
// the screen is 640 x 480 at 24 bits and black. Tests may put a screen of
// their own in its place.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

// The screen size in pixels and its colour depth in bits per pixel (one
// plane). False when no screen is known at all (then 0 x 0).
bool Sys_ScreenSize(int* width, int* height);
int Sys_ScreenColorBits();

// Reads the screen rectangle [left, right) x [top, bottom), clipped to the
// screen. Gives the clipped rectangle's size and its pixels, top row first,
// 4 bytes a pixel: B, G, R, 0. False (and nothing read) when the clipped
// rectangle is empty.
bool Sys_CaptureScreen(int left, int top, int right, int bottom, int* width, int* height,
                       std::vector<uint8_t>* bgrx);

// Tests: a screen of width x height at colorBits whose pixels are bgrx (top
// row first, 4 bytes a pixel; null reads as black) stands in for the real
// one. width 0 removes it.
void Sys_SetTestScreen(int width, int height, int colorBits, const uint8_t* bgrx);

// Paints part of a 24-bit picture (3 bytes a pixel, B, G, R; rows of
// rowBytes bytes, bottom row first, imageWidth x imageHeight) into the
// window's client area, one to one: the width x height block whose lower
// left corner is column srcX, row srcY counted from the bottom lands with its
// top left corner at client (destX, destY). Clipped to the picture and to the
// client area. Shows the result and gives the number of picture rows
// painted (0 when nothing could be painted). A window with no display
// behind it (headless) has a client area as large as what was painted.
int Sys_PaintClient(HWND window, int destX, int destY, int width, int height, const uint8_t* bgr,
                    int rowBytes, int imageWidth, int imageHeight, int srcX, int srcY);

// The client area as last painted by Sys_PaintClient: client width x height,
// 3 bytes a pixel (B, G, R), rows top first, black where nothing was
// painted. False for a window never painted.
bool Sys_ReadClient(HWND window, int* width, int* height, std::vector<uint8_t>* bgr);

// Forgets every painted client area (tests, together with Sys_ResetWindowing).
void Sys_ResetClients();
