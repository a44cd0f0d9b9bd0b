// demo_timing.h -- when the parts of the demo play, from its sync file.
//
// The capture needs the part times before it renders: for the total of its
// progress line and to know which frame is the middle of each part. The
// demo itself takes them from the music's position; here they are read from
// the same embedded file ("ZYN_MUCKE_DAT" of type "ZYN_MUCKE").
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kPartCount = 8;

// The times of the first sync track, in seconds, in file order. The file is
// a sequence of fields ended by ';' or CR (the byte after a CR is skipped):
// track count, then per track its name, its time count and its times.
// Empty when the file is malformed or ends early; nothing outside
// data[0..size) is read.
std::vector<float> ReadSyncTimes(const uint8_t* data, size_t size);

// The same, from the embedded resource. Empty when it is missing.
std::vector<float> EmbeddedSyncTimes();

struct PartSpan {
    int part;      // 1 to 8
    double begin;  // seconds of the demo: the sync time that starts it (0 for part 1)
    double end;    // the sync time that ends it
    double Middle() const { return (begin + end) / 2.0; }
};

// Part k runs from sync k-1 to sync k, part 1 from 0. Empty unless there are
// at least kPartCount increasing times; extra times are ignored.
std::vector<PartSpan> PartSpans(const std::vector<float>& syncTimes);
