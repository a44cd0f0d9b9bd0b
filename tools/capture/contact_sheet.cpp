// contact_sheet.cpp -- reduction and the contact sheet.
#include "tools/capture/contact_sheet.h"

#include <cstring>

namespace {

// Digits 0 to 9 in a 3 x 5 grid, one row per entry, bit 2 the left column.
const uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

void FillRect(Picture* p, int x0, int y0, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    for (int y = y0; y < y0 + h; ++y) {
        if (y < 0 || y >= p->height) continue;
        for (int x = x0; x < x0 + w; ++x) {
            if (x < 0 || x >= p->width) continue;
            uint8_t* q = &p->rgb[(size_t(y) * p->width + x) * 3];
            q[0] = r;
            q[1] = g;
            q[2] = b;
        }
    }
}

// A number in the little font, each font pixel a block of `size`, white on
// a black plate so it reads on any frame.
void DrawNumber(Picture* p, int x, int y, int number, int size) {
    const int digitsAt = x + size;
    char text[16];
    int n = 0;
    do {
        text[n++] = char('0' + number % 10);
        number /= 10;
    } while (number > 0 && n < 15);
    FillRect(p, x, y, (4 * n + 1) * size, 7 * size, 0, 0, 0);
    for (int i = 0; i < n; ++i) {
        const uint8_t* glyph = kDigits[text[n - 1 - i] - '0'];
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (glyph[row] & (4 >> col))
                    FillRect(p, digitsAt + (4 * i + col) * size, y + (row + 1) * size, size, size, 255, 255,
                             255);
    }
}

}  // namespace

Picture PictureFromBottomUp(int width, int height, const uint8_t* rgbBottomUp) {
    Picture p;
    p.width = width;
    p.height = height;
    p.rgb.resize(size_t(width) * height * 3);
    const size_t row = size_t(width) * 3;
    for (int y = 0; y < height; ++y)
        std::memcpy(&p.rgb[size_t(y) * row], rgbBottomUp + size_t(height - 1 - y) * row, row);
    return p;
}

Picture BoxReduce(const Picture& in, int factor) {
    if (factor <= 1) return in;
    Picture out;
    out.width = in.width / factor;
    out.height = in.height / factor;
    out.rgb.resize(size_t(out.width) * out.height * 3);
    const int area = factor * factor;
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < factor; ++dy) {
                    const uint8_t* src = &in.rgb[(size_t(y * factor + dy) * in.width + size_t(x) * factor) * 3 + c];
                    for (int dx = 0; dx < factor; ++dx) sum += src[dx * 3];
                }
                out.rgb[(size_t(y) * out.width + x) * 3 + c] = uint8_t((sum + area / 2) / area);
            }
        }
    }
    return out;
}

Picture MakeContactSheet(const std::vector<Picture>& frames, const std::vector<int>& partNumbers) {
    Picture sheet;
    const int count = int(frames.size());
    const int columns = count < kSheetColumns ? (count > 0 ? count : 1) : kSheetColumns;
    const int rows = (count + columns - 1) / columns;
    sheet.width = columns * kSheetCellWidth + (columns + 1) * kSheetMargin;
    sheet.height = (rows > 0 ? rows : 1) * kSheetCellHeight + ((rows > 0 ? rows : 1) + 1) * kSheetMargin;
    sheet.rgb.assign(size_t(sheet.width) * sheet.height * 3, 0);
    FillRect(&sheet, 0, 0, sheet.width, sheet.height, 40, 40, 40);
    for (int i = 0; i < count; ++i) {
        const Picture cell = BoxReduce(frames[i], frames[i].width / kSheetCellWidth);
        const int x0 = kSheetMargin + (i % columns) * (kSheetCellWidth + kSheetMargin);
        const int y0 = kSheetMargin + (i / columns) * (kSheetCellHeight + kSheetMargin);
        for (int y = 0; y < cell.height && y < kSheetCellHeight; ++y)
            std::memcpy(&sheet.rgb[(size_t(y0 + y) * sheet.width + x0) * 3], &cell.rgb[size_t(y) * cell.width * 3],
                        size_t(cell.width < kSheetCellWidth ? cell.width : kSheetCellWidth) * 3);
        if (i < int(partNumbers.size())) DrawNumber(&sheet, x0 + 4, y0 + 4, partNumbers[i], 3);
    }
    return sheet;
}
