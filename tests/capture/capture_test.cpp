// The capture tool's command line, part times, writer thread and contact
// sheet; then demo-capture run as a user runs it: outputs, errors, exactness.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/demo_timing.h"
#include "tools/capture/frame_png.h"
#include "tools/capture/frame_writer.h"
#include "tools/capture/yuv420.h"
#include "tools/common/png.h"

namespace {

bool Parse(std::vector<const char*> args, CaptureOptions* o, std::string* error) {
    args.insert(args.begin(), "demo-capture");
    return ParseCaptureArgs(int(args.size()), args.data(), o, error);
}

TEST(CaptureOptions, ReadsEveryOptionAndRefusesWhatItCannotDo) {
    const struct {
        std::vector<const char*> args;
        const char* read;  // output, folder?, fps, from, to, stills, sheet, scale, progress, help
    } good[] = {
        {{"-o", "out.mp4", "--fps", "30", "--from", "1.5", "--to", "4", "--stills", "0,8.3,65.5", "--sheet",
          "docs/sheet.png", "--scale", "3", "--no-progress"},
         "out.mp4 0 30 1.5 4 0,8.3,65.5, docs/sheet.png 3 0 0"},
        {{"-o", "frames/"}, "frames/ 1 60 0 -1  - 1 1 0"},  // the defaults
        {{"-o", "/tmp"}, "/tmp 1 60 0 -1  - 1 1 0"},         // an existing folder without the slash
        {{"--stills", "8.,.5,012"}, " 0 60 0 -1 8,0.5,12, - 1 1 0"},  // decimals as people write them
        {{"-o", "-x.mp4"}, "-x.mp4 0 60 0 -1  - 1 1 0"},     // a file whose name begins with '-'
        {{"--help"}, " 0 60 0 -1  - 1 1 1"},
    };
    for (const auto& t : good) {
        CaptureOptions o;
        std::string error;
        ASSERT_TRUE(Parse(t.args, &o, &error)) << error;
        std::ostringstream read;
        read << o.output << " " << o.outputIsFolder << " " << o.fps << " " << o.from << " " << o.to << " ";
        for (double s : o.stills) read << s << ",";
        read << " " << (o.sheet.empty() ? "-" : o.sheet) << " " << o.scale << " " << o.progress << " " << o.help;
        EXPECT_EQ(read.str(), t.read);
    }
    EXPECT_EQ(StillFileName(8.3), "still-8.300.png");  // names that sort in time order
    EXPECT_EQ(FrameFileName(3939), "frame-003939.png");
    const std::vector<std::vector<const char*>> bad = {
        {}, {"--fps", "30"},                   // nothing to write
        {"-o"}, {"-o", "out.avi"},             // a missing value, an unknown kind of video
        {"-o", "out.mp4", "--fps", "0"}, {"-o", "out.mp4", "--fps", "241"}, {"-o", "out.mp4", "--fps", "60x"},
        {"-o", "out.mp4", "--scale", "5"}, {"-o", "out.mp4", "--scale", "0"}, {"-o", "out.mp4", "--from", "-1"},
        {"-o", "out.mp4", "--from", "nan"}, {"-o", "out.mp4", "--to", "inf"},
        {"-o", "out.mp4", "--from", "3", "--to", "2"}, {"-o", "out.mp4", "--from", "2", "--to", "2"},
        {"--stills", "1,,2"}, {"--stills", "1,"}, {"--stills", "abc"}, {"--sheet", "sheet.jpg"},
        {"--from", "1", "--stills", "2"},                 // --from without -o
        {"-o", "stills/", "--to", "2", "--stills", "1"},  // -o is only the stills' folder
        {"-o", "out.mp4", "--frobnicate"}, {"-o", "out.mp4", "extra"},
        {"--stills", "0.1,0.1004"}, {"--stills", "2", "--sheet", "./still-2.000.png"},  // one file twice
        // Only plain decimal numbers: no hexadecimal, exponent, sign or space.
        {"--stills", "0x1p3"}, {"-o", "out.mp4", "--to", "8e0"}, {"-o", "out.mp4", "--from", "+1"},
        {"--stills", " 1"}, {"--stills", "."}, {"-o", "out.mp4", "--fps", "0x1e"}, {"-o", "out.mp4", "--fps", "+30"},
        // An option given twice would keep one of its values unseen.
        {"-o", "a.mp4", "-o", "b.mp4"}, {"-o", "out.mp4", "--fps", "30", "--fps", "60"},
        {"--stills", "1", "--stills", "2"}, {"-o", "out.mp4", "--no-progress", "--no-progress"},
    };
    for (const auto& args : bad) {
        CaptureOptions o;
        std::string error, joined;
        for (const char* a : args) joined += std::string(a) + " ";
        EXPECT_FALSE(Parse(args, &o, &error)) << joined;
        EXPECT_FALSE(error.empty()) << joined;
    }
}

TEST(DemoTiming, TheEmbeddedFileGivesEightPartsFromSyncToSync) {
    const std::vector<double> seconds = EmbeddedSyncSeconds();
    const std::vector<double> expected = {8.3, 16.6, 25.1, 33.5, 41.7, 50.1, 57.7, 65.6};
    ASSERT_EQ(seconds.size(), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(seconds[i], expected[i], 1e-5) << i;
    const std::vector<PartSpan> spans = PartSpans(expected);
    ASSERT_EQ(spans.size(), 8u);
    EXPECT_EQ(spans[0].part, 1);
    EXPECT_DOUBLE_EQ(spans[0].begin, 0.0);
    EXPECT_NEAR(spans[0].Middle(), 4.15, 1e-6);
    EXPECT_EQ(spans[7].part, 8);
    EXPECT_NEAR(spans[7].begin, 57.7, 1e-5);
    EXPECT_NEAR(spans[7].end, 65.6, 1e-5);
    EXPECT_TRUE(PartSpans({1, 2, 3}).empty());                  // too few
    EXPECT_TRUE(PartSpans({1, 2, 3, 4, 4, 5, 6, 7}).empty());   // a part of no length
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
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));  // nothing after the failure
    EXPECT_TRUE(writer.Failed());
}

// Frames as read back (4 bytes a pixel, bottom row first) on their way to the
// video encoder (BT.601 video range YUV 4:2:0, top row first) and to PNG.
TEST(FrameFormats, YuvOfKnownColoursTopRowFirstAndPngsOfEitherLayout) {
    const int cases[][6] = {{0, 0, 0, 16, 128, 128},  {255, 255, 255, 235, 128, 128}, {255, 0, 0, 82, 90, 240},
                            {0, 255, 0, 144, 54, 34}, {0, 0, 255, 41, 240, 110}};
    for (const auto& c : cases) {
        const uint8_t pixel[4] = {uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]), 99};
        uint8_t yuv[3];
        RgbxBottomUpToYuv420(pixel, 1, 1, yuv);
        EXPECT_EQ((std::vector<int>{yuv[0], yuv[1], yuv[2]}), (std::vector<int>{c[3], c[4], c[5]})) << c[0] << c[1] << c[2];
    }
    // 3 x 3: white bottom row, black above; chroma of the odd last row and
    // column from the pixels there are.
    std::vector<uint8_t> rgbx, rgb;
    for (int n = 0; n < 9; ++n) {
        const uint8_t v = n < 3 ? 255 : 0;
        rgbx.insert(rgbx.end(), {v, v, v, 7});
        rgb.insert(rgb.end(), {v, v, v});
    }
    std::vector<uint8_t> yuv(Yuv420Size(3, 3));
    ASSERT_EQ(yuv.size(), 9u + 4u + 4u);
    RgbxBottomUpToYuv420(rgbx.data(), 3, 3, yuv.data());
    EXPECT_EQ((std::vector<int>(yuv.begin(), yuv.begin() + 9)), (std::vector<int>{16, 16, 16, 16, 16, 16, 235, 235, 235}));
    EXPECT_EQ((std::vector<int>(yuv.begin() + 9, yuv.end())), std::vector<int>(8, 128));
    // 4 x 4, top down: a red and blue checker, green; black, white. Each
    // chroma sample is the mean of its own 2 x 2 block, in place: a flip, a
    // mirror, swapped planes or one pixel for the block would not be.
    const uint8_t R[4] = {255, 0, 0}, B[4] = {0, 0, 255}, G[4] = {0, 255, 0}, K[4] = {0, 0, 0}, W[4] = {255, 255, 255};
    const uint8_t* const picture[4][4] = {{R, B, G, G}, {B, R, G, G}, {K, K, W, W}, {K, K, W, W}};
    std::vector<uint8_t> quads;
    for (int y = 3; y >= 0; --y)  // bottom row first
        for (const uint8_t* p : picture[y]) quads.insert(quads.end(), p, p + 4);
    yuv.resize(Yuv420Size(4, 4));
    RgbxBottomUpToYuv420(quads.data(), 4, 4, yuv.data());
    EXPECT_EQ(std::vector<int>(yuv.begin(), yuv.end()),
              (std::vector<int>{82, 41, 144, 144, 41, 82, 144, 144, 16, 16, 235, 235, 16, 16, 235, 235,  // Y
                                165, 54, 128, 128,                                                      // U
                                175, 34, 128, 128}));                                                   // V
    std::vector<uint8_t> fromRgbx, fromRgb;
    ASSERT_TRUE(EncodeFramePng(3, 3, rgbx.data(), 4, true, &fromRgbx));
    ASSERT_TRUE(EncodeFramePng(3, 3, rgb.data(), 3, true, &fromRgb));
    EXPECT_EQ(fromRgbx, fromRgb);
}

// (BoxReduce and PictureFromBottomUp: through the reference frames, made before them.)
TEST(ContactSheet, EightReducedFramesInTwoRowsOfFourWithTheirNumbers) {
    std::vector<Picture> frames;
    std::vector<int> parts;
    for (int k = 0; k < 8; ++k) {  // frames at scale 2
        frames.push_back(Picture{1280, 960, std::vector<uint8_t>(1280 * 960 * 3, uint8_t(20 + 25 * k))});
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
        int white = 0, black = 0;  // the number plate: black with white strokes
        for (int y = y0 + 4; y < y0 + 25; ++y)
            for (int x = x0 + 4; x < x0 + 19; ++x) white += at(x, y) == 255, black += at(x, y) == 0;
        EXPECT_GT(white, 9) << "cell " << k;
        EXPECT_GT(black, 9) << "cell " << k;
    }
}


Outcome Capture(const std::string& args, const std::string& env = "") {
    return RunCommand(env + " '" DEMO_CAPTURE_PATH "' --no-progress " + args);
}

Picture LoadPng(const std::string& path) {
    Picture p;
    ReadPngRgb(path, &p.width, &p.height, &p.rgb);
    return p;
}

TEST(CaptureTool, TheSameArgumentsGiveTheSameBytes) {
    const TempFolder dir;
    // Frames 80 to 89: across the first part change, into part 2's particles.
    for (const char* out : {"a", "b"}) {
        const Outcome run = Capture("--fps 10 --from 8 --to 9 -o " + dir / out + "/");
        ASSERT_EQ(run.status, 0) << run.output;
    }
    const std::vector<std::string> names = dir.Names("a");
    ASSERT_EQ(names, dir.Names("b"));
    ASSERT_EQ(names.size(), 10u);
    EXPECT_EQ(names.front(), "frame-000080.png");
    EXPECT_EQ(names.back(), "frame-000089.png");
    for (const std::string& n : names) {
        EXPECT_FALSE(ReadBytes(dir / "a/" + n).empty()) << n;
        EXPECT_EQ(ReadBytes(dir / "a/" + n), ReadBytes(dir / "b/" + n)) << n;
    }
    // A frame (our fast PNG writer) has the pixels of the still of it (libpng);
    // with --stills, -o names only the stills' folder.
    const Outcome still = Capture("--fps 10 --stills 8 -o " + dir / "c/");
    ASSERT_EQ(still.status, 0) << still.output;
    ASSERT_EQ(dir.Names("c"), std::vector<std::string>{"still-8.000.png"});
    const Picture frame = LoadPng(dir / "a/frame-000080.png");
    EXPECT_EQ(frame.width, 640);
    EXPECT_EQ(frame.height, 480);
    EXPECT_TRUE(frame.rgb == LoadPng(dir / "c/still-8.000.png").rgb);
}

TEST(CaptureTool, ALargerScaleFrameReducedMatchesTheNormalOne) {
    const TempFolder dir;
    const std::vector<std::string> times = {"1", "3", "9", "18", "27", "35", "43", "52", "60"};
    std::string list;
    for (const std::string& t : times) list += (list.empty() ? "" : ",") + t;
    // One frame a second keeps the work small; every run draws the same frames.
    for (int scale : {1, 2, 3}) {
        const Outcome run = Capture("--fps 1 --stills " + list + " --scale " + std::to_string(scale) + " -o " +
                                dir / std::to_string(scale) + "/");
        ASSERT_EQ(run.status, 0) << run.output;
    }
    for (int scale : {2, 3})
        for (const std::string& t : times) {
            SCOPED_TRACE(t + " s at scale " + std::to_string(scale));
            const std::string name = "/still-" + t + ".000.png";
            const Picture small = LoadPng(dir / "1" + name), large = LoadPng(dir / std::to_string(scale) + name);
            ASSERT_EQ(small.width, 640);
            ASSERT_EQ(large.width, 640 * scale);
            ASSERT_EQ(large.height, 480 * scale);
            // Edges fall a little differently when finer; the picture must not.
            const Picture reduced = BoxReduce(large, scale);
            double sum = 0;
            size_t far = 0;
            for (size_t i = 0; i < small.rgb.size(); ++i) {
                const int d = std::abs(int(small.rgb[i]) - int(reduced.rgb[i]));
                sum += d;
                far += d > 64;
            }
            EXPECT_LT(sum / double(small.rgb.size()), 4.0);
            EXPECT_LT(double(far) / double(small.rgb.size()), 0.02);
        }
}

TEST(CaptureTool, ATwoSecondVideoHasItsFramesSizeAndSound) {
    const TempFolder dir;
    const Outcome run = Capture("--fps 10 --to 2 --stills 1.5 -o two.mp4", "cd " + dir.path + " &&");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"still-1.500.png", "two.mp4"}));  // no temporary left
    // Frame 15 as a player shows it: the still's picture, upright, in its
    // colours, within what the encoder loses.
    const Outcome decoded = RunCommand("ffmpeg -v error -i " + dir / "two.mp4" +
                                       " -vf 'select=eq(n\\,15)' -frames:v 1 -f rawvideo -pix_fmt rgb24 " + dir / "15.rgb");
    ASSERT_EQ(decoded.status, 0) << decoded.output;
    const Picture still = LoadPng(dir / "still-1.500.png");
    const std::vector<uint8_t> frame = ReadBytes(dir / "15.rgb");
    ASSERT_EQ(frame.size(), still.rgb.size());
    double sum = 0;
    for (size_t i = 0; i < frame.size(); ++i) sum += std::abs(int(still.rgb[i]) - int(frame[i]));
    EXPECT_LT(sum / double(still.rgb.size()), 2.0);
    const Outcome video = RunCommand("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                 "stream=nb_read_frames,width,height,r_frame_rate,color_space,color_range -of csv=p=0 " + dir / "two.mp4");
    EXPECT_EQ(video.output, "640,480,tv,smpte170m,10/1,20\n");  // BT.601 video range, as converted
    const Outcome audio = RunCommand("ffprobe -v error -select_streams a -show_entries stream=codec_type:format=duration "
                                 "-of default=nw=1 " + dir / "two.mp4");
    EXPECT_NE(audio.output.find("codec_type=audio"), std::string::npos) << audio.output;
    const size_t at = audio.output.find("duration=");
    ASSERT_NE(at, std::string::npos) << audio.output;
    EXPECT_NEAR(std::atof(audio.output.c_str() + at + 9), 2.0, 0.1) << audio.output;
}

// Bad arguments (times past the last frame at 65.6 s too): the usage and 2; a
// failed run: why and 1, leaving nothing (no still drawn before the encoder failed).
TEST(CaptureTool, EveryWayItFailsSaysWhyAndLeavesNothing) {
    const TempFolder dir;
    { std::ofstream(dir / "plain-file") << "x"; }
    { std::ofstream(dir / "ffmpeg") << "#!/bin/sh\ncat >/dev/null\nexit 1\n"; }  // an encoder that fails
    { std::ofstream(dir / "old.mp4") << "old"; }  // a file the user had
    std::filesystem::create_directories(dir / "still-0.100.png/in-the-way");  // a still that cannot be put in place
    std::filesystem::permissions(dir / "ffmpeg", std::filesystem::perms::owner_all);
    const std::string in = "cd " + dir.path + " && PATH=" + dir.path + ":$PATH";
    const struct {
        std::string args, env;
        int status;
        std::string says;
    } table[] = {
        {"", "", 2, "usage: demo-capture"}, {"--fps 0 -o x.mp4", "", 2, "usage: demo-capture"},
        {"--what", "", 2, "usage: demo-capture"}, {"--from 70 --to 80 -o x/", "", 2, "usage: demo-capture"},
        {"--fps 5 --stills 65.61", "", 2, "usage: demo-capture"},
        {"--stills 10,70", "", 2, "--stills 70.000: the demo's last frame is at 65.600 s"},
        {"--help", "", 0, "--sheet"},
        {"-o plain-file/out.mp4 --to 1", in, 1, "cannot write"}, {"-o plain-file/frames/ --to 1", in, 1, "cannot write"},
        {"--sheet plain-file/sheet.png", in, 1, ""}, {"-o out.mp4 --to 1", "cd " + dir.path + " && PATH=/nonexistent", 1, "ffmpeg"},
        {"--fps 10 --to 0.5 --stills 0.1 -o out.mp4", in, 1, ""},
        {"--stills 0.1,0.1", "", 2, "--stills 0.1 and 0.1 both make still-0.100.png"},
        {"-o x.mp4 --to 65.7", "", 2, "--to 65.700: the demo's last frame is at 65.600 s"},
        // All or nothing: the video is made, the still cannot go in place, so
        // neither appears and the user's old.mp4 is kept.
        {"--fps 10 --to 0.5 --stills 0.1 -o old.mp4", "cd " + dir.path + " &&", 1,
         "cannot write still-0.100.png: Is a directory"},
        // The music's scratch file goes to $TMPDIR, which is tried before any frame is drawn.
        {"--fps 10 --to 0.3 -o nowhere.mp4", in + " TMPDIR=" + dir / "no-such-folder", 1,
         "cannot make a scratch file in " + dir / "no-such-folder ($TMPDIR)"},
        // A standard input that is closed is no pipe to the encoder.
        {"--fps 10 --to 0.3 -o closed.mp4 <&-", "cd " + dir.path + " &&", 0, ""},
        // A full disk (here: the file size limit) named, with the path as given.
        {"--fps 10 --from 1 --to 1.3 -o frames/", "cd " + dir.path + " && ulimit -f 40 &&", 1,
         "cannot write frames/frame-000010.png: File too large"},
    };
    for (const auto& t : table) {
        const Outcome run = Capture(t.args, t.env);
        EXPECT_EQ(run.status, t.status) << t.args << "\n" << run.output;
        EXPECT_NE(run.output.find(t.says), std::string::npos) << t.args << "\n" << run.output;
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"closed.mp4", "ffmpeg", "frames", "old.mp4", "plain-file",
                                                     "still-0.100.png"}));
    EXPECT_EQ(ReadBytes(dir / "old.mp4"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_TRUE(dir.Names("frames").empty());
}

// Names ffmpeg would take for an option ("-x.mp4") or a protocol
// ("12:30.mp4"), for the video and for the scratch folder: each is a video
// with its sound, and nothing else is left.
TEST(CaptureTool, NamesThatLookLikeOptionsOrProtocolsAreFiles) {
    const TempFolder dir;
    std::filesystem::create_directories(dir / "tmp:1");
    for (const char* name : {"-x.mp4", "./-y.mp4", "12:30.mp4"}) {
        const Outcome run = Capture(std::string("--fps 10 --to 0.3 -o ") + name,
                                    "cd " + dir.path + " && TMPDIR=" + dir / "tmp:1");
        ASSERT_EQ(run.status, 0) << name << "\n" << run.output;
        const Outcome streams = RunCommand("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " +
                                           dir / "'" + name + "'");
        EXPECT_EQ(streams.output, "video\naudio\n") << name;
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"-x.mp4", "-y.mp4", "12:30.mp4", "tmp:1"}));
    EXPECT_TRUE(dir.Names("tmp:1").empty());
}

// The files a run puts in place where the file system refuses hard links
// and cannot swap two names (exFAT, as on a memory card, through FUSE on a
// loop device): an older video and still are replaced; and when a later
// output cannot go in place, the older video is back under its name.
TEST(CaptureTool, ReplacesFilesOnAFileSystemWithoutHardLinks) {
    const TempFolder dir;
    const std::string fs = dir / "fs";
    const Outcome mounted = RunCommand("cd " + dir.path + " && truncate -s 64M disk && mkfs.exfat disk >/dev/null && "
                                       "losetup -f --show disk >loop && mkdir fs && mount.exfat-fuse \"$(cat loop)\" fs");
    struct Unmount {
        std::string folder;
        ~Unmount() { RunCommand("umount " + folder + "/fs; [ -s " + folder + "/loop ] && losetup -d \"$(cat " + folder + "/loop)\""); }
    } unmount{dir.path};
    if (mounted.status != 0)
        GTEST_SKIP() << "no exFAT file system to try (root, a loop device, FUSE and exfat-fuse): " << mounted.output;
    ASSERT_NE(RunCommand("cd " + fs + " && echo x >a && ln a b && rm -f a b").status, 0) << "exFAT took a hard link";
    ASSERT_EQ(RunCommand("cd " + fs + " && rm -f a && echo old >old.mp4 && echo old >still-0.100.png").status, 0);
    const std::vector<uint8_t> old = {'o', 'l', 'd', '\n'};

    const Outcome run = Capture("--fps 10 --to 0.3 --stills 0.1 -o old.mp4", "cd " + fs + " &&");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(RunCommand("ls " + fs).output, "old.mp4\nstill-0.100.png\n");
    EXPECT_GT(ReadBytes(fs + "/old.mp4").size(), 1000u);
    EXPECT_EQ(LoadPng(fs + "/still-0.100.png").width, 640);

    // The still cannot replace a folder: the new video goes back out, the
    // older one (put aside, as nothing here swaps names) back in.
    ASSERT_EQ(RunCommand("cd " + fs + " && echo old >old.mp4 && rm still-0.100.png && mkdir -p still-0.100.png/x").status, 0);
    const Outcome failed = Capture("--fps 10 --to 0.3 --stills 0.1 -o old.mp4", "cd " + fs + " &&");
    EXPECT_EQ(failed.status, 1) << failed.output;
    EXPECT_NE(failed.output.find("cannot write still-0.100.png"), std::string::npos) << failed.output;
    EXPECT_EQ(RunCommand("ls " + fs).output, "old.mp4\nstill-0.100.png\n");
    EXPECT_EQ(ReadBytes(fs + "/old.mp4"), old);
}

// A stop at any moment: HUP or INT while the frames are drawn, TERM or QUIT
// while ffmpeg adds the music (an ffmpeg here that hangs there). Each run
// ends as that signal, says so, keeps the older video and still, and
// leaves no temporary file beside them or in $TMPDIR.
TEST(CaptureTool, AStopAtAnyMomentLeavesTheOlderFilesAndNoTemporary) {
    const TempFolder dir;
    const std::string ffmpeg = RunCommand("command -v ffmpeg").output;
    ASSERT_FALSE(ffmpeg.empty());
    std::filesystem::create_directories(dir / "bin");
    std::filesystem::create_directories(dir / "out");
    std::filesystem::create_directories(dir / "tmp");
    {
        std::ofstream script(dir / "bin/ffmpeg");
        script << "#!/bin/sh\n"
                  "case \" $* \" in\n"
                  "*\" -map \"*) for a; do out=$a; done; : >\"${out#file:}\"; touch " << dir / "mux" << "; exec sleep 60 ;;\n"
                  "*) touch " << dir / "render" << "; exec " << ffmpeg.substr(0, ffmpeg.find('\n')) << " \"$@\" ;;\n"
                  "esac\n";
    }
    std::filesystem::permissions(dir / "bin/ffmpeg", std::filesystem::perms::owner_all);
    { std::ofstream(dir / "out/old.mp4") << "old"; }
    { std::ofstream(dir / "out/still-0.100.png") << "old"; }
    const struct {
        const char* signal;
        int number;
        const char* during;  // the file that says the stage has begun
        const char* to;      // how much to draw
    } stops[] = {{"HUP", 1, "render", "30"}, {"INT", 2, "render", "30"}, {"TERM", 15, "mux", "0.5"}, {"QUIT", 3, "mux", "0.5"}};
    for (const auto& stop : stops) {
        SCOPED_TRACE(std::string("SIG") + stop.signal + " during " + stop.during);
        std::filesystem::remove(dir / "render");
        std::filesystem::remove(dir / "mux");
        // Started as a terminal starts it (no signal ignored), stopped a
        // moment into the stage.
        const std::string command =
            "exec 2>&1; cd " + dir / "out" + " || exit; PATH=" + dir / "bin" + ":$PATH TMPDIR=" + dir / "tmp" +
            " env --default-signal '" DEMO_CAPTURE_PATH "' --no-progress --fps 10 --to " + stop.to +
            " --stills 0.1 -o old.mp4 & pid=$!; for i in $(seq 600); do [ -e " + dir / stop.during +
            " ] && break; sleep 0.1; done; sleep 0.5; kill -" + stop.signal + " $pid; wait $pid; echo \"status $?\"";
        const Outcome run = RunCommand(command);
        EXPECT_NE(run.output.find(std::string("interrupted by SIG") + stop.signal), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("status " + std::to_string(128 + stop.number)), std::string::npos) << run.output;
        EXPECT_EQ(dir.Names("out"), (std::vector<std::string>{"old.mp4", "still-0.100.png"}));
        EXPECT_EQ(ReadBytes(dir / "out/old.mp4"), (std::vector<uint8_t>{'o', 'l', 'd'}));
        EXPECT_EQ(ReadBytes(dir / "out/still-0.100.png"), (std::vector<uint8_t>{'o', 'l', 'd'}));
        EXPECT_TRUE(dir.Names("tmp").empty());
    }
}

}  // namespace
