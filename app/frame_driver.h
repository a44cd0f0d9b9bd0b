// frame_driver.h -- runs the demo's real start-up and frame loop offline, with
// a clock that advances exactly one frame period per drawn frame.
//
// The driver puts the platform layer into headless mode (no display, EGL),
// takes over the tick count, the music output (a silent device whose
// position follows the same tick count), the message boxes and the process
// exit, then calls StartUp and RunFramePass from app/shell.h as the demo
// would. Frame n is drawn at tick
//
//     tick(n) = n * 1000 / fps        (milliseconds, integer division)
//
// and every message waiting before it (part changes posted by the sync
// check, keys posted by the caller) is dispatched at that same tick, so the
// first frame of a new part has a part clock of 0. Start-up runs at tick 0:
// the music starts and the clock of part 1 starts at 0.
//
// The demo ends as in a real run, through Sys_Exit (the step past part 8
// posted after the last sync time, or Escape); the driver turns that into
// Ended() instead of ending the process.
//
// Only one driver may run at a time. One run per process reproduces the
// demo exactly. At each start the drawing surface is cleared, the OpenGL
// state put back to its defaults and the random sequence to its first
// value, but the scenes' own statics carry over to a later run in the same
// process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FrameDriver {
public:
    // fps: frames per second, 1 to 1000. scale: the drawing surface's scale
    // factor, 1 to 4; it takes effect only if no OpenGL context exists yet
    // in this process (Scale() tells what was obtained).
    explicit FrameDriver(int fps = 60, int scale = 1);
    // Releases the asset set and gives the clock, the exit and the message
    // boxes back to the platform layer.
    ~FrameDriver();
    FrameDriver(const FrameDriver&) = delete;
    FrameDriver& operator=(const FrameDriver&) = delete;

    // Runs StartUp at tick 0. False when it failed: no OpenGL context, or
    // start-up ended the process (an error box; see Messages()).
    bool Start();

    // Dispatches the waiting messages at tick(FrameIndex()), then draws that
    // frame and advances FrameIndex() by one. False, with nothing drawn,
    // when the demo ended instead (or before Start / after the end).
    bool RunFrame();

    // Runs frames until FrameIndex() reaches frame or the demo ends. Returns
    // true when FrameIndex() == frame afterwards.
    bool RunUntil(int64_t frame);

    // Posts a key press (VK_ code) to the main window; it is handled before
    // the next frame, like a key pressed by the viewer.
    void PostKey(uint32_t vk);

    bool Started() const { return started_; }
    // True once the demo has ended; ExitStatus() is its status then (1).
    bool Ended() const { return ended_; }
    int ExitStatus() const { return exitStatus_; }

    // Index of the next frame to draw, which is also the number of frames
    // drawn so far.
    int64_t FrameIndex() const { return frame_; }
    // The part now playing, 1 to 8 (app.currentPart): after RunFrame, the
    // part of the frame just drawn.
    int32_t CurrentPart() const;
    // tick(n) in milliseconds; SecondsOfFrame(n) the same in seconds.
    uint32_t TickOfFrame(int64_t n) const;
    double SecondsOfFrame(int64_t n) const { return double(TickOfFrame(n)) / 1000.0; }
    // The first frame drawn at or after a time in seconds.
    int64_t FrameAtSeconds(double seconds) const;
    int Fps() const { return fps_; }

    // Size of a frame in real pixels: 640 x 480 times Scale().
    int Scale() const;
    int Width() const;
    int Height() const;

    // The pixels of the last drawn frame: RGB bytes, Width() x Height(),
    // bottom row first (as OpenGL reads them). False before a frame exists.
    bool ReadFrame(std::vector<uint8_t>* rgb) const;

    // The message boxes start-up and the demo showed, as "caption: text".
    // The full-screen question is answered No and is not listed.
    const std::vector<std::string>& Messages() const { return messages_; }

private:
    void Finish();

    int fps_;
    int scale_;
    int64_t frame_ = 0;
    bool started_ = false;
    bool ended_ = false;
    bool drawn_ = false;
    int exitStatus_ = 0;
    std::vector<std::string> messages_;
};
