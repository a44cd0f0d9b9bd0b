// demo_timing.h -- when the parts of the demo play, from its sync file.
//
// The capture needs the part times before it renders: for the total of its
// progress line and to know which frame is the middle of each part. The
// demo takes them from the music's position; here they come from the same
// embedded file ("ZYN_MUCKE_DAT" of type "ZYN_MUCKE"), loaded as the music
// player loads it.
#pragma once

#include <vector>

constexpr int kPartCount = 8;

// The sync times of track 1 in seconds: each byte position of the table
// divided by 176400 bytes per second. Empty when the file is missing or has
// no track.
std::vector<double> EmbeddedSyncSeconds();

struct PartSpan {
    int part;      // 1 to 8
    double begin;  // seconds of the demo: the sync time that starts it (0 for part 1)
    double end;    // the sync time that ends it
    double Middle() const { return (begin + end) / 2.0; }
};

// Part k runs from sync k-1 to sync k, part 1 from 0. Empty unless there are
// at least kPartCount increasing times; extra times are ignored.
std::vector<PartSpan> PartSpans(const std::vector<double>& syncSeconds);
