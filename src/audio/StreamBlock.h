#pragma once
// The per-block work of the audio stream, free of operating-system calls: the driver's input
// half-buffers converted to floats, the owner's render function, the float outputs converted
// back into the driver's output half-buffers. One conversion call per channel, through the
// loop chosen for its format when the stream's buffers were made; nothing is allocated. The
// stream adds the driver's outputReady and the block position.

#include "audio/AsioTypes.h"
#include "audio/SampleConversion.h"
#include "base/RenderCallback.h"

#include <cstdint>
#include <vector>

constexpr std::int32_t kMaxInputChannels = 32;
constexpr std::int32_t kMaxOutputChannels = 32;
constexpr std::int32_t kMaxStreamChannels = kMaxInputChannels + kMaxOutputChannels;

// The conversion loops of one channel, chosen from its format (audio/SampleConversion.h).
struct ChannelLoops {
    ToFloatLoop toFloat = nullptr;
    FromFloatLoop fromFloat = nullptr;
};

// Chooses the loops of `count` channels from their formats, in the same order.
void chooseChannelLoops(const ASIOChannelInfo* channels, std::int32_t count, ChannelLoops* loops);

struct StreamBlock {
    const ASIOBufferInfo* bufferInfos;  // inputs first, then outputs
    const ChannelLoops* loops;          // same order
    float** inputBuffers;
    float** outputBuffers;
    std::int32_t inputChannels;
    std::int32_t outputChannels;
    std::int32_t frames;
    RenderCallback render;  // may be null: the outputs are then converted as they are
    void* owner;
    // The played outputs go through the output stage (audio/OutputStage.h) before they are
    // converted, with denormals flushed to zero.
    bool limitPlayedOutputs = false;
};

// Processes half-buffer `index` (0 or 1) with the given block position: inputs converted, the
// render function, the output stage when asked for, outputs converted.
void processStreamBlock(const StreamBlock& block, AsioLong index, std::int32_t blockPosition);

// The float arrays of an open stream, one per channel, in one zero-filled allocation, so that
// channels the render function leaves alone (outputs beyond the first two) play silence.
class CChannelArrays {
public:
    // Points inputs[0..inputCount) and outputs[0..outputCount) at `frames` zeroed floats
    // each. False (and every pointer null) if the memory is not there.
    bool allocate(std::int32_t inputCount, std::int32_t outputCount, std::int32_t frames,
                  float** inputs, float** outputs);
    // Frees the storage and clears the pointers of the last allocation.
    void release(float** inputs, float** outputs);

private:
    std::vector<float> storage;
    std::int32_t inputCount = 0;
    std::int32_t outputCount = 0;
};
