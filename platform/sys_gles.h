// sys_gles.h -- the OpenGL ES 3.0 context the demo draws on when it is built
// on the gl11 layer (DEMO_GLES3): what sys_sdl_gl.cpp asks of it.
#pragma once

// Before SDL_GL_CreateContext: ask SDL for an OpenGL ES 3.0 context.
void Sys_Gles_RequestWindowContext();

// Once a window's context is current: starts the layer on it. False (and a
// line on stderr) when the context lacks what the layer needs.
bool Sys_Gles_StartLayer();
