// hooks.h -- what a test puts in place of the platform layer's clock,
// message boxes and embedded resources; each is undone when it goes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

// Sys_GetTickCount() reads `now`, which the test sets.
struct FakeClock {
    static inline uint32_t now = 0;
    explicit FakeClock(uint32_t start) {
        now = start;
        Sys_SetTickSource([] { return now; });
    }
    ~FakeClock() { Sys_SetTickSource(nullptr); }
};

struct Box {
    HWND owner;
    std::string text, caption;
    uint32_t type;
};

// Every box shown is kept in `boxes` and answered with IDOK.
struct BoxRecorder {
    static inline std::vector<Box> boxes;
    BoxRecorder() {
        boxes.clear();
        Sys_SetMessageBoxHook([](HWND owner, const char* text, const char* caption, uint32_t type) {
            boxes.push_back({owner, text, caption, type});
            return int(IDOK);
        });
    }
    ~BoxRecorder() { Sys_SetMessageBoxHook(nullptr); }
};

// These files are the only resources (none at all for an empty list).
class FakeResources {
public:
    struct File {
        std::string type, name;
        std::vector<uint8_t> bytes;
    };
    explicit FakeResources(std::vector<File> files) : files_(std::move(files)) {
        static const ResourceEntry kNothing = {"", "", nullptr, 0};
        for (const File& f : files_)
            entries_.push_back({f.type.c_str(), f.name.c_str(), f.bytes.data(), uint32_t(f.bytes.size())});
        Sys_OverrideResources(entries_.empty() ? &kNothing : entries_.data(), entries_.size());
    }
    FakeResources(const FakeResources&) = delete;
    ~FakeResources() { Sys_OverrideResources(nullptr, 0); }

private:
    std::vector<File> files_;
    std::vector<ResourceEntry> entries_;
};

// A picture as the loader finds it.
inline FakeResources::File Jpeg(const std::string& name, std::vector<uint8_t> bytes) {
    return {"ZYN_JPEGTEX", name, std::move(bytes)};
}
