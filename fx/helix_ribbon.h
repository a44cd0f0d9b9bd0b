// helix_ribbon.h -- a quad strip wound around the z axis.
//
// Both edges run along helices of `radius`; pair n sits at z = n * zStep with
// edge angles startAngles[e] + n * angleSteps[e] (accumulated in float).
// Draw leaves the start angles advanced by segmentCount steps.
#pragma once

#include <cstdint>

class HelixRibbon {
public:
    HelixRibbon();   // count 0, z step 0, radius and angles 0
    ~HelixRibbon();  // frees the two angle pairs
    HelixRibbon(const HelixRibbon&) = delete;  // owns its arrays: never copied
    HelixRibbon& operator=(const HelixRibbon&) = delete;

    void SetSegmentCount(int32_t count);
    void SetZStep(float step);
    void SetRadius(float radius);
    void SetStartAngles(float a, float b);  // radians, edge A then edge B
    void SetAngleStep(float a, float b);    // radians per vertex pair
    // Emits the strip with the caller's colour, material and texture state.
    void Draw();

    int32_t segmentCount = 0;        // vertex pairs drawn
    float zStep = 0.0f;              // z advance per pair
    float radius = 0.0f;             // distance of both edges from the axis
    float* startAngles = nullptr;    // two floats, owned
    float* angleSteps = nullptr;     // two floats, owned
};
