#pragma once
// The ASIO call layer: one function per driver operation, each calling `activeDriver` and
// passing its status through. Without a current driver nothing is called, the outputs are
// filled as listed, and the result is ASE_NotPresent (-1000).
//
// Every call into the driver runs under the fault guard (base/FaultGuard.h); the calls the
// driver's thread makes from inside its own bufferSwitch nest inside that. A fault switches
// the driver off like a failing one: the call answers ASE_HWMalfunction with the outputs
// filled as for no driver, the driver is dropped from the call layer (every later call
// reports ASE_NotPresent), and it is never called, released or unloaded again: its module may
// be broken. What happened is kept until ASIOForgetDriverFault.

#include "audio/AsioTypes.h"
#include "base/FaultGuard.h"

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

// Driver version 0, name "No ASIO Driver" first; then the driver's init. When init fails the
// driver's error message is fetched and the driver is dropped from the call layer, so every
// later call reports ASE_NotPresent; it is not released here: its loader does that (the
// stream closes at once after a failed init).
ASIOError ASIOInit(ASIODriverInfo* info);
ASIOError ASIOStart();
ASIOError ASIOStop();
ASIOError ASIOGetChannels(AsioLong* numInputChannels, AsioLong* numOutputChannels);
ASIOError ASIOGetLatencies(AsioLong* inputLatency, AsioLong* outputLatency);
ASIOError ASIOGetBufferSize(AsioLong* minSize, AsioLong* maxSize, AsioLong* preferredSize,
                            AsioLong* granularity);
ASIOError ASIOCanSampleRate(ASIOSampleRate sampleRate);
ASIOError ASIOGetSampleRate(ASIOSampleRate* sampleRate);
ASIOError ASIOSetSampleRate(ASIOSampleRate sampleRate);
ASIOError ASIOGetSamplePosition(ASIOSamples* position, ASIOTimeStamp* timeStamp);
ASIOError ASIOGetChannelInfo(ASIOChannelInfo* info);
ASIOError ASIOCreateBuffers(ASIOBufferInfo* bufferInfos, AsioLong numChannels,
                            AsioLong bufferSize, ASIOCallbacks* callbacks);
ASIOError ASIODisposeBuffers();
ASIOError ASIOOutputReady();
// Shows the driver's own settings window; the driver answers when it is closed, or at once
// for a window of its own, and asks for a reset through its message callback when a setting
// changed that needs one.
ASIOError ASIOControlPanel();
