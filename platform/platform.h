// platform.h -- the operating-system layer of the demo.
//
// The demo was written against a window system with a message queue, modal
// message boxes, a millisecond tick counter, resources linked into the
// executable and a double-buffered OpenGL window. This header offers exactly
// those operations, the same on the desktop (SDL2, on Linux and Windows) and
// in the browser; how each device does its part is behind sys_device.h,
// inside platform/.
//
// Implemented here:
//   - window classes, windows and a thread-wide message queue with the
//     meanings the demo relies on (posted messages, one message per peek,
//     dispatch to the window procedure, WM_CLOSE -> WM_DESTROY by default);
//   - the device's input and window events translated to WM_KEYDOWN (VK_
//     codes), WM_SIZE, WM_PAINT and WM_CLOSE;
//   - modal message boxes (OK, Yes/No); when no box can be shown the caption
//     and text go to stderr and the result is 0;
//   - an OpenGL context for a window (in the browser WebGL 2 under the gl11
//     layer), or headless (EGL surfaceless, no display needed) for tests and
//     offline rendering;
//   - the drawing surface: every frame is drawn into an image of our own
//     (framebuffer object, colour and depth) that keeps its contents between
//     frames and is presented, aspect kept, at each swap;
//   - the emulated display-mode change (desktop full screen);
//   - the 32-bit wrapping tick counter, injectable;
//   - resources compiled into the executable, found by type and name;
//   - process exit through one place, so an offline driver can take it over.
// Not here: audio (sys_audio.h), JPEG decoding (sys_jpeg.h), screen
// capture and the splash window (sys_screen.h).
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Windows and messages
// ---------------------------------------------------------------------------

// A window handle. 0 is "no window".
typedef uint32_t HWND;

typedef intptr_t LRESULT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;

typedef LRESULT (*WindowProc)(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

// Message numbers, as the demo knows them.
enum : uint32_t {
    WM_DESTROY = 0x0002,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_KEYDOWN = 0x0100,
};

// Virtual-key codes delivered in WM_KEYDOWN's wParam.
enum : uint32_t {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    // Letters and digits use their upper-case ASCII codes ('A', '0', ...).
    VK_OTHER = 0xFF,  // any key without a code of its own
};

enum : uint32_t { WA_ACTIVE = 1 };

struct MSG {
    HWND window;
    uint32_t message;
    WPARAM wParam;
    LPARAM lParam;
};

// Window kinds. The demo's windows are all 640 x 480 or the splash's size.
enum class WindowStyle {
    Overlapped,  // titled window, not resizable
    Popup,       // borderless, for full screen
    Splash,      // borderless, never takes input, not shown in the task bar
};

// Registers a window class: its name and its procedure. False on failure.
bool Sys_RegisterClass(const char* className, WindowProc proc);

// Creates a hidden window of a registered class. x, y, width, height are the
// client rectangle in screen pixels, but a titled window (Overlapped) is
// placed by its frame, as Windows places windows: its frame's top-left
// corner at x, y (on Windows counted from the work area's top-left corner,
// on X11 placed there by the window manager). Returns 0 on failure (no
// display server, unknown class, or SDL fell back to its offscreen driver by
// itself).
HWND Sys_CreateWindow(const char* className, const char* title, WindowStyle style,
                      int x, int y, int width, int height);

// Shows or hides a window. A window shown for the first time gets WM_SIZE
// with its client size, synchronously.
void Sys_ShowWindow(HWND window, bool show);

// Sends WM_PAINT to the window's procedure at once (synchronous paint).
void Sys_UpdateWindow(HWND window);

// The device's window behind a handle (an SDL window, the page's canvas), as
// an opaque pointer, for the other files of this layer (nullptr when
// headless or unknown).
void* Sys_NativeWindow(HWND window);

// Destroys a window: its procedure receives WM_DESTROY synchronously.
void Sys_DestroyWindow(HWND window);

// Sends a message straight to a window's procedure (synchronous).
LRESULT Sys_SendMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

// Appends a message to the thread's queue. window 0 is allowed (WM_QUIT).
void Sys_PostMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

// Appends WM_QUIT to the queue.
void Sys_PostQuitMessage(int exitCode);

// Takes one message from the queue (window events are read in first).
// False when the queue is empty.
bool Sys_PeekMessage(MSG* msg);

// Calls the procedure of the message's window (or nothing for window 0).
LRESULT Sys_DispatchMessage(const MSG& msg);

// The default handling: WM_CLOSE destroys the window; everything else 0.
LRESULT Sys_DefWindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

// Number of messages waiting (for tests).
size_t Sys_PendingMessageCount();

// Drops every queued message and forgets every window and class (for tests).
void Sys_ResetWindowing();

// ---------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------

enum : uint32_t { MB_OK = 0x0, MB_YESNO = 0x4 };
enum : int { IDOK = 1, IDYES = 6, IDNO = 7 };

// A modal box with the given text and caption. owner 0 is "no owner".
// Return picks Yes/OK, Escape picks No. Returns IDOK, IDYES or IDNO; when no
// box can be shown, writes "caption: text" to stderr and returns 0.
int Sys_MessageBox(HWND owner, const char* text, const char* caption, uint32_t type);

// Tests observe and answer boxes: while a hook is installed every box goes to
// it instead of the screen, and its result is returned. nullptr removes it.
typedef int (*MessageBoxHook)(HWND owner, const char* text, const char* caption, uint32_t type);
void Sys_SetMessageBoxHook(MessageBoxHook hook);

// ---------------------------------------------------------------------------
// OpenGL context and the drawing surface
// ---------------------------------------------------------------------------

// The drawing surface is kSurfaceWidth x kSurfaceHeight logical pixels; its
// real size is that times the scale factor.
constexpr int kSurfaceWidth = 640;
constexpr int kSurfaceHeight = 480;

// Makes a double-buffered OpenGL compatibility context for the window (at
// least 16-bit colour and 16-bit depth, swap interval 1 where allowed) and
// the drawing surface (at the requested scale, else 1), both current from
// now on. Only where SDL's offscreen driver was asked for by name, which
// has no OpenGL, a headless context stands in; on a display SDL cannot give
// a context for, the result is false. Headless, the first call makes the
// context and later calls keep it. False on failure.
bool Sys_CreateGLContext(HWND window);

// The drawing scale the command line asks for: 1 to 4 forces it (windowed
// too: the window then shows the larger surface reduced); 0, the default,
// leaves windows at 1 and lets full screen choose (Sys_FullScreenScale).
// Takes effect in Sys_CreateGLContext and Sys_ChangeDisplayMode.
void Sys_RequestSurfaceScale(int scale);

// The scale full screen draws at on a screen of this size: the requested
// scale when there is one; else 1 on a software renderer (the renderer
// string names llvmpipe, softpipe or swrast), where four times the pixels
// cost four times the time; else the largest whole number, 1 to 4, at which
// 640 x 480 fits the screen.
int Sys_FullScreenScale(int screenWidth, int screenHeight, int requested, bool softwareRenderer);

// Makes the drawing surface anew at scale 1 to 4: black, lines widened to
// the scale, the viewport the same in logical pixels. False without a
// surface.
bool Sys_SetSurfaceScale(int scale);

// Switches the layer to headless operation before anything is created:
// windows become bookkeeping only, message boxes cannot be shown, and
// Sys_CreateGLContext makes a context with no display (EGL surfaceless,
// Mesa llvmpipe) whose drawing surface is 640 x 480 times scale (1 to 4).
// Swaps then only hand the frame to the frame hook.
void Sys_SetHeadless(int scale);
bool Sys_IsHeadless();

// Whole-number scale of the drawing surface, 1 to 4. Lines are as wide as
// the scale (glLineWidth is set with the surface and nothing else sets it).
int Sys_SurfaceScale();

// glViewport in logical pixels (multiplied by the scale).
void Sys_Viewport(int x, int y, int width, int height);

// glLineWidth in logical pixels (multiplied by the scale).
void Sys_LineWidth(float width);

// Presents the drawing surface: to the window, scaled with aspect kept and
// black bars, or to the frame hook when headless. The surface keeps its
// contents: the next frame starts from this one.
void Sys_SwapBuffers(HWND window);

// Reads the drawing surface as RGB bytes, bottom row first, its real size
// (640 x 480 times the scale). Returns false without a context.
bool Sys_ReadSurface(uint8_t* rgb);

// Called after every Sys_SwapBuffers, with the context current. nullptr
// removes it. Used by offline renderers to take each frame.
typedef void (*FrameHook)();
void Sys_SetFrameHook(FrameHook hook);

// The GL framebuffer object name of the drawing surface (0 without one).
uint32_t Sys_SurfaceFramebuffer();

// ---------------------------------------------------------------------------
// Display mode
// ---------------------------------------------------------------------------

// true: the window covers the desktop, the cursor is hidden over it, the
// drawing surface takes the full-screen scale (Sys_FullScreenScale) and the
// picture is shown where Sys_PlacePicture puts it, black around it.
// false: back to the desktop as it was. Results are not reported.
void Sys_ChangeDisplayMode(HWND window, bool fullscreen640x480);

// Where the picture of a surface at `scale` goes in what shows it (a window,
// the screen, the page), drawableWidth x drawableHeight pixels: x, y from the
// lower left corner, w x h, centred. Full screen, where 640 x 480 fits at
// least twice, it is the largest whole multiple of 640 x 480 that fits, at
// most four times (1920 x 1080: 1280 x 960, bars of 320 and 60); else, and
// in a window, as large as fits, aspect kept. Every build places it so.
struct Sys_Placement {
    int x, y, w, h;
    bool wholeMultiple;  // w and h the same whole multiple of the surface's size
};
Sys_Placement Sys_PlacePicture(int drawableWidth, int drawableHeight, int scale, bool fullscreen);

// ---------------------------------------------------------------------------
// Time
// ---------------------------------------------------------------------------

// Milliseconds since some start, 32 bits, wrapping.
uint32_t Sys_GetTickCount();

// Replaces the clock (tests, offline rendering). nullptr restores the real one.
typedef uint32_t (*TickSource)();
void Sys_SetTickSource(TickSource source);

// ---------------------------------------------------------------------------
// Resources compiled into the executable
// ---------------------------------------------------------------------------

struct Resource {
    const uint8_t* data;  // valid for the life of the process
    uint32_t size;        // bytes
};

// Looks a resource up by type and name (exact, case-sensitive). False when
// absent; then *out is { nullptr, 0 }.
bool Sys_FindResource(const char* type, const char* name, Resource* out);

// Tests replace the resource table: while set, lookups search only these
// entries. nullptr/0 restores the embedded table.
struct ResourceEntry {
    const char* type;
    const char* name;
    const uint8_t* data;
    uint32_t size;
};
void Sys_OverrideResources(const ResourceEntry* entries, size_t count);

// ---------------------------------------------------------------------------
// Text for the person who started the program (--help, a bad option)
// ---------------------------------------------------------------------------

// Writes text to standard output (error: standard error). On Windows, where
// the demo is a program without a console of its own, the text goes where
// those lead when they were redirected, else to the console of the program
// that started the demo (a command prompt); started without one (from the
// desktop), it shows in a message box with the caption.
void Sys_ShowText(const char* caption, const char* text, bool error);

// ---------------------------------------------------------------------------
// Process end
// ---------------------------------------------------------------------------

// Ends the process with the status. An installed exit hook runs instead (it
// must not return: an offline driver throws out of the frame loop with it).
[[noreturn]] void Sys_Exit(int status);
typedef void (*ExitHook)(int status);
void Sys_SetExitHook(ExitHook hook);
