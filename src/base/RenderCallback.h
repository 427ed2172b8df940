#pragma once
// The function the audio stream calls once per block, on the audio thread, after converting the
// driver's input to floats; what it leaves in the output arrays is converted to the driver's
// format afterwards. Arguments: input channel arrays, output channel arrays, input channel
// count, output channel count, frames in the block, sample position of the block, and the
// owner's value given at open. The result is ignored.

#include <cstdint>

using RenderCallback = std::int32_t (*)(float** inputs, float** outputs, std::int32_t inputChannels,
                                        std::int32_t outputChannels, std::int32_t frames,
                                        std::int32_t blockPosition, void* owner);
