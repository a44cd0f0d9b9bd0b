// vec4.h -- points, directions and forces in 3D, with a carried fourth
// component w. Component-wise arithmetic includes w; Length and Cross ignore
// it; Normalize divides all four by the 3D length. Nothing checks for zero:
// dividing by zero gives infinities or NaN, as IEEE floats do.
//
// Every result is a 32-bit float, computed component by component in the
// order x, y, z, w. The operations are inline: the spring mesh calls them
// several times per node for thousands of nodes every frame.
#pragma once

#include <cmath>

struct Vec4 {
    float x, y, z, w;  // no constructor logic: fill all four
};

inline Vec4 operator+(Vec4 a, Vec4 b) {
    return Vec4{a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
}

inline Vec4& operator+=(Vec4& a, Vec4 b) {
    a.x = a.x + b.x;
    a.y = a.y + b.y;
    a.z = a.z + b.z;
    a.w = a.w + b.w;
    return a;
}

inline Vec4 operator-(Vec4 a, Vec4 b) {
    return Vec4{a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
}

inline Vec4 operator*(Vec4 a, float s) {
    return Vec4{a.x * s, a.y * s, a.z * s, a.w * s};
}

inline Vec4 operator/(Vec4 a, float s) {
    return Vec4{a.x / s, a.y / s, a.z / s, a.w / s};
}

inline Vec4& operator/=(Vec4& a, float s) {
    a.x = a.x / s;
    a.y = a.y / s;
    a.z = a.z / s;
    a.w = a.w / s;
    return a;
}

// sqrt((z*z + y*y) + x*x), summed in that order; w ignored.
inline float Length(Vec4 a) {
    const float sum = (a.z * a.z + a.y * a.y) + a.x * a.x;
    return std::sqrt(sum);
}

// (a.y*b.z - a.z*b.y, a.z*b.x - a.x*b.z, a.x*b.y - a.y*b.x, 0).
inline Vec4 Cross(Vec4 a, Vec4 b) {
    return Vec4{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0.0f};
}

// a / Length(a), w included.
inline Vec4 Normalize(Vec4 a) {
    return a / Length(a);
}
