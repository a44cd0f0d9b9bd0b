// gl_test.h -- a real OpenGL compatibility context with no display (Mesa
// llvmpipe through EGL's surfaceless platform), drawing into the platform
// layer's 640 x 480 surface, and helpers to read pixels back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// Makes the headless context once per process; later calls only check it.
bool MakeHeadlessGL();

struct Rgb {
    int r, g, b;
};

// The whole 640 x 480 surface, RGB, bottom row first.
std::vector<uint8_t> ReadSurface();

// One pixel of the surface; (0, 0) is the bottom-left corner.
Rgb PixelAt(int x, int y);

// Resets the GL state that tests commonly touch to OpenGL's defaults and
// clears colour and depth; the matrix stacks are emptied to their base.
void ResetGLState();

// A fixture for tests that draw: context made, state reset.
class GLTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeHeadlessGL());
        ResetGLState();
    }
};
