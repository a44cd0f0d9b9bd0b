// sys_web_core.cpp -- the end of the program in the browser (emscripten).
//
// A page cannot exit. The end of the program stops the music, leaves full
// screen and puts the page's "ended" view in place of the canvas; then the
// program sleeps for good (its stack unwound by Asyncify), so nothing after
// the exit runs, as nothing after exit() would.
#include "platform/platform.h"
#include "platform/sys_internal.h"
#include "platform/sys_web.h"

#include <emscripten.h>

EM_ASYNC_JS(void, web_end_page, (int status), {
    DemoPage.ended(status);
    // Never resumes: the program has ended.
    await new Promise(() => {});
});

void Sys_Internal_EndProcess(int status) {
    Sys_Web_StopAudio();
    web_end_page(status);
    __builtin_unreachable();
}
