// vec4.cpp -- component-wise arithmetic on four floats; every result is a
// 32-bit float, computed component by component in the order x, y, z, w.
#include "fx/vec4.h"

#include <cmath>

Vec4 operator+(Vec4 a, Vec4 b) {
    return Vec4{a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
}

Vec4& operator+=(Vec4& a, Vec4 b) {
    a.x = a.x + b.x;
    a.y = a.y + b.y;
    a.z = a.z + b.z;
    a.w = a.w + b.w;
    return a;
}

Vec4 operator-(Vec4 a, Vec4 b) {
    return Vec4{a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
}

Vec4 operator*(Vec4 a, float s) {
    return Vec4{a.x * s, a.y * s, a.z * s, a.w * s};
}

Vec4 operator/(Vec4 a, float s) {
    return Vec4{a.x / s, a.y / s, a.z / s, a.w / s};
}

Vec4& operator/=(Vec4& a, float s) {
    a.x = a.x / s;
    a.y = a.y / s;
    a.z = a.z / s;
    a.w = a.w / s;
    return a;
}

float Length(Vec4 a) {
    const float sum = (a.z * a.z + a.y * a.y) + a.x * a.x;
    return std::sqrt(sum);
}

Vec4 Cross(Vec4 a, Vec4 b) {
    return Vec4{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0.0f};
}

Vec4 Normalize(Vec4 a) {
    return a / Length(a);
}
