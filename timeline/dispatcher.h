// dispatcher.h -- the timeline: which scene draws which part, and the set-up
// of every texture and effect object the scenes use.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Makes the asset set (app/globals.h) once at start-up, with the OpenGL
// context current; the music starts at its end.
void SetUpAssets(HWND mainWindow);

// Draws one frame of the part with the part clock (5 ms units), then posts a
// Right key press to mainWindow when the music has passed its next sync time.
void RunPartFrame(int32_t part, int32_t partClock, HWND mainWindow);

// Frees the music player and the effect objects, in that order (on
// WM_DESTROY). Textures and display lists stay with the context.
void ReleaseAssets();
