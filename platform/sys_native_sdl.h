// sys_native_sdl.h -- the system's own window behind an SDL window, for the
// sys_native_*.cpp files. Include it after the system's own headers
// (<windows.h> with the build's settings): <SDL_syswm.h> includes them.
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>

// Fills `info` for an SDL window (nullptr is none). False when there is no
// window or it belongs to another window system than `subsystem`.
inline bool Sys_Native_WindowInfo(void* sdlWindow, SDL_SYSWM_TYPE subsystem, SDL_SysWMinfo* info) {
    SDL_VERSION(&info->version);
    return sdlWindow && SDL_GetWindowWMInfo(static_cast<SDL_Window*>(sdlWindow), info) &&
           info->subsystem == subsystem;
}
