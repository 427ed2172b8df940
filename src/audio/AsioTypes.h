#pragma once
// The data exchanged with an ASIO driver, declared from the published layout: status codes,
// message selectors, and the structures passed to and from the driver.
//
// The published interface uses the Windows `long`, which is 32 bits on both Windows targets;
// `AsioLong` is that type on every platform, so this header also builds natively for the
// portable block processing. Doubles are 8-byte aligned on both Windows targets, as in the
// published layout; pointer members make a few structures larger on 64-bit.

#include "audio/AsioSampleType.h"

#include <cstddef>
#include <cstdint>

using AsioLong = std::int32_t;
using AsioULong = std::uint32_t;
using ASIOBool = AsioLong;
using ASIOError = AsioLong;
using ASIOSampleRate = double;

constexpr ASIOBool ASIOFalse = 0;
constexpr ASIOBool ASIOTrue = 1;

// Status codes.
constexpr ASIOError ASE_OK = 0;
constexpr ASIOError ASE_SUCCESS = 0x3f4847a0;  // answer of future() for a supported selector
constexpr ASIOError ASE_NotPresent = -1000;    // no driver, or hardware not present
constexpr ASIOError ASE_HWMalfunction = -999;
constexpr ASIOError ASE_InvalidParameter = -998;
constexpr ASIOError ASE_InvalidMode = -997;
constexpr ASIOError ASE_SPNotAdvancing = -996;
constexpr ASIOError ASE_NoClock = -995;
constexpr ASIOError ASE_NoMemory = -994;

// Selectors of the host's asioMessage callback.
constexpr AsioLong kAsioSelectorSupported = 1;
constexpr AsioLong kAsioEngineVersion = 2;
constexpr AsioLong kAsioResetRequest = 3;
constexpr AsioLong kAsioBufferSizeChange = 4;
constexpr AsioLong kAsioResyncRequest = 5;
constexpr AsioLong kAsioLatenciesChanged = 6;
constexpr AsioLong kAsioSupportsTimeInfo = 7;
constexpr AsioLong kAsioSupportsTimeCode = 8;

// Flags of AsioTimeInfo.
constexpr AsioULong kSystemTimeValid = 1;
constexpr AsioULong kSamplePositionValid = 2;
constexpr AsioULong kSampleRateValid = 4;
constexpr AsioULong kSpeedValid = 8;

// A 64-bit count split into two 32-bit halves, high first.
struct ASIOSamples {
    AsioULong hi;
    AsioULong lo;
};

// Nanoseconds, split like ASIOSamples.
struct ASIOTimeStamp {
    AsioULong hi;
    AsioULong lo;
};

constexpr int kAsioNameBytes = 32;
constexpr int kAsioErrorMessageBytes = 124;

struct ASIODriverInfo {
    AsioLong asioVersion;     // in: host's interface version
    AsioLong driverVersion;   // out
    char name[kAsioNameBytes];  // out
    char errorMessage[kAsioErrorMessageBytes];  // out
    void* sysRef;             // in: the host's window handle, or null
};

struct ASIOClockSource {
    AsioLong index;
    AsioLong associatedChannel;
    AsioLong associatedGroup;
    ASIOBool isCurrentSource;
    char name[kAsioNameBytes];
};

struct ASIOChannelInfo {
    AsioLong channel;       // in
    ASIOBool isInput;       // in
    ASIOBool isActive;      // out
    AsioLong channelGroup;  // out
    ASIOSampleType type;    // out
    char name[kAsioNameBytes];  // out
};

struct ASIOBufferInfo {
    ASIOBool isInput;     // in
    AsioLong channelNum;  // in
    void* buffers[2];     // out: the two halves of the double buffer
};

struct AsioTimeInfo {
    double speed;
    ASIOTimeStamp systemTime;
    ASIOSamples samplePosition;
    ASIOSampleRate sampleRate;
    AsioULong flags;
    char reserved[12];
};

struct ASIOTimeCode {
    double speed;
    ASIOSamples timeCodeSamples;
    AsioULong flags;
    char future[64];
};

struct ASIOTime {
    AsioLong reserved[4];
    AsioTimeInfo timeInfo;
    ASIOTimeCode timeCode;
};

// The host's callbacks, called by the driver on its own thread (plain C calling convention).
struct ASIOCallbacks {
    void (*bufferSwitch)(AsioLong doubleBufferIndex, ASIOBool directProcess);
    void (*sampleRateDidChange)(ASIOSampleRate sampleRate);
    AsioLong (*asioMessage)(AsioLong selector, AsioLong value, void* message, double* opt);
    ASIOTime* (*bufferSwitchTimeInfo)(ASIOTime* params, AsioLong doubleBufferIndex,
                                      ASIOBool directProcess);
};

// The published layout, on both targets.
static_assert(sizeof(ASIOSamples) == 8 && sizeof(ASIOTimeStamp) == 8, "64-bit halves");
static_assert(sizeof(ASIOClockSource) == 48, "ASIOClockSource layout");
static_assert(sizeof(ASIOChannelInfo) == 52, "ASIOChannelInfo layout");
static_assert(sizeof(AsioTimeInfo) == 48, "AsioTimeInfo layout");
static_assert(sizeof(ASIOTimeCode) == 88, "ASIOTimeCode layout");
static_assert(sizeof(ASIOTime) == 152, "ASIOTime layout");
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "32- or 64-bit target");
static_assert(sizeof(ASIODriverInfo) == (sizeof(void*) == 4 ? 168 : 176), "ASIODriverInfo layout");
static_assert(sizeof(ASIOBufferInfo) == (sizeof(void*) == 4 ? 16 : 24), "ASIOBufferInfo layout");
static_assert(offsetof(ASIODriverInfo, errorMessage) == 40, "ASIODriverInfo error message");
static_assert(offsetof(ASIODriverInfo, sysRef) == (sizeof(void*) == 4 ? 164 : 168), "sysRef");
static_assert(offsetof(ASIOChannelInfo, type) == 16, "ASIOChannelInfo sample type");
static_assert(offsetof(ASIOBufferInfo, buffers) == 8, "ASIOBufferInfo buffers");
static_assert(offsetof(AsioTimeInfo, flags) == 32, "AsioTimeInfo flags");
static_assert(offsetof(ASIOTime, timeInfo) == 16 && offsetof(ASIOTime, timeCode) == 64, "ASIOTime");
static_assert(sizeof(ASIOCallbacks) == 4 * sizeof(void*), "ASIOCallbacks layout");
