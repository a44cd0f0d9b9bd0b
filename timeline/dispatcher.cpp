// dispatcher.cpp -- the part table and the asset set-up.
#include "timeline/dispatcher.h"

#include <GL/gl.h>

#include "app/globals.h"
#include "timeline/music_player.h"

void SetUpAssets(HWND mainWindow) {
    // The music last: it starts playing as set-up ends.
    assets.musicPlayer = new MusicPlayer(mainWindow, "ZYN_MUCKE");
}

void RunPartFrame(int32_t, int32_t, HWND mainWindow) {
    // 1. The scene of the part. No scene yet: every part is its cleared screen.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFlush();

    // 2. Whatever the part, the music may have passed its next sync time:
    // move on one part through the window procedure, as the Right key would.
    if (assets.musicPlayer && assets.musicPlayer->SyncReached(1))
        Sys_PostMessage(mainWindow, WM_KEYDOWN, VK_RIGHT, 0);
}

void ReleaseAssets() {
    // The music first, so it stops before anything else goes.
    delete assets.musicPlayer;
    assets.musicPlayer = nullptr;
}
