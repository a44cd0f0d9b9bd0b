// sys_internal.h -- shared between the files of the platform layer only.
#pragma once

#include "platform/platform.h"

int Sys_Internal_HeadlessScale();
bool Sys_Internal_VideoUp();
bool Sys_Internal_WindowIsFullscreen(HWND window);
