// capture_options.h -- the command line of demo-capture.
#pragma once

#include <string>
#include <vector>

struct CaptureOptions {
    // -o: a video file (.mp4 or .mkv) or, ending in '/' or naming an
    // existing folder, a folder for numbered PNG frames; with stills or a
    // sheet asked for, the folder of the stills only. Empty: neither.
    std::string output;
    bool outputIsFolder = false;
    int fps = 60;                 // frames per second of the demo, 1 to 240
    double from = 0.0;            // seconds of the demo, first frame at or after
    double to = -1.0;             // seconds, frames before it; < 0 is "to the end"
    std::vector<double> stills;   // seconds; one PNG each
    std::string sheet;            // contact-sheet PNG; empty: none
    int scale = 1;                // 1 to 4: frames of 640 x 480 times scale
    bool progress = true;         // the progress line on standard error
    bool help = false;            // -h / --help: usage on stdout, nothing else
};

// Reads argv[1..argc-1]. False with *error set (one line, no usage) when an
// option is unknown, given twice, lacks its value, has a value out of range
// or not in plain decimal digits ("8.3", not "0x1p3" or "83e-1"), or when
// the options ask for nothing to be written.
bool ParseCaptureArgs(int argc, const char* const* argv, CaptureOptions* options, std::string* error);

// The usage text, ending in a newline.
std::string CaptureUsage();

// File name of the still at a time: "still-8.300.png" (milliseconds).
std::string StillFileName(double seconds);

// File name of frame n in a frame folder: "frame-000123.png".
std::string FrameFileName(long long frame);
