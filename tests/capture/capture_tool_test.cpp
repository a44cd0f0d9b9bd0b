// demo-capture as a program: its outputs, its errors and the exactness of
// its frames. Each capture runs in a process of its own, as a user runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tools/capture/contact_sheet.h"
#include "tools/common/png.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status;
    std::string output;  // standard output and error together
};

ToolRun Shell(const std::string& command) {
    ToolRun run{-1, ""};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

ToolRun Capture(const std::string& args, const std::string& env = "") {
    return Shell(env + " '" DEMO_CAPTURE_PATH "' --no-progress " + args);
}

// A fresh, empty folder for one test.
std::string Folder(const std::string& name) {
    const char* bin = std::getenv("DEMO_BINARY_DIR");
    const fs::path dir = fs::path(bin ? bin : "/tmp") / "test-output" / ("capture-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Picture LoadPng(const std::string& path) {
    Picture p;
    ReadPngRgb(path, &p.width, &p.height, &p.rgb);
    return p;
}

TEST(CaptureTool, TheSameArgumentsGiveTheSameBytes) {
    const std::string a = Folder("same-a"), b = Folder("same-b");
    // Across the first part change, into the particles of part 2.
    const std::string args = " --fps 30 --from 8 --to 9 --stills 0.2";
    const ToolRun first = Capture("-o " + a + "/" + args);
    ASSERT_EQ(first.status, 0) << first.output;
    const ToolRun second = Capture("-o " + b + "/" + args);
    ASSERT_EQ(second.status, 0) << second.output;
    const std::vector<std::string> names = Listing(a);
    ASSERT_EQ(names, Listing(b));
    // Frames 240 to 269 (8 s to just before 9 s at 30 fps) and the still.
    ASSERT_EQ(names.size(), 31u);
    EXPECT_EQ(names.front(), "frame-000240.png");
    EXPECT_EQ(names[29], "frame-000269.png");
    EXPECT_EQ(names.back(), "still-0.200.png");
    for (const std::string& n : names) {
        const std::string bytes = Bytes(a + "/" + n);
        EXPECT_FALSE(bytes.empty()) << n;
        EXPECT_EQ(bytes, Bytes(b + "/" + n)) << n;
    }
    const Picture frame = LoadPng(a + "/frame-000240.png");
    EXPECT_EQ(frame.width, 640);
    EXPECT_EQ(frame.height, 480);
}

TEST(CaptureTool, ADoubleScaleFrameReducedMatchesTheNormalOne) {
    const std::string dir = Folder("scale");
    const std::string times = "0.5,3,9,18,27,35,43,52,60";
    // A low frame rate keeps the work small; every run draws the same frames.
    auto run = [&](int scale) {
        const std::string out = dir + "/" + std::to_string(scale);
        const ToolRun r = Capture("--fps 4 --stills " + times + " --scale " + std::to_string(scale) + " -o " +
                                  out + "/ --to 0.01");
        EXPECT_EQ(r.status, 0) << r.output;
        return out;
    };
    const std::string one = run(1);
    // At twice and three times the size, with lines as wide as the scale.
    for (int scale : {2, 3}) {
        const std::string big = run(scale);
        for (const char* name : {"still-0.500.png", "still-3.000.png", "still-9.000.png", "still-18.000.png",
                                 "still-27.000.png", "still-35.000.png", "still-43.000.png", "still-52.000.png",
                                 "still-60.000.png"}) {
            SCOPED_TRACE(std::string(name) + " at scale " + std::to_string(scale));
            const Picture small = LoadPng(one + "/" + name);
            const Picture large = LoadPng(big + "/" + name);
            ASSERT_EQ(small.width, 640);
            ASSERT_EQ(large.width, 640 * scale);
            ASSERT_EQ(large.height, 480 * scale);
            const Picture reduced = BoxReduce(large, scale);
            // Edges fall a little differently at a finer resolution; the
            // picture as a whole must not.
            double sum = 0;
            size_t far = 0;
            for (size_t i = 0; i < small.rgb.size(); ++i) {
                const int d = std::abs(int(small.rgb[i]) - int(reduced.rgb[i]));
                sum += d;
                if (d > 64) ++far;
            }
            EXPECT_LT(sum / double(small.rgb.size()), 4.0);
            EXPECT_LT(double(far) / double(small.rgb.size()), 0.02);
        }
    }
}

TEST(CaptureTool, ATwoSecondVideoHasItsFramesSizeAndSound) {
    const std::string dir = Folder("video");
    const std::string out = dir + "/two.mp4";
    const ToolRun run = Capture("-o " + out + " --to 2");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(Listing(dir), std::vector<std::string>{"two.mp4"});  // no temporary left
    const ToolRun video = Shell("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                            "stream=nb_read_frames,width,height,r_frame_rate -of csv=p=0 '" + out + "'");
    ASSERT_EQ(video.status, 0) << video.output;
    EXPECT_EQ(video.output, "640,480,60/1,120\n");
    Resource music;
    if (!Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_MP3", &music)) {
        GTEST_SKIP() << "this build has no music, so the video has no sound";
    }
    const ToolRun audio = Shell("ffprobe -v error -select_streams a -show_entries stream=codec_type:format=duration "
                            "-of default=nw=1 '" + out + "'");
    ASSERT_EQ(audio.status, 0) << audio.output;
    EXPECT_NE(audio.output.find("codec_type=audio"), std::string::npos) << audio.output;
    const size_t at = audio.output.find("duration=");
    ASSERT_NE(at, std::string::npos) << audio.output;
    EXPECT_NEAR(std::atof(audio.output.c_str() + at + 9), 2.0, 0.1) << audio.output;
}

TEST(CaptureTool, FailuresSayWhyAndLeaveNothing) {
    const std::string dir = Folder("fail");
    { std::ofstream(dir + "/plain-file") << "x"; }
    // A folder that is a file.
    ToolRun run = Capture("-o " + dir + "/plain-file/out.mp4 --to 1");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("cannot write"), std::string::npos) << run.output;
    run = Capture("-o " + dir + "/plain-file/frames/ --to 1");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("cannot write"), std::string::npos) << run.output;
    run = Capture("--sheet " + dir + "/plain-file/sheet.png");
    EXPECT_EQ(run.status, 1) << run.output;
    // A video without ffmpeg.
    run = Capture("-o " + dir + "/out.mp4 --to 1", "PATH=/nonexistent");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("ffmpeg"), std::string::npos) << run.output;
    // A still past the end of what is drawn: nothing under its name.
    // (5 frames per second: the demo runs to its end quickly.)
    run = Capture("-o " + dir + "/late/ --fps 5 --to 0.1 --stills 0.05,70");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("no still at 70.000 s: the demo's last frame is at 65.600 s"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(dir + "/late/still-70.000.png"));
    EXPECT_TRUE(fs::exists(dir + "/late/still-0.050.png"));  // what was done stays done
    EXPECT_EQ(Listing(dir), (std::vector<std::string>{"late", "plain-file"}));
    for (const std::string& name : Listing(dir + "/late"))
        EXPECT_EQ(name.find("partial"), std::string::npos) << name;
}

TEST(CaptureTool, BadArgumentsPrintUsageAndExitTwo) {
    for (const char* args : {"", "--fps 0 -o x.mp4", "--scale 9 -o x/", "-o x.gif", "--what", "--stills",
                             "--from 2 --to 1 -o x/"}) {
        const ToolRun run = Capture(args);
        EXPECT_EQ(run.status, 2) << args << "\n" << run.output;
        EXPECT_NE(run.output.find("usage: demo-capture"), std::string::npos) << args;
    }
    const ToolRun help = Capture("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--sheet"), std::string::npos);
}

}  // namespace
