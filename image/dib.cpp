// dib.cpp -- packed DIBs, palettes and memory blocks.
#include "image/dib.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/sys_screen.h"

// ---------------------------------------------------------------------------
// Memory blocks

struct MemBlock {
    std::vector<uint8_t> bytes;
};

HGLOBAL GlobalAlloc(size_t bytes) {
    MemBlock* block = new (std::nothrow) MemBlock;
    if (!block) return nullptr;
    try {
        block->bytes.assign(bytes, 0);
    } catch (...) {
        delete block;
        return nullptr;
    }
    return block;
}

HGLOBAL GlobalReAlloc(HGLOBAL block, size_t bytes) {
    if (!block) return nullptr;
    try {
        block->bytes.resize(bytes, 0);
    } catch (...) {
        return nullptr;
    }
    return block;
}

uint8_t* GlobalLock(HGLOBAL block) { return block ? block->bytes.data() : nullptr; }

void GlobalUnlock(HGLOBAL) {}

size_t GlobalSize(HGLOBAL block) { return block ? block->bytes.size() : 0; }

void GlobalFree(HGLOBAL block) { delete block; }

// ---------------------------------------------------------------------------
// Headers

namespace {

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

bool IsInfoHeader(const uint8_t* dib) { return Get32(dib) == kInfoHeaderSize; }

// The one rule for where the header ends: 40 bytes for a BITMAPINFOHEADER,
// 12 for anything else (which DibFitsBlock refuses unless it says 12).
uint32_t HeaderBytes(const uint8_t* dib) { return IsInfoHeader(dib) ? kInfoHeaderSize : kCoreHeaderSize; }

}  // namespace

void StoreInfoHeader(uint8_t* dib, const BitmapInfoHeader& h) {
    Put32(dib + 0, h.biSize);
    Put32(dib + 4, uint32_t(h.biWidth));
    Put32(dib + 8, uint32_t(h.biHeight));
    Put16(dib + 12, h.biPlanes);
    Put16(dib + 14, h.biBitCount);
    Put32(dib + 16, h.biCompression);
    Put32(dib + 20, h.biSizeImage);
    Put32(dib + 24, uint32_t(h.biXPelsPerMeter));
    Put32(dib + 28, uint32_t(h.biYPelsPerMeter));
    Put32(dib + 32, h.biClrUsed);
    Put32(dib + 36, h.biClrImportant);
}

BitmapInfoHeader LoadInfoHeader(const uint8_t* dib) {
    BitmapInfoHeader h;
    h.biSize = Get32(dib + 0);
    h.biWidth = int32_t(Get32(dib + 4));
    h.biHeight = int32_t(Get32(dib + 8));
    h.biPlanes = Get16(dib + 12);
    h.biBitCount = Get16(dib + 14);
    h.biCompression = Get32(dib + 16);
    h.biSizeImage = Get32(dib + 20);
    h.biXPelsPerMeter = int32_t(Get32(dib + 24));
    h.biYPelsPerMeter = int32_t(Get32(dib + 28));
    h.biClrUsed = Get32(dib + 32);
    h.biClrImportant = Get32(dib + 36);
    return h;
}

// ---------------------------------------------------------------------------
// The header rules

uint16_t DibColorTableEntries(const uint8_t* dib) {
    uint16_t bitCount;
    if (IsInfoHeader(dib)) {
        const uint32_t used = Get32(dib + 32);
        if (used != 0) return uint16_t(used);
        bitCount = Get16(dib + 14);
    } else {
        bitCount = Get16(dib + 10);
    }
    switch (bitCount) {
        case 1: return 2;
        case 4: return 16;
        case 8: return 256;
        default: return 0;
    }
}

uint16_t DibColorTableBytes(const uint8_t* dib) {
    return uint16_t(DibColorTableEntries(dib) * (IsInfoHeader(dib) ? 4u : 3u));
}

const uint8_t* DibColorData(const uint8_t* dib) { return dib + HeaderBytes(dib) + DibColorTableBytes(dib); }

uint8_t* DibColorData(uint8_t* dib) { return dib + HeaderBytes(dib) + DibColorTableBytes(dib); }

int32_t DibRowCount(const uint8_t* dib) {
    return IsInfoHeader(dib) ? int32_t(Get32(dib + 8)) : int32_t(Get16(dib + 6));
}

int32_t DibWidth(const uint8_t* dib) {
    return IsInfoHeader(dib) ? int32_t(Get32(dib + 4)) : int32_t(Get16(dib + 4));
}

uint16_t DibBitCount(const uint8_t* dib) { return IsInfoHeader(dib) ? Get16(dib + 14) : Get16(dib + 10); }

uint32_t DibRowBytes(int32_t width, uint32_t bitCount) {
    return uint32_t((uint64_t(bitCount) * uint32_t(width) + 31) / 32 * 4);
}

bool DibFitsBlock(HGLOBAL block) {
    const size_t size = GlobalSize(block);
    const uint8_t* dib = GlobalLock(block);
    bool fits = false;
    // A header size other than the two known ones is refused.
    if (size >= 4 && (Get32(dib) == kInfoHeaderSize || Get32(dib) == kCoreHeaderSize)) {
        const uint32_t headerSize = HeaderBytes(dib);
        if (size >= headerSize) {
            const int64_t rows = DibRowCount(dib);
            const uint64_t need =
                uint64_t(headerSize) + DibColorTableBytes(dib) +
                uint64_t(DibRowBytes(DibWidth(dib), DibBitCount(dib))) * uint64_t(rows < 0 ? -rows : rows);
            fits = DibWidth(dib) >= 0 && size >= need;
        }
    }
    GlobalUnlock(block);
    return fits;
}

// ---------------------------------------------------------------------------
// Bitmaps and palettes

void DeleteObject(HBITMAP bitmap) { delete bitmap; }
void DeleteObject(HPALETTE palette) { delete palette; }

HPALETTE DefaultPalette() {
    // The 20 colours every palette display keeps: 10 at each end.
    static const PaletteEntry kColours[20] = {
        {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
        {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
        {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
        {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
    };
    HPALETTE palette = new (std::nothrow) Palette;
    if (palette) palette->entries.assign(kColours, kColours + 20);
    return palette;
}

HGLOBAL MakeDibFromBitmap(HBITMAP bitmap, HPALETTE palette) {
    // A bitmap whose record cannot be read: nothing to make.
    if (!bitmap || bitmap->width <= 0 || bitmap->height <= 0) return nullptr;
    const uint16_t depth = uint16_t(bitmap->planes * bitmap->bitsPixel);
    const bool indexed = depth <= 8;
    const size_t bytesPerPixel = indexed ? 1 : 4;
    if (bitmap->bits.size() < size_t(bitmap->width) * bitmap->height * bytesPerPixel) return nullptr;

    HPALETTE defaultPalette = nullptr;
    if (!palette) palette = defaultPalette = DefaultPalette();

    BitmapInfoHeader header;
    header.biWidth = bitmap->width;
    header.biHeight = bitmap->height;
    header.biBitCount = depth <= 1 ? 1 : depth <= 4 ? 4 : depth <= 8 ? 8 : 24;

    uint8_t headerBytes[kInfoHeaderSize];
    StoreInfoHeader(headerBytes, header);
    const uint32_t tableBytes = DibColorTableBytes(headerBytes);
    // The size of the colour data; refuse pictures whose size a 32-bit field cannot hold.
    const uint64_t imageBytes =
        uint64_t(DibRowBytes(header.biWidth, header.biBitCount)) * uint64_t(header.biHeight);
    HGLOBAL block = imageBytes <= 0x7FFFFFFF ? GlobalAlloc(kInfoHeaderSize + tableBytes) : nullptr;
    if (!block) {
        DeleteObject(defaultPalette);
        return nullptr;
    }
    header.biSizeImage = uint32_t(imageBytes);
    if (!GlobalReAlloc(block, kInfoHeaderSize + tableBytes + header.biSizeImage)) {
        GlobalFree(block);
        DeleteObject(defaultPalette);
        return nullptr;
    }

    uint8_t* dib = GlobalLock(block);
    StoreInfoHeader(dib, header);
    // The colour table: the palette's colours, as many as the table holds.
    uint8_t* table = dib + kInfoHeaderSize;
    const size_t entries = tableBytes / 4;
    for (size_t i = 0; i < entries && i < palette->entries.size(); ++i) {
        table[4 * i + 0] = palette->entries[i].blue;
        table[4 * i + 1] = palette->entries[i].green;
        table[4 * i + 2] = palette->entries[i].red;
    }
    // Rows bottom first; the bitmap's rows are top first.
    uint8_t* data = DibColorData(dib);
    const uint32_t rowBytes = DibRowBytes(header.biWidth, header.biBitCount);
    const int bits = header.biBitCount;
    for (int32_t row = 0; row < header.biHeight; ++row) {
        const uint8_t* in = &bitmap->bits[size_t(header.biHeight - 1 - row) * header.biWidth * bytesPerPixel];
        uint8_t* out = data + size_t(row) * rowBytes;
        for (int32_t x = 0; x < header.biWidth; ++x) {
            if (bits == 24) {
                out[3 * x + 0] = in[4 * x + 0];
                out[3 * x + 1] = in[4 * x + 1];
                out[3 * x + 2] = in[4 * x + 2];
            } else {
                // Indexes packed from the high bits of each byte down.
                const uint32_t index = in[x] & ((1u << bits) - 1);
                const uint32_t bit = uint32_t(x) * bits;
                out[bit / 8] |= uint8_t(index << (8 - bits - bit % 8));
            }
        }
    }
    GlobalUnlock(block);
    DeleteObject(defaultPalette);
    return block;
}

uint32_t DisplayColorCount(int planes, int colorBits) {
    const int64_t bits = int64_t(planes) * colorBits;
    if (bits < 0) return 1;
    if (bits >= 32) return 0xFFFFFFFFu;
    return uint32_t(1) << bits;
}

HPALETTE CopySystemPalette() {
    int w = 0, h = 0;
    if (!Sys_ScreenSize(&w, &h)) return nullptr;
    HPALETTE palette = new (std::nothrow) Palette;
    if (!palette) return nullptr;
    const int bits = Sys_ScreenColorBits();
    if (bits <= 8) palette->entries.assign(DisplayColorCount(1, bits), PaletteEntry{0, 0, 0, 0});
    return palette;
}
