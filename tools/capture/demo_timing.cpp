// demo_timing.cpp -- the sync file's times, read for the capture's plan.
#include "tools/capture/demo_timing.h"

#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {

// One field: bytes up to ';' or CR. False when the data ends first.
bool NextField(const uint8_t* data, size_t size, size_t* pos, std::string* field) {
    field->clear();
    while (*pos < size) {
        const uint8_t c = data[(*pos)++];
        if (c == ';') return true;
        if (c == '\r') {
            if (*pos < size) ++*pos;  // the LF of a CR LF
            return true;
        }
        if (field->size() >= 99) return false;
        field->push_back(char(c));
    }
    return false;
}

}  // namespace

std::vector<float> ReadSyncTimes(const uint8_t* data, size_t size) {
    std::vector<float> times;
    if (!data) return times;
    size_t pos = 0;
    std::string field;
    if (!NextField(data, size, &pos, &field)) return times;
    const int tracks = std::atoi(field.c_str());
    if (tracks < 1) return times;
    // Track 1: its name, its count, its times.
    if (!NextField(data, size, &pos, &field)) return times;
    if (!NextField(data, size, &pos, &field)) return times;
    const int count = std::atoi(field.c_str());
    if (count < 0 || size_t(count) > size) return times;
    for (int i = 0; i < count; ++i) {
        if (!NextField(data, size, &pos, &field)) return {};
        times.push_back(float(std::atof(field.c_str())));
    }
    return times;
}

std::vector<float> EmbeddedSyncTimes() {
    Resource r;
    if (!Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_DAT", &r)) return {};
    return ReadSyncTimes(r.data, r.size);
}

std::vector<PartSpan> PartSpans(const std::vector<float>& syncTimes) {
    std::vector<PartSpan> spans;
    if (syncTimes.size() < size_t(kPartCount)) return spans;
    double begin = 0.0;
    for (int k = 0; k < kPartCount; ++k) {
        const double end = syncTimes[k];
        if (!(end > begin)) return {};
        spans.push_back(PartSpan{k + 1, begin, end});
        begin = end;
    }
    return spans;
}
