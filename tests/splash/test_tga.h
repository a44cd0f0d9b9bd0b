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
    std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8),
                                uint8_t(height), uint8_t(height >> 8), 32, 0x08};
    for (int row = 0; row < height; ++row)  // bottom row first
        for (int x = 0; x < width; ++x) {
            const Bgra e = entry(x, height - 1 - row);
            tga.insert(tga.end(), {e.b, e.g, e.r, e.a});
        }
    return tga;
}

// The picture both splash tests show: transparent outside a 16-pixel margin,
// opaque inside a 48-pixel one, a ramp of alpha between; colours vary with
// the position so a misplaced entry shows.
inline Bgra SplashTestEntry(int x, int y, int width, int height) {
    const int edge = std::min(std::min(x, width - 1 - x), std::min(y, height - 1 - y));
    const uint8_t a = edge < 16 ? 0 : edge >= 48 ? 255 : uint8_t((edge - 16) * 8);  // 0 to 248
    return Bgra{uint8_t(x), uint8_t(y), uint8_t(x == y ? 255 : 160), a};
}
