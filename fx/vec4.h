// vec4.h -- points, directions and forces in 3D, with a carried fourth
// component w. Component-wise arithmetic includes w; Length and Cross ignore
// it; Normalize divides all four by the 3D length. Nothing checks for zero:
// dividing by zero gives infinities or NaN, as IEEE floats do.
#pragma once

struct Vec4 {
    float x, y, z, w;  // no constructor logic: fill all four
};

Vec4 operator+(Vec4 a, Vec4 b);
Vec4& operator+=(Vec4& a, Vec4 b);
Vec4 operator-(Vec4 a, Vec4 b);
Vec4 operator*(Vec4 a, float s);
Vec4 operator/(Vec4 a, float s);
Vec4& operator/=(Vec4& a, float s);
// sqrt((z*z + y*y) + x*x), summed in that order; w ignored.
float Length(Vec4 a);
// (a.y*b.z - a.z*b.y, a.z*b.x - a.x*b.z, a.x*b.y - a.y*b.x, 0).
Vec4 Cross(Vec4 a, Vec4 b);
// a / Length(a), w included.
Vec4 Normalize(Vec4 a);
