// png.h -- writes and reads 8-bit RGB PNG files (libpng), for tools and tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes width x height RGB pixels, top row first. False on any failure,
// with the reason in *why when given.
bool WritePngRgb(const std::string& path, int width, int height, const uint8_t* rgbTopDown,
                 std::string* why = nullptr);

// Same, for rows stored bottom row first (as glReadPixels gives them).
bool WritePngRgbBottomUp(const std::string& path, int width, int height, const uint8_t* rgbBottomUp);

// Reads an 8-bit RGB or RGBA PNG into RGB, top row first. False on failure.
bool ReadPngRgb(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgbTopDown);
