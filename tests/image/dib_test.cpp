// The DIB header rules, DIBs made from bitmaps, and the palette helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/dib.h"
#include "platform/platform.h"
#include "platform/sys_screen.h"

namespace {

// A 12-byte core header followed by room for a table and data.
std::vector<uint8_t> CoreDib(uint16_t width, uint16_t height, uint16_t bitCount) {
    std::vector<uint8_t> dib(12 + 4096, 0);
    dib[0] = 12;
    std::memcpy(&dib[4], &width, 2);
    std::memcpy(&dib[6], &height, 2);
    dib[8] = 1;
    std::memcpy(&dib[10], &bitCount, 2);
    return dib;
}

std::vector<uint8_t> InfoDib(int32_t width, int32_t height, uint16_t bitCount, uint32_t clrUsed) {
    std::vector<uint8_t> dib(40 + 4096, 0);
    BitmapInfoHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = bitCount;
    h.biClrUsed = clrUsed;
    StoreInfoHeader(dib.data(), h);
    return dib;
}

TEST(DibHeaders, ColourTablesFollowTheHeaderKindAndBitCount) {
    auto core8 = CoreDib(16, 16, 8);
    EXPECT_EQ(DibColorTableEntries(core8.data()), 256);
    EXPECT_EQ(DibColorTableBytes(core8.data()), 768);
    EXPECT_EQ(DibColorData(core8.data()), core8.data() + 12 + 768);

    auto info8 = InfoDib(16, 16, 8, 0);
    EXPECT_EQ(DibColorTableBytes(info8.data()), 1024);
    EXPECT_EQ(DibColorData(info8.data()), info8.data() + 40 + 1024);

    auto info8used = InfoDib(16, 16, 8, 20);
    EXPECT_EQ(DibColorTableEntries(info8used.data()), 20);
    EXPECT_EQ(DibColorTableBytes(info8used.data()), 80);

    auto info24 = InfoDib(320, 240, 24, 0);
    EXPECT_EQ(DibColorTableBytes(info24.data()), 0);
    EXPECT_EQ(DibColorData(info24.data()), info24.data() + 40);

    // biClrUsed wins over the bit count, also for deep DIBs.
    EXPECT_EQ(DibColorTableEntries(InfoDib(4, 4, 24, 7).data()), 7);
    EXPECT_EQ(DibColorTableEntries(InfoDib(4, 4, 1, 0).data()), 2);
    EXPECT_EQ(DibColorTableEntries(InfoDib(4, 4, 4, 0).data()), 16);
    EXPECT_EQ(DibColorTableEntries(InfoDib(4, 4, 16, 0).data()), 0);
    EXPECT_EQ(DibColorTableEntries(InfoDib(4, 4, 32, 0).data()), 0);
    EXPECT_EQ(DibColorTableBytes(CoreDib(4, 4, 1).data()), 6);
    EXPECT_EQ(DibColorTableBytes(CoreDib(4, 4, 4).data()), 48);
    EXPECT_EQ(DibColorTableBytes(CoreDib(4, 4, 24).data()), 0);
}

TEST(DibHeaders, RowCountsFromBothHeaderKinds) {
    EXPECT_EQ(DibRowCount(InfoDib(4, 240, 24, 0).data()), 240);
    EXPECT_EQ(DibRowCount(InfoDib(4, -5, 24, 0).data()), -5);     // top-down, signed
    EXPECT_EQ(DibRowCount(CoreDib(4, 0xFFFF, 8).data()), 65535);  // zero-extended
    EXPECT_EQ(DibWidth(CoreDib(0x9000, 1, 8).data()), 0x9000);
}

TEST(DibHeaders, RowsAreFilledToWholeWords) {
    EXPECT_EQ(DibRowBytes(320, 24), 960u);
    EXPECT_EQ(DibRowBytes(3, 24), 12u);
    EXPECT_EQ(DibRowBytes(1, 1), 4u);
    EXPECT_EQ(DibRowBytes(33, 1), 8u);
    EXPECT_EQ(DibRowBytes(9, 4), 8u);
}

// A 32-bit bitmap whose pixel (x, y from the top) is B = x, G = y, R = 7.
Bitmap TrueColourBitmap(int w, int h) {
    Bitmap b;
    b.width = w;
    b.height = h;
    b.bitsPixel = 32;
    b.bits.resize(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &b.bits[(size_t(y) * w + x) * 4];
            p[0] = uint8_t(x);
            p[1] = uint8_t(y);
            p[2] = 7;
            p[3] = 0xEE;  // unused byte: must not leak into the DIB
        }
    return b;
}

TEST(MakeDibFromBitmap, ACaptureBecomesABottomUp24BitDib) {
    Bitmap bitmap = TrueColourBitmap(320, 240);
    HGLOBAL block = MakeDibFromBitmap(&bitmap, nullptr);
    ASSERT_NE(block, nullptr);
    const uint8_t* dib = GlobalLock(block);
    BitmapInfoHeader h = LoadInfoHeader(dib);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 320);
    EXPECT_EQ(h.biHeight, 240);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, BI_RGB);
    EXPECT_EQ(h.biSizeImage, 230400u);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(GlobalSize(block), 40u + 230400u);
    EXPECT_TRUE(DibFitsBlock(block));
    const uint8_t* data = DibColorData(dib);
    ASSERT_EQ(data, dib + 40);
    // The first row in memory is the bitmap's bottom row (y = 239).
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(data[1], 239);
    EXPECT_EQ(data[2], 7);
    // Row r starts 960 bytes after row r - 1; pixel x of it is 3 bytes a pixel.
    const uint8_t* topRowPixel5 = data + 239 * 960 + 5 * 3;
    EXPECT_EQ(topRowPixel5[0], 5);
    EXPECT_EQ(topRowPixel5[1], 0);
    EXPECT_EQ(topRowPixel5[2], 7);
    GlobalUnlock(block);
    GlobalFree(block);
}

TEST(MakeDibFromBitmap, OddWidthsGetZeroFillBytes) {
    Bitmap bitmap = TrueColourBitmap(3, 2);
    HGLOBAL block = MakeDibFromBitmap(&bitmap, nullptr);
    ASSERT_NE(block, nullptr);
    const uint8_t* dib = GlobalLock(block);
    EXPECT_EQ(LoadInfoHeader(dib).biSizeImage, 24u);
    const uint8_t* data = DibColorData(dib);
    const uint8_t expected[24] = {0, 1, 7, 1, 1, 7, 2, 1, 7, 0, 0, 0,   // bottom row (y = 1)
                                  0, 0, 7, 1, 0, 7, 2, 0, 7, 0, 0, 0};  // top row
    EXPECT_EQ(std::memcmp(data, expected, 24), 0);
    GlobalFree(block);
}

TEST(MakeDibFromBitmap, PaletteBitmapsGetTheirTableAndPackedIndexes) {
    Palette palette;
    for (int i = 0; i < 256; ++i) palette.entries.push_back({uint8_t(i), uint8_t(255 - i), 9, 0});

    Bitmap eight;
    eight.width = 2;
    eight.height = 1;
    eight.bitsPixel = 8;
    eight.bits = {3, 250};
    HGLOBAL block = MakeDibFromBitmap(&eight, &palette);
    ASSERT_NE(block, nullptr);
    uint8_t* dib = GlobalLock(block);
    EXPECT_EQ(LoadInfoHeader(dib).biBitCount, 8);
    EXPECT_EQ(DibColorTableBytes(dib), 1024);
    EXPECT_EQ(GlobalSize(block), 40u + 1024u + 4u);
    const uint8_t* table = dib + 40;
    EXPECT_EQ(table[4 * 3 + 0], 9);    // blue
    EXPECT_EQ(table[4 * 3 + 1], 252);  // green
    EXPECT_EQ(table[4 * 3 + 2], 3);    // red
    EXPECT_EQ(DibColorData(dib)[0], 3);
    EXPECT_EQ(DibColorData(dib)[1], 250);
    GlobalFree(block);

    // 4 bits: two indexes a byte, the first in the high nibble.
    Bitmap four = eight;
    four.bitsPixel = 4;
    four.width = 3;
    four.bits = {0x1, 0xA, 0x5};
    block = MakeDibFromBitmap(&four, &palette);
    ASSERT_NE(block, nullptr);
    dib = GlobalLock(block);
    EXPECT_EQ(LoadInfoHeader(dib).biBitCount, 4);
    EXPECT_EQ(DibColorTableBytes(dib), 64);
    EXPECT_EQ(DibColorData(dib)[0], 0x1A);
    EXPECT_EQ(DibColorData(dib)[1], 0x50);
    GlobalFree(block);

    // 2 planes of 1 bit make a depth of 2: a 4-bit DIB. A null palette
    // gives the default colours.
    Bitmap planes = four;
    planes.planes = 2;
    planes.bitsPixel = 1;
    block = MakeDibFromBitmap(&planes, nullptr);
    ASSERT_NE(block, nullptr);
    dib = GlobalLock(block);
    EXPECT_EQ(LoadInfoHeader(dib).biBitCount, 4);
    EXPECT_EQ(dib[40 + 4 * 1 + 2], 128);  // default entry 1: dark red
    EXPECT_EQ(dib[40 + 4 * 1 + 1], 0);
    GlobalFree(block);

    // 1 bit: eight a byte, the first in the top bit.
    Bitmap one;
    one.width = 9;
    one.height = 1;
    one.bitsPixel = 1;
    one.bits = {1, 0, 1, 1, 0, 0, 0, 1, 1};
    block = MakeDibFromBitmap(&one, &palette);
    ASSERT_NE(block, nullptr);
    dib = GlobalLock(block);
    EXPECT_EQ(DibColorTableBytes(dib), 8);
    EXPECT_EQ(DibColorData(dib)[0], 0xB1);
    EXPECT_EQ(DibColorData(dib)[1], 0x80);
    GlobalFree(block);
}

TEST(MakeDibFromBitmap, UnreadableBitmapsGiveNull) {
    EXPECT_EQ(MakeDibFromBitmap(nullptr, nullptr), nullptr);
    Bitmap empty;
    EXPECT_EQ(MakeDibFromBitmap(&empty, nullptr), nullptr);
    Bitmap shortBits = TrueColourBitmap(4, 4);
    shortBits.bits.resize(10);
    EXPECT_EQ(MakeDibFromBitmap(&shortBits, nullptr), nullptr);
}

TEST(MemoryBlocks, GrowZeroFilledAndKeepTheirBytes) {
    HGLOBAL block = GlobalAlloc(8);
    ASSERT_NE(block, nullptr);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(GlobalLock(block)[i], 0);
    GlobalLock(block)[7] = 42;
    ASSERT_EQ(GlobalReAlloc(block, 4096), block);
    EXPECT_EQ(GlobalSize(block), 4096u);
    EXPECT_EQ(GlobalLock(block)[7], 42);
    EXPECT_EQ(GlobalLock(block)[4095], 0);
    GlobalFree(block);
    EXPECT_EQ(GlobalLock(nullptr), nullptr);
    EXPECT_EQ(GlobalSize(nullptr), 0u);
}

TEST(DibFitsBlock, RefusesBlocksShorterThanTheirHeadersSay) {
    HGLOBAL block = GlobalAlloc(40 + 12);
    BitmapInfoHeader h;
    h.biWidth = 3;
    h.biHeight = 2;
    h.biBitCount = 24;
    StoreInfoHeader(GlobalLock(block), h);
    EXPECT_FALSE(DibFitsBlock(block));  // needs 24 bytes of data
    GlobalReAlloc(block, 40 + 24);
    EXPECT_TRUE(DibFitsBlock(block));
    GlobalReAlloc(block, 6);
    EXPECT_FALSE(DibFitsBlock(block));
    EXPECT_FALSE(DibFitsBlock(nullptr));
    // Header sizes other than 40 and 12 are refused; the colour data of such
    // a header never lies where its size field points.
    for (uint32_t headerSize : {100000u, 41u, 0u}) {
        GlobalReAlloc(block, 40 + 24);
        std::memcpy(GlobalLock(block), &headerSize, 4);
        EXPECT_FALSE(DibFitsBlock(block)) << headerSize;
        EXPECT_LE(DibColorData(GlobalLock(block)), GlobalLock(block) + 40) << headerSize;
    }
    GlobalFree(block);
}

TEST(Palettes, DisplayColorCountIsTwoToThePlanesTimesBits) {
    EXPECT_EQ(DisplayColorCount(1, 8), 256u);
    EXPECT_EQ(DisplayColorCount(1, 4), 16u);
    EXPECT_EQ(DisplayColorCount(4, 1), 16u);
    EXPECT_EQ(DisplayColorCount(1, 24), 16777216u);
    EXPECT_EQ(DisplayColorCount(1, 32), 0xFFFFFFFFu);
}

TEST(Palettes, SystemPaletteFollowsTheScreen) {
    Sys_SetHeadless(1);
    Sys_SetTestScreen(640, 480, 8, nullptr);
    HPALETTE palette = CopySystemPalette();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->entries.size(), 256u);
    DeleteObject(palette);

    Sys_SetTestScreen(640, 480, 24, nullptr);
    palette = CopySystemPalette();
    ASSERT_NE(palette, nullptr);
    EXPECT_TRUE(palette->entries.empty());
    DeleteObject(palette);
    Sys_SetTestScreen(0, 0, 0, nullptr);
}

}  // namespace
