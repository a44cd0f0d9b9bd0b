// files.cpp -- POSIX writes; errno read at the call that failed.
#include "tools/common/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string* why) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (why) *why = std::strerror(errno);
        return false;
    }
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A write that takes nothing without an error is a full disk.
            if (why) *why = std::strerror(n < 0 ? errno : ENOSPC);
            close(fd);
            return false;
        }
        p += n;
        size -= size_t(n);
    }
    // Some file systems report a full disk only when the file is closed.
    if (close(fd) != 0) {
        if (why) *why = std::strerror(errno);
        return false;
    }
    return true;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder == ".") return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}
