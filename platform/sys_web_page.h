// sys_web_page.h -- what the browser's entry (web/main_web.cpp) asks of the
// page: the one moment ?at= asks for, and where to say it was drawn.
#pragma once

// ?at=SECONDS: the demo time to draw; below 0 when the page has no ?at=.
double Sys_Web_AtSeconds();
// ?fps=N: the clock's frames per second (60 unless given).
int Sys_Web_AtFps();
// The ?at= frame is drawn (ok) or cannot be: the page says so and stops.
void Sys_Web_AtDone(bool ok, double seconds, int frame, const char* why);
