// child_process.h -- starting ffmpeg: found on PATH, fed through a pipe,
// waited for. No shell is involved, so no argument needs quoting.
#pragma once

#include <csignal>
#include <cstddef>
#include <string>
#include <vector>

// The full path of an executable file called name in a folder of PATH;
// empty when there is none.
std::string FindOnPath(const std::string& name);

// A running program whose standard input is a pipe from us.
class ChildPipe {
public:
    ChildPipe() = default;
    ~ChildPipe();  // closes the pipe and waits
    ChildPipe(const ChildPipe&) = delete;
    ChildPipe& operator=(const ChildPipe&) = delete;

    // Starts args[0] (a path) with the arguments. False when it could not start.
    bool Start(const std::vector<std::string>& args);
    // Writes all bytes; false when the program has gone (SIGPIPE must be ignored).
    bool Write(const void* data, size_t size);
    // Closes the pipe and waits: the exit status, or -1 when it did not exit
    // normally. Once *stop (a signal handler's flag) is set while it waits,
    // the program is ended with SIGTERM (SIGKILL 5 s later) and -1 returned.
    int Finish(const volatile std::sig_atomic_t* stop = nullptr);

private:
    int fd_ = -1;
    int pid_ = -1;
};

// Runs a program to its end with no input; its exit status or -1. *stop
// ends it early, as for ChildPipe::Finish.
int RunProgram(const std::vector<std::string>& args, const volatile std::sig_atomic_t* stop = nullptr);
