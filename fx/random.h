// random.h -- the demo's one pseudo-random sequence, never seeded.
//
// state starts at 1; each draw: state = state * 214013 + 2531011 (mod 2^32),
// result (state >> 16) & 0x7FFF, 0 to 32767. Every random choice of the demo
// (particle spawning, the part-2 sprite flicker) draws from this one
// sequence, so the order of the calls decides the picture. The C library's
// rand() is a different generator on Linux and is never used.
#pragma once

#include <cstdint>

// The next value, 0 to 32767.
int DemoRand();

// The generator's state, for tests: read it or put it back.
uint32_t DemoRandState();
void SetDemoRandState(uint32_t state);
