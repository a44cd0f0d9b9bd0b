// demo_timing.cpp -- the sync file's times, read for the capture's plan.
#include "tools/capture/demo_timing.h"

#include "platform/platform.h"
#include "timeline/sync_file.h"

std::vector<double> EmbeddedSyncSeconds() {
    std::vector<double> seconds;
    Resource r;
    if (!Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_DAT", &r)) return seconds;
    char name[kSyncFieldSize];
    SyncTable table = LoadSyncTable(r.data, r.size, name);
    if (table.trackCount > 0)
        for (uint32_t j = 0; j < table.syncCounts[0]; ++j)
            seconds.push_back(double(table.syncPositions[j]) / double(BytesPerSecond));
    FreeSyncTable(table);
    return seconds;
}

std::vector<PartSpan> PartSpans(const std::vector<double>& syncSeconds) {
    std::vector<PartSpan> spans;
    if (syncSeconds.size() < size_t(kPartCount)) return spans;
    double begin = 0.0;
    for (int k = 0; k < kPartCount; ++k) {
        const double end = syncSeconds[k];
        if (!(end > begin)) return {};
        spans.push_back(PartSpan{k + 1, begin, end});
        begin = end;
    }
    return spans;
}
