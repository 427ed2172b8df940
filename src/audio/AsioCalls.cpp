#include "audio/AsioCalls.h"

#include "audio/AsioDriver.h"
#include "audio/AudioDriverLoader.h"

#include <cstring>

namespace {

constexpr char kNoDriverName[] = "No ASIO Driver";
constexpr char kNoDriverError[] = "No ASIO Driver Error";
constexpr char kNoChannelName[] = "None";

IAsioDriver* driver()
{
    return activeDriver.load(std::memory_order_acquire);
}

template <std::size_t N>
void setText(char (&field)[N], const char* text)
{
    std::strncpy(field, text, N - 1);
    field[N - 1] = '\0';
}

}  // namespace

ASIOError ASIOInit(ASIODriverInfo* info)
{
    info->driverVersion = 0;
    setText(info->name, kNoDriverName);
    IAsioDriver* d = driver();
    if (!d)
        return ASE_NotPresent;
    if (!d->init(info->sysRef)) {
        d->getErrorMessage(info->errorMessage);
        info->errorMessage[sizeof info->errorMessage - 1] = '\0';
        activeDriver.store(nullptr);
        return ASE_NotPresent;
    }
    setText(info->errorMessage, kNoDriverError);
    d->getDriverName(info->name);
    info->name[sizeof info->name - 1] = '\0';
    info->driverVersion = d->getDriverVersion();
    return ASE_OK;
}

ASIOError ASIOStart()
{
    IAsioDriver* d = driver();
    return d ? d->start() : ASE_NotPresent;
}

ASIOError ASIOStop()
{
    IAsioDriver* d = driver();
    return d ? d->stop() : ASE_NotPresent;
}

ASIOError ASIOGetChannels(AsioLong* numInputChannels, AsioLong* numOutputChannels)
{
    IAsioDriver* d = driver();
    if (!d) {
        *numInputChannels = *numOutputChannels = 0;
        return ASE_NotPresent;
    }
    return d->getChannels(numInputChannels, numOutputChannels);
}

ASIOError ASIOGetLatencies(AsioLong* inputLatency, AsioLong* outputLatency)
{
    IAsioDriver* d = driver();
    if (!d) {
        *inputLatency = *outputLatency = 0;
        return ASE_NotPresent;
    }
    return d->getLatencies(inputLatency, outputLatency);
}

ASIOError ASIOGetBufferSize(AsioLong* minSize, AsioLong* maxSize, AsioLong* preferredSize,
                            AsioLong* granularity)
{
    IAsioDriver* d = driver();
    if (!d) {
        *minSize = *maxSize = *preferredSize = *granularity = 0;
        return ASE_NotPresent;
    }
    return d->getBufferSize(minSize, maxSize, preferredSize, granularity);
}

ASIOError ASIOCanSampleRate(ASIOSampleRate sampleRate)
{
    IAsioDriver* d = driver();
    return d ? d->canSampleRate(sampleRate) : ASE_NotPresent;
}

ASIOError ASIOGetSampleRate(ASIOSampleRate* sampleRate)
{
    IAsioDriver* d = driver();
    return d ? d->getSampleRate(sampleRate) : ASE_NotPresent;
}

ASIOError ASIOSetSampleRate(ASIOSampleRate sampleRate)
{
    IAsioDriver* d = driver();
    return d ? d->setSampleRate(sampleRate) : ASE_NotPresent;
}

ASIOError ASIOGetSamplePosition(ASIOSamples* position, ASIOTimeStamp* timeStamp)
{
    IAsioDriver* d = driver();
    return d ? d->getSamplePosition(position, timeStamp) : ASE_NotPresent;
}

ASIOError ASIOGetChannelInfo(ASIOChannelInfo* info)
{
    IAsioDriver* d = driver();
    if (!d) {
        info->channelGroup = -1;
        info->type = 0;
        setText(info->name, kNoChannelName);
        return ASE_NotPresent;
    }
    return d->getChannelInfo(info);
}

ASIOError ASIOCreateBuffers(ASIOBufferInfo* bufferInfos, AsioLong numChannels,
                            AsioLong bufferSize, ASIOCallbacks* callbacks)
{
    IAsioDriver* d = driver();
    if (!d) {
        for (AsioLong k = 0; k < numChannels; ++k)
            bufferInfos[k].buffers[0] = bufferInfos[k].buffers[1] = nullptr;
        return ASE_NotPresent;
    }
    return d->createBuffers(bufferInfos, numChannels, bufferSize, callbacks);
}

ASIOError ASIODisposeBuffers()
{
    IAsioDriver* d = driver();
    return d ? d->disposeBuffers() : ASE_NotPresent;
}

ASIOError ASIOOutputReady()
{
    IAsioDriver* d = driver();
    return d ? d->outputReady() : ASE_NotPresent;
}
