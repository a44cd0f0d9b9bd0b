// The pure pieces of the capture tool: its command line, the part times
// read from the sync file, and the pictures it composes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/capture/capture_options.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/demo_timing.h"
#include "tools/capture/frame_png.h"
#include "tools/capture/frame_writer.h"
#include "tools/capture/yuv420.h"

namespace {

bool Parse(std::vector<const char*> args, CaptureOptions* o, std::string* error) {
    args.insert(args.begin(), "demo-capture");
    return ParseCaptureArgs(int(args.size()), args.data(), o, error);
}

TEST(CaptureOptions, ReadsEveryOption) {
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"-o", "out.mp4", "--fps", "30", "--from", "1.5", "--to", "4", "--stills", "0,8.3,65.5",
                       "--sheet", "docs/sheet.png", "--scale", "3", "--no-progress"},
                      &o, &error))
        << error;
    EXPECT_EQ(o.output, "out.mp4");
    EXPECT_FALSE(o.outputIsFolder);
    EXPECT_EQ(o.fps, 30);
    EXPECT_DOUBLE_EQ(o.from, 1.5);
    EXPECT_DOUBLE_EQ(o.to, 4.0);
    EXPECT_EQ(o.stills, (std::vector<double>{0.0, 8.3, 65.5}));
    EXPECT_EQ(o.sheet, "docs/sheet.png");
    EXPECT_EQ(o.scale, 3);
    EXPECT_FALSE(o.progress);

    ASSERT_TRUE(Parse({"-o", "frames/"}, &o, &error));
    EXPECT_TRUE(o.outputIsFolder);
    EXPECT_EQ(o.fps, 60);  // the defaults
    EXPECT_EQ(o.scale, 1);
    EXPECT_LT(o.to, 0.0);
    ASSERT_TRUE(Parse({"-o", "/tmp"}, &o, &error));  // an existing folder without the slash
    EXPECT_TRUE(o.outputIsFolder);
    ASSERT_TRUE(Parse({"--help"}, &o, &error));
    EXPECT_TRUE(o.help);
}

TEST(CaptureOptions, RefusesWhatItCannotDo) {
    const std::vector<std::vector<const char*>> bad = {
        {},                                       // nothing to write
        {"--fps", "30"},                          // still nothing to write
        {"-o"},                                   // missing value
        {"-o", "out.avi"},                        // unknown video kind
        {"-o", "out.mp4", "--fps", "0"},          // out of range
        {"-o", "out.mp4", "--fps", "241"},
        {"-o", "out.mp4", "--fps", "60x"},
        {"-o", "out.mp4", "--scale", "5"},
        {"-o", "out.mp4", "--scale", "0"},
        {"-o", "out.mp4", "--from", "-1"},
        {"-o", "out.mp4", "--from", "nan"},
        {"-o", "out.mp4", "--to", "inf"},
        {"-o", "out.mp4", "--from", "3", "--to", "2"},
        {"-o", "out.mp4", "--from", "2", "--to", "2"},
        {"--stills", "1,,2"},
        {"--stills", "1,"},
        {"--stills", "abc"},
        {"--sheet", "sheet.jpg"},
        {"--from", "1", "--stills", "2"},  // --from without -o
        {"-o", "stills/", "--to", "2", "--stills", "1"},  // -o is only the stills' folder
        {"-o", "out.mp4", "--frobnicate"},
        {"-o", "out.mp4", "extra"},
    };
    for (const auto& args : bad) {
        CaptureOptions o;
        std::string error;
        std::string joined;
        for (const char* a : args) joined += std::string(a) + " ";
        EXPECT_FALSE(Parse(args, &o, &error)) << joined;
        EXPECT_FALSE(error.empty()) << joined;
    }
}

TEST(CaptureOptions, FileNamesSortInTimeOrder) {
    EXPECT_EQ(StillFileName(8.3), "still-8.300.png");
    EXPECT_EQ(StillFileName(0), "still-0.000.png");
    EXPECT_EQ(FrameFileName(0), "frame-000000.png");
    EXPECT_EQ(FrameFileName(3939), "frame-003939.png");
    EXPECT_LT(FrameFileName(999), FrameFileName(1000));
}

TEST(DemoTiming, TheEmbeddedFileGivesTheEightPartChanges) {
    const std::vector<double> seconds = EmbeddedSyncSeconds();
    const double expected[8] = {8.3, 16.6, 25.1, 33.5, 41.7, 50.1, 57.7, 65.6};
    ASSERT_EQ(seconds.size(), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(seconds[i], expected[i], 1e-5) << i;
}

TEST(DemoTiming, PartsRunFromSyncToSync) {
    const std::vector<PartSpan> spans = PartSpans({8.3, 16.6, 25.1, 33.5, 41.7, 50.1, 57.7, 65.6});
    ASSERT_EQ(spans.size(), 8u);
    EXPECT_EQ(spans[0].part, 1);
    EXPECT_DOUBLE_EQ(spans[0].begin, 0.0);
    EXPECT_NEAR(spans[0].end, 8.3, 1e-6);
    EXPECT_NEAR(spans[0].Middle(), 4.15, 1e-6);
    EXPECT_EQ(spans[7].part, 8);
    EXPECT_NEAR(spans[7].begin, 57.7, 1e-5);
    EXPECT_NEAR(spans[7].end, 65.6, 1e-5);
    EXPECT_TRUE(PartSpans({1, 2, 3}).empty());                   // too few
    EXPECT_TRUE(PartSpans({1, 2, 3, 4, 4, 5, 6, 7}).empty());    // a part of no length
    EXPECT_TRUE(PartSpans({1, 2, 3, 4, 10, 5, 6, 7}).empty());  // out of order
}

TEST(FrameWriter, WritesInOrderAndStopsAtTheFirstFailure) {
    FrameWriter writer(2);
    std::vector<int> seen;  // touched only by the writer's thread until Finish
    for (int n = 0; n < 6; ++n) {
        std::vector<uint8_t>* frame = writer.Acquire();
        frame->assign(3, uint8_t(n));
        writer.Submit(frame, [&seen](const std::vector<uint8_t>& f, std::string* why) {
            seen.push_back(f[0]);
            if (f[0] == 3) *why = "the pipe broke at 3";
            return f[0] != 3;
        });
    }
    std::string why;
    EXPECT_FALSE(writer.Finish(&why));
    EXPECT_EQ(why, "the pipe broke at 3");
    // Everything up to the failure, in order; nothing after it.
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(writer.Failed());
}

// The frames as read back (4 bytes a pixel, bottom row first) on their way
// to the video encoder and into PNG files.
TEST(FrameFormats, YuvOfKnownColoursBlockMeansAndPngsOfEitherLayout) {
    struct Case {
        uint8_t r, g, b;
        int y, u, v;
    };
    // BT.601 video range: black and white at 16 and 235, the primaries
    // where the usual 8-bit formulas put them.
    const Case cases[] = {{0, 0, 0, 16, 128, 128},   {255, 255, 255, 235, 128, 128}, {255, 0, 0, 82, 90, 240},
                          {0, 255, 0, 144, 54, 34},  {0, 0, 255, 41, 240, 110},      {128, 128, 128, 126, 128, 128}};
    for (const Case& c : cases) {
        const uint8_t pixel[4] = {c.r, c.g, c.b, 99};
        uint8_t yuv[3];
        ASSERT_EQ(Yuv420Size(1, 1), 3u);
        RgbxBottomUpToYuv420(pixel, 1, 1, yuv);
        EXPECT_EQ(yuv[0], c.y) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        EXPECT_EQ(yuv[1], c.u) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        EXPECT_EQ(yuv[2], c.v) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    }

    // 3 x 3, bottom row first: the output's top row is the last one given.
    // Red grows to the right, blue downward; chroma is the rounded mean of
    // each 2 x 2 block, the odd last row and column standing in for their
    // missing neighbours.
    std::vector<uint8_t> rgbx, rgb;
    for (int row = 0; row < 3; ++row)  // bottom first
        for (int x = 0; x < 3; ++x) {
            const uint8_t r = uint8_t(100 * x), b = uint8_t(100 * (2 - row));  // b: 200 at the bottom
            rgbx.insert(rgbx.end(), {r, 0, b, 0});
            rgb.insert(rgb.end(), {r, 0, b});
        }
    std::vector<uint8_t> yuv(Yuv420Size(3, 3));
    ASSERT_EQ(yuv.size(), 9u + 4u + 4u);
    RgbxBottomUpToYuv420(rgbx.data(), 3, 3, yuv.data());
    const auto luma = [](int r, int b) { return (66 * r + 25 * b + 4224) >> 8; };
    EXPECT_EQ(yuv[0], luma(0, 0)) << "top left comes from the last row given";
    EXPECT_EQ(yuv[8], luma(200, 200)) << "bottom right comes from the first";
    const auto u = [](int r, int b) { return (112 * b + 32896 - 38 * r) >> 8; };
    const auto v = [](int r, int b) { return (112 * r + 32896 - 18 * b) >> 8; };
    // Blocks: top left r (0 + 100) / 2 = 50, b (0 + 100) / 2 = 50; top right
    // r 200, b 50; bottom left r 50, b 200; bottom right r 200, b 200.
    EXPECT_EQ((std::vector<int>(yuv.begin() + 9, yuv.begin() + 13)),
              (std::vector<int>{u(50, 50), u(200, 50), u(50, 200), u(200, 200)}));
    EXPECT_EQ((std::vector<int>(yuv.begin() + 13, yuv.end())),
              (std::vector<int>{v(50, 50), v(200, 50), v(50, 200), v(200, 200)}));

    // A PNG of the 4-byte pixels is the PNG of the same RGB pixels.
    std::vector<uint8_t> fromRgbx, fromRgb;
    ASSERT_TRUE(EncodeFramePng(3, 3, rgbx.data(), 4, true, &fromRgbx));
    ASSERT_TRUE(EncodeFramePng(3, 3, rgb.data(), 3, true, &fromRgb));
    EXPECT_EQ(fromRgbx, fromRgb);
    EXPECT_FALSE(EncodeFramePng(3, 3, rgb.data(), 2, true, &fromRgb));
}

TEST(ContactSheet, BoxReductionIsTheRoundedMeanOfEachBlock) {
    Picture p;
    p.width = 4;
    p.height = 2;
    // Left block: 0, 1, 2, 4 -> 1.75 -> 2; right block all 200.
    const uint8_t values[8] = {0, 1, 200, 200, 2, 4, 200, 200};
    for (uint8_t v : values) p.rgb.insert(p.rgb.end(), {v, uint8_t(255 - v), 7});
    const Picture r = BoxReduce(p, 2);
    ASSERT_EQ(r.width, 2);
    ASSERT_EQ(r.height, 1);
    EXPECT_EQ(r.rgb, (std::vector<uint8_t>{2, 253, 7, 200, 55, 7}));

    // Bottom-up rows are turned over.
    const uint8_t bottomUp[6] = {1, 2, 3, 4, 5, 6};
    const Picture t = PictureFromBottomUp(1, 2, bottomUp);
    EXPECT_EQ(t.rgb, (std::vector<uint8_t>{4, 5, 6, 1, 2, 3}));
}

TEST(ContactSheet, EightFramesInTwoRowsOfFourWithTheirNumbers) {
    std::vector<Picture> frames;
    std::vector<int> parts;
    for (int k = 0; k < 8; ++k) {
        Picture f;
        f.width = 1280;  // a frame at scale 2
        f.height = 960;
        f.rgb.assign(size_t(f.width) * f.height * 3, uint8_t(20 + 25 * k));
        frames.push_back(f);
        parts.push_back(k + 1);
    }
    const Picture sheet = MakeContactSheet(frames, parts);
    ASSERT_EQ(sheet.width, 4 * 320 + 5 * 8);
    ASSERT_EQ(sheet.height, 2 * 240 + 3 * 8);
    auto at = [&](int x, int y) { return sheet.rgb[(size_t(y) * sheet.width + x) * 3]; };
    EXPECT_EQ(at(2, 2), 40);  // the ground
    for (int k = 0; k < 8; ++k) {
        const int x0 = 8 + (k % 4) * 328, y0 = 8 + (k / 4) * 248;
        EXPECT_EQ(at(x0 + 200, y0 + 200), 20 + 25 * k) << "cell " << k;  // the frame, in order
        EXPECT_EQ(at(x0 + 319, y0 + 239), 20 + 25 * k) << "cell " << k;
        EXPECT_EQ(at(x0 + 320, y0 + 100), 40) << "cell " << k;  // the margin after it
        // The number plate: black with white strokes.
        int white = 0, black = 0;
        for (int y = y0 + 4; y < y0 + 25; ++y)
            for (int x = x0 + 4; x < x0 + 19; ++x) {
                const int v = at(x, y);
                if (v == 255) ++white;
                if (v == 0) ++black;
            }
        EXPECT_GT(white, 9) << "cell " << k;
        EXPECT_GT(black, 9) << "cell " << k;
    }
}

}  // namespace
