// output_set.cpp -- rename(2) puts each file in place atomically; an older
// file is kept under a second name by a hard link until the set is
// complete, so its name never stands empty.
#include "tools/capture/output_set.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

std::string TemporaryName(const std::string& path, const char* what) {
    const fs::path p(path);
    return (p.parent_path() / (p.stem().string() + "." + what + "-" + std::to_string(getpid()) +
                               p.extension().string()))
        .string();
}

OutputSet::~OutputSet() {
    for (const Output& o : outputs_) unlink(o.temporary.c_str());
    for (const std::string& s : scratch_) unlink(s.c_str());
}

std::string OutputSet::Add(const std::string& final) {
    outputs_.push_back({TemporaryName(final, "partial"), final});
    return outputs_.back().temporary;
}

std::string OutputSet::AddScratch(const std::string& path) {
    scratch_.push_back(path);
    return path;
}

bool OutputSet::Commit(std::string* why) {
    struct Done {
        const Output* output;
        std::string kept;  // the older file's second name, or empty
    };
    std::vector<Done> done;
    bool ok = true;
    for (const Output& o : outputs_) {
        Done d{&o, ""};
        struct stat st;
        if (lstat(o.final.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            d.kept = TemporaryName(o.final, "old");
            if (link(o.final.c_str(), d.kept.c_str()) != 0) {
                *why = "cannot keep " + o.final + " aside: " + std::strerror(errno);
                ok = false;
                break;
            }
        }
        if (rename(o.temporary.c_str(), o.final.c_str()) != 0) {
            *why = "cannot write " + o.final + ": " + std::strerror(errno);
            if (!d.kept.empty()) unlink(d.kept.c_str());
            ok = false;
            break;
        }
        done.push_back(d);
    }
    for (auto d = done.rbegin(); d != done.rend(); ++d) {
        if (ok) {
            if (!d->kept.empty()) unlink(d->kept.c_str());
        } else if (d->kept.empty()) {
            unlink(d->output->final.c_str());
        } else {
            rename(d->kept.c_str(), d->output->final.c_str());
        }
    }
    return ok;
}
