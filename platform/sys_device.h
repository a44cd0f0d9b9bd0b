// sys_device.h -- where the platform layer meets the device it runs on.
//
// The layer's own logic is the same everywhere and exists once: the window
// records, the message queue and its dispatch, the message boxes' paths,
// the music's streams and clocks, the drawing surface, the placement of the
// picture, painted windows (sys_window.cpp, sys_audio.cpp, sys_gl.cpp,
// sys_screen.cpp, sys_core.cpp). What differs between devices is declared
// here and implemented once per build:
//   - SDL2 (Linux, Windows): sys_sdl_window.cpp, sys_sdl_audio.cpp,
//     sys_sdl_gl.cpp, with sys_native_*.cpp below them for what SDL lacks;
//   - the browser (emscripten): sys_web_window.cpp, sys_web_audio.cpp,
//     sys_web_gl.cpp, speaking to the page's DemoPage (web/demo-page.js).
// Plain functions chosen at link time, not an interface of virtual calls:
// in the browser some of them wait (for an answer, for the next frame)
// through Asyncify, which follows direct calls only.
//
// Every function is called from the one main thread. The device functions
// are called only when the layer is not headless, unless said otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Windows and input (sys_window.cpp asks)
// ---------------------------------------------------------------------------

// A window of the device: an SDL window, or the page's canvas or splash
// canvas. nullptr is none.
typedef void* DeviceWindow;

// Starts the device's windows (once). False when there is nothing to show
// windows on; the reason went to stderr.
bool Sys_Device_VideoUp();

// A hidden window with that client rectangle (screen pixels), a titled one
// placed by its frame (Sys_CreateWindow); nullptr on failure, the reason on
// stderr.
DeviceWindow Sys_Device_CreateWindow(const char* title, WindowStyle style, int x, int y, int width,
                                     int height);
void Sys_Device_ShowWindow(DeviceWindow window, WindowStyle style, bool show);
void Sys_Device_DestroyWindow(DeviceWindow window);

// After a synchronous paint (Sys_UpdateWindow): what was painted reaches
// the screen before the program goes on (a page is drawn only between the
// program's turns, so the browser waits for it).
void Sys_Device_WindowPainted(DeviceWindow window);

// Moves the device's waiting input into the message queue
// (Sys_Internal_QueueKey and its kin, sys_internal.h).
void Sys_Device_PumpEvents();

// A modal box (Yes/No, or OK) with this text and caption. Returns IDYES,
// IDNO or IDOK; 0 when no box can be shown.
int Sys_Device_MessageBox(const char* text, const char* caption, bool yesNo);

// Full screen on or off for the window. On: gives the screen's size in
// pixels, the one full screen covers (0 x 0 when it cannot be known).
void Sys_Device_SetFullScreen(DeviceWindow window, bool on, int* screenWidth, int* screenHeight);

// ---------------------------------------------------------------------------
// The screen and painted windows (sys_screen.cpp asks)
// ---------------------------------------------------------------------------

// The screen's size in pixels and colour depth in bits per pixel. False
// when the device has no screen to ask.
bool Sys_Device_ScreenSize(int* width, int* height, int* bits);

// Reads the screen rectangle (inside the screen) as it is on screen: top
// row first, B, G, R, 0. False when it cannot be read (the caller shows
// black).
bool Sys_Device_CaptureScreen(int x, int y, int width, int height, uint8_t* bgrx);

// The window's client size in pixels.
bool Sys_Device_ClientSize(DeviceWindow window, int* width, int* height);

// Shows a painted client area: width x height, B, G, R, rows top first.
void Sys_Device_PresentClient(DeviceWindow window, const uint8_t* bgr, int width, int height);

// ---------------------------------------------------------------------------
// OpenGL (sys_gl.cpp asks; Sys_CreateGLContext itself is the device's)
// ---------------------------------------------------------------------------

// The renderer's name as the device tells it ("" when it does not).
const char* Sys_Device_RendererName();

// The size in pixels of what a window's picture is shown in. False when
// the window shows nothing (headless, or no context for it). Called headless
// too.
bool Sys_Device_DrawableSize(HWND window, int* width, int* height);

// Shows the drawing surface in the window at `where` (inside the drawable,
// black around it) and ends the frame; the surface is bound again after.
void Sys_Device_Present(HWND window, const Sys_Placement& where);

// ---------------------------------------------------------------------------
// Sound (sys_audio.cpp asks)
// ---------------------------------------------------------------------------

// Streams are numbered by their slot, 0 to kSysAudioSlots - 1.
constexpr int kSysAudioSlots = 8;

// Opens the output at this frequency (16-bit stereo) and lets it run.
// False when it cannot be opened.
bool Sys_Device_AudioOpen(uint32_t frequency);
void Sys_Device_AudioClose();
// Holds the output (positions stand still) or lets it go on.
void Sys_Device_AudioPause(bool pause);
// Keeps the device's own thread, if it has one, away from the streams.
void Sys_Device_AudioLock();
void Sys_Device_AudioUnlock();

// A stream was made in the slot (its decoder at the start; lengthBytes its
// decoded length, 0 when unknown). False when the device cannot take it.
bool Sys_Device_StreamMade(int slot, uint32_t lengthBytes);
// Plays the stream: from its start when `restart`, looped as asked. False
// when the device refuses. Called locked.
bool Sys_Device_StreamPlay(int slot, bool restart, bool loop);
// The position heard of a stream that has played: decoded bytes of the
// current pass, whole sample frames. Called locked.
uint32_t Sys_Device_StreamPosition(int slot);
// The stream goes. Called locked.
void Sys_Device_StreamFreed(int slot);

// What sys_audio.cpp offers the device for its streams, locked:
// whether the slot's stream is playing;
bool Sys_Audio_IsPlaying(int slot);
// decodes up to `bytes` of it as it plays (looping back or ending as asked),
// the bytes written;
size_t Sys_Audio_Decode(int slot, uint8_t* out, size_t bytes);
// the bytes decoded since the stream was made;
uint64_t Sys_Audio_DecodedBytes(int slot);
// where in the current pass a count of decoded bytes falls (the bytes of
// the pass before a loop still count there; before this play, 0);
uint32_t Sys_Audio_PassPosition(int slot, uint64_t decoded);
// the whole stream decoded from its start (16-bit stereo samples), the
// decoder then back at the start. False when nothing decodes.
bool Sys_Audio_DecodeWhole(int slot, std::vector<int16_t>* samples);
