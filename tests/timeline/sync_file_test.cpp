// The field readers and the two-pass load of the sync file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "timeline/sync_file.h"

namespace {

// The sync file of this build, as embedded.
std::string BuildSyncFile() {
    Resource file;
    if (!Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_DAT", &file)) return "";
    return std::string(reinterpret_cast<const char*>(file.data), file.size);
}

// Loads text and hands back the table as rows (each row its own count long).
struct Loaded {
    uint32_t trackCount = 0;
    uint32_t maxSyncs = 0;
    bool hasTable = false;
    std::vector<std::vector<int32_t>> rows;
};

Loaded Load(const std::string& text) {
    // The bytes go in a buffer of exactly their size, so ASan sees any
    // read past the end.
    std::vector<uint8_t> bytes(text.begin(), text.end());
    char names[kSyncFieldSize];
    SyncTable table = LoadSyncTable(bytes.empty() ? nullptr : bytes.data(), bytes.size(), names);
    Loaded out;
    out.trackCount = table.trackCount;
    out.maxSyncs = table.maxSyncs;
    out.hasTable = table.syncPositions != nullptr;
    for (uint32_t i = 0; i < table.trackCount; ++i) {
        EXPECT_EQ(table.nextSync[i], 0u);
        EXPECT_LE(table.syncCounts[i], table.maxSyncs);
        std::vector<int32_t> row;
        for (uint32_t j = 0; j < table.syncCounts[i]; ++j)
            row.push_back(table.syncPositions[size_t(i) * table.maxSyncs + j]);
        out.rows.push_back(row);
    }
    FreeSyncTable(table);
    return out;
}

const std::vector<int32_t> kBuildRow = {1464120, 2928240, 4427640, 5909400,
                                        7355880, 8837639, 10178280, 11571839};

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

TEST(SyncFile, TheFileOfThisBuildGivesItsRow) {
    const std::string file = BuildSyncFile();
    ASSERT_EQ(file.size(), 65u);
    const Loaded table = Load(file);
    ASSERT_EQ(table.trackCount, 1u);
    EXPECT_EQ(table.maxSyncs, 8u);
    ASSERT_EQ(table.rows.size(), 1u);
    EXPECT_EQ(table.rows[0], kBuildRow);
}

TEST(SyncFile, SemicolonsAndCrLfAreInterchangeable) {
    const std::string file = BuildSyncFile();
    const std::string semicolons = Replace(file, "\r\n", ";");
    EXPECT_EQ(semicolons.find('\r'), std::string::npos);
    EXPECT_EQ(Load(semicolons).rows, std::vector<std::vector<int32_t>>{kBuildRow});
    const std::string mixed = "1;Szenensync\r\n8;8.3\r\n16.6;25.1;33.5\r\n41.7\r\n50.1;57.7;65.6\r\n";
    EXPECT_EQ(Load(mixed).rows, std::vector<std::vector<int32_t>>{kBuildRow});
    // A lone line feed is ordinary text: it stays inside the field.
    EXPECT_EQ(Load("1;A;2;1\n;2;").rows[0], (std::vector<int32_t>{176400, 352800}));
}

TEST(SyncFile, TracksOfDifferentLengthsShareOneRowLength) {
    const Loaded t = Load("3;A;2;1;2;B;0;C;4;0.5;1.5;2.5;3;");
    ASSERT_EQ(t.trackCount, 3u);
    EXPECT_EQ(t.maxSyncs, 4u);
    EXPECT_EQ(t.rows[0], (std::vector<int32_t>{176400, 352800}));
    EXPECT_TRUE(t.rows[1].empty());
    EXPECT_EQ(t.rows[2], (std::vector<int32_t>{88200, 264600, 441000, 529200}));

    // The only track with no times: a track, but an empty table.
    const Loaded empty = Load("1;Leer;0;");
    EXPECT_EQ(empty.trackCount, 1u);
    EXPECT_EQ(empty.maxSyncs, 0u);
    EXPECT_FALSE(empty.hasTable);
}

TEST(SyncFile, TimesKeepTheirFileOrderAndSign) {
    const Loaded t = Load("1;T;4;2;1;-1;3;");
    EXPECT_EQ(t.rows[0], (std::vector<int32_t>{352800, 176400, -176400, 529200}));
}

TEST(SyncFile, ReadsStayInsideTheData) {
    // A last field without a terminator ends with the data.
    EXPECT_EQ(Load("1\r\nSz\r\n8\r\n8.3\r\n16.").rows[0], (std::vector<int32_t>{1464120, 2822400}));
    // A carriage return as the very last byte skips nothing beyond it.
    EXPECT_EQ(Load("1;Sz;2;8.3;16.6\r").rows[0], (std::vector<int32_t>{1464120, 2928240}));
    // Cut inside the name or right after the count: the track is there, no times.
    EXPECT_EQ(Load("1;Szen").rows, std::vector<std::vector<int32_t>>{{}});
    // Cut before the first track: no tracks.
    EXPECT_EQ(Load("2;").trackCount, 0u);
    EXPECT_EQ(Load("1\r").trackCount, 0u);
    // A file that is one field that never ends (line feeds only).
    EXPECT_EQ(Load(Replace(BuildSyncFile(), "\r\n", "\n")).trackCount, 0u);
    EXPECT_EQ(Load(std::string(5000, '7')).trackCount, 0u);
    // No data at all.
    EXPECT_EQ(Load("").trackCount, 0u);
    char names[kSyncFieldSize];
    SyncTable none = LoadSyncTable(nullptr, 0, names);
    EXPECT_EQ(none.trackCount, 0u);
    EXPECT_EQ(none.syncCounts, nullptr);
}

TEST(SyncFile, CountsCannotReachBeyondTheData) {
    // Negative counts are 0.
    EXPECT_EQ(Load("-1;A;2;1;2;").trackCount, 0u);
    const Loaded negativeTimes = Load("2;A;-3;1;B;1;2;");
    ASSERT_EQ(negativeTimes.trackCount, 2u);
    EXPECT_TRUE(negativeTimes.rows[0].empty());
    // The second track is named "1" and its count is "B", that is 0.
    EXPECT_TRUE(negativeTimes.rows[1].empty());
    // A huge count holds only the times that are there.
    const Loaded huge = Load("1;A;2000000000;1;2;");
    EXPECT_EQ(huge.maxSyncs, 2u);
    EXPECT_EQ(huge.rows[0], (std::vector<int32_t>{176400, 352800}));
    const Loaded manyTracks = Load("4000000000;A;1;1;B;1;2;");  // saturates, then 2 tracks
    EXPECT_EQ(manyTracks.trackCount, 2u);
    EXPECT_EQ(manyTracks.rows[1], (std::vector<int32_t>{352800}));
}

TEST(SyncFile, AFieldKeepsItsFirst99Bytes) {
    const std::string name(300, 'N');
    const std::string text = name + ";42;";
    SyncCursor cursor = {reinterpret_cast<const uint8_t*>(text.data()),
                         reinterpret_cast<const uint8_t*>(text.data()) + text.size()};
    char buffer[kSyncFieldSize];
    std::memset(buffer, 'x', sizeof buffer);
    ReadTextField(cursor, buffer);
    EXPECT_EQ(std::string(buffer), std::string(99, 'N'));
    EXPECT_EQ(ReadIntField(cursor), 42);  // the rest of the long field is passed over
    EXPECT_EQ(cursor.at, cursor.end);
    // And in a load: a long track name changes nothing.
    EXPECT_EQ(Load("1;" + name + ";1;8.3;").rows[0], (std::vector<int32_t>{1464120}));
    // A long time field is read from its first 99 bytes.
    EXPECT_EQ(Load("1;A;1;1.5" + std::string(200, '0') + "9;").rows[0], (std::vector<int32_t>{264600}));
}

TEST(SyncFile, NumbersReadLikeAtoiAndAtof) {
    const std::string text = "  +42abc;abc;-17\r\n99999999999;-99999999999;50.1;65.6;1e3x;";
    SyncCursor c = {reinterpret_cast<const uint8_t*>(text.data()),
                    reinterpret_cast<const uint8_t*>(text.data()) + text.size()};
    EXPECT_EQ(ReadIntField(c), 42);
    EXPECT_EQ(ReadIntField(c), 0);
    EXPECT_EQ(ReadIntField(c), -17);
    EXPECT_EQ(ReadIntField(c), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ReadIntField(c), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ReadFloatField(c), 50.1f);
    EXPECT_EQ(ReadFloatField(c), 65.6f);
    EXPECT_EQ(ReadFloatField(c), 1000.0f);
    EXPECT_EQ(c.at, c.end);
    EXPECT_EQ(ReadIntField(c), 0);  // at the end: an empty field, the cursor stays
    EXPECT_EQ(c.at, c.end);
}

TEST(SyncFile, BytePositionsTruncateTheFloatTime) {
    // 50.1 and 65.6 are just below their decimal values as floats.
    EXPECT_EQ(SyncBytePosition(50.1f), 8837639);
    EXPECT_EQ(SyncBytePosition(65.6f), 11571839);
    EXPECT_EQ(SyncBytePosition(8.3f), 1464120);
    EXPECT_EQ(SyncBytePosition(-0.5f), -88200);
    // Beyond 32 bits it saturates; NaN is never reached.
    EXPECT_EQ(SyncBytePosition(1e9f), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(SyncBytePosition(-1e9f), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(SyncBytePosition(std::nanf("")), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(Load("1;A;2;inf;nan;").rows[0],
              (std::vector<int32_t>{std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}));
}

}  // namespace
