#pragma once
// The ASIO call layer: CAsioDriverCalls holds the current driver and has one function per
// driver operation, each calling that driver and passing its status through. Without a current
// driver nothing is called, the outputs are filled as listed, and the result is ASE_NotPresent
// (-1000). The driver loader owns the one object and makes a driver current; the stream calls
// through it, also from the driver's and the worker's threads while a stream is open.
//
// Every call into the driver runs under the fault guard (base/FaultGuard.h); the calls the
// driver's thread makes from inside its own bufferSwitch nest inside that. A fault switches
// the driver off like a failing one: the call answers ASE_HWMalfunction with the outputs
// filled as for no driver, the driver is dropped from the call layer (every later call
// reports ASE_NotPresent), and it is never called, released or unloaded again: its module may
// be broken. What happened is kept until ASIOForgetDriverFault. Faults are about driver
// objects, whoever calls them, so what is known of them belongs to the process.

#include "audio/AsioTypes.h"
#include "base/FaultGuard.h"

#include <atomic>

class IAsioDriver;

struct AsioDriverFault {
    const char* call = nullptr;  // "createBuffers", "start", "the driver's creation", ...
    FaultRecord record;
};

// The fault that switched the driver off, once written in full; null while there is none.
const AsioDriverFault* ASIODriverFault();
// True for a driver object that faulted: its loader must not release it.
bool ASIODriverFaulted(const IAsioDriver* driver);
// Records a fault of `driver` (null if there was no object yet) in `call` and drops it from
// the call layer. The first fault is kept.
void ASIOSwitchOffDriver(IAsioDriver* driver, const char* call, const FaultRecord& record);
// Forgets the fault, before another driver is opened. A driver object that faulted stays
// known as such.
void ASIOForgetDriverFault();
// Releases a driver object (its loader's reference) under the guard. A driver that faulted is
// not called: its module is pinned in the process and COM stays open on this thread, so that
// nothing unloads the module or asks it whether it may go.
void ASIOReleaseDriver(IAsioDriver* driver);

class CAsioDriverCalls {
public:
    // The driver every call goes to; null: none.
    IAsioDriver* current() const { return driver.load(std::memory_order_acquire); }
    void use(IAsioDriver* next) { driver.store(next, std::memory_order_release); }
    // Forgets `gone` if it is the current driver (it was released or switched off).
    void forget(const IAsioDriver* gone);

    // Driver version 0, name "No ASIO Driver" first; then the driver's init. When init fails the
    // driver's error message is fetched and the driver is dropped from the call layer, so every
    // later call reports ASE_NotPresent; it is not released here: its loader does that (the
    // stream closes at once after a failed init).
    ASIOError init(ASIODriverInfo* info);
    ASIOError start();
    ASIOError stop();
    ASIOError getChannels(AsioLong* numInputChannels, AsioLong* numOutputChannels);
    ASIOError getLatencies(AsioLong* inputLatency, AsioLong* outputLatency);
    ASIOError getBufferSize(AsioLong* minSize, AsioLong* maxSize, AsioLong* preferredSize,
                                    AsioLong* granularity);
    ASIOError canSampleRate(ASIOSampleRate sampleRate);
    ASIOError getSampleRate(ASIOSampleRate* sampleRate);
    ASIOError setSampleRate(ASIOSampleRate sampleRate);
    ASIOError getSamplePosition(ASIOSamples* position, ASIOTimeStamp* timeStamp);
    ASIOError getChannelInfo(ASIOChannelInfo* info);
    ASIOError createBuffers(ASIOBufferInfo* bufferInfos, AsioLong numChannels,
                                    AsioLong bufferSize, ASIOCallbacks* callbacks);
    ASIOError disposeBuffers();
    ASIOError outputReady();
    // Shows the driver's own settings window; the driver answers when it is closed, or at once
    // for a window of its own, and asks for a reset through its message callback when a setting
    // changed that needs one.
    ASIOError controlPanel();

private:
    template <typename Call>
    bool callDriver(const char* name, ASIOError& result, Call&& call);

    std::atomic<IAsioDriver*> driver{nullptr};
};
