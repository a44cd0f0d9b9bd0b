// frame_png.h -- PNG writing for the many frames of a capture: each row
// filtered with its left neighbour (PNG filter Sub) and deflated by
// libdeflate at its fastest level, several times quicker than libpng's fast
// setting and a little smaller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Picture;

// The PNG file of an RGB image into *png. rgb holds height rows of width
// pixels; bottomUp says that the first row in memory is the picture's
// bottom row (as OpenGL reads them). False when the image is empty.
bool EncodeFramePng(int width, int height, const uint8_t* rgb, bool bottomUp, std::vector<uint8_t>* png);

// Writes an RGB picture (top row first). False on any failure.
bool WriteFramePng(const std::string& path, const Picture& picture);

// Writes OpenGL's bottom-row-first RGB bytes as a picture. False on any failure.
bool WriteFramePngBottomUp(const std::string& path, int width, int height, const uint8_t* rgb);
