// sync_file.cpp -- field readers and the two-pass load of the sync file.
#include "timeline/sync_file.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Copies the field at the cursor into buffer (first 99 bytes) and steps over
// it and its terminator, never past the end of the data.
void CollectField(SyncCursor& cursor, char* buffer) {
    std::memset(buffer, 0, kSyncFieldSize);
    size_t length = 0;
    while (cursor.at < cursor.end && *cursor.at != ';' && *cursor.at != '\r') {
        if (length < kSyncFieldSize - 1) buffer[length++] = char(*cursor.at);
        ++cursor.at;
    }
    if (cursor.at == cursor.end) return;  // the field reached the end of the data
    const bool carriageReturn = *cursor.at == '\r';
    ++cursor.at;
    // After a CR the next byte is taken to be its LF, unseen.
    if (carriageReturn && cursor.at < cursor.end) ++cursor.at;
}

size_t Remaining(const SyncCursor& cursor) { return size_t(cursor.end - cursor.at); }

// A count field: negative counts as 0, and no more than one entry per byte
// left, since every field that starts before the end takes at least a byte.
uint32_t ReadCountField(SyncCursor& cursor) {
    const int32_t n = ReadIntField(cursor);
    if (n <= 0) return 0;
    const size_t left = Remaining(cursor);
    return size_t(n) < left ? uint32_t(n) : uint32_t(left);
}

}  // namespace

void ReadTextField(SyncCursor& cursor, char* buffer) { CollectField(cursor, buffer); }

int32_t ReadIntField(SyncCursor& cursor) {
    char buffer[kSyncFieldSize];
    CollectField(cursor, buffer);
    // atoi's reading, without its undefined result on overflow.
    const long value = std::strtol(buffer, nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return int32_t(value);
}

float ReadFloatField(SyncCursor& cursor) {
    char buffer[kSyncFieldSize];
    CollectField(cursor, buffer);
    return float(std::atof(buffer));
}

int32_t SyncBytePosition(float seconds) {
    const double bytes = double(seconds) * double(BytesPerSecond);  // exact in double
    if (std::isnan(bytes)) return INT32_MIN;
    if (bytes >= 2147483647.0) return INT32_MAX;
    if (bytes <= -2147483648.0) return INT32_MIN;
    return int32_t(bytes);  // truncation toward zero
}

SyncTable LoadSyncTable(const uint8_t* data, size_t size, char* nameBuffer) {
    SyncTable table;
    if (!data || size == 0) return table;

    SyncCursor cursor = {data, data + size};
    const uint32_t declaredTracks = ReadCountField(cursor);
    const SyncCursor firstTrack = cursor;
    if (declaredTracks == 0) return table;

    table.syncCounts = new uint32_t[declaredTracks];
    table.nextSync = new uint32_t[declaredTracks];

    // First pass: how many times each track has, and the longest track. A
    // track or time whose field would start at the end of the data is not
    // there.
    uint32_t tracks = 0;
    for (; tracks < declaredTracks && cursor.at < cursor.end; ++tracks) {
        ReadTextField(cursor, nameBuffer);
        const uint32_t declaredTimes = ReadCountField(cursor);
        uint32_t times = 0;
        for (; times < declaredTimes && cursor.at < cursor.end; ++times) ReadFloatField(cursor);
        table.syncCounts[tracks] = times;
        table.nextSync[tracks] = 0;
        if (times > table.maxSyncs) table.maxSyncs = times;
    }
    table.trackCount = tracks;

    const size_t entries = size_t(tracks) * table.maxSyncs;
    if (entries > 0) {
        table.syncPositions = new (std::nothrow) int32_t[entries];
        if (!table.syncPositions) {
            // More rows than memory: no timeline rather than a broken one.
            FreeSyncTable(table);
            return table;
        }
        std::memset(table.syncPositions, 0, entries * sizeof(int32_t));
    }
    if (tracks == 0) {
        FreeSyncTable(table);
        return table;
    }

    // Second pass, from just after the track count: the times themselves.
    cursor = firstTrack;
    for (uint32_t i = 0; i < tracks; ++i) {
        ReadTextField(cursor, nameBuffer);
        ReadCountField(cursor);
        for (uint32_t j = 0; j < table.syncCounts[i]; ++j)
            table.syncPositions[size_t(i) * table.maxSyncs + j] = SyncBytePosition(ReadFloatField(cursor));
    }
    return table;
}

void FreeSyncTable(SyncTable& table) {
    delete[] table.syncPositions;
    delete[] table.nextSync;
    delete[] table.syncCounts;
    table = SyncTable{};
}
