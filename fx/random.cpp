// random.cpp -- the linear congruential sequence every random choice uses.
#include "fx/random.h"

namespace {
uint32_t randState = 1;  // never seeded: every run draws the same values
}

int DemoRand() {
    randState = randState * 214013u + 2531011u;  // wraps modulo 2^32
    return int((randState >> 16) & 0x7FFFu);
}

uint32_t DemoRandState() {
    return randState;
}

void SetDemoRandState(uint32_t state) {
    randState = state;
}
