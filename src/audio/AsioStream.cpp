#include "audio/AsioStream.h"

#include "audio/AsioCalls.h"
#include "audio/SampleConversion.h"
#include "base/SampleRate.h"

#include <windows.h>

#include <cmath>

namespace {

constexpr char kNoDriversName[] = "No ASIO Drivers";
constexpr double kHighestKeptSampleRate = 96000.0;
constexpr AsioLong kHostEngineVersion = 2;
constexpr AsioULong kPositionFlags = kSystemTimeValid | kSamplePositionValid;
constexpr DWORD kQuietPollMs = 1;
// Rates are whole numbers of hertz in practice; a driver may report one a hair off.
constexpr double kRateToleranceHz = 0.5;

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

// The messages this host answers, and how; kAsioSelectorSupported says yes to exactly these.
enum class Answer { EngineVersion, DriverRequest, Acknowledged };

struct SelectorAnswer {
    AsioLong selector;
    Answer answer;
};

constexpr SelectorAnswer kSelectorAnswers[] = {
    {kAsioEngineVersion, Answer::EngineVersion},
    {kAsioResetRequest, Answer::DriverRequest},
    {kAsioBufferSizeChange, Answer::DriverRequest},
    {kAsioResyncRequest, Answer::DriverRequest},
    {kAsioLatenciesChanged, Answer::Acknowledged},  // read again at the next open
    {kAsioSupportsTimeInfo, Answer::Acknowledged},
};

const SelectorAnswer* answerFor(AsioLong selector)
{
    for (const SelectorAnswer& entry : kSelectorAnswers)
        if (entry.selector == selector)
            return &entry;
    return nullptr;
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

std::int32_t CAsioStream::openStream(std::int32_t index, RenderCallback render, void* owner,
                                     bool limitPlayedOutputs)
{
    if (index < 0 || index >= driverNameCount)
        return 0;
    closeStream();  // never two opens on top of each other
    inputChannels = outputChannels = 0;
    preferredSize = 0;
    sampleRate = 0.0;
    skippedCount.store(0);
    requestCount.store(0);
    renderCallback = render;
    renderOwner = owner;
    limitOutputs = limitPlayedOutputs;
    ASIOForgetDriverFault();
    // By position, not by name: the table's names are cut and may repeat.
    if (!loader.loadDriverAt(index))
        return 0;
    if (openDriver())
        return 1;
    closeStream();
    return 0;
}

// Every step must succeed; what was done before a failure is undone by closeStream.
bool CAsioStream::openDriver()
{
    // A failed init also drops the driver from the call layer; closing then releases it.
    if (loader.calls().init(&driverInfo) != ASE_OK)
        return false;
    if (!readDriverLayout() || !negotiateSampleRate() || !createDriverBuffers()
        || !readChannelFormats() || !hasWritableOutput())
        return false;
    if (loader.calls().getLatencies(&inputLatency, &outputLatency) != ASE_OK)
        return false;
    if (!channelArrays.allocate(inputChannels, outputChannels, preferredSize, inputBuffers,
                                outputBuffers))
        return false;
    return startWorker();
}

// Buffer sizes and channel counts; a driver that cannot tell them, offers no buffer size or
// has no output is not opened. Only as many channels as the tables hold are opened.
bool CAsioStream::readDriverLayout()
{
    if (loader.calls().getBufferSize(&minSize, &maxSize, &preferredSize, &granularity) != ASE_OK
        || preferredSize <= 0)
        return false;
    if (loader.calls().getChannels(&inputChannels, &outputChannels) != ASE_OK)
        return false;
    inputChannels = clampChannels(inputChannels, kMaxInputChannels);
    outputChannels = clampChannels(outputChannels, kMaxOutputChannels);
    return outputChannels > 0;
}

// The driver's own word for its rate; the last known rate stays if it cannot tell.
bool CAsioStream::readDriverRate()
{
    ASIOSampleRate reported = 0.0;
    if (loader.calls().getSampleRate(&reported) != ASE_OK)
        return false;
    sampleRate = reported;
    rateInForce.store(std::isfinite(reported) && reported > 0.0 ? reported : 0.0,
                      std::memory_order_relaxed);
    return true;
}

// Keeps a rate in (0, 96000] as the driver has it; anything else becomes 44100 Hz. A driver
// that cannot tell its rate is left alone, and then gets no outputReady either.
bool CAsioStream::negotiateSampleRate()
{
    if (!readDriverRate())
        return true;
    if (!(sampleRate > 0.0) || sampleRate > kHighestKeptSampleRate) {
        if (!changeSampleRate(kDefaultSampleRate))
            return false;
    }
    // Tells the driver early that this host calls outputReady.
    loader.calls().outputReady();
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
    if (loader.calls().createBuffers(bufferInfos, inputChannels + outputChannels, preferredSize,
                          &callbacks) != ASE_OK)
        return false;
    buffersCreated = true;
    // A driver that claims success must have handed over every half-buffer.
    for (AsioLong c = 0; c < k; ++c)
        if (!bufferInfos[c].buffers[0] || !bufferInfos[c].buffers[1])
            return false;
    return true;
}

bool CAsioStream::readChannelFormats()
{
    for (AsioLong k = 0; k < inputChannels + outputChannels; ++k) {
        channelInfos[k] = ASIOChannelInfo{};
        channelInfos[k].channel = bufferInfos[k].channelNum;
        channelInfos[k].isInput = bufferInfos[k].isInput;
        if (loader.calls().getChannelInfo(&channelInfos[k]) != ASE_OK)
            return false;
    }
    // Each channel's conversion is chosen here, once, not in every block.
    chooseChannelLoops(channelInfos, inputChannels + outputChannels, channelLoops);
    return true;
}

// Without an output in a format the stream writes, nothing would ever be heard.
bool CAsioStream::hasWritableOutput() const
{
    for (AsioLong j = 0; j < outputChannels; ++j)
        if (convertsSampleType(channelInfos[inputChannels + j].type))
            return true;
    return false;
}

bool CAsioStream::startStream()
{
    if (!buffersCreated)
        return false;
    if (driverStarted)
        return true;
    if (loader.calls().start() != ASE_OK)
        return false;
    driverStarted = true;
    blockPosition = -preferredSize;
    running.store(true, std::memory_order_release);
    return true;
}

// Not running from before the driver's stop is called, and no block still being processed
// when this returns: a driver that goes on switching after its stop has returned (some do)
// finds its buffers left alone. A failed stop leaves the stream running as it was.
bool CAsioStream::stopStream()
{
    if (!driverStarted)
        return true;
    const bool wasRunning = running.exchange(false);
    if (loader.calls().stop() != ASE_OK) {
        running.store(wasRunning);
        return false;
    }
    driverStarted = false;
    waitForBlocksToFinish();
    return true;
}

void CAsioStream::waitForBlocksToFinish() const
{
    while (blocksInside.load() != 0)
        Sleep(kQuietPollMs);
}

// Some drivers accept a rate and answer its setting with success, yet keep running at the
// old one: the rate read back afterwards counts when the driver can tell it.
bool CAsioStream::changeSampleRate(double wanted)
{
    // A driver that reports the change it was asked for is not heard as changing on its own.
    settingRate.store(true);
    const bool accepted = loader.calls().canSampleRate(wanted) == ASE_OK
                          && loader.calls().setSampleRate(wanted) == ASE_OK;
    ASIOSampleRate reported = 0.0;
    const bool told = loader.calls().getSampleRate(&reported) == ASE_OK && std::isfinite(reported)
                      && reported > 0.0;
    // A driver that took the rate and cannot tell it (an error, NaN, 0) runs at the rate
    // asked for.
    if (told || accepted) {
        sampleRate = told ? reported : wanted;
        rateInForce.store(sampleRate, std::memory_order_relaxed);
    }
    settingRate.store(false);
    return accepted && std::fabs(sampleRate - wanted) <= kRateToleranceHz;
}

bool CAsioStream::closeStream()
{
    // A driver that refused to stop is not asked again: the stream is closing regardless.
    if (driverStarted)
        stopStream();
    driverStarted = false;
    // A closed stream processes nothing, whatever the driver answered to stop, and no
    // callback may be half-way through a block when the buffers go.
    running.store(false);
    waitForBlocksToFinish();
    endWorker();
    bool disposed = false;
    if (buffersCreated) {
        buffersCreated = false;
        disposed = loader.calls().disposeBuffers() == ASE_OK;
    }
    channelArrays.release(inputBuffers, outputBuffers);
    loader.removeCurrentDriver();  // the driver's release: its callbacks end there
    return disposed;
}

bool CAsioStream::controlPanel()
{
    return buffersCreated && loader.calls().controlPanel() == ASE_OK;
}

std::string CAsioStream::driverFaultText() const
{
    const AsioDriverFault* fault = ASIODriverFault();
    if (!fault)
        return {};
    return ::FaultText(fault->call, fault->record);
}

void CAsioStream::setDriverRequestHandler(DriverRequestHandler handler, void* context)
{
    // The driver's thread reads the handler first, then the context.
    requestHandler.store(nullptr, std::memory_order_release);
    requestContext.store(context, std::memory_order_release);
    requestHandler.store(handler, std::memory_order_release);
}

void CAsioStream::passDriverRequest()
{
    requestCount.fetch_add(1, std::memory_order_relaxed);
    const DriverRequestHandler handler = requestHandler.load(std::memory_order_acquire);
    if (handler)
        handler(requestContext.load(std::memory_order_acquire));
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
    // A switch from a second driver thread while a block is under way: skipped, so that the
    // render function never runs twice at once. Never waits.
    if (processing.exchange(true, std::memory_order_acquire)) {
        skippedCount.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const StreamBlock block{bufferInfos,   channelLoops,   inputBuffers,  outputBuffers,
                            inputChannels, outputChannels, preferredSize, renderCallback,
                            renderOwner,   limitOutputs};
    processStreamBlock(block, index, blockPosition);
    loader.calls().outputReady();
    // Wraps around after 2^31 frames instead of overflowing.
    blockPosition = static_cast<std::int32_t>(static_cast<std::uint32_t>(blockPosition)
                                              + static_cast<std::uint32_t>(preferredSize));
    completedCount.fetch_add(1, std::memory_order_relaxed);
    processing.store(false, std::memory_order_release);
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
    {
        CallbackScope scope;
        if (scope.stream
            && scope.stream->loader.calls().getSamplePosition(&time.timeInfo.samplePosition,
                                                              &time.timeInfo.systemTime)
                   == ASE_OK)
            time.timeInfo.flags = kPositionFlags;
    }
    bufferSwitchTimeInfo(&time, index, directProcess);
}

// The driver runs at another rate of its own accord (an external clock): the owner opens it
// afresh, as for a reset request, and so tells the instrument. The rate already in force, the
// echo of the stream's own change and an unknown rate (0: the clock is lost) change nothing.
void CAsioStream::sampleRateDidChange(ASIOSampleRate rate)
{
    CallbackScope scope;
    if (!scope.stream || scope.stream->settingRate.load() || !(rate > 0.0)
        || std::fabs(rate - scope.stream->rateInForce.load(std::memory_order_relaxed))
               <= kRateToleranceHz)
        return;
    scope.stream->passDriverRequest();
}

// Unknown selectors and kAsioSupportsTimeCode are answered 0.
AsioLong CAsioStream::asioMessage(AsioLong selector, AsioLong value, void*, double*)
{
    if (selector == kAsioSelectorSupported)
        return answerFor(value) ? 1 : 0;
    const SelectorAnswer* entry = answerFor(selector);
    if (!entry)
        return 0;
    switch (entry->answer) {
    case Answer::EngineVersion:
        return kHostEngineVersion;
    case Answer::DriverRequest: {
        // Never stopped or reopened here, on the driver's own thread: the owner does that.
        CallbackScope scope;
        if (scope.stream)
            scope.stream->passDriverRequest();
        return 1;
    }
    case Answer::Acknowledged:
        return 1;
    }
    return 0;
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
