// box_recorder.h -- message boxes observed by tests: while recording, every
// box the program shows is kept here and answered with IDOK.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

struct Box {
    HWND owner;
    std::string text, caption;
    uint32_t type;
};

// The boxes shown since recording began.
extern std::vector<Box> g_boxes;

// The hook that records a box (install with Sys_SetMessageBoxHook).
int RecordBox(HWND owner, const char* text, const char* caption, uint32_t type);
