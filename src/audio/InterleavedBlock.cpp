#include "audio/InterleavedBlock.h"

#include "base/DenormalGuard.h"

#include <algorithm>
#include <cstring>

InterleavedFormat interleavedFormat(std::int32_t channels, std::int32_t containerBits, bool isFloat)
{
    InterleavedFormat format;
    format.bytesPerSample = containerBits / 8;
    if (isFloat && containerBits == 32)
        format.sampleType = ASIOSTFloat32LSB;
    else if (!isFloat && containerBits == 16)
        format.sampleType = ASIOSTInt16LSB;
    else if (!isFloat && containerBits == 24)
        format.sampleType = ASIOSTInt24LSB;
    else if (!isFloat && containerBits == 32)
        format.sampleType = ASIOSTInt32LSB;
    else
        return InterleavedFormat{};
    format.channels = channels > 0 ? channels : 0;
    return format;
}

bool writesInterleaved(const InterleavedFormat& format)
{
    return format.channels > 0 && convertsSampleType(format.sampleType) &&
           format.bytesPerSample == sampleWidth(format.sampleType);
}

void renderInterleavedBlock(const InterleavedBlock& b, unsigned char* device, std::int32_t frames,
                            std::int32_t blockPosition)
{
    frames = std::min(frames, b.maxFrames);
    if (frames <= 0)
        return;
    // The device records nothing: the instrument gets no input arrays.
    float* inputs[1] = {nullptr};
    float* outputs[kPlayedOutputs] = {b.outputs[0], b.outputs[1]};
    if (b.render)
        b.render(inputs, outputs, 0, kPlayedOutputs, frames, blockPosition, b.owner);
    {
        const CDenormalGuard noDenormals;
        for (float* channel : outputs)
            ScaleAndLimit(channel, frames);
    }
    writeInterleaved(b.format, b.fromFloat, b.outputs, kPlayedOutputs, frames, b.scratch, device);
}

namespace {

// Float frames are stored straight into their slots; the conversion would only copy them.
void scatterFloats(const float* source, std::int32_t stride, std::int32_t frames, float* slot)
{
    for (std::int32_t f = 0; f < frames; ++f)
        std::memcpy(slot + static_cast<std::ptrdiff_t>(f) * stride, source + f, sizeof(float));
}

template <std::size_t Width>
void scatterSamples(const unsigned char* source, std::int32_t frameBytes, std::int32_t frames,
                    unsigned char* slot)
{
    for (std::int32_t f = 0; f < frames; ++f, slot += frameBytes, source += Width)
        std::memcpy(slot, source, Width);
}

}  // namespace

void writeInterleaved(const InterleavedFormat& format, FromFloatLoop fromFloat,
                      const float* const* planar, std::int32_t played, std::int32_t frames,
                      unsigned char* scratch, unsigned char* device)
{
    const std::int32_t width = format.bytesPerSample;
    const std::int32_t frameBytes = width * format.channels;
    const std::int32_t written = std::min(played, format.channels);
    if (written < format.channels) {
        // Silence is all-zero bytes in every format written here; the played slots are then
        // written over.
        std::memset(device, 0, static_cast<std::size_t>(frameBytes) * frames);
    }
    for (std::int32_t c = 0; c < written; ++c) {
        unsigned char* slot = device + c * width;
        if (format.sampleType == ASIOSTFloat32LSB) {
            scatterFloats(planar[c], format.channels, frames, reinterpret_cast<float*>(slot));
            continue;
        }
        fromFloat(scratch, planar[c], frames);
        switch (width) {
        case 2: scatterSamples<2>(scratch, frameBytes, frames, slot); break;
        case 3: scatterSamples<3>(scratch, frameBytes, frames, slot); break;
        default: scatterSamples<4>(scratch, frameBytes, frames, slot); break;
        }
    }
}
