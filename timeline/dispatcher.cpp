// dispatcher.cpp -- the part table and the asset set-up.
#include "timeline/dispatcher.h"

#include <GL/gl.h>

#include "app/globals.h"

void SetUpAssets(HWND) {}

void RunPartFrame(int32_t, int32_t, HWND) {
    // No scene yet: every part is its cleared screen.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFlush();
}

void ReleaseAssets() {}
