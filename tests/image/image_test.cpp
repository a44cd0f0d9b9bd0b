// The JPEG texture loader on a real context, fed with pictures made here;
// the DIB header rules, DIBs made from bitmaps, memory blocks and palettes.
#include <GL/gl.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/dib.h"
#include "image/texture_loader.h"
#include "platform/sys_jpeg.h"
#include "platform/sys_screen.h"
#include "tests/image/make_jpeg.h"
#include "tests/support/gl_test.h"
#include "tests/support/hooks.h"

namespace {

// The top eight rows red, the rest blue: the JPEG's first row is red.
std::vector<uint8_t> RedOverBlue(int width, int height) {
    return MakeJpeg(width, height, RowPicture(width, height, [](int y) {
        return y < 8 ? std::array<int, 3>{255, 0, 0} : std::array<int, 3>{0, 0, 255};
    }));
}

struct TextureImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // row t = 0 first
    const uint8_t* At(int x, int t) const { return &rgb[(size_t(t) * width + x) * 3]; }
};

// The texture bound now, after checking that `texture` is the one.
TextureImage ReadBoundTexture(TextureId texture) {
    TextureImage image;
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &image.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &image.height);
    image.rgb.assign(size_t(image.width) * image.height * 3, 0xAB);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return image;
}

class TextureLoaderTest : public GLTest {
protected:
    BoxRecorder boxes;
};

// 10 texels make 30 bytes a row: only packed reading puts each row in place.
TEST_F(TextureLoaderTest, DecodesWithoutFlipIntoLinearRgbTexturesOfTheirOwn) {
    const FakeResources pictures({Jpeg("ODD.JPG", RedOverBlue(10, 16))});
    TextureId a = 0, b = 0;
    LoadTexture(a, "ODD.JPG");
    const TextureImage first = ReadBoundTexture(a);
    LoadTexture(b, "ODD.JPG");
    const TextureImage second = ReadBoundTexture(b);
    EXPECT_TRUE(BoxRecorder::boxes.empty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(glIsTexture(a) && glIsTexture(b));
    EXPECT_TRUE(first.rgb == second.rgb);
    ASSERT_EQ(first.width, 10);
    ASSERT_EQ(first.height, 16);
    // Texture row t = 0 is the JPEG's first (red) row.
    for (int t = 0; t < 16; ++t)
        for (int x : {0, 9}) {
            EXPECT_NEAR(first.At(x, t)[0], t < 8 ? 255 : 0, 6) << "t " << t << " x " << x;
            EXPECT_NEAR(first.At(x, t)[2], t < 8 ? 0 : 255, 6) << "t " << t << " x " << x;
        }
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint mag = 0, min = 0, wrapS = 0, wrapT = 0, env = 0, format = 0, level1Width = -1, unpack = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1Width);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack);
    EXPECT_EQ(std::vector<GLint>({mag, min, wrapS, wrapT, env}),
              std::vector<GLint>({GL_LINEAR, GL_LINEAR, GL_REPEAT, GL_REPEAT, GL_MODULATE}));
    EXPECT_TRUE(format == 3 || format == GL_RGB) << format;
    EXPECT_EQ(level1Width, 0) << "no mipmap levels";
    EXPECT_EQ(unpack, 4) << "the caller's unpack alignment comes back";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// The picture with the size in its frame header changed.
std::vector<uint8_t> ClaimingSize(std::vector<uint8_t> jpeg, uint16_t width, uint16_t height) {
    for (size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // SOF0: length, precision, height, width
            jpeg[i + 5] = uint8_t(height >> 8), jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8), jpeg[i + 8] = uint8_t(width);
            break;
        }
    return jpeg;
}

// An impossible quantisation table before the end: header and scan read well, then it fails.
std::vector<uint8_t> WithBadTrailer(std::vector<uint8_t> jpeg) {
    std::vector<uint8_t> dqt = {0xFF, 0xDB, 0x00, 0x43, 0x0F};
    dqt.resize(dqt.size() + 64, 1);
    jpeg.insert(jpeg.end() - 2, dqt.begin(), dqt.end());
    return jpeg;
}

// Cut inside the scan: the decoder warns and fills the missing rows.
std::vector<uint8_t> CutInTheScan(std::vector<uint8_t> jpeg) {
    size_t scan = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) scan = i;
    jpeg.resize(scan + (jpeg.size() - scan) / 2);
    return jpeg;
}

// Unreadable pictures: the box and one black texel; a body failing after a
// good header: its size, black; a stream ending early: whole, first row red.
TEST_F(TextureLoaderTest, BadPicturesGiveABoxAndABlackTexelOrKeepWhatTheyCan) {
    std::vector<uint8_t> garbage(300), shortHeader = RedOverBlue(16, 16);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 7);
    shortHeader.resize(20);
    const std::vector<uint8_t> bad = WithBadTrailer(RedOverBlue(32, 16));
    const FakeResources pictures({Jpeg("GARBAGE.JPG", garbage), Jpeg("SHORT.JPG", shortHeader),
                                  Jpeg("EMPTY.JPG", {}), Jpeg("HUGE.JPG", ClaimingSize(RedOverBlue(16, 16), 65500, 65500)),
                                  Jpeg("WIDE.JPG", ClaimingSize(RedOverBlue(16, 16), 8193, 16)),
                                  Jpeg("BAD.JPG", bad), Jpeg("CUT.JPG", CutInTheScan(RedOverBlue(16, 64)))});
    const struct {
        const char* name;
        bool box;
        int width, height, firstRed;
    } table[] = {
        {"NOWHERE.JPG", true, 1, 1, 0}, {"GARBAGE.JPG", true, 1, 1, 0}, {"SHORT.JPG", true, 1, 1, 0},
        {"EMPTY.JPG", true, 1, 1, 0},   {"HUGE.JPG", true, 1, 1, 0},    {"WIDE.JPG", true, 1, 1, 0},
        {"BAD.JPG", false, 32, 16, 0},  {"CUT.JPG", false, 16, 64, 255},
    };
    for (const auto& t : table) {
        SCOPED_TRACE(t.name);
        BoxRecorder::boxes.clear();
        TextureId texture = 0;
        LoadTexture(texture, t.name);
        ASSERT_EQ(BoxRecorder::boxes.size(), t.box ? 1u : 0u);
        if (t.box) {
            const Box& box = BoxRecorder::boxes[0];
            EXPECT_EQ(box.owner, 0u);
            EXPECT_EQ(box.text, "ILJ-ParamRead failed!");
            EXPECT_EQ(box.caption, "Meldung");
            EXPECT_EQ(box.type, uint32_t(MB_OK));
        }
        ASSERT_NE(texture, 0u);
        EXPECT_TRUE(glIsTexture(texture));
        const TextureImage image = ReadBoundTexture(texture);
        ASSERT_EQ(image.width, t.width);
        ASSERT_EQ(image.height, t.height);
        EXPECT_NEAR(image.At(0, 0)[0], t.firstRed, 5);
        if (!t.firstRed) {
            EXPECT_EQ(image.rgb, std::vector<uint8_t>(image.rgb.size(), 0));
        }
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    // The decoder itself sees the bad body fail, or the row above shows nothing.
    JpegDecoder jpeg;
    ASSERT_TRUE(Sys_JpegInit(&jpeg));
    jpeg.jpgBytes = bad.data();
    jpeg.jpgSizeBytes = uint32_t(bad.size());
    ASSERT_TRUE(Sys_JpegReadParams(&jpeg));
    std::vector<uint8_t> scratch(32 * 16 * 3);
    EXPECT_FALSE(Sys_JpegReadWholeImage(&jpeg, scratch.data()));
    Sys_JpegFree(&jpeg);
    EXPECT_EQ(jpeg.handle, nullptr);
}


// A 12-byte core or 40-byte info header followed by room for a table and data.
std::vector<uint8_t> Dib(bool core, int32_t width, int32_t height, uint16_t bitCount, uint32_t clrUsed = 0) {
    std::vector<uint8_t> dib(40 + 4096, 0);
    if (core) {
        const uint16_t w = uint16_t(width), h = uint16_t(height), planes = 1;
        dib[0] = 12;
        std::memcpy(&dib[4], &w, 2), std::memcpy(&dib[6], &h, 2);
        std::memcpy(&dib[8], &planes, 2), std::memcpy(&dib[10], &bitCount, 2);
        return dib;
    }
    BitmapInfoHeader h;
    h.biWidth = width, h.biHeight = height, h.biBitCount = bitCount, h.biClrUsed = clrUsed;
    StoreInfoHeader(dib.data(), h);
    return dib;
}

TEST(DibHeaders, TablesRowsAndWidthsFollowTheHeaderKind) {
    const struct {
        bool core;
        int32_t width, height;
        uint16_t bits;
        uint32_t clrUsed;
        int entries, tableBytes, rows;
    } table[] = {
        {true, 16, 16, 8, 0, 256, 768, 16},     {false, 16, 16, 8, 0, 256, 1024, 16},
        {false, 16, 16, 8, 20, 20, 80, 16},     {false, 320, 240, 24, 0, 0, 0, 240},
        {false, 4, 4, 24, 7, 7, 28, 4},         // biClrUsed wins, also for deep DIBs
        {false, 4, 4, 1, 0, 2, 8, 4},           {false, 4, 4, 4, 0, 16, 64, 4},
        {false, 4, 4, 16, 0, 0, 0, 4},          {false, 4, 4, 32, 0, 0, 0, 4},
        {true, 4, 4, 1, 0, 2, 6, 4},            {true, 4, 4, 4, 0, 16, 48, 4},
        {true, 4, 4, 24, 0, 0, 0, 4},           {false, 4, -5, 24, 0, 0, 0, -5},  // top-down, signed
        {true, 0x9000, 0xFFFF, 8, 0, 256, 768, 65535},                           // zero-extended
    };
    for (const auto& t : table) {
        const std::vector<uint8_t> dib = Dib(t.core, t.width, t.height, t.bits, t.clrUsed);
        SCOPED_TRACE(std::to_string(t.width) + " x " + std::to_string(t.height) + " x " + std::to_string(t.bits) +
                     (t.core ? " core" : " info"));
        EXPECT_EQ(DibColorTableEntries(dib.data()), t.entries);
        EXPECT_EQ(DibColorTableBytes(dib.data()), t.tableBytes);
        EXPECT_EQ(DibColorData(dib.data()), dib.data() + (t.core ? 12 : 40) + t.tableBytes);
        EXPECT_EQ(DibRowCount(dib.data()), t.rows);
        EXPECT_EQ(DibWidth(dib.data()), t.width);
    }
    // Rows are filled to whole words.
    EXPECT_EQ(DibRowBytes(320, 24), 960u);
    EXPECT_EQ(DibRowBytes(3, 24), 12u);
    EXPECT_EQ(DibRowBytes(1, 1), 4u);
    EXPECT_EQ(DibRowBytes(33, 1), 8u);
    EXPECT_EQ(DibRowBytes(9, 4), 8u);
}

// A 32-bit bitmap whose pixel (x, y from the top) is B = x, G = y, R = 7.
Bitmap TrueColourBitmap(int w, int h) {
    Bitmap b;
    b.width = w, b.height = h, b.bitsPixel = 32;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.bits.insert(b.bits.end(), {uint8_t(x), uint8_t(y), 7, 0xEE});
    return b;
}

TEST(MakeDibFromBitmap, ACaptureBecomesABottomUp24BitDib) {
    Bitmap bitmap = TrueColourBitmap(320, 240);
    HGLOBAL block = MakeDibFromBitmap(&bitmap, nullptr);
    ASSERT_NE(block, nullptr);
    const uint8_t* dib = GlobalLock(block);
    const BitmapInfoHeader h = LoadInfoHeader(dib);
    EXPECT_EQ(std::vector<int64_t>({h.biSize, h.biWidth, h.biHeight, h.biPlanes, h.biBitCount, h.biCompression,
                                    h.biSizeImage, h.biClrUsed}),
              std::vector<int64_t>({40, 320, 240, 1, 24, BI_RGB, 230400, 0}));
    EXPECT_EQ(GlobalSize(block), 40u + 230400u);
    EXPECT_TRUE(DibFitsBlock(block));
    const uint8_t* data = DibColorData(dib);
    ASSERT_EQ(data, dib + 40);
    // The first row in memory is the bottom one (y = 239), B G R, rows 960 bytes apart.
    EXPECT_EQ(std::vector<uint8_t>(data, data + 3), std::vector<uint8_t>({0, 239, 7}));
    EXPECT_EQ(std::vector<uint8_t>(data + 239 * 960 + 15, data + 239 * 960 + 18), std::vector<uint8_t>({5, 0, 7}));
    GlobalFree(block);
    // Odd widths: zero fill bytes, the padding byte left out.
    bitmap = TrueColourBitmap(3, 2);
    block = MakeDibFromBitmap(&bitmap, nullptr);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(LoadInfoHeader(GlobalLock(block)).biSizeImage, 24u);
    const uint8_t* odd = DibColorData(GlobalLock(block));
    EXPECT_EQ(std::vector<uint8_t>(odd, odd + 24), std::vector<uint8_t>({0, 1, 7, 1, 1, 7, 2, 1, 7, 0, 0, 0,  // y = 1
                                                                         0, 0, 7, 1, 0, 7, 2, 0, 7, 0, 0, 0}));
    GlobalFree(block);
    // Nothing readable: no DIB.
    EXPECT_EQ(MakeDibFromBitmap(nullptr, nullptr), nullptr);
    Bitmap empty, shortBits = TrueColourBitmap(4, 4);
    shortBits.bits.resize(10);
    EXPECT_EQ(MakeDibFromBitmap(&empty, nullptr), nullptr);
    EXPECT_EQ(MakeDibFromBitmap(&shortBits, nullptr), nullptr);
}

TEST(DibFitsBlock, GrownBlocksAndHeadersThatSayTooMuch) {
    HGLOBAL block = GlobalAlloc(8);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(GlobalLock(block), GlobalLock(block) + 8), std::vector<uint8_t>(8, 0));
    GlobalLock(block)[7] = 42;
    ASSERT_EQ(GlobalReAlloc(block, 4096), block);  // grown zero-filled, the bytes kept
    EXPECT_EQ(GlobalSize(block), 4096u);
    EXPECT_EQ(GlobalLock(block)[7], 42);
    EXPECT_EQ(GlobalLock(block)[4095], 0);
    EXPECT_EQ(GlobalLock(nullptr), nullptr);
    EXPECT_EQ(GlobalSize(nullptr), 0u);
    BitmapInfoHeader h;
    h.biWidth = 3, h.biHeight = 2, h.biBitCount = 24;
    GlobalReAlloc(block, 40 + 12);
    StoreInfoHeader(GlobalLock(block), h);
    EXPECT_FALSE(DibFitsBlock(block));  // needs 24 bytes of data
    GlobalReAlloc(block, 40 + 24);
    EXPECT_TRUE(DibFitsBlock(block));
    GlobalReAlloc(block, 6);
    EXPECT_FALSE(DibFitsBlock(block));
    EXPECT_FALSE(DibFitsBlock(nullptr));
    // Header sizes other than 40 and 12: refused, colour data not where they point.
    for (uint32_t headerSize : {100000u, 41u, 0u}) {
        GlobalReAlloc(block, 40 + 24);
        std::memcpy(GlobalLock(block), &headerSize, 4);
        EXPECT_FALSE(DibFitsBlock(block)) << headerSize;
        EXPECT_LE(DibColorData(GlobalLock(block)), GlobalLock(block) + 40) << headerSize;
    }
    GlobalFree(block);
}

// 2^(planes x bits) colours, saturated at 32; 256 palette entries at 8 bits, none at 24.
TEST(Palettes, ColourCountsAndTheSystemPaletteFollowTheScreen) {
    EXPECT_EQ(std::vector<uint32_t>({DisplayColorCount(1, 8), DisplayColorCount(4, 1), DisplayColorCount(1, 32)}),
              std::vector<uint32_t>({256, 16, 0xFFFFFFFFu}));
    Sys_SetHeadless(1);
    for (int bits : {8, 24}) {
        Sys_SetTestScreen(640, 480, bits, nullptr);
        HPALETTE palette = CopySystemPalette();
        EXPECT_EQ(palette->entries.size(), bits == 8 ? 256u : 0u);
        DeleteObject(palette);
    }
    Sys_SetTestScreen(0, 0, 0, nullptr);
}

}  // namespace
