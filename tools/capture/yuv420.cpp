// yuv420.cpp -- RGB to YUV 4:2:0 with the usual 8-bit BT.601 coefficients:
//   Y = (( 66 R + 129 G +  25 B + 128) >> 8) + 16
//   U = ((-38 R -  74 G + 112 B + 128) >> 8) + 128
//   V = ((112 R -  94 G -  18 B + 128) >> 8) + 128
// Y runs from 16 to 235, U and V from 16 to 240. The offsets are folded in
// before the shift, so that it never shifts a negative number
// (4224 = 16 * 256 + 128, 32896 = 128 * 256 + 128). A pixel is read as one
// 32-bit word, which lets the compiler work on several at once.
#include "tools/capture/yuv420.h"

#include <cstring>

namespace {

inline uint32_t Red(uint32_t p) { return p & 255u; }
inline uint32_t Green(uint32_t p) { return (p >> 8) & 255u; }
inline uint32_t Blue(uint32_t p) { return (p >> 16) & 255u; }

// The pixel as one word, red in the low byte (a little-endian load).
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "RgbxBottomUpToYuv420 reads pixels as little-endian words"
#endif
inline uint32_t Pixel(const uint8_t* p) {
    uint32_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

}  // namespace

size_t Yuv420Size(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    const size_t cw = size_t(width + 1) / 2, ch = size_t(height + 1) / 2;
    return size_t(width) * size_t(height) + 2 * cw * ch;
}

void RgbxBottomUpToYuv420(const uint8_t* rgbx, int width, int height, uint8_t* out) {
    if (width <= 0 || height <= 0) return;
    const size_t row = size_t(width) * 4;
    const int cw = (width + 1) / 2, ch = (height + 1) / 2;
    uint8_t* const yPlane = out;
    uint8_t* const uPlane = out + size_t(width) * size_t(height);
    uint8_t* const vPlane = uPlane + size_t(cw) * size_t(ch);
    // Output row y (top first) is input row height - 1 - y.
    const auto inRow = [&](int y) { return rgbx + row * size_t(height - 1 - y); };
    for (int y = 0; y < height; ++y) {
        const uint8_t* __restrict in = inRow(y);
        uint8_t* __restrict o = yPlane + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = Pixel(in + 4 * size_t(x));
            o[x] = uint8_t((66 * Red(p) + 129 * Green(p) + 25 * Blue(p) + 4224) >> 8);
        }
    }
    const auto chroma = [](uint32_t p0, uint32_t p1, uint32_t p2, uint32_t p3, uint8_t* u, uint8_t* v) {
        const uint32_t r = (Red(p0) + Red(p1) + Red(p2) + Red(p3) + 2) >> 2;
        const uint32_t g = (Green(p0) + Green(p1) + Green(p2) + Green(p3) + 2) >> 2;
        const uint32_t b = (Blue(p0) + Blue(p1) + Blue(p2) + Blue(p3) + 2) >> 2;
        *u = uint8_t((112 * b + 32896 - 38 * r - 74 * g) >> 8);
        *v = uint8_t((112 * r + 32896 - 94 * g - 18 * b) >> 8);
    };
    for (int cy = 0; cy < ch; ++cy) {
        // A last odd row or column stands in for its missing neighbour.
        const uint8_t* __restrict a = inRow(2 * cy);
        const uint8_t* __restrict b = inRow(2 * cy + 1 < height ? 2 * cy + 1 : 2 * cy);
        uint8_t* __restrict u = uPlane + size_t(cy) * size_t(cw);
        uint8_t* __restrict v = vPlane + size_t(cy) * size_t(cw);
        const int pairs = width / 2;
        for (int cx = 0; cx < pairs; ++cx) {
            const size_t left = 8 * size_t(cx);
            chroma(Pixel(a + left), Pixel(a + left + 4), Pixel(b + left), Pixel(b + left + 4), &u[cx], &v[cx]);
        }
        if (pairs < cw) {
            const size_t last = 8 * size_t(pairs);
            chroma(Pixel(a + last), Pixel(a + last), Pixel(b + last), Pixel(b + last), &u[pairs], &v[pairs]);
        }
    }
}
