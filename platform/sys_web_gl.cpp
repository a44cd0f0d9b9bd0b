// sys_web_gl.cpp -- the browser's OpenGL: a WebGL 2 context on the page's
// canvas, drawn on through the OpenGL 1.1 layer (gl11), and the drawing
// surface's picture put on the page.
//
// The canvas is the picture: the page places it where the placement puts
// it (in device pixels, on the page or on the whole screen) at that size,
// and the surface is blitted into it. Then the program waits for the
// browser's next animation frame (Asyncify), which is what lets the page
// show it. Headless (one exact moment, ?at=), nothing waits.
#include "platform/platform.h"
#include "platform/sys_device.h"
#include "platform/sys_gl11_variants.h"
#include "platform/sys_internal.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <emscripten.h>
#include <emscripten/html5.h>
#include <gl11.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

EMSCRIPTEN_WEBGL_CONTEXT_HANDLE g_context = 0;
int g_drawableHeight = 0;                       // of the last drawable asked for
int g_placed[4] = {0, 0, 0, 0};                 // the canvas's left, top, width, height now

bool MakeContext() {
    EmscriptenWebGLContextAttributes attrs;
    emscripten_webgl_init_context_attributes(&attrs);
    attrs.majorVersion = 2;
    attrs.minorVersion = 0;
    attrs.alpha = false;
    attrs.depth = false;  // the surface has its own depth buffer
    attrs.stencil = false;
    attrs.antialias = false;
    attrs.premultipliedAlpha = false;
    attrs.preserveDrawingBuffer = false;
    g_context = emscripten_webgl_create_context("#canvas", &attrs);
    if (g_context <= 0) {
        g_context = 0;
        std::fprintf(stderr, "no WebGL 2 context\n");
        return false;
    }
    emscripten_webgl_make_context_current(g_context);
    // The demo's OpenGL 1.1 runs on the layer, which finds WebGL 2's calls here.
    if (!gl11_Init([](const char* name) { return emscripten_webgl_get_proc_address(name); })) {
        std::fprintf(stderr, "the OpenGL 1.1 layer did not start on WebGL 2\n");
        return false;
    }
    Sys_Internal_PrepareGl11Variants();
    return true;
}

}  // namespace

// The renderer's name, where the browser tells it.
EM_JS(char*, web_renderer_name, (), { return stringToNewUTF8(DemoPage.rendererName(GLctx)); });

// What shows the picture, in device pixels (the page decides: the screen
// in full screen, the canvas's place on the page otherwise).
EM_JS(void, web_drawable_size, (int fullscreen, int* size), {
    const s = DemoPage.drawableSize(!!fullscreen);
    HEAP32[size >> 2] = s[0];
    HEAP32[(size >> 2) + 1] = s[1];
});

EM_JS(void, web_place_canvas, (int left, int top, int width, int height), {
    DemoPage.placeCanvas(left, top, width, height);
});

// Waits for the browser's next animation frame: the canvas is shown then.
EM_ASYNC_JS(void, web_wait_frame, (), { await DemoPage.nextFrame(); });

bool Sys_CreateGLContext(HWND) {
    if (g_context) return Sys_SurfaceFramebuffer() != 0;
    if (!MakeContext()) return false;
    const int requested = Sys_Internal_RequestedScale();
    return Sys_Internal_MakeFirstSurface(Sys_IsHeadless() ? Sys_Internal_HeadlessScale()
                                                          : (requested ? requested : 1));
}

const char* Sys_Device_RendererName() {
    static std::string name;
    if (name.empty() && g_context) {
        char* told = web_renderer_name();
        name = told;
        std::free(told);
    }
    return name.c_str();
}

bool Sys_Device_DrawableSize(HWND window, int* width, int* height) {
    if (!g_context) return false;
    if (Sys_IsHeadless()) {
        // One exact moment: the page's canvas as it is (640 x 480).
        emscripten_get_canvas_element_size("#canvas", width, height);
        return true;
    }
    int size[2] = {0, 0};
    web_drawable_size(Sys_Internal_WindowIsFullscreen(window), size);
    *width = size[0];
    *height = g_drawableHeight = size[1];
    return *width > 0 && *height > 0;
}

void Sys_Device_Present(HWND, const Sys_Placement& p) {
    // The canvas takes the picture's place and size; headless it stays.
    Sys_Placement in = p;
    if (!Sys_IsHeadless()) {
        // (The page counts from the top, the placement from the bottom.)
        const int place[4] = {p.x, g_drawableHeight - p.y - p.h, p.w, p.h};
        if (!std::equal(place, place + 4, g_placed)) {
            web_place_canvas(place[0], place[1], place[2], place[3]);
            std::copy(place, place + 4, g_placed);
        }
        in.x = in.y = 0;
    }
    const int scale = Sys_SurfaceScale();
    const GLuint fbo = Sys_SurfaceFramebuffer();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    Sys_Internal_ClearBlack(GL_COLOR_BUFFER_BIT);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glBlitFramebuffer(0, 0, kSurfaceWidth * scale, kSurfaceHeight * scale, in.x, in.y, in.x + in.w, in.y + in.h,
                      GL_COLOR_BUFFER_BIT, p.wholeMultiple ? GL_NEAREST : GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    if (!Sys_IsHeadless()) web_wait_frame();
    // The variants started with the context are finished once the first
    // picture is on the page: WebGL answers their queries only after all
    // the drawing sent before, which is least now (at a later part's first
    // draw it was that whole frame: 12 to 47 ms on SwiftShader).
    static bool variantsFinished = false;
    if (!variantsFinished) {
        variantsFinished = true;
        gl11_FinishVariants();
    }
}
