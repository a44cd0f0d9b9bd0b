// output_set.cpp -- renames only, no hard links (vfat, exFAT, many network
// mounts and protected hard links refuse link(2)). Where the file system
// can swap two names in one step (renameat2 RENAME_EXCHANGE: ext4, XFS,
// btrfs, tmpfs) an older file trades places with its replacement, so the
// final name never stands empty; elsewhere the older file is renamed aside
// first and back again on failure.
#include "tools/capture/output_set.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

namespace {

std::string Reason() { return std::strerror(errno); }

// fsync(2) of a file or a folder. A folder that cannot be synced at all
// (EINVAL: some FUSE and network file systems) is no failure: there is
// nothing more to wait for.
bool Sync(const std::string& path, bool folder, std::string* why) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd < 0) {
        *why = Reason();
        return false;
    }
    const bool ok = fsync(fd) == 0 || (folder && errno == EINVAL);
    if (!ok) *why = Reason();
    close(fd);
    return ok;
}

std::string FolderOf(const std::string& path) {
    const std::string parent = fs::path(path).parent_path().string();
    return parent.empty() ? "." : parent;
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

}  // namespace

OutputSet::~OutputSet() {
    for (const Output& o : outputs_)
        if (std::find(kept_.begin(), kept_.end(), o.temporary) == kept_.end()) unlink(o.temporary.c_str());
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
    // The data first, then the folders, so that after a crash a final name
    // holds either the older file or the whole new one.
    std::vector<std::string> folders;
    for (const Output& o : outputs_) {
        if (!Sync(o.temporary, false, why)) {
            *why = "cannot write " + o.final + ": " + *why;
            return false;
        }
        const std::string folder = FolderOf(o.final);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    for (const std::string& f : folders)
        if (!Sync(f, true, why)) {
            *why = "cannot write into " + f + ": " + *why;
            return false;
        }

    struct Done {
        const Output* output;
        std::string older;  // where the older file is now, or empty
    };
    std::vector<Done> done;
    bool ok = true;
    for (const Output& o : outputs_) {
        struct stat st;
        const bool replaces = lstat(o.final.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
        if (replaces) {
            if (renameat2(AT_FDCWD, o.temporary.c_str(), AT_FDCWD, o.final.c_str(), RENAME_EXCHANGE) == 0) {
                done.push_back({&o, o.temporary});
                continue;
            }
            if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
                *why = "cannot write " + o.final + ": " + Reason();
                ok = false;
                break;
            }
            const std::string aside = TemporaryName(o.final, "old");
            if (rename(o.final.c_str(), aside.c_str()) != 0) {
                *why = "cannot put " + o.final + " aside: " + Reason();
                ok = false;
                break;
            }
            if (rename(o.temporary.c_str(), o.final.c_str()) != 0) {
                *why = "cannot write " + o.final + ": " + Reason();
                if (rename(aside.c_str(), o.final.c_str()) != 0)
                    *why += "; the older " + o.final + " is now " + aside + " (" + Reason() + ")";
                ok = false;
                break;
            }
            done.push_back({&o, aside});
        } else {
            if (rename(o.temporary.c_str(), o.final.c_str()) != 0) {
                *why = "cannot write " + o.final + ": " + Reason();
                ok = false;
                break;
            }
            done.push_back({&o, ""});
        }
    }
    // The renames themselves on disk.
    for (size_t i = 0; ok && i < folders.size(); ++i)
        if (!Sync(folders[i], true, why)) {
            *why = "cannot write into " + folders[i] + ": " + *why;
            ok = false;
        }
    for (auto d = done.rbegin(); d != done.rend(); ++d) {
        const std::string& final = d->output->final;
        if (ok) {
            if (!d->older.empty()) unlink(d->older.c_str());
        } else if (d->older.empty()) {
            if (unlink(final.c_str()) != 0 && Exists(final))
                *why += "; cannot take " + final + " back (" + Reason() + ")";
        } else if (rename(d->older.c_str(), final.c_str()) != 0) {
            // (after an exchange the older file is under the temporary name,
            // which the destructor would remove: say where it is)
            *why += "; the older " + final + " is now " + d->older + " (" + Reason() + ")";
            if (d->older == d->output->temporary) kept_.push_back(d->older);
        }
    }
    return ok;
}
