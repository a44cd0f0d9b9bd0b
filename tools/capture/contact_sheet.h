// contact_sheet.h -- pictures made of frames: box-filtered reduction and the
// contact sheet of the eight parts. Pixels are RGB bytes, top row first.
#pragma once

#include <cstdint>
#include <vector>

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3, top row first
};

// The picture from OpenGL's bottom-row-first bytes.
Picture PictureFromBottomUp(int width, int height, const uint8_t* rgbBottomUp);

// Reduces by a whole factor: each output pixel is the rounded mean of a
// factor x factor block. width and height must be multiples of factor.
Picture BoxReduce(const Picture& in, int factor);

// The contact sheet: cells of 320 x 240 (each frame reduced to that size),
// four to a row, in the order given, on a dark grey ground with an 8-pixel
// margin, each cell's part number drawn in its top-left corner.
// Every frame must be 640 x 480 times a whole number.
constexpr int kSheetCellWidth = 320;
constexpr int kSheetCellHeight = 240;
constexpr int kSheetColumns = 4;
constexpr int kSheetMargin = 8;
Picture MakeContactSheet(const std::vector<Picture>& frames, const std::vector<int>& partNumbers);
