// capture_options.cpp -- argument parsing for demo-capture.
#include "tools/capture/capture_options.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "tools/common/files.h"

namespace {

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// A whole number written in decimal digits, nothing else (no sign, no space).
bool ParseInt(const std::string& text, int low, int high, int* out) {
    if (!AllDigits(text) || text.size() > 9) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    *out = int(v);
    return true;
}

// A time in seconds: a plain non-negative decimal number, "8", "8.3", "8."
// or ".5"; strtod's other forms (hexadecimal "0x1p3", exponents, "inf") are
// no times a person writes.
bool ParseSeconds(const std::string& text, double* out) {
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot), fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if ((!whole.empty() && !AllDigits(whole)) || (!fraction.empty() && !AllDigits(fraction)) ||
        whole.size() + fraction.size() == 0)
        return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v) || v < 0.0 || v > 86400.0) return false;
    *out = v;
    return true;
}

bool EndsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// A path as the file system resolves it, so that "a/../b.png" and "./b.png"
// are seen to be the same file.
std::string SamePlace(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? std::filesystem::path(path).lexically_normal().string() : p.string();
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool ParseCaptureArgs(int argc, const char* const* argv, CaptureOptions* o, std::string* error) {
    *o = CaptureOptions{};
    bool haveTo = false, haveFrom = false;
    std::set<std::string> given;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // Given twice, an option would silently keep one of its values.
        if (arg.size() > 1 && arg[0] == '-' && !given.insert(arg).second) {
            *error = "option " + arg + " is given twice";
            return false;
        }
        auto value = [&](std::string* v) {
            if (i + 1 >= argc) {
                *error = "option " + arg + " needs a value";
                return false;
            }
            *v = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "-h" || arg == "--help") {
            o->help = true;
            return true;
        } else if (arg == "-o") {
            if (!value(&v)) return false;
            if (v.empty()) {
                *error = "-o needs a file or a folder";
                return false;
            }
            o->output = v;
        } else if (arg == "--fps") {
            if (!value(&v)) return false;
            if (!ParseInt(v, 1, 240, &o->fps)) {
                *error = "--fps wants a whole number from 1 to 240, not '" + v + "'";
                return false;
            }
        } else if (arg == "--scale") {
            if (!value(&v)) return false;
            if (!ParseInt(v, 1, 4, &o->scale)) {
                *error = "--scale wants 1, 2, 3 or 4, not '" + v + "'";
                return false;
            }
        } else if (arg == "--from" || arg == "--to") {
            if (!value(&v)) return false;
            double s = 0;
            if (!ParseSeconds(v, &s)) {
                *error = arg + " wants seconds (a number, 0 or more), not '" + v + "'";
                return false;
            }
            (arg == "--from" ? o->from : o->to) = s;
            (arg == "--from" ? haveFrom : haveTo) = true;
        } else if (arg == "--stills") {
            if (!value(&v)) return false;
            size_t start = 0;
            for (;;) {
                const size_t comma = v.find(',', start);
                const std::string item = v.substr(start, comma == std::string::npos ? std::string::npos
                                                                                      : comma - start);
                double s = 0;
                if (!ParseSeconds(item, &s)) {
                    *error = "--stills wants seconds separated by commas, not '" + v + "'";
                    return false;
                }
                o->stills.push_back(s);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else if (arg == "--sheet") {
            if (!value(&v)) return false;
            if (!EndsWith(v, ".png")) {
                *error = "--sheet wants a .png file, not '" + v + "'";
                return false;
            }
            o->sheet = v;
        } else if (arg == "--no-progress") {
            o->progress = false;
        } else {
            *error = "unknown argument '" + arg + "'";
            return false;
        }
    }
    if (!o->output.empty()) {
        o->outputIsFolder = o->output.back() == '/' || IsFolder(o->output);
        if (!o->outputIsFolder && !EndsWith(o->output, ".mp4") && !EndsWith(o->output, ".mkv")) {
            *error = "-o wants a video file ending in .mp4 or .mkv, or a folder ending in '/'";
            return false;
        }
    }
    // With stills or a sheet, -o DIR/ is only the stills' folder: no frames.
    const bool stillsOnly = !o->stills.empty() || !o->sheet.empty();
    if ((haveFrom || haveTo) && (o->output.empty() || (o->outputIsFolder && stillsOnly))) {
        *error = "--from and --to choose the frames of a video or a frame folder (-o DIR/ without "
                 "--stills or --sheet)";
        return false;
    }
    if (haveTo && o->to <= o->from) {
        *error = "--to must be later than --from";
        return false;
    }
    // Each still and the sheet need a file of their own: the same time twice,
    // or two times that round to one name, would overwrite each other.
    const std::string folder = o->outputIsFolder ? o->output : ".";
    std::vector<std::string> names;
    for (double s : o->stills) names.push_back(SamePlace(JoinPath(folder, StillFileName(s))));
    if (!o->sheet.empty()) names.push_back(SamePlace(o->sheet));
    for (size_t i = 0; i < names.size(); ++i)
        for (size_t k = i + 1; k < names.size(); ++k) {
            if (names[i] != names[k]) continue;
            char text[200];
            if (k < o->stills.size())
                std::snprintf(text, sizeof text, "--stills %g and %g both make %s", o->stills[i], o->stills[k],
                              StillFileName(o->stills[k]).c_str());
            else
                std::snprintf(text, sizeof text, "--sheet %s is also the still of %g s", o->sheet.c_str(),
                              o->stills[i]);
            *error = text;
            return false;
        }
    if (o->output.empty() && o->stills.empty() && o->sheet.empty()) {
        *error = "nothing to write: give -o, --stills or --sheet";
        return false;
    }
    return true;
}

std::string CaptureUsage() {
    return "usage: demo-capture [-o FILE.mp4 | -o DIR/] [--fps N] [--from S] [--to S]\n"
           "                    [--stills S1,S2,...] [--sheet FILE.png] [--scale N] [--no-progress]\n"
           "Renders the demo headless, frame by frame, on a clock of exactly 1/fps per frame.\n"
           "  -o FILE.mp4     video (H.264) with the demo's music; .mkv also works (needs ffmpeg)\n"
           "  -o DIR/         numbered PNG frames, DIR/frame-000000.png ...; with --stills or\n"
           "                  --sheet, only the folder for the stills (no frames are written)\n"
           "  --fps N         frames per second, 1 to 240 (default 60)\n"
           "  --from S --to S only the frames from S up to S seconds of the demo (default: all)\n"
           "  --stills S,...  one PNG per time, still-S.png, in the -o folder or the current one\n"
           "  --sheet F.png   a contact sheet: one frame from the middle of each of the 8 parts\n"
           "  --scale N       render at N times 640 x 480, 1 to 4 (default 1)\n"
           "  --no-progress   no progress line on standard error\n"
           "  -h, --help      this text\n"
           "Times are decimal seconds (8.3); times after the demo's last frame are refused.\n"
           "The video, the stills and the sheet appear together, only when the whole run\n"
           "succeeds; scratch files go to $TMPDIR (default /tmp).\n"
           "Exit status: 0 done, 1 failed, 2 bad arguments; interrupted (HUP, INT, TERM, QUIT),\n"
           "it leaves nothing new and ends as that signal (the shell shows 128 + its number).\n";
}

std::string StillFileName(double seconds) {
    char name[64];
    std::snprintf(name, sizeof name, "still-%.3f.png", seconds);
    return name;
}

std::string FrameFileName(long long frame) {
    char name[64];
    std::snprintf(name, sizeof name, "frame-%06lld.png", frame);
    return name;
}
