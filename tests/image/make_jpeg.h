// make_jpeg.h -- small JPEGs encoded on the spot, for tests that load pictures.
#pragma once

#include <turbojpeg.h>

#include <cstdint>
#include <vector>

// Encodes width x height packed RGB (first row first) as a baseline JPEG,
// 4:4:4, quality 100. Empty on failure.
inline std::vector<uint8_t> MakeJpeg(int width, int height, const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> out;
    tjhandle encoder = tjInitCompress();
    if (!encoder) return out;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(encoder, rgb.data(), width, width * 3, height, TJPF_RGB, &jpeg, &size, TJSAMP_444,
                    100, 0) == 0)
        out.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(encoder);
    return out;
}

// A picture whose rows have the colours rowColour(y) -> {r, g, b}.
template <typename F>
std::vector<uint8_t> RowPicture(int width, int height, F rowColour) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c : rowColour(y)) rgb.push_back(uint8_t(c));
    return rgb;
}
