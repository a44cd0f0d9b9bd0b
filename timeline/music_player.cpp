// music_player.cpp -- plays the music, owns the sync table.
#include "timeline/music_player.h"

#include <cstdio>

#include "platform/sys_audio.h"
#include "timeline/sync_file.h"

namespace {

constexpr const char* kResourceType = "ZYN_MUCKE";
constexpr const char* kCaption = "Shit !";
constexpr size_t kNameSize = 20;  // base name of up to 15 characters + suffix + zero

}  // namespace

MusicPlayer::MusicPlayer(HWND window, const char* baseName) {
    char* fieldBuffer = new char[kSyncFieldSize];

    char mp3Name[kNameSize];
    char datName[kNameSize];
    std::snprintf(mp3Name, sizeof mp3Name, "%.15s_MP3", baseName);
    std::snprintf(datName, sizeof datName, "%.15s_DAT", baseName);

    Resource sync;
    Sys_FindResource(kResourceType, datName, &sync);  // absent: no data, no tracks
    SyncTable table = LoadSyncTable(sync.data, sync.size, fieldBuffer);
    trackCount = table.trackCount;
    syncCounts = table.syncCounts;
    nextSync = table.nextSync;
    maxSyncs = table.maxSyncs;
    syncPositions = table.syncPositions;

    if (!Sys_AudioInit(kAudioDefaultDevice, 44100, 0, window)) {
        Sys_MessageBox(window, "Could not initialize BASS, switching to no-sound", kCaption, MB_OK);
        Sys_AudioInit(kAudioNoSoundDevice, 44100, 0, window);
    }

    Resource music;
    Sys_FindResource(kResourceType, mp3Name, &music);
    stream = Sys_StreamCreateMemory(music.data, 0, music.size, 0);
    if (stream == 0) Sys_MessageBox(window, "Failed to initialize BASS-Stream", kCaption, MB_OK);

    if (!Sys_AudioStart()) Sys_MessageBox(window, "Failed to start BASS", kCaption, MB_OK);

    if (!Sys_StreamPlay(stream, false, kAudioSampleLoop))
        Sys_MessageBox(window, "Can't play BASS-Stream", kCaption, MB_OK);

    delete[] fieldBuffer;
}

MusicPlayer::~MusicPlayer() {
    Sys_AudioStop();
    Sys_StreamFree(stream);
    Sys_AudioFree();
    delete[] syncPositions;
    delete[] nextSync;
    delete[] syncCounts;
}

bool MusicPlayer::SyncReached(uint32_t track) {
    const uint32_t position = Sys_ChannelGetPosition(stream);
    if (track == 0 || track > trackCount) return false;
    const uint32_t row = track - 1;
    const uint32_t i = nextSync[row];
    if (i >= syncCounts[row]) return false;
    // Compared unsigned: a negative time is beyond every position.
    if (uint32_t(syncPositions[size_t(row) * maxSyncs + i]) > position) return false;
    nextSync[row] = i + 1;
    return true;
}
