// process.h -- programs run as a user runs them, files read whole, and
// folders that live as long as one test.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct Outcome {
    int status;          // the exit status, -1 when the program did not exit
    std::string output;  // standard output and error together
};

inline Outcome RunCommand(const std::string& command) {
    Outcome run{-1, ""};
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A new empty folder, removed with what it holds at the end of its scope.
struct TempFolder {
    std::string path;
    TempFolder() {
        char name[] = "/tmp/demo-test-XXXXXX";
        path = mkdtemp(name) ? name : "";
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::vector<std::string> Names(const std::string& under = "") const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path + "/" + under))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};
