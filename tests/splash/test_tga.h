// test_tga.h -- uncompressed 32-bit TGA pictures made in memory for the
// splash tests: an 18-byte header, then B, G, R, A entries bottom row first.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

struct Bgra {
    uint8_t b, g, r, a;
};

// entry(x, yFromTop) gives the entry at column x, row yFromTop.
inline std::vector<uint8_t> MakeTga(int width, int height, const std::function<Bgra(int, int)>& entry) {
    std::vector<uint8_t> tga(18 + size_t(width) * height * 4, 0);
    tga[2] = 2;
    tga[12] = uint8_t(width);
    tga[13] = uint8_t(width >> 8);
    tga[14] = uint8_t(height);
    tga[15] = uint8_t(height >> 8);
    tga[16] = 32;
    tga[17] = 0x08;
    for (int row = 0; row < height; ++row)  // bottom row first
        for (int x = 0; x < width; ++x) {
            const Bgra e = entry(x, height - 1 - row);
            uint8_t* p = &tga[18 + (size_t(row) * width + x) * 4];
            p[0] = e.b;
            p[1] = e.g;
            p[2] = e.r;
            p[3] = e.a;
        }
    return tga;
}

// The picture both splash tests show: transparent outside a 16-pixel margin,
// opaque inside a 48-pixel one, a ramp of alpha between; colours vary with
// the position so a misplaced entry shows.
inline Bgra SplashTestEntry(int x, int y, int width, int height) {
    const int edge = std::min(std::min(x, width - 1 - x), std::min(y, height - 1 - y));
    uint8_t a;
    if (edge < 16)
        a = 0;
    else if (edge >= 48)
        a = 255;
    else
        a = uint8_t((edge - 16) * 8);  // 0 to 248
    return Bgra{uint8_t(x), uint8_t(y), uint8_t(x == y ? 255 : 160), a};
}
