#pragma once
// The driver side of the published ASIO interface: a COM object whose three base operations
// are `stdcall` (from IUnknown), followed by the ASIO operations as plain C++ virtual members,
// in the published order. On 32-bit x86 plain members are `thiscall` (this in ECX, arguments
// on the stack, callee pops), which is what drivers built with the other Windows compilers
// expect; mingw g++ uses the same convention for members, so an abstract class matches.

#include "audio/AsioTypes.h"

#include <unknwn.h>

class IAsioDriver : public IUnknown {
public:
    virtual ASIOBool init(void* sysHandle) = 0;
    virtual void getDriverName(char* name) = 0;  // at most 32 bytes
    virtual AsioLong getDriverVersion() = 0;
    virtual void getErrorMessage(char* text) = 0;  // at most 124 bytes
    virtual ASIOError start() = 0;
    virtual ASIOError stop() = 0;
    virtual ASIOError getChannels(AsioLong* numInputChannels, AsioLong* numOutputChannels) = 0;
    virtual ASIOError getLatencies(AsioLong* inputLatency, AsioLong* outputLatency) = 0;
    virtual ASIOError getBufferSize(AsioLong* minSize, AsioLong* maxSize, AsioLong* preferredSize,
                                    AsioLong* granularity) = 0;
    virtual ASIOError canSampleRate(ASIOSampleRate sampleRate) = 0;
    virtual ASIOError getSampleRate(ASIOSampleRate* sampleRate) = 0;
    virtual ASIOError setSampleRate(ASIOSampleRate sampleRate) = 0;
    virtual ASIOError getClockSources(ASIOClockSource* clocks, AsioLong* numSources) = 0;
    virtual ASIOError setClockSource(AsioLong reference) = 0;
    virtual ASIOError getSamplePosition(ASIOSamples* position, ASIOTimeStamp* timeStamp) = 0;
    virtual ASIOError getChannelInfo(ASIOChannelInfo* info) = 0;
    virtual ASIOError createBuffers(ASIOBufferInfo* bufferInfos, AsioLong numChannels,
                                    AsioLong bufferSize, ASIOCallbacks* callbacks) = 0;
    virtual ASIOError disposeBuffers() = 0;
    virtual ASIOError controlPanel() = 0;
    virtual ASIOError future(AsioLong selector, void* opt) = 0;
    virtual ASIOError outputReady() = 0;

protected:
    ~IAsioDriver() = default;  // released through Release, never deleted by the host
};
