// frame_png.cpp -- a PNG writer of our own around libdeflate.
#include "tools/capture/frame_png.h"

#include <libdeflate.h>

#include <cstdio>
#include <cstring>

#include "tools/capture/contact_sheet.h"
#include "tools/common/files.h"

namespace {

// One compressor per thread, made at its first use.
struct Compressor {
    libdeflate_compressor* c = libdeflate_alloc_compressor(1);
    ~Compressor() { libdeflate_free_compressor(c); }
};

void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

// Appends a chunk: length, type, data, CRC of type and data.
void Chunk(std::vector<uint8_t>* png, const char type[4], const uint8_t* data, size_t size) {
    const size_t at = png->size();
    png->resize(at + 12 + size);
    uint8_t* p = png->data() + at;
    PutBe32(p, uint32_t(size));
    std::memcpy(p + 4, type, 4);
    if (size) std::memcpy(p + 8, data, size);
    PutBe32(p + 8 + size, uint32_t(libdeflate_crc32(0, p + 4, size + 4)));
}

}  // namespace

bool EncodeFramePng(int width, int height, const uint8_t* pixels, int bytesPerPixel, bool bottomUp,
                    std::vector<uint8_t>* png) {
    if (width <= 0 || height <= 0 || (bytesPerPixel != 3 && bytesPerPixel != 4)) return false;
    thread_local Compressor compressor;
    thread_local std::vector<uint8_t> filtered, packed;
    if (!compressor.c) return false;

    // Filter Sub: each byte minus the same channel of the pixel to its left.
    const size_t row = size_t(width) * 3;
    const size_t inRow = size_t(width) * size_t(bytesPerPixel);
    filtered.resize((row + 1) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = pixels + inRow * size_t(bottomUp ? height - 1 - y : y);
        uint8_t* out = &filtered[(row + 1) * size_t(y)];
        out[0] = 1;
        ++out;
        out[0] = in[0], out[1] = in[1], out[2] = in[2];
        if (bytesPerPixel == 3) {
            for (size_t x = 3; x < row; ++x) out[x] = uint8_t(in[x] - in[x - 3]);
        } else {
            for (int x = 1; x < width; ++x) {
                const uint8_t* p = in + size_t(x) * 4;
                uint8_t* o = out + size_t(x) * 3;
                o[0] = uint8_t(p[0] - p[-4]), o[1] = uint8_t(p[1] - p[-3]), o[2] = uint8_t(p[2] - p[-2]);
            }
        }
    }
    packed.resize(libdeflate_zlib_compress_bound(compressor.c, filtered.size()));
    const size_t packedSize =
        libdeflate_zlib_compress(compressor.c, filtered.data(), filtered.size(), packed.data(), packed.size());
    if (packedSize == 0) return false;

    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png->assign(kSignature, kSignature + 8);
    uint8_t header[13];
    PutBe32(header, uint32_t(width));
    PutBe32(header + 4, uint32_t(height));
    header[8] = 8;   // bits per channel
    header[9] = 2;   // RGB
    header[10] = 0;  // deflate
    header[11] = 0;  // adaptive filtering
    header[12] = 0;  // not interlaced
    Chunk(png, "IHDR", header, sizeof header);
    Chunk(png, "IDAT", packed.data(), packedSize);
    Chunk(png, "IEND", nullptr, 0);
    return true;
}

namespace {

bool WriteEncoded(const std::string& path, bool encoded, const std::vector<uint8_t>& png, std::string* why) {
    if (!encoded) {
        if (why) *why = "the picture could not be encoded";
        return false;
    }
    return WriteWholeFile(path, png.data(), png.size(), why);
}

}  // namespace

bool WriteFramePng(const std::string& path, const Picture& picture, std::string* why) {
    std::vector<uint8_t> png;
    const bool encoded = EncodeFramePng(picture.width, picture.height, picture.rgb.data(), 3, false, &png);
    return WriteEncoded(path, encoded, png, why);
}

bool WriteFramePngRgbxBottomUp(const std::string& path, int width, int height, const uint8_t* rgbx,
                               std::string* why) {
    std::vector<uint8_t> png;
    return WriteEncoded(path, EncodeFramePng(width, height, rgbx, 4, true, &png), png, why);
}
