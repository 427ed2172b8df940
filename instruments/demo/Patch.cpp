#include "Patch.h"

namespace demo {

// name, saw, pulse, sub, width, detune, cutoff, res, env oct, keytrack, vel oct,
// amp A D S R, filter A D S R, velocity to level, gain
const Patch kPatches[kPatchCount] = {
    {"Warm Keys", 0.7f, 0.3f, 0.3f, 0.5f, 6.0f, 900.0f, 0.2f, 2.5f, 0.6f, 1.5f,
     0.003f, 1.2f, 0.55f, 0.35f, 0.002f, 0.6f, 0.2f, 0.4f, 0.8f, 0.9f},
    {"Soft Pad", 0.8f, 0.2f, 0.2f, 0.5f, 12.0f, 700.0f, 0.15f, 1.5f, 0.4f, 0.8f,
     0.45f, 1.5f, 0.8f, 1.2f, 0.8f, 2.0f, 0.5f, 1.5f, 0.4f, 0.8f},
    {"Bright Lead", 1.0f, 0.0f, 0.2f, 0.5f, 4.0f, 2200.0f, 0.35f, 2.0f, 0.8f, 1.0f,
     0.004f, 0.4f, 0.85f, 0.15f, 0.002f, 0.3f, 0.5f, 0.2f, 0.6f, 0.8f},
    {"Hollow Square", 0.0f, 1.0f, 0.25f, 0.5f, 0.0f, 1400.0f, 0.25f, 1.5f, 0.7f, 1.0f,
     0.005f, 0.8f, 0.6f, 0.25f, 0.003f, 0.5f, 0.3f, 0.3f, 0.7f, 0.8f},
    {"Pluck", 0.8f, 0.2f, 0.1f, 0.35f, 3.0f, 300.0f, 0.4f, 4.0f, 0.7f, 2.0f,
     0.002f, 0.5f, 0.0f, 0.3f, 0.001f, 0.18f, 0.0f, 0.2f, 0.9f, 1.0f},
    {"Deep Bass", 0.6f, 0.4f, 0.7f, 0.3f, 5.0f, 250.0f, 0.3f, 2.5f, 0.3f, 1.0f,
     0.003f, 0.6f, 0.7f, 0.12f, 0.002f, 0.25f, 0.2f, 0.15f, 0.7f, 1.0f},
    {"Brass Section", 1.0f, 0.0f, 0.1f, 0.5f, 9.0f, 500.0f, 0.1f, 3.0f, 0.6f, 1.5f,
     0.06f, 0.5f, 0.75f, 0.25f, 0.08f, 0.6f, 0.45f, 0.3f, 0.7f, 0.8f},
    {"Glass Bells", 0.2f, 0.8f, 0.0f, 0.12f, 2.0f, 3000.0f, 0.5f, 1.0f, 1.0f, 1.0f,
     0.002f, 2.5f, 0.0f, 1.8f, 0.002f, 1.5f, 0.0f, 1.5f, 0.8f, 0.9f},
};

}  // namespace demo
