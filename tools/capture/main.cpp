// main.cpp -- demo-capture: the demo rendered frame by frame, headless, on a
// clock of exactly 1/fps per frame, to a video, PNG frames, stills or a
// contact sheet. The video, the stills and the sheet are written under
// temporary names and put in place together when all are complete, so a
// failed or interrupted capture (HUP, INT, TERM, QUIT) leaves nothing new
// and loses nothing old.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "app/frame_driver.h"
#include "platform/platform.h"
#include "platform/sys_readback.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/child_process.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/demo_timing.h"
#include "tools/capture/frame_png.h"
#include "tools/capture/frame_writer.h"
#include "tools/capture/output_set.h"
#include "tools/capture/yuv420.h"
#include "tools/common/files.h"
#include "tools/common/png.h"

namespace fs = std::filesystem;

namespace {

// When the demo does not end by itself (no music to move the parts), a run
// to the end stops with an error after this much demo time.
constexpr double kLongestRunSeconds = 600.0;

// The video encoder's speed and quality. Over the whole demo, against the
// earlier "superfast" at CRF 16 (and "medium" at CRF 18 before it), this
// keeps SSIM and PSNR at least as high, and the worst frame's PSNR higher,
// for about half the encoding time of "superfast", in larger files.
const char* const kX264Preset = "ultrafast";
const char* const kX264Crf = "15";

// The first of the signals that stop a run (0: none yet). Until the outputs
// are put in place, a stop leaves nothing new; the run then ends as that
// signal, so that a shell or a script sees it was interrupted.
volatile std::sig_atomic_t g_signal = 0;
void OnStopSignal(int sig) {
    if (g_signal == 0) g_signal = sig;
}

// HUP (the terminal closed), INT (Ctrl-C), TERM, QUIT (Ctrl-\). A signal
// this process was started with ignored (nohup, a background job of a
// script) stays ignored.
void CatchStopSignals() {
    for (int sig : {SIGHUP, SIGINT, SIGTERM, SIGQUIT}) {
        struct sigaction was;
        if (sigaction(sig, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
        struct sigaction now = {};
        now.sa_handler = OnStopSignal;
        sigemptyset(&now.sa_mask);
        now.sa_flags = SA_RESTART;
        sigaction(sig, &now, nullptr);
    }
}

const char* SignalName(int sig) {
    switch (sig) {
        case SIGHUP: return "SIGHUP";
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGQUIT: return "SIGQUIT";
        default: return "a signal";
    }
}

// A path as ffmpeg must be given it: a name that begins with '-' would be
// an option, and one with a ':' ("12:30.mp4") a protocol.
std::string ForFfmpeg(const std::string& path) { return "file:" + path; }

// The folder for scratch files: $TMPDIR, or /tmp.
std::string ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Can a file be made at path? Makes and removes it.
bool CanCreate(const std::string& path, std::string* why) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        *why = std::string(std::strerror(errno));
        return false;
    }
    close(fd);
    unlink(path.c_str());
    return true;
}

bool Rename(const std::string& from, const std::string& to, std::string* why) {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) *why = ec.message();
    return !ec;
}

// The frame just drawn: 4 bytes a pixel (Sys_ReadSurfaceRgbx), bottom row
// first.
bool ReadFrameRgbx(const FrameDriver& driver, std::vector<uint8_t>* rgbx) {
    if (driver.FrameIndex() == 0) return false;
    rgbx->resize(size_t(driver.Width()) * size_t(driver.Height()) * 4);
    return Sys_ReadSurfaceRgbx(rgbx->data());
}

// The same frame as an RGB picture, top row first.
Picture PictureFromRgbxBottomUp(int width, int height, const uint8_t* rgbx) {
    Picture p;
    p.width = width;
    p.height = height;
    p.rgb.resize(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = rgbx + size_t(height - 1 - y) * size_t(width) * 4;
        uint8_t* out = &p.rgb[size_t(y) * size_t(width) * 3];
        for (int x = 0; x < width; ++x) out[3 * x] = in[4 * x], out[3 * x + 1] = in[4 * x + 1], out[3 * x + 2] = in[4 * x + 2];
    }
    return p;
}

// A frame of a PNG sequence from OpenGL's bottom-up bytes, under a
// temporary name renamed into place. Runs on the frame writer's thread.
bool WriteFrameAtomically(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbx,
                          std::string* why) {
    const std::string partial = TemporaryName(path, "partial");
    if (!WriteFramePngRgbxBottomUp(partial, width, height, rgbx.data(), why)) {
        unlink(partial.c_str());
        *why = "cannot write " + path + ": " + *why;
        return false;
    }
    if (!Rename(partial, path, why)) {
        unlink(partial.c_str());
        *why = "cannot write " + path + ": " + *why;
        return false;
    }
    return true;
}

std::string Clock2(double seconds) {
    const long s = long(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// "frame 120/3940  41.3 fps  1:32 left" on standard error.
class Progress {
public:
    Progress(bool on, int64_t total)
        : on_(on), tty_(isatty(2) == 1), total_(total), start_(Clock::now()), last_(start_) {}
    void Update(int64_t done, bool force = false) {
        if (!on_) return;
        const auto now = Clock::now();
        // A terminal gets one line redrawn in place; a log a line every few seconds.
        if (!force && std::chrono::duration<double>(now - last_).count() < (tty_ ? 0.25 : 5.0)) return;
        last_ = now;
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        const double fps = elapsed > 0 ? double(done) / elapsed : 0.0;
        const int64_t total = total_ > done ? total_ : done;
        const double left = fps > 0 ? double(total - done) / fps : 0.0;
        std::fprintf(stderr, "%sframe %lld/%lld  %.1f fps  %s left%s", tty_ ? "\r" : "", (long long)done,
                     (long long)total, fps, Clock2(left).c_str(), tty_ ? "   " : "\n");
        std::fflush(stderr);
        shown_ = true;
    }
    void End() {
        if (shown_ && tty_) std::fprintf(stderr, "\n");
        shown_ = false;
    }

private:
    bool on_;
    bool tty_;
    int64_t total_;
    Clock::time_point start_, last_;
    bool shown_ = false;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "demo-capture: %s\n", message.c_str());
    return 1;
}

struct PartStats {
    int64_t frames = 0;
    double seconds = 0.0;
};

}  // namespace

int Run(int argc, char** argv, bool* committed) {
    CaptureOptions o;
    std::string error;
    if (!ParseCaptureArgs(argc, argv, &o, &error)) {
        std::fprintf(stderr, "demo-capture: %s\n%s", error.c_str(), CaptureUsage().c_str());
        return 2;
    }
    if (o.help) {
        std::fputs(CaptureUsage().c_str(), stdout);
        return 0;
    }
    std::signal(SIGPIPE, SIG_IGN);  // a failed ffmpeg shows as a failed write
    std::signal(SIGXFSZ, SIG_IGN);  // a file over the size limit, likewise
    CatchStopSignals();

    const bool video = !o.output.empty() && !o.outputIsFolder;
    // With stills or a sheet asked for, -o DIR/ is only where the stills go.
    const bool stillsOnly = !o.stills.empty() || !o.sheet.empty();
    const bool frames = !o.output.empty() && o.outputIsFolder && !stillsOnly;
    std::string ffmpeg;
    if (video) {
        ffmpeg = FindOnPath("ffmpeg");
        if (ffmpeg.empty())
            return Fail("ffmpeg was not found on PATH; a video needs it (Debian package ffmpeg), "
                        "PNG frames (-o DIR/) do not");
    }

    FrameDriver driver(o.fps, o.scale);
    const std::vector<PartSpan> spans = PartSpans(EmbeddedSyncSeconds());
    if (!o.sheet.empty() && spans.empty()) return Fail("the demo's sync file gives no part times for --sheet");

    // The frames each output needs. Every run starts at frame 0: what a
    // frame shows depends on every frame before it.
    const int64_t fromFrame = driver.FrameAtSeconds(o.from);
    const int64_t toFrame = o.to < 0 ? std::numeric_limits<int64_t>::max() : driver.FrameAtSeconds(o.to);
    const bool toTheEnd = (video || frames) && o.to < 0;
    std::vector<int64_t> stillFrames;
    for (double s : o.stills) stillFrames.push_back(driver.FrameAtSeconds(s));
    std::vector<int64_t> sheetFrames;
    if (!o.sheet.empty())
        for (const PartSpan& s : spans) sheetFrames.push_back(driver.FrameAtSeconds(s.Middle()));
    int64_t lastNeeded = -1;
    if ((video || frames) && !toTheEnd) lastNeeded = toFrame - 1;
    for (int64_t f : stillFrames) lastNeeded = f > lastNeeded ? f : lastNeeded;
    for (int64_t f : sheetFrames) lastNeeded = f > lastNeeded ? f : lastNeeded;
    // The demo's last frame is the one in which the music passes the last
    // sync time; the step past part 8 follows before the next frame.
    const int64_t expectedEnd = spans.empty() ? 0 : driver.FrameAtSeconds(spans.back().end) + 1;
    const int64_t guardFrame = driver.FrameAtSeconds(kLongestRunSeconds);
    // Times after the demo's last frame are refused before any work: the
    // sync file says when it ends.
    if (expectedEnd > 0) {
        const int64_t lastFrame = expectedEnd - 1;
        char text[160] = "";
        for (size_t i = 0; i < o.stills.size() && !*text; ++i)
            if (stillFrames[i] > lastFrame)
                std::snprintf(text, sizeof text, "--stills %.3f: the demo's last frame is at %.3f s", o.stills[i],
                              driver.SecondsOfFrame(lastFrame));
        if (!*text && fromFrame > lastFrame)
            std::snprintf(text, sizeof text, "--from %.3f: the demo's last frame is at %.3f s", o.from,
                          driver.SecondsOfFrame(lastFrame));
        // --to S takes the frames before S: one past the last frame is the end.
        if (!*text && o.to >= 0 && toFrame > expectedEnd)
            std::snprintf(text, sizeof text, "--to %.3f: the demo's last frame is at %.3f s", o.to,
                          driver.SecondsOfFrame(lastFrame));
        if (*text) {
            std::fprintf(stderr, "demo-capture: %s\n%s", text, CaptureUsage().c_str());
            return 2;
        }
    }
    const int64_t total = toTheEnd ? expectedEnd : lastNeeded + 1;

    // Check every output can be written before the long work starts. The
    // video, the stills and the sheet are finished under temporary names
    // and put in place together only when the whole run has succeeded.
    OutputSet outputs;
    const std::string stillFolder = o.outputIsFolder ? o.output : std::string(".");
    std::string why;
    if (o.outputIsFolder) {
        std::error_code ec;
        fs::create_directories(o.output, ec);
        if (ec || !CanCreate(TemporaryName(JoinPath(o.output, "probe"), "partial"), &why))
            return Fail("cannot write " + std::string(frames ? "frames" : "stills") + " into " + o.output + ": " +
                        (ec ? ec.message() : why));
    }
    if (!o.stills.empty() && !o.outputIsFolder && !CanCreate(TemporaryName("probe", "partial"), &why))
        return Fail("cannot write stills into the current folder: " + why);
    ChildPipe encoder;
    std::string videoPartial, finalPartial;
    if (video) {
        videoPartial = outputs.AddScratch(TemporaryName(o.output, "video"));
        finalPartial = outputs.Add(o.output);
        if (!CanCreate(finalPartial, &why)) return Fail("cannot write " + o.output + ": " + why);
    }
    std::vector<std::string> pngPaths, pngPartials;
    for (double s : o.stills) {
        pngPaths.push_back(JoinPath(stillFolder, StillFileName(s)));
        pngPartials.push_back(outputs.Add(pngPaths.back()));
    }
    if (!o.sheet.empty()) {
        pngPaths.push_back(o.sheet);
        pngPartials.push_back(outputs.Add(o.sheet));
        if (!CanCreate(pngPartials.back(), &why)) return Fail("cannot write " + o.sheet + ": " + why);
    }

    // The music for the video, written to a scratch file before the long
    // work, so that a $TMPDIR that cannot take it fails at once.
    std::string audioPath;
    if (video) {
        Resource music;
        if (Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_MP3", &music) && music.size > 0) {
            std::string pattern = JoinPath(ScratchFolder(), "demo-capture-XXXXXX.mp3");
            const int fd = mkstemps(&pattern[0], 4);
            if (fd < 0) return Fail("cannot make a scratch file in " + ScratchFolder() + " ($TMPDIR): " +
                                    std::strerror(errno));
            close(fd);
            audioPath = outputs.AddScratch(pattern);
            if (!WriteWholeFile(audioPath, music.data, music.size, &why))
                return Fail("cannot write the music to " + audioPath + " ($TMPDIR): " + why);
        }
    }

    const auto startUp = Clock::now();
    if (!driver.Start()) {
        std::string boxes;
        for (const std::string& m : driver.Messages()) boxes += "; " + m;
        return Fail("the demo did not start" + boxes);
    }
    const double startUpSeconds = SecondsSince(startUp);
    const int width = driver.Width(), height = driver.Height();
    if (video) {
        char size[32], rate[16];
        std::snprintf(size, sizeof size, "%dx%d", width, height);
        std::snprintf(rate, sizeof rate, "%d", o.fps);
        // The frames go as YUV 4:2:0, top row first (RgbxBottomUpToYuv420).
        // The file says they are BT.601 video range: untold, players take
        // frames of 1280 x 960 and more for BT.709 and shift the colours.
        if (!encoder.Start({ffmpeg, "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt",
                            "yuv420p", "-video_size", size, "-framerate", rate, "-i", "pipe:0", "-c:v", "libx264",
                            "-preset", kX264Preset, "-crf", kX264Crf, "-pix_fmt", "yuv420p", "-colorspace",
                            "smpte170m", "-color_primaries", "smpte170m", "-color_trc", "smpte170m", "-color_range",
                            "tv", ForFfmpeg(videoPartial)}))
            return Fail("cannot start " + ffmpeg);
    }

    Progress progress(o.progress, total);
    std::vector<PartStats> stats(kPartCount + 1);
    std::vector<Picture> sheetPictures(sheetFrames.size());
    std::vector<bool> sheetTaken(sheetFrames.size(), false);
    std::vector<std::string> sheetMisses;
    std::vector<bool> stillTaken(stillFrames.size(), false);
    int64_t videoFrames = 0, writtenFrames = 0;
    std::vector<uint8_t> rgbx;
    FrameWriter writer;
    double firstFrameSeconds = 0.0;
    const auto started = Clock::now();
    int status = 0;

    for (;;) {
        if (g_signal) break;
        const int64_t n = driver.FrameIndex();
        if (!toTheEnd && n > lastNeeded) break;
        if (n >= guardFrame) {
            status = Fail("the demo did not end by itself within " + Clock2(kLongestRunSeconds) +
                          "; give --to to capture part of it");
            break;
        }
        const auto frameStart = Clock::now();
        if (!driver.RunFrame()) break;  // the demo ended
        if (n == 0) firstFrameSeconds = SecondsSince(startUp);
        const int part = driver.CurrentPart();

        const bool inRange = n >= fromFrame && n < toFrame;
        const bool streamed = (video || frames) && inRange;
        bool pictured = false;  // a still or the sheet takes this frame
        for (int64_t f : stillFrames) pictured = pictured || f == n;
        for (int64_t f : sheetFrames) pictured = pictured || f == n;
        if (streamed || pictured) {
            // A streamed frame is read into a buffer of the frame writer,
            // whose thread encodes it while the next frame is drawn.
            if (writer.Failed()) {
                status = Fail(writer.FirstError());
                break;
            }
            std::vector<uint8_t>* frame = streamed ? writer.Acquire() : &rgbx;
            if (!ReadFrameRgbx(driver, frame)) {
                if (streamed) writer.Submit(frame, nullptr);
                status = Fail("cannot read the frame back");
                break;
            }
            const Picture picture = pictured ? PictureFromRgbxBottomUp(width, height, frame->data()) : Picture{};
            if (video && inRange) {
                writer.Submit(frame, [&encoder, width, height](const std::vector<uint8_t>& f, std::string* why) {
                    thread_local std::vector<uint8_t> yuv;
                    yuv.resize(Yuv420Size(width, height));
                    RgbxBottomUpToYuv420(f.data(), width, height, yuv.data());
                    if (encoder.Write(yuv.data(), yuv.size())) return true;
                    *why = "ffmpeg stopped taking frames";
                    return false;
                });
                ++videoFrames;
            } else if (frames && inRange) {
                const std::string path = JoinPath(o.output, FrameFileName(n));
                writer.Submit(frame, [path, width, height](const std::vector<uint8_t>& f, std::string* why) {
                    return WriteFrameAtomically(path, width, height, f, why);
                });
                ++writtenFrames;
            }
            for (size_t i = 0; i < stillFrames.size() && status == 0; ++i) {
                if (stillFrames[i] != n) continue;
                if (!WritePngRgb(pngPartials[i], picture.width, picture.height, picture.rgb.data(), &why))
                    status = Fail("cannot write " + pngPaths[i] + ": " + why);
                stillTaken[i] = true;
            }
            if (status != 0) break;
            for (size_t k = 0; k < sheetFrames.size(); ++k) {
                if (sheetFrames[k] != n) continue;
                if (part == spans[k].part) {
                    sheetPictures[k] = picture;
                    sheetTaken[k] = true;
                } else {
                    char text[160];
                    std::snprintf(text, sizeof text, "at %.3f s part %d was playing, not part %d",
                                  driver.SecondsOfFrame(n), part, spans[k].part);
                    sheetMisses.push_back(text);
                }
            }
        }
        if (part >= 1 && part <= kPartCount) {
            stats[part].frames += 1;
            stats[part].seconds += SecondsSince(frameStart);
        }
        progress.Update(driver.FrameIndex());
    }
    // Every frame handed over is written (or the first failure known).
    if (!writer.Finish(&why) && status == 0 && !g_signal) status = Fail(why);
    if (g_signal && status == 0) status = Fail(std::string("interrupted by ") + SignalName(g_signal));
    progress.Update(driver.FrameIndex(), true);
    progress.End();
    const double renderSeconds = SecondsSince(started);
    const int64_t drawn = driver.FrameIndex();
    const bool ended = driver.Ended();

    // Outputs that asked for frames the demo never drew.
    for (size_t i = 0; i < stillFrames.size() && status == 0; ++i) {
        if (stillTaken[i]) continue;
        char text[160];
        std::snprintf(text, sizeof text, "no still at %.3f s: the demo's last frame is at %.3f s", o.stills[i],
                      driver.SecondsOfFrame(drawn > 0 ? drawn - 1 : 0));
        status = Fail(text);
    }
    for (size_t k = 0; k < sheetFrames.size() && status == 0; ++k) {
        if (sheetTaken[k]) continue;
        std::string text = "no frame of part " + std::to_string(k + 1) + " for the sheet";
        for (const std::string& m : sheetMisses) text += "; " + m;
        status = Fail(text);
    }
    if (status == 0 && !o.sheet.empty()) {
        std::vector<int> parts;
        for (const PartSpan& s : spans) parts.push_back(s.part);
        const Picture sheet = MakeContactSheet(sheetPictures, parts);
        if (!WritePngRgb(pngPartials.back(), sheet.width, sheet.height, sheet.rgb.data(), &why))
            status = Fail("cannot write " + o.sheet + ": " + why);
    }

    if (video) {
        const int rc = encoder.Finish(&g_signal);
        if (status == 0 && rc != 0 && !g_signal) status = Fail("ffmpeg failed (status " + std::to_string(rc) + ")");
        if (status == 0 && videoFrames == 0) status = Fail("no frame falls between --from and --to");
        if (status == 0 && !g_signal) {
            // The music, from the first frame's time, cut to the video's length.
            if (!audioPath.empty()) {
                char start[32], length[32];
                std::snprintf(start, sizeof start, "%.6f", driver.SecondsOfFrame(fromFrame));
                std::snprintf(length, sizeof length, "%.6f", double(videoFrames) / o.fps);
                const int mux = RunProgram({ffmpeg, "-hide_banner", "-loglevel", "error", "-y", "-i",
                                            ForFfmpeg(videoPartial), "-ss", start, "-i", ForFfmpeg(audioPath),
                                            "-map", "0:v", "-map", "1:a", "-c:v", "copy", "-c:a", "aac", "-b:a",
                                            "192k", "-t", length, ForFfmpeg(finalPartial)},
                                           &g_signal);
                if (mux != 0 && !g_signal)
                    status = Fail("ffmpeg could not add the music (status " + std::to_string(mux) + ")");
            } else {
                std::fprintf(stderr, "demo-capture: this build has no music; the video is silent\n");
                if (!Rename(videoPartial, finalPartial, &why)) status = Fail("cannot write " + o.output + ": " + why);
            }
        }
    }

    // The video, the stills and the sheet, now that everything succeeded. A
    // stop that comes once the renames have begun is too late: the run is
    // done.
    if (g_signal && status == 0) status = Fail(std::string("interrupted by ") + SignalName(g_signal));
    if (status == 0) {
        *committed = true;
        if (!outputs.Commit(&why)) status = Fail(why);
    }

    // What the run cost, per part, and against the demo's own time: the
    // whole run from start-up to the finished output.
    if (drawn > 0) {
        const double demoSeconds = double(drawn) / o.fps;
        const double runSeconds = SecondsSince(startUp);
        std::fprintf(stderr, "%lld frames in %.1f s (%.1f fps, %dx%d, %d fps demo clock)%s\n", (long long)drawn,
                     renderSeconds, double(drawn) / renderSeconds, width, height, o.fps,
                     ended ? ", the demo ended" : "");
        std::fprintf(stderr, "start-up %.3f s, first frame drawn %.3f s after it began\n", startUpSeconds,
                     firstFrameSeconds);
        std::fprintf(stderr, "%.1f s of demo in %.1f s: %.2f x real time\n", demoSeconds, runSeconds,
                     demoSeconds / runSeconds);
        for (int p = 1; p <= kPartCount; ++p) {
            if (stats[p].frames == 0) continue;
            std::fprintf(stderr, "  part %d: %5lld frames, %6.1f fps\n", p, (long long)stats[p].frames,
                         double(stats[p].frames) / stats[p].seconds);
        }
    }
    if (status == 0 && frames)
        std::fprintf(stderr, "%lld frames written to %s\n", (long long)writtenFrames, o.output.c_str());
    return status;
}

int main(int argc, char** argv) {
    bool committed = false;
    const int status = Run(argc, argv, &committed);
    // Everything begun is removed by now (the output set's destructor).
    const int sig = g_signal;
    if (sig == 0 || committed) return status;
    if (sig == SIGQUIT) return 128 + sig;  // its default would dump a core file here
    signal(sig, SIG_DFL);
    raise(sig);
    return 128 + sig;
}
