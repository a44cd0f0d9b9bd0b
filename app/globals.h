// globals.h -- the process-wide state of the demo, in one place.
//
// AppState belongs to the shell: the part now playing, the full-screen
// answer and the start of the part clock. AssetSet belongs to the timeline:
// every texture and effect object that set-up makes, fixed afterwards.
// Both live for the whole process; nothing else in the program is global
// apart from the few per-scene statics the scenes document themselves.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// An OpenGL texture name, made once at start-up and never deleted.
typedef uint32_t TextureId;

struct AppState {
    int32_t currentPart = 1;     // part now playing, 1 to 8
    bool fullscreen = false;     // the viewer answered Yes at start-up
    uint32_t partStartTime = 0;  // Sys_GetTickCount() when the part began (ms)
    HWND mainWindow = 0;         // the window of class "Application"
};

class Billboard;
class SpringMesh;
class ParticleSystem;
class HelixRibbon;
class MusicPlayer;

struct AssetSet {
    // Textures, named by their resources ("WHITE.JPG" ...).
    TextureId white = 0, black = 0, plasma = 0, ball = 0, ball2 = 0, boden = 0, title = 0,
              outtro = 0, look = 0, spiral = 0, spiralFront = 0, auge = 0, gridmap = 0,
              spikeFront = 0, spikeFront2 = 0;
    // Effect objects; null until set-up makes them.
    Billboard* particle1Billboard = nullptr;
    Billboard* particle2Billboard = nullptr;
    Billboard* particle3Billboard = nullptr;
    SpringMesh* springMesh = nullptr;
    ParticleSystem* particleSystems[6] = {};  // particle systems 1 to 6
    HelixRibbon* helixRibbon = nullptr;
    MusicPlayer* musicPlayer = nullptr;  // null when it could not be made
};

extern AppState app;
extern AssetSet assets;

// The part clock: 5 ms units since the part began (unsigned subtraction, so
// a wrap of the tick count does no harm).
inline int32_t PartClock(uint32_t now, uint32_t partStartTime) {
    return int32_t(now - partStartTime) / 5;
}
