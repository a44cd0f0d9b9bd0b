// main_web.cpp -- the demo's entry in the browser.
//
// Without ?at= the page runs the demo as the desktop does (RunDemo: the
// question, the splash, the parts, the end). With ?at=SECONDS it draws the
// one frame of that demo time on the capture tool's clock (FrameDriver at
// ?fps=, 60 by default, as demo-capture) and stops. The state the page's
// tests look at is exported below (kept and exported by the linker: the
// "used" attribute is what emscripten's keep-alive marker stands for).
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/frame_driver.h"
#include "app/globals.h"
#include "app/shell.h"
#include "platform/platform.h"
#include "platform/sys_audio.h"
#include "platform/sys_web_page.h"
#include "timeline/music_player.h"
#include "timeline/sync_file.h"

namespace {

// The demo time of its last sync (the end): frames after it do not exist.
double LastSyncSeconds() {
    Resource r;
    if (!Sys_FindResource("ZYN_MUCKE", "ZYN_MUCKE_DAT", &r)) return 0;
    char name[kSyncFieldSize];
    SyncTable table = LoadSyncTable(r.data, r.size, name);
    double last = 0;
    if (table.trackCount > 0 && table.syncCounts[0] > 0)
        last = double(table.syncPositions[table.syncCounts[0] - 1]) / double(BytesPerSecond);
    FreeSyncTable(table);
    return last;
}

FrameDriver* g_driver = nullptr;

}  // namespace

#define WEB_EXPORT __attribute__((used))

extern "C" {

// The part now playing (1 to 8).
WEB_EXPORT int web_current_part() { return app.currentPart; }

// The music's position in decoded bytes (176400 a second), 0 without music.
WEB_EXPORT uint32_t web_music_position() {
    return assets.musicPlayer ? Sys_ChannelGetPosition(assets.musicPlayer->stream) : 0;
}

// The drawing surface's real size and its pixels as RGBA, bottom row first,
// into a buffer of width * height * 4 bytes. False before a context exists.
WEB_EXPORT int web_surface_width() { return kSurfaceWidth * Sys_SurfaceScale(); }
WEB_EXPORT int web_surface_height() { return kSurfaceHeight * Sys_SurfaceScale(); }
WEB_EXPORT int web_read_surface(uint8_t* rgba);

}  // extern "C"

#include "platform/sys_readback.h"
int web_read_surface(uint8_t* rgba) { return Sys_ReadSurfaceRgbx(rgba) ? 1 : 0; }

int main() {
    const double at = Sys_Web_AtSeconds();
    if (at < 0) RunDemo();

    const double last = LastSyncSeconds();
    if (at > last) {
        char why[96];
        std::snprintf(why, sizeof why, "the demo ends at %.3f s", last);
        Sys_Web_AtDone(false, at, -1, why);
        return 0;
    }
    static FrameDriver driver(Sys_Web_AtFps(), 1);
    g_driver = &driver;
    if (!driver.Start()) {
        Sys_Web_AtDone(false, at, -1, "the demo did not start");
        return 0;
    }
    const int64_t frame = driver.FrameAtSeconds(at);
    if (!driver.RunUntil(frame + 1)) {
        Sys_Web_AtDone(false, at, int(frame), "the demo ended before that frame");
        return 0;
    }
    Sys_Web_AtDone(true, driver.SecondsOfFrame(frame), int(frame), "");
    return 0;
}
