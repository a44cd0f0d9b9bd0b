// sync_file.h -- the scene sync file: part-change times as text.
//
// The resource "ZYN_MUCKE_DAT" (type "ZYN_MUCKE") is 8-bit text, a flat
// sequence of fields. A field ends at a semicolon or a carriage return; a
// carriage return also swallows the byte after it (the line feed of a CR LF),
// so CR LF and ';' are interchangeable separators and a lone LF is ordinary
// text. Field order:
//
//   track count
//   per track:  name (ignored), time count n, then n times in seconds
//
// Each time becomes a byte position of the decoded audio:
//
//   position = int32( double(float(atof(field))) * BytesPerSecond )
//
// truncated toward zero, so 50.1 s (the float just below) gives 8837639.
//
// Reading is bounded by the data: a field that reaches the end of the data
// ends there, a carriage return as the very last byte skips nothing beyond
// it, a field keeps at most its first 99 bytes (the rest is passed over), a
// negative count is 0, and tracks and times are only counted while there are
// fields left to hold them, so no count can make the load allocate more than
// the data describes.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes of decoded audio per second: 44100 Hz x 2 channels x 2 bytes.
constexpr uint32_t BytesPerSecond = 176400;

// Size of a field buffer: 99 bytes of field and a terminating zero.
constexpr size_t kSyncFieldSize = 100;

// Where the readers are in the sync file's bytes: [at, end).
struct SyncCursor {
    const uint8_t* at;
    const uint8_t* end;
};

// Clears the 100-byte buffer, copies the field's first 99 bytes into it and
// moves the cursor past the field and its terminator.
void ReadTextField(SyncCursor& cursor, char* buffer);

// The field as atoi reads it (leading blanks, sign, digits; no digits gives
// 0), saturated to the 32-bit range.
int32_t ReadIntField(SyncCursor& cursor);

// The field as atof reads it, rounded to a 32-bit float.
float ReadFloatField(SyncCursor& cursor);

// The result of a load. The arrays are made with new[] and belong to
// whoever takes them (the music player); all null when trackCount is 0.
struct SyncTable {
    uint32_t trackCount = 0;
    uint32_t* syncCounts = nullptr;     // times per track
    uint32_t* nextSync = nullptr;       // per track, all 0 after the load
    uint32_t maxSyncs = 0;              // largest count: the row length
    int32_t* syncPositions = nullptr;   // trackCount x maxSyncs byte positions, row by row
};

// A time in seconds as a byte position of the decoded audio: the product in
// double, truncated toward zero; beyond the 32-bit range it saturates, and
// NaN gives the most negative value (a sync that is never reached).
int32_t SyncBytePosition(float seconds);

// Two-pass load of the sync file's bytes (data may be null when size is 0:
// no file gives zero tracks). nameBuffer is the 100-byte buffer the track
// names are read into. Returns the table.
SyncTable LoadSyncTable(const uint8_t* data, size_t size, char* nameBuffer);

// Frees the arrays of a table made by LoadSyncTable and empties it.
void FreeSyncTable(SyncTable& table);
