#include "audio/AsioCalls.h"

#include "audio/AsioDriver.h"

#include <windows.h>

#include <atomic>
#include <cstring>

namespace {

constexpr char kNoDriverName[] = "No ASIO Driver";
constexpr char kNoDriverError[] = "No ASIO Driver Error";
constexpr char kNoChannelName[] = "None";

// The fault, written once by the thread whose call faulted first, then published.
enum FaultState : int { kNoFault, kFaultBeingWritten, kFaultPublished };
std::atomic<int> faultState{kNoFault};
std::atomic<const IAsioDriver*> faultedDriver{nullptr};
AsioDriverFault fault;

template <std::size_t N>
void setText(char (&field)[N], const char* text)
{
    std::strncpy(field, text, N - 1);
    field[N - 1] = '\0';
}

}  // namespace

const AsioDriverFault* ASIODriverFault()
{
    return faultState.load(std::memory_order_acquire) == kFaultPublished ? &fault : nullptr;
}

bool ASIODriverFaulted(const IAsioDriver* d)
{
    return d != nullptr && faultedDriver.load() == d;
}

void ASIOSwitchOffDriver(IAsioDriver* d, const char* call, const FaultRecord& record)
{
    if (d)
        faultedDriver.store(d);
    int state = kNoFault;
    if (!faultState.compare_exchange_strong(state, kFaultBeingWritten))
        return;
    fault.call = call;
    fault.record = record;
    faultState.store(kFaultPublished, std::memory_order_release);
}

void ASIOForgetDriverFault()
{
    faultState.store(kNoFault);
}

void ASIOReleaseDriver(IAsioDriver* d)
{
    if (!d)
        return;
    if (ASIODriverFaulted(d)) {
        const void* vtable = nullptr;
        auto read = [&] { vtable = *reinterpret_cast<const void* const*>(d); };
        FaultRecord ignored;
        HMODULE module = nullptr;
        constexpr DWORD kPinFlags =
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN;
        if (RunGuardedCall(read, ignored) && vtable)
            GetModuleHandleExA(kPinFlags, static_cast<LPCSTR>(vtable), &module);
        CoInitialize(nullptr);  // deliberately never undone
        return;
    }
    auto release = [d] { d->Release(); };
    FaultRecord record;
    if (!RunGuardedCall(release, record))
        ASIOSwitchOffDriver(d, "Release", record);
}

void CAsioDriverCalls::forget(const IAsioDriver* gone)
{
    IAsioDriver* expected = const_cast<IAsioDriver*>(gone);
    if (gone)
        driver.compare_exchange_strong(expected, nullptr);
}

// Calls `call(driver)` under the guard and stores its status in `result`. False, with
// `result` ASE_NotPresent, without a driver, and with ASE_HWMalfunction when the call
// faulted: then the caller fills its outputs as for no driver.
template <typename Call>
bool CAsioDriverCalls::callDriver(const char* name, ASIOError& result, Call&& call)
{
    IAsioDriver* d = current();
    result = ASE_NotPresent;
    if (!d)
        return false;
    auto invoke = [&] { result = call(d); };
    FaultRecord record;
    if (RunGuardedCall(invoke, record))
        return true;
    forget(d);
    ASIOSwitchOffDriver(d, name, record);
    result = ASE_HWMalfunction;
    return false;
}

ASIOError CAsioDriverCalls::init(ASIODriverInfo* info)
{
    info->driverVersion = 0;
    setText(info->name, kNoDriverName);
    ASIOBool initialised = ASIOFalse;
    ASIOError result = ASE_NotPresent;
    const bool called = callDriver("init", result, [&](IAsioDriver* d) {
        initialised = d->init(info->sysRef);
        return ASE_OK;
    });
    if (!called)
        return result;
    if (!initialised) {
        if (callDriver("getErrorMessage", result, [&](IAsioDriver* d) {
                d->getErrorMessage(info->errorMessage);
                return ASE_OK;
            }))
            info->errorMessage[sizeof info->errorMessage - 1] = '\0';
        use(nullptr);
        return ASE_NotPresent;
    }
    setText(info->errorMessage, kNoDriverError);
    const bool described = callDriver("getDriverName", result, [&](IAsioDriver* d) {
        d->getDriverName(info->name);
        info->name[sizeof info->name - 1] = '\0';
        info->driverVersion = d->getDriverVersion();
        return ASE_OK;
    });
    if (!described)
        setText(info->name, kNoDriverName);
    return result;
}

ASIOError CAsioDriverCalls::start()
{
    ASIOError result;
    callDriver("start", result, [](IAsioDriver* d) { return d->start(); });
    return result;
}

ASIOError CAsioDriverCalls::stop()
{
    ASIOError result;
    callDriver("stop", result, [](IAsioDriver* d) { return d->stop(); });
    return result;
}

ASIOError CAsioDriverCalls::getChannels(AsioLong* numInputChannels, AsioLong* numOutputChannels)
{
    ASIOError result;
    if (!callDriver("getChannels", result, [&](IAsioDriver* d) {
            return d->getChannels(numInputChannels, numOutputChannels);
        }))
        *numInputChannels = *numOutputChannels = 0;
    return result;
}

ASIOError CAsioDriverCalls::getLatencies(AsioLong* inputLatency, AsioLong* outputLatency)
{
    ASIOError result;
    if (!callDriver("getLatencies", result, [&](IAsioDriver* d) {
            return d->getLatencies(inputLatency, outputLatency);
        }))
        *inputLatency = *outputLatency = 0;
    return result;
}

ASIOError CAsioDriverCalls::getBufferSize(AsioLong* minSize, AsioLong* maxSize, AsioLong* preferredSize,
                            AsioLong* granularity)
{
    ASIOError result;
    if (!callDriver("getBufferSize", result, [&](IAsioDriver* d) {
            return d->getBufferSize(minSize, maxSize, preferredSize, granularity);
        }))
        *minSize = *maxSize = *preferredSize = *granularity = 0;
    return result;
}

ASIOError CAsioDriverCalls::canSampleRate(ASIOSampleRate sampleRate)
{
    ASIOError result;
    callDriver("canSampleRate", result,
               [&](IAsioDriver* d) { return d->canSampleRate(sampleRate); });
    return result;
}

ASIOError CAsioDriverCalls::getSampleRate(ASIOSampleRate* sampleRate)
{
    ASIOError result;
    callDriver("getSampleRate", result,
               [&](IAsioDriver* d) { return d->getSampleRate(sampleRate); });
    return result;
}

ASIOError CAsioDriverCalls::setSampleRate(ASIOSampleRate sampleRate)
{
    ASIOError result;
    callDriver("setSampleRate", result,
               [&](IAsioDriver* d) { return d->setSampleRate(sampleRate); });
    return result;
}

ASIOError CAsioDriverCalls::getSamplePosition(ASIOSamples* position, ASIOTimeStamp* timeStamp)
{
    ASIOError result;
    callDriver("getSamplePosition", result,
               [&](IAsioDriver* d) { return d->getSamplePosition(position, timeStamp); });
    return result;
}

ASIOError CAsioDriverCalls::getChannelInfo(ASIOChannelInfo* info)
{
    ASIOError result;
    if (!callDriver("getChannelInfo", result,
                    [&](IAsioDriver* d) { return d->getChannelInfo(info); })) {
        info->channelGroup = -1;
        info->type = 0;
        setText(info->name, kNoChannelName);
    }
    return result;
}

ASIOError CAsioDriverCalls::createBuffers(ASIOBufferInfo* bufferInfos, AsioLong numChannels,
                            AsioLong bufferSize, ASIOCallbacks* callbacks)
{
    ASIOError result;
    if (!callDriver("createBuffers", result, [&](IAsioDriver* d) {
            return d->createBuffers(bufferInfos, numChannels, bufferSize, callbacks);
        })) {
        for (AsioLong k = 0; k < numChannels; ++k)
            bufferInfos[k].buffers[0] = bufferInfos[k].buffers[1] = nullptr;
    }
    return result;
}

ASIOError CAsioDriverCalls::disposeBuffers()
{
    ASIOError result;
    callDriver("disposeBuffers", result, [](IAsioDriver* d) { return d->disposeBuffers(); });
    return result;
}

ASIOError CAsioDriverCalls::controlPanel()
{
    ASIOError result;
    callDriver("controlPanel", result, [](IAsioDriver* d) { return d->controlPanel(); });
    return result;
}

ASIOError CAsioDriverCalls::outputReady()
{
    ASIOError result;
    callDriver("outputReady", result, [](IAsioDriver* d) { return d->outputReady(); });
    return result;
}
