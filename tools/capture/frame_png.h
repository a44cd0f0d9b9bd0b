// frame_png.h -- PNG writing for the many frames of a capture: each row
// filtered with its left neighbour (PNG filter Sub) and deflated by
// libdeflate at its fastest level, several times quicker than libpng's fast
// setting and a little smaller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Picture;

// The PNG file (RGB) of an image into *png. pixels holds height rows of
// width pixels of bytesPerPixel bytes each, red, green and blue first (a
// fourth byte is left out); bottomUp says that the first row in memory is
// the picture's bottom row (as OpenGL reads them). False when the image is
// empty or bytesPerPixel is not 3 or 4.
bool EncodeFramePng(int width, int height, const uint8_t* pixels, int bytesPerPixel, bool bottomUp,
                    std::vector<uint8_t>* png);

// Writes an RGB picture (top row first). False on any failure, with the
// reason in *why when given.
bool WriteFramePng(const std::string& path, const Picture& picture, std::string* why = nullptr);

// Writes OpenGL's bottom-row-first pixels of 4 bytes (Sys_ReadSurfaceRgbx)
// as a picture. False on any failure, with the reason in *why when given.
bool WriteFramePngRgbxBottomUp(const std::string& path, int width, int height, const uint8_t* rgbx,
                               std::string* why = nullptr);
