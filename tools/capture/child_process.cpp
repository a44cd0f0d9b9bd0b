// child_process.cpp -- posix_spawn with a pipe to the child's stdin.
#include "tools/capture/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>

extern char** environ;

namespace {

std::vector<char*> Argv(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// Waits for the child. With a stop flag it looks every 10 ms instead of
// blocking, so that a signal that arrives just before the wait still ends
// the child at once; a child that ignores SIGTERM is killed after 5 s.
int Wait(int pid, const volatile std::sig_atomic_t* stop) {
    int status = 0;
    int looksSinceTerm = -1;
    for (;;) {
        const pid_t done = waitpid(pid, &status, stop ? WNOHANG : 0);
        if (done == pid) break;
        if (done < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (stop && *stop && looksSinceTerm < 0) {
            kill(pid, SIGTERM);
            looksSinceTerm = 0;
        } else if (looksSinceTerm >= 0 && ++looksSinceTerm == 500) {
            kill(pid, SIGKILL);
        }
        const timespec tick{0, 10 * 1000 * 1000};
        nanosleep(&tick, nullptr);
    }
    if (looksSinceTerm >= 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path || name.empty()) return "";
    std::string all(path);
    size_t start = 0;
    for (;;) {
        const size_t colon = all.find(':', start);
        std::string dir = all.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string::npos) return "";
        start = colon + 1;
    }
}

ChildPipe::~ChildPipe() { Finish(); }

bool ChildPipe::Start(const std::vector<std::string>& args) {
    if (pid_ >= 0 || args.empty()) return false;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    // With a standard descriptor closed (a tool started with <&-), the pipe
    // would take its number and the child's dup2 onto 0 would undo itself:
    // both ends go above 2 first.
    for (int& fd : fds) {
        if (fd > 2) continue;
        const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        close(fd);
        fd = moved;
    }
    if (fds[0] < 0 || fds[1] < 0) {
        for (int fd : fds)
            if (fd >= 0) close(fd);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);  // both ends close on exec
    std::vector<char*> argv = Argv(args);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (rc != 0) {
        close(fds[1]);
        return false;
    }
    fd_ = fds[1];
    pid_ = int(pid);
    return true;
}

bool ChildPipe::Write(const void* data, size_t size) {
    if (fd_ < 0) return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= size_t(n);
    }
    return true;
}

int ChildPipe::Finish(const volatile std::sig_atomic_t* stop) {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (pid_ < 0) return -1;
    const int status = Wait(pid_, stop);
    pid_ = -1;
    return status;
}

int RunProgram(const std::vector<std::string>& args, const volatile std::sig_atomic_t* stop) {
    if (args.empty()) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", 0, 0);
    std::vector<char*> argv = Argv(args);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    return Wait(int(pid), stop);
}
