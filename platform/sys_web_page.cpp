// sys_web_page.cpp -- the ?at= questions, answered by the page's DemoPage.
#include "platform/sys_web_page.h"

#include <emscripten.h>

namespace {

EM_JS(double, web_at_seconds, (), { return DemoPage.atSeconds(); });
EM_JS(int, web_at_fps, (), { return DemoPage.atFps(); });
EM_JS(void, web_at_done, (int ok, double seconds, int frame, const char* why), {
    DemoPage.atDone(!!ok, seconds, frame, UTF8ToString(why));
});

}  // namespace

double Sys_Web_AtSeconds() { return web_at_seconds(); }
int Sys_Web_AtFps() { return web_at_fps(); }
void Sys_Web_AtDone(bool ok, double seconds, int frame, const char* why) { web_at_done(ok ? 1 : 0, seconds, frame, why); }
