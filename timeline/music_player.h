// music_player.h -- the demo's music and the sync times that move the parts.
//
// Construction reads the sync file "<baseName>_DAT" (sync_file.h), opens the
// audio output, makes a stream of the MP3 "<baseName>_MP3" (both of resource
// type "ZYN_MUCKE") and plays it looped. Every failure shows its box, caption
// "Shit !", owned by the window, and construction goes on. The per-frame
// SyncReached compares the stream's position (decoded bytes, 176400 per
// second) with the next sync time of a track.
#pragma once

#include <cstdint>

#include "platform/platform.h"

class MusicPlayer {
public:
    // window owns the message boxes; baseName has at most 15 characters
    // (a longer one is cut there).
    MusicPlayer(HWND window, const char* baseName);
    // Stops and frees the audio, then the sync table.
    ~MusicPlayer();

    MusicPlayer(const MusicPlayer&) = delete;
    MusicPlayer& operator=(const MusicPlayer&) = delete;

    // True, once, when the position has reached the next sync time of track
    // `track` (counted from 1); that track then waits for its following time.
    // A reported time is never reported again. False for a track that is not
    // in the file.
    bool SyncReached(uint32_t track);

    uint32_t stream = 0;               // audio stream; 0 when creation failed
    uint32_t* nextSync = nullptr;      // per track: index of the next time to report
    uint32_t* syncCounts = nullptr;    // per track: number of times
    int32_t* syncPositions = nullptr;  // trackCount x maxSyncs byte positions, row by row
    uint32_t maxSyncs = 0;             // row length: the largest count
    uint32_t trackCount = 0;           // tracks in the sync file
};
