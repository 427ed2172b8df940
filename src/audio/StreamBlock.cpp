#include "audio/StreamBlock.h"

#include "audio/OutputStage.h"
#include "base/DenormalGuard.h"

#include <algorithm>
#include <new>

void chooseChannelLoops(const ASIOChannelInfo* channels, std::int32_t count, ChannelLoops* loops)
{
    for (std::int32_t k = 0; k < count; ++k)
        loops[k] = ChannelLoops{toFloatLoop(channels[k].type), fromFloatLoop(channels[k].type)};
}

void processStreamBlock(const StreamBlock& b, AsioLong index, std::int32_t blockPosition)
{
    const std::int32_t converted = b.frames > 0 ? b.inputChannels : 0;
    for (std::int32_t i = 0; i < converted; ++i)
        b.loops[i].toFloat(b.inputBuffers[i],
                           static_cast<const unsigned char*>(b.bufferInfos[i].buffers[index]),
                           b.frames);
    if (b.render)
        b.render(b.inputBuffers, b.outputBuffers, b.inputChannels, b.outputChannels, b.frames,
                 blockPosition, b.owner);
    if (b.limitPlayedOutputs && b.frames > 0) {
        const CDenormalGuard noDenormals;
        for (std::int32_t c = 0; c < std::min(b.outputChannels, kPlayedOutputs); ++c)
            ScaleAndLimit(b.outputBuffers[c], b.frames);
    }
    for (std::int32_t j = 0; j < (b.frames > 0 ? b.outputChannels : 0); ++j) {
        const std::int32_t k = b.inputChannels + j;
        b.loops[k].fromFloat(static_cast<unsigned char*>(b.bufferInfos[k].buffers[index]),
                             b.outputBuffers[j], b.frames);
    }
}

bool CChannelArrays::allocate(std::int32_t inputs, std::int32_t outputs, std::int32_t frames,
                              float** inputTable, float** outputTable)
{
    release(inputTable, outputTable);
    if (inputs < 0 || outputs < 0 || frames <= 0)
        return false;
    const auto perChannel = static_cast<std::size_t>(frames);
    try {
        storage.assign(perChannel * static_cast<std::size_t>(inputs + outputs), 0.0f);
    } catch (const std::bad_alloc&) {
        return false;
    }
    float* next = storage.data();
    for (std::int32_t i = 0; i < inputs; ++i, next += perChannel)
        inputTable[i] = next;
    for (std::int32_t j = 0; j < outputs; ++j, next += perChannel)
        outputTable[j] = next;
    inputCount = inputs;
    outputCount = outputs;
    return true;
}

void CChannelArrays::release(float** inputTable, float** outputTable)
{
    for (std::int32_t i = 0; i < inputCount; ++i)
        inputTable[i] = nullptr;
    for (std::int32_t j = 0; j < outputCount; ++j)
        outputTable[j] = nullptr;
    inputCount = outputCount = 0;
    std::vector<float>().swap(storage);
}
