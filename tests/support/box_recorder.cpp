// box_recorder.cpp -- see box_recorder.h.
#include "tests/support/box_recorder.h"

std::vector<Box> g_boxes;

int RecordBox(HWND owner, const char* text, const char* caption, uint32_t type) {
    g_boxes.push_back({owner, text, caption, type});
    return IDOK;
}
