// frame_png.h -- PNG writing for the many frames of a capture: fast
// compression (larger files, several times quicker than the default).
#pragma once

#include <string>

struct Picture;

// Writes an RGB picture (top row first). False on any failure.
bool WriteFramePng(const std::string& path, const Picture& picture);
