#pragma once
// The ASIO call layer: one function per driver operation, each calling `activeDriver` and
// passing its status through. Without a current driver nothing is called, the outputs are
// filled as listed, and the result is ASE_NotPresent (-1000).

#include "audio/AsioTypes.h"

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
