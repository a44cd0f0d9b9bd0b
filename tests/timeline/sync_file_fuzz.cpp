// sync_file_fuzz.cpp -- any bytes as a sync file: the load must stay inside
// them, and what it gives must hang together.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "timeline/sync_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char names[kSyncFieldSize];
    SyncTable table = LoadSyncTable(data, size, names);
    // Every track and time took at least one byte of the data.
    if (table.trackCount > size || table.maxSyncs > size) std::abort();
    if ((table.trackCount == 0) != (table.syncCounts == nullptr)) std::abort();
    if ((size_t(table.trackCount) * table.maxSyncs == 0) != (table.syncPositions == nullptr)) std::abort();
    uint32_t longest = 0;
    for (uint32_t i = 0; i < table.trackCount; ++i) {
        if (table.nextSync[i] != 0 || table.syncCounts[i] > table.maxSyncs) std::abort();
        if (table.syncCounts[i] > longest) longest = table.syncCounts[i];
        // Every used entry is readable.
        volatile int32_t sink = 0;
        for (uint32_t j = 0; j < table.syncCounts[i]; ++j)
            sink = sink + table.syncPositions[size_t(i) * table.maxSyncs + j] % 2;
    }
    if (longest != table.maxSyncs) std::abort();
    FreeSyncTable(table);
    return 0;
}
