// dib.h -- packed device-independent bitmaps (DIBs), palettes and the
// movable memory blocks that hold them.
//
// A packed DIB is one memory block holding, in order:
//   header       40 bytes (BITMAPINFOHEADER, size field 40) or
//                12 bytes (BITMAPCOREHEADER, any other size field);
//   colour table DibColorTableEntries entries of 4 bytes (B, G, R, 0) after
//                a 40-byte header, of 3 bytes (B, G, R) after a 12-byte one;
//   colour data  rows of pixels, bottom row first for a positive height,
//                every row filled up to a whole number of 32-bit words.
// All multi-byte fields are little-endian and need no alignment: the
// helpers read them byte-wise. Every function here is stateless.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// ---------------------------------------------------------------------------
// Memory blocks
// ---------------------------------------------------------------------------

// A movable, zero-filled block of bytes owned by whoever was handed it.
struct MemBlock;
typedef MemBlock* HGLOBAL;

// A new block of `bytes` zero bytes (unlocked), or null when it cannot be had.
HGLOBAL GlobalAlloc(size_t bytes);
// Changes the block's size; bytes added at the end are zero. Gives the block,
// or null on failure (the block is then left as it was).
HGLOBAL GlobalReAlloc(HGLOBAL block, size_t bytes);
// The block's bytes (stable until the block is resized or freed); null for null.
uint8_t* GlobalLock(HGLOBAL block);
void GlobalUnlock(HGLOBAL block);
// The block's size in bytes (0 for null).
size_t GlobalSize(HGLOBAL block);
// Frees the block (null is allowed).
void GlobalFree(HGLOBAL block);

// ---------------------------------------------------------------------------
// Headers
// ---------------------------------------------------------------------------

constexpr uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr uint32_t kCoreHeaderSize = 12;  // BITMAPCOREHEADER
constexpr uint32_t BI_RGB = 0;

// The 40-byte header as it lies in a packed DIB (byte offsets in comments).
struct BitmapInfoHeader {
    uint32_t biSize = kInfoHeaderSize;  // 0
    int32_t biWidth = 0;                // 4, pixels
    int32_t biHeight = 0;               // 8, rows; positive: bottom row first
    uint16_t biPlanes = 1;              // 12
    uint16_t biBitCount = 0;            // 14, 1, 4, 8 or 24 here
    uint32_t biCompression = BI_RGB;    // 16
    uint32_t biSizeImage = 0;           // 20, bytes of colour data
    int32_t biXPelsPerMeter = 0;        // 24
    int32_t biYPelsPerMeter = 0;        // 28
    uint32_t biClrUsed = 0;             // 32, colour-table entries; 0: by bit count
    uint32_t biClrImportant = 0;        // 36
};

// The 12-byte header: bcSize 12 (uint32 at 0), bcWidth (uint16 at 4),
// bcHeight (uint16 at 6), bcPlanes (uint16 at 8), bcBitCount (uint16 at 10).

// Writes / reads a 40-byte header at dib.
void StoreInfoHeader(uint8_t* dib, const BitmapInfoHeader& header);
BitmapInfoHeader LoadInfoHeader(const uint8_t* dib);

// ---------------------------------------------------------------------------
// The header rules
// ---------------------------------------------------------------------------

// Start of the colour data: dib + 40 or 12 (as the header kind says, never
// what an unknown size field says) + DibColorTableBytes(dib).
uint8_t* DibColorData(uint8_t* dib);
const uint8_t* DibColorData(const uint8_t* dib);

// Rows of the DIB: biHeight (signed) for a 40-byte header, otherwise the
// 16-bit bcHeight zero-extended.
int32_t DibRowCount(const uint8_t* dib);

// Bytes of the colour table: DibColorTableEntries x 4 after a 40-byte header,
// x 3 after any other (low 16 bits).
uint16_t DibColorTableBytes(const uint8_t* dib);

// Entries of the colour table: biClrUsed when the header is 40 bytes and it
// is not 0 (low 16 bits); otherwise by bit count: 1 -> 2, 4 -> 16,
// 8 -> 256, any other -> 0.
uint16_t DibColorTableEntries(const uint8_t* dib);

// Width in pixels (biWidth, or the 16-bit bcWidth) and bits per pixel
// (biBitCount or bcBitCount).
int32_t DibWidth(const uint8_t* dib);
uint16_t DibBitCount(const uint8_t* dib);

// Bytes of one row of colour data: (bitCount x width + 31) / 32 x 4.
uint32_t DibRowBytes(int32_t width, uint32_t bitCount);

// True when the block holds a whole DIB: a header whose size field is 40 or
// 12 (no other size is known), its colour table and DibRowBytes x
// |DibRowCount| bytes of colour data.
bool DibFitsBlock(HGLOBAL block);

// ---------------------------------------------------------------------------
// Bitmaps and palettes
// ---------------------------------------------------------------------------

struct PaletteEntry {
    uint8_t red, green, blue, flags;
};

// A palette: up to 65535 entries.
struct Palette {
    std::vector<PaletteEntry> entries;
};
typedef Palette* HPALETTE;

// A device-dependent bitmap, as a screen capture gives it: rows top first.
// bitsPixel 32: 4 bytes a pixel, B, G, R, unused. bitsPixel 1, 4 or 8: one
// byte a pixel, an index into the palette the DIB is made through.
struct Bitmap {
    int32_t width = 0;   // pixels
    int32_t height = 0;  // rows
    uint16_t planes = 1;
    uint16_t bitsPixel = 32;
    std::vector<uint8_t> bits;  // width x height x (4 or 1) bytes
};
typedef Bitmap* HBITMAP;

void DeleteObject(HBITMAP bitmap);
void DeleteObject(HPALETTE palette);

// The 20 fixed colours of the default palette, used when no palette is given.
HPALETTE DefaultPalette();

// A new packed DIB (40-byte header, bottom row first, biSizeImage filled in)
// of the bitmap, or null. Depth planes x bitsPixel: up to 1 gives a 1-bit
// DIB, up to 4 a 4-bit, up to 8 an 8-bit one with the palette's colours as
// its table (the default palette when palette is null); deeper bitmaps give
// 24-bit DIBs (B, G, R). The caller owns the block.
HGLOBAL MakeDibFromBitmap(HBITMAP bitmap, HPALETTE palette);

// 2 to the power of planes x colour bits of a display; saturates at
// 0xFFFFFFFF for 32 bits and more.
uint32_t DisplayColorCount(int planes, int colorBits);

// A new palette with the screen's system palette, or null without a screen.
// Palette displays (8 bits or fewer) give DisplayColorCount entries; today's
// screens keep no system palette, so those entries stay black. True-colour
// displays give an empty palette, which changes nothing where it is used.
HPALETTE CopySystemPalette();
