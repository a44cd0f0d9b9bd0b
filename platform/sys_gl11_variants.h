// sys_gl11_variants.h -- the gl11 layer's shader variants the demo draws
// with, started as soon as the layer is (the driver compiles them while the
// splash shows and the pictures are decoded), so that no frame of the demo
// waits for a compile. Builds on the layer only.
//
// The list is the layer's own ids (gl11.h). To renew it: a debug build of
// demo-capture-es3 run over the whole demo names every variant missing
// here on stderr ("gl11: variant 0x... built at its first draw"); the test
// of the capture tool through the layer fails while one is.
#pragma once

#include "gl11/include/gl11.h"

inline void Sys_Internal_PrepareGl11Variants() {
    // Listed with Mesa's blend and with the blend done in the shader
    // (DEMO_GL11_SHADER_BLEND=1); the few the layer builds at its start are
    // not repeated.
    static const unsigned long long kVariants[] = {
        0x7203,      0x8004003,     0x83c4000,     0x83c4003,     0x10000000,    0x10004000,
        0x18004003,  0x10000000000, 0x10000004000, 0x10010004000, 0x20000004000,
    };
    gl11_PrepareVariants(kVariants, int(sizeof kVariants / sizeof kVariants[0]));
}
