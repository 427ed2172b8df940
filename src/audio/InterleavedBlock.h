#pragma once
// The per-block work of a device with one interleaved buffer (Windows audio), free of
// operating-system calls: the owner's render function fills the two played outputs, the output
// stage scales and limits them, and they are written into the device's frames through the
// conversion loop of its sample format; the device's other channels get silence. Nothing is
// allocated: the caller owns every array.

#include "audio/AsioSampleType.h"
#include "audio/OutputStage.h"
#include "audio/SampleConversion.h"
#include "base/RenderCallback.h"

#include <cstdint>

// How the device lays out one frame: `channels` samples of `bytesPerSample` bytes each, in
// `sampleType`'s encoding (a type the conversion loops write, audio/SampleConversion.h).
struct InterleavedFormat {
    std::int32_t channels = 0;
    std::int32_t bytesPerSample = 0;
    ASIOSampleType sampleType = ASIOSTFloat32LSB;
};

// The format of a device frame of `channels` samples, each `containerBits` wide and float or
// integer; channels 0 when no conversion loop writes it (8-bit, 64-bit float, ...). An integer
// sample with fewer valid bits than its container is written as a full-width one.
InterleavedFormat interleavedFormat(std::int32_t channels, std::int32_t containerBits, bool isFloat);

// Whether blocks can be written in `format`: at least one channel, a width the type has, and
// a type the conversion loops write.
bool writesInterleaved(const InterleavedFormat& format);

struct InterleavedBlock {
    InterleavedFormat format;
    FromFloatLoop fromFloat;       // the loop of format.sampleType
    float* outputs[kPlayedOutputs];  // the render function's arrays, maxFrames each
    unsigned char* scratch;        // maxFrames samples of the device's width
    std::int32_t maxFrames;
    RenderCallback render;         // may be null: the outputs are written as they are
    void* owner;
};

// Renders `frames` frames (at most maxFrames) at `blockPosition` and writes them to `device`.
void renderInterleavedBlock(const InterleavedBlock& block, unsigned char* device,
                            std::int32_t frames, std::int32_t blockPosition);

// Writes `frames` frames of `played` planar float channels (the first ones) into `device`, the
// others silent; `scratch` holds `frames` samples of the device's width.
void writeInterleaved(const InterleavedFormat& format, FromFloatLoop fromFloat,
                      const float* const* planar, std::int32_t played, std::int32_t frames,
                      unsigned char* scratch, unsigned char* device);
