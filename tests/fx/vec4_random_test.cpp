// Vector arithmetic and the shared random sequence.
#include <gtest/gtest.h>

#include <cmath>

#include "fx/random.h"
#include "fx/vec4.h"

namespace {

void ExpectVec(Vec4 v, float x, float y, float z, float w) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
    EXPECT_FLOAT_EQ(v.w, w);
}

TEST(Vec4Test, ArithmeticCarriesW) {
    const Vec4 a{1, 2, 3, 4}, b{10, 20, 30, 40};
    ExpectVec(a + b, 11, 22, 33, 44);
    ExpectVec(b - a, 9, 18, 27, 36);
    ExpectVec(a * 2.0f, 2, 4, 6, 8);
    ExpectVec(b / 10.0f, 1, 2, 3, 4);
    Vec4 c = a;
    Vec4& r = (c += b);
    EXPECT_EQ(&r, &c);
    ExpectVec(c, 11, 22, 33, 44);
    Vec4& q = (c /= 11.0f);
    EXPECT_EQ(&q, &c);
    ExpectVec(c, 1, 2, 3, 4);
}

TEST(Vec4Test, LengthIgnoresW) {
    EXPECT_FLOAT_EQ(Length(Vec4{3, 4, 0, 7}), 5.0f);
    EXPECT_FLOAT_EQ(Length(Vec4{0, 0, -2, 100}), 2.0f);
    EXPECT_FLOAT_EQ(Length(Vec4{1, 2, 2, 0}), 3.0f);
}

TEST(Vec4Test, CrossIsRightHandedAndZeroesW) {
    ExpectVec(Cross(Vec4{0, 0, 1, 5}, Vec4{1, 0, 0, 5}), 0, 1, 0, 0);
    ExpectVec(Cross(Vec4{1, 0, 0, 0}, Vec4{0, 1, 0, 0}), 0, 0, 1, 0);
    ExpectVec(Cross(Vec4{0, 1, 0, 0}, Vec4{1, 0, 0, 0}), 0, 0, -1, 0);
    ExpectVec(Cross(Vec4{2, 3, 4, 0}, Vec4{2, 3, 4, 0}), 0, 0, 0, 0);
}

TEST(Vec4Test, NormalizeDividesWByTheThreeDimensionalLength) {
    ExpectVec(Normalize(Vec4{0, 3, 0, 6}), 0, 1, 0, 2);
    ExpectVec(Normalize(Vec4{0, 0, -4, 0}), 0, 0, -1, 0);
    const Vec4 z = Normalize(Vec4{0, 0, 0, 0});
    EXPECT_FALSE(std::isfinite(z.x));
    EXPECT_FALSE(std::isfinite(z.y));
    EXPECT_FALSE(std::isfinite(z.z));
}

TEST(DemoRandTest, SequenceFromStateOne) {
    const uint32_t saved = DemoRandState();
    SetDemoRandState(1);
    // The first values of this generator from state 1 are well known.
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int e : expected) EXPECT_EQ(DemoRand(), e);
    SetDemoRandState(saved);
}

TEST(DemoRandTest, StateWrapsModulo2To32AndStaysInRange) {
    const uint32_t saved = DemoRandState();
    SetDemoRandState(0xFFFFFFFFu);
    // (2^32 - 1) * 214013 + 2531011 mod 2^32 = 2531011 - 214013 = 2316998.
    EXPECT_EQ(DemoRand(), int((2316998u >> 16) & 0x7FFF));
    EXPECT_EQ(DemoRandState(), 2316998u);
    for (int i = 0; i < 100000; ++i) {
        const int v = DemoRand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
    SetDemoRandState(saved);
}

}  // namespace
