#include "audio/AsioStream.h"

#include "audio/AsioCalls.h"

#include <windows.h>

namespace {

constexpr char kNoDriversName[] = "No ASIO Drivers";
constexpr double kFallbackSampleRate = 44100.0;
constexpr double kHighestKeptSampleRate = 96000.0;
constexpr AsioLong kHostEngineVersion = 2;
constexpr AsioULong kPositionFlags = kSystemTimeValid | kSamplePositionValid;
constexpr DWORD kQuietPollMs = 1;

// The one stream of the process, and how many driver callbacks are inside it right now.
// A callback counts itself in before it reads the pointer; the stream's destruction clears
// the pointer before it waits for the count to drop to zero. Both sides use sequentially
// consistent operations, so either the callback sees the null pointer or the destruction
// sees the callback.
std::atomic<CAsioStream*> streamInstance{nullptr};
std::atomic<int> callbacksInside{0};

struct CallbackScope {
    CAsioStream* stream;
    CallbackScope() : stream((callbacksInside.fetch_add(1), streamInstance.load())) {}
    ~CallbackScope() { callbacksInside.fetch_sub(1); }
};

void waitForCallbacksToLeave()
{
    while (callbacksInside.load() != 0)
        Sleep(kQuietPollMs);
}

bool isSupportedSelector(AsioLong value)
{
    switch (value) {
    case kAsioEngineVersion:
    case kAsioResetRequest:
    case kAsioResyncRequest:
    case kAsioLatenciesChanged:
    case kAsioSupportsTimeInfo:
        return true;
    default:
        return false;
    }
}

AsioLong clampChannels(AsioLong count, AsioLong limit)
{
    return count < 0 ? 0 : count > limit ? limit : count;
}

}  // namespace

CAsioStream::CAsioStream(const char* asioKey) : loader(asioKey)
{
    streamInstance.store(this);
    for (std::int32_t i = 0; i < kMaxDriverNames; ++i)
        driverNameTable[i] = driverNameStorage[i];
    // Drivers beyond the table's 32 slots are left out and not counted.
    driverNameCount = loader.driverNames(driverNameTable, kMaxDriverNames);
}

CAsioStream::~CAsioStream()
{
    closeStream();
    CAsioStream* self = this;
    streamInstance.compare_exchange_strong(self, nullptr);
    waitForCallbacksToLeave();
    // `loader` is destroyed next: every created driver is released.
}

std::string CAsioStream::driverNameAt(std::int32_t index) const
{
    if (index >= 0 && index < driverNameCount)
        return driverNameTable[index];
    return kNoDriversName;
}

std::int32_t CAsioStream::openStream(std::int32_t index, RenderCallback render, void* owner)
{
    if (index < 0 || index >= driverNameCount)
        return 0;
    if (workerThread)
        closeStream();  // never two opens on top of each other
    if (!loader.loadDriver(driverNameTable[index]))
        return 0;
    ASIOInit(&driverInfo);  // a failed init drops the driver: buffer creation fails below
    ASIOGetBufferSize(&minSize, &maxSize, &preferredSize, &granularity);
    ASIOGetChannels(&inputChannels, &outputChannels);
    // Only as many channels as the tables hold are opened.
    inputChannels = clampChannels(inputChannels, kMaxInputChannels);
    outputChannels = clampChannels(outputChannels, kMaxOutputChannels);
    if (!negotiateSampleRate() || !createDriverBuffers() || !readChannelFormats())
        return 0;
    if (ASIOGetLatencies(&inputLatency, &outputLatency) != ASE_OK)
        return 0;
    if (!channelArrays.allocate(inputChannels, outputChannels, preferredSize, inputBuffers,
                                outputBuffers))
        return 0;
    renderCallback = render;
    renderOwner = owner;
    return startWorker() ? 1 : 0;
}

// Keeps a rate in (0, 96000] as the driver has it; anything else becomes 44100 Hz. A driver
// that cannot tell its rate is left alone, and then gets no outputReady either.
bool CAsioStream::negotiateSampleRate()
{
    if (ASIOGetSampleRate(&sampleRate) != ASE_OK)
        return true;
    if (!(sampleRate > 0.0) || sampleRate > kHighestKeptSampleRate) {
        if (ASIOSetSampleRate(kFallbackSampleRate) != ASE_OK)
            return false;
        if (ASIOGetSampleRate(&sampleRate) != ASE_OK)
            return false;
    }
    // Tells the driver early that this host calls outputReady.
    ASIOOutputReady();
    return true;
}

bool CAsioStream::createDriverBuffers()
{
    AsioLong k = 0;
    for (AsioLong i = 0; i < inputChannels; ++i, ++k)
        bufferInfos[k] = ASIOBufferInfo{ASIOTrue, i, {nullptr, nullptr}};
    for (AsioLong j = 0; j < outputChannels; ++j, ++k)
        bufferInfos[k] = ASIOBufferInfo{ASIOFalse, j, {nullptr, nullptr}};
    callbacks.bufferSwitch = &CAsioStream::bufferSwitch;
    callbacks.sampleRateDidChange = &CAsioStream::sampleRateDidChange;
    callbacks.asioMessage = &CAsioStream::asioMessage;
    callbacks.bufferSwitchTimeInfo = &CAsioStream::bufferSwitchTimeInfo;
    if (ASIOCreateBuffers(bufferInfos, inputChannels + outputChannels, preferredSize,
                          &callbacks) != ASE_OK)
        return false;
    // A driver that claims success must have handed over every half-buffer.
    for (AsioLong c = 0; c < k; ++c)
        if (!bufferInfos[c].buffers[0] || !bufferInfos[c].buffers[1])
            return false;
    return preferredSize > 0;
}

bool CAsioStream::readChannelFormats()
{
    for (AsioLong k = 0; k < inputChannels + outputChannels; ++k) {
        channelInfos[k] = ASIOChannelInfo{};
        channelInfos[k].channel = bufferInfos[k].channelNum;
        channelInfos[k].isInput = bufferInfos[k].isInput;
        if (ASIOGetChannelInfo(&channelInfos[k]) != ASE_OK)
            return false;
    }
    return true;
}

bool CAsioStream::startStream()
{
    if (ASIOStart() != ASE_OK)
        return false;
    blockPosition = -preferredSize;
    running.store(true, std::memory_order_release);
    return true;
}

// Not running from before the driver's stop is called, and no block still being processed
// when this returns: a driver that goes on switching after its stop has returned (some do)
// finds its buffers left alone. A failed stop leaves the stream running as it was.
bool CAsioStream::stopStream()
{
    const bool wasRunning = running.exchange(false);
    if (ASIOStop() != ASE_OK) {
        running.store(wasRunning);
        return false;
    }
    waitForBlocksToFinish();
    return true;
}

void CAsioStream::waitForBlocksToFinish() const
{
    while (blocksInside.load() != 0)
        Sleep(kQuietPollMs);
}

bool CAsioStream::changeSampleRate(float rate)
{
    if (ASIOCanSampleRate(static_cast<double>(rate)) != ASE_OK)
        return false;
    ASIOSetSampleRate(static_cast<double>(rate));
    ASIOGetSampleRate(&sampleRate);
    return true;
}

bool CAsioStream::closeStream()
{
    if (running.load())
        stopStream();
    // A closed stream processes nothing, whatever the driver answered to stop, and no
    // callback may be half-way through a block when the buffers go.
    running.store(false);
    waitForBlocksToFinish();
    endWorker();
    const bool disposed = ASIODisposeBuffers() == ASE_OK;
    channelArrays.release(inputBuffers, outputBuffers);
    return disposed;
}

bool CAsioStream::startWorker()
{
    workerStop.store(false);
    wakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!wakeEvent)
        return false;
    DWORD id = 0;
    workerThread = CreateThread(nullptr, 0, &CAsioStream::workerMain, this, 0, &id);
    if (!workerThread) {
        CloseHandle(wakeEvent);
        wakeEvent = nullptr;
        return false;
    }
    workerServing.store(true);
    return true;
}

// Wakes the worker after raising its stop flag and lets it end before its handles go.
void CAsioStream::endWorker()
{
    workerServing.store(false);
    waitForCallbacksToLeave();  // none may still be signalling the event
    if (!workerThread)
        return;
    workerStop.store(true);
    SetEvent(wakeEvent);
    WaitForSingleObject(workerThread, INFINITE);
    CloseHandle(workerThread);
    CloseHandle(wakeEvent);
    workerThread = nullptr;
    wakeEvent = nullptr;
}

unsigned long __stdcall CAsioStream::workerMain(void* argument)
{
    auto* self = static_cast<CAsioStream*>(argument);
    while (!self->workerStop.load()) {
        WaitForSingleObject(self->wakeEvent, INFINITE);
        if (self->workerStop.load())
            break;
        self->processBlock(self->pendingIndex.load(std::memory_order_relaxed));
    }
    return 0;
}

void CAsioStream::processBlock(AsioLong index)
{
    // Counted in before `running` is read, so that stopStream, which clears `running` before
    // it reads the count, either keeps this block out or waits for it.
    struct Inside {
        std::atomic<int>& count;
        explicit Inside(std::atomic<int>& c) : count(c) { count.fetch_add(1); }
        ~Inside() { count.fetch_sub(1); }
    } inside(blocksInside);
    if (!running.load() || (index != 0 && index != 1))
        return;
    const StreamBlock block{bufferInfos,  channelInfos,   inputBuffers,   outputBuffers,
                            inputChannels, outputChannels, preferredSize, renderCallback,
                            renderOwner};
    processStreamBlock(block, index, blockPosition);
    ASIOOutputReady();
    // Wraps around after 2^31 frames instead of overflowing.
    blockPosition = static_cast<std::int32_t>(static_cast<std::uint32_t>(blockPosition)
                                              + static_cast<std::uint32_t>(preferredSize));
}

void CAsioStream::deferBlock(AsioLong index)
{
    if (!workerServing.load())
        return;
    pendingIndex.store(index, std::memory_order_relaxed);
    SetEvent(wakeEvent);  // orders the index before the worker's read
}

void CAsioStream::bufferSwitch(AsioLong index, ASIOBool directProcess)
{
    ASIOTime time{};
    if (ASIOGetSamplePosition(&time.timeInfo.samplePosition, &time.timeInfo.systemTime) == ASE_OK)
        time.timeInfo.flags = kPositionFlags;
    bufferSwitchTimeInfo(&time, index, directProcess);
}

void CAsioStream::sampleRateDidChange(ASIOSampleRate) {}

AsioLong CAsioStream::asioMessage(AsioLong selector, AsioLong value, void*, double*)
{
    switch (selector) {
    case kAsioSelectorSupported:
        return isSupportedSelector(value) ? 1 : 0;
    case kAsioEngineVersion:
        return kHostEngineVersion;
    case kAsioResetRequest:
        // Answered at once, on the driver's thread; the stream stays marked running.
        ASIOStop();
        return 1;
    case kAsioResyncRequest:
    case kAsioLatenciesChanged:
    case kAsioSupportsTimeInfo:
        return 1;
    default:  // kAsioBufferSizeChange, kAsioSupportsTimeCode and unknown selectors
        return 0;
    }
}

ASIOTime* CAsioStream::bufferSwitchTimeInfo(ASIOTime*, AsioLong index, ASIOBool directProcess)
{
    CallbackScope scope;
    if (!scope.stream)
        return nullptr;
    if (directProcess)
        scope.stream->processBlock(index);
    else
        scope.stream->deferBlock(index);
    return nullptr;
}
