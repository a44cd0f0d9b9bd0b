// The JPEG texture loader on a real context, fed with pictures made here.
#include <GL/gl.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/texture_loader.h"
#include "platform/platform.h"
#include "platform/sys_jpeg.h"
#include "tests/image/make_jpeg.h"
#include "tests/support/box_recorder.h"
#include "tests/support/gl_test.h"

namespace {

// Top eight rows red, the rest blue: the JPEG's first row is red.
std::vector<uint8_t> RedOverBlue(int width, int height) {
    return RowPicture(width, height, [](int y) {
        return y < 8 ? std::array<int, 3>{255, 0, 0} : std::array<int, 3>{0, 0, 255};
    });
}

struct TextureImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // row t = 0 first
};

TextureImage ReadBoundTexture() {
    TextureImage image;
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
    void SetUp() override {
        GLTest::SetUp();
        g_boxes.clear();
        Sys_SetMessageBoxHook(RecordBox);
    }
    void TearDown() override {
        Sys_SetMessageBoxHook(nullptr);
        Sys_OverrideResources(nullptr, 0);
    }
    // Serves these pictures as the only ZYN_JPEGTEX resources.
    void Serve(std::vector<std::pair<std::string, std::vector<uint8_t>>> pictures) {
        pictures_ = std::move(pictures);
        entries_.clear();
        for (auto& p : pictures_)
            entries_.push_back({"ZYN_JPEGTEX", p.first.c_str(), p.second.data(), uint32_t(p.second.size())});
        Sys_OverrideResources(entries_.data(), entries_.size());
    }
    std::vector<std::pair<std::string, std::vector<uint8_t>>> pictures_;
    std::vector<ResourceEntry> entries_;
};

TEST_F(TextureLoaderTest, DecodesSizeAndRowOrderWithoutFlip) {
    const std::vector<uint8_t> jpeg = MakeJpeg(32, 16, RedOverBlue(32, 16));
    ASSERT_FALSE(jpeg.empty());
    Serve({{"TITLE.JPG", jpeg}});

    TextureId texture = 0;
    LoadTexture(texture, "TITLE.JPG");
    EXPECT_TRUE(g_boxes.empty());
    ASSERT_NE(texture, 0u);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), texture);

    const TextureImage image = ReadBoundTexture();
    EXPECT_EQ(image.width, 32);
    EXPECT_EQ(image.height, 16);
    // Texture row t = 0 is the JPEG's first (red) row; the last row is blue.
    auto texel = [&](int x, int t) { return &image.rgb[(size_t(t) * image.width + x) * 3]; };
    for (int t : {0, 7}) {
        EXPECT_GE(texel(5, t)[0], 250) << "row " << t;
        EXPECT_LE(texel(5, t)[2], 5) << "row " << t;
    }
    for (int t : {8, 15}) {
        EXPECT_LE(texel(5, t)[0], 5) << "row " << t;
        EXPECT_GE(texel(5, t)[2], 250) << "row " << t;
    }
}

TEST_F(TextureLoaderTest, UploadStateIsLinearRgbWithoutMipmapsAndTexturingStaysOff) {
    Serve({{"BALL.JPG", MakeJpeg(16, 16, RedOverBlue(16, 16))}});
    TextureId texture = 0;
    LoadTexture(texture, "BALL.JPG");

    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint mag = 0, min = 0, wrapS = 0, wrapT = 0, env = 0, format = 0, level1Width = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1Width);
    EXPECT_EQ(mag, GL_LINEAR);
    EXPECT_EQ(min, GL_LINEAR);
    EXPECT_EQ(wrapS, GL_REPEAT);
    EXPECT_EQ(wrapT, GL_REPEAT);
    EXPECT_EQ(env, GL_MODULATE);
    EXPECT_TRUE(format == 3 || format == GL_RGB) << format;
    EXPECT_EQ(level1Width, 0) << "no mipmap levels";
    GLint unpack = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack);
    EXPECT_EQ(unpack, 4) << "the unpack alignment comes back";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureLoaderTest, TwoLoadsGiveTwoNamesWithIdenticalImages) {
    // A noisy picture, so that equal images are not equal by accident.
    std::vector<uint8_t> rgb(64 * 32 * 3);
    uint32_t seed = 12345;
    for (uint8_t& v : rgb) v = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
    Serve({{"PARTICLE1.JPG", MakeJpeg(64, 32, rgb)}});

    TextureId a = 0, b = 0;
    LoadTexture(a, "PARTICLE1.JPG");
    const TextureImage first = ReadBoundTexture();
    LoadTexture(b, "PARTICLE1.JPG");
    const TextureImage second = ReadBoundTexture();
    EXPECT_NE(a, b);
    EXPECT_TRUE(glIsTexture(a) && glIsTexture(b));
    EXPECT_EQ(first.width, 64);
    EXPECT_EQ(first.height, 32);
    EXPECT_TRUE(first.rgb == second.rgb);
    // The decoded picture is the one encoded, within JPEG's loss.
    long error = 0;
    for (size_t i = 0; i < rgb.size(); ++i) error += std::abs(int(first.rgb[i]) - int(rgb[i]));
    EXPECT_LT(double(error) / rgb.size(), 8.0);
}

TEST_F(TextureLoaderTest, RowsThatAreNotWholeWordsStayPacked) {
    // 10 texels = 30 bytes a row: only packed reading puts each row in place.
    std::vector<uint8_t> rgb = RowPicture(10, 16, [](int y) {
        return y < 8 ? std::array<int, 3>{0, 255, 0} : std::array<int, 3>{255, 255, 255};
    });
    Serve({{"ODD.JPG", MakeJpeg(10, 16, rgb)}});
    TextureId texture = 0;
    LoadTexture(texture, "ODD.JPG");
    const TextureImage image = ReadBoundTexture();
    ASSERT_EQ(image.width, 10);
    ASSERT_EQ(image.height, 16);
    for (int t = 0; t < 16; ++t) {
        for (int x : {0, 9}) {
            const uint8_t* p = &image.rgb[(size_t(t) * 10 + x) * 3];
            const bool green = t < 8;
            EXPECT_NEAR(p[0], green ? 0 : 255, 6) << "t " << t << " x " << x;
            EXPECT_NEAR(p[1], 255, 6) << "t " << t << " x " << x;
        }
    }
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

TEST_F(TextureLoaderTest, MissingUnreadableOrHugePictureReportsAndGivesOneBlackTexel) {
    std::vector<uint8_t> garbage(300);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 7);
    std::vector<uint8_t> truncatedHeader = MakeJpeg(16, 16, RedOverBlue(16, 16));
    truncatedHeader.resize(20);
    const std::vector<uint8_t> small = MakeJpeg(16, 16, RedOverBlue(16, 16));
    Serve({{"GARBAGE.JPG", garbage},
           {"SHORT.JPG", truncatedHeader},
           {"EMPTY.JPG", {}},
           {"HUGE.JPG", ClaimingSize(small, 65500, 65500)},
           {"WIDE.JPG", ClaimingSize(small, 8193, 16)}});

    for (const char* name : {"NOWHERE.JPG", "GARBAGE.JPG", "SHORT.JPG", "EMPTY.JPG", "HUGE.JPG", "WIDE.JPG"}) {
        SCOPED_TRACE(name);
        g_boxes.clear();
        TextureId texture = 0;
        LoadTexture(texture, name);
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].owner, 0u);
        EXPECT_EQ(g_boxes[0].text, "ILJ-ParamRead failed!");
        EXPECT_EQ(g_boxes[0].caption, "Meldung");
        EXPECT_EQ(g_boxes[0].type, uint32_t(MB_OK));

        ASSERT_NE(texture, 0u);
        EXPECT_TRUE(glIsTexture(texture));
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(GLuint(bound), texture);
        const TextureImage image = ReadBoundTexture();
        EXPECT_EQ(image.width, 1);
        EXPECT_EQ(image.height, 1);
        EXPECT_EQ(image.rgb, std::vector<uint8_t>(3, 0));
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

// Inserts a quantisation table with an impossible index just before the
// end-of-image marker: the header and the scan read well, the decoder then
// fails for good.
std::vector<uint8_t> WithBadTrailer(std::vector<uint8_t> jpeg) {
    std::vector<uint8_t> dqt = {0xFF, 0xDB, 0x00, 0x43, 0x0F};
    dqt.resize(dqt.size() + 64, 1);
    jpeg.insert(jpeg.end() - 2, dqt.begin(), dqt.end());
    return jpeg;
}

TEST_F(TextureLoaderTest, BodyThatFailsAfterGoodHeaderKeepsSizeAndIsBlack) {
    const std::vector<uint8_t> bad = WithBadTrailer(MakeJpeg(32, 16, RedOverBlue(32, 16)));
    // The decoder itself must see the failure, or this test shows nothing.
    JpegDecoder jpeg;
    ASSERT_TRUE(Sys_JpegInit(&jpeg));
    jpeg.jpgBytes = bad.data();
    jpeg.jpgSizeBytes = uint32_t(bad.size());
    ASSERT_TRUE(Sys_JpegReadParams(&jpeg));
    std::vector<uint8_t> scratch(32 * 16 * 3);
    EXPECT_FALSE(Sys_JpegReadWholeImage(&jpeg, scratch.data()));
    Sys_JpegFree(&jpeg);
    EXPECT_EQ(jpeg.handle, nullptr);

    Serve({{"BAD.JPG", bad}});
    TextureId texture = 0;
    LoadTexture(texture, "BAD.JPG");
    EXPECT_TRUE(g_boxes.empty());
    const TextureImage image = ReadBoundTexture();
    EXPECT_EQ(image.width, 32);
    EXPECT_EQ(image.height, 16);
    EXPECT_EQ(image.rgb, std::vector<uint8_t>(32 * 16 * 3, 0));
}

TEST_F(TextureLoaderTest, StreamThatEndsEarlyStillGivesAWholePicture) {
    // Cut inside the scan: the decoder warns, fills the missing rows and the
    // rows it did read keep their colours.
    std::vector<uint8_t> jpeg = MakeJpeg(16, 64, RedOverBlue(16, 64));
    size_t scan = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) scan = i;
    ASSERT_GT(scan, 0u);
    jpeg.resize(scan + (jpeg.size() - scan) / 2);
    Serve({{"CUT.JPG", jpeg}});
    TextureId texture = 0;
    LoadTexture(texture, "CUT.JPG");
    EXPECT_TRUE(g_boxes.empty());
    const TextureImage image = ReadBoundTexture();
    ASSERT_EQ(image.width, 16);
    ASSERT_EQ(image.height, 64);
    EXPECT_GE(image.rgb[0], 250);  // the first row, red
    EXPECT_LE(image.rgb[2], 5);
}

}  // namespace
