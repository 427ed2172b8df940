#pragma once
// The audio stream: one ASIO driver, all of its channels (up to 32 in and 32 out), double
// buffers of the driver's preferred size, and the driver's callbacks.
//
// Protocol, all stream operations on the user-interface thread:
//   construction   enumerate the drivers, build the name table (first 32 drivers)
//   openStream     load the driver by table index, init, sizes, channels, sample rate
//                  (outside (0, 96000] Hz: 44100 is set), create buffers for every channel,
//                  channel formats, latencies, float arrays, start the worker
//   startStream    driver start; then `running`, first block position -preferredSize
//   stopStream     not `running`, driver stop, wait for a block under way to finish
//   closeStream    stop, end the worker, dispose the driver's buffers, free the floats
// Per half-buffer the driver calls bufferSwitch or bufferSwitchTimeInfo on its own thread.
// With its direct-process flag set the block is processed there; otherwise the index is
// stored and the worker is woken through an auto-reset event (two switches before the
// worker wakes give one block: the later one). Processing converts the inputs to floats,
// calls the render function, converts the outputs, calls outputReady and advances the block
// position by the frame count; nothing happens while the stream is not running.
//
// There is one stream per process: the callbacks find it through a process-wide pointer.
// Destruction closes everything and waits until no callback is inside the stream any more,
// so a driver that goes on calling back never reaches a destroyed stream.

#include "audio/AsioTypes.h"
#include "audio/AudioDriverLoader.h"
#include "audio/RenderCallback.h"
#include "audio/StreamBlock.h"

#include <atomic>
#include <cstdint>
#include <string>

constexpr std::int32_t kMaxDriverNames = 32;
constexpr std::int32_t kDriverNameTableBytes = 255;

class CAsioStream {
public:
    // `asioKey`: where the drivers are registered below HKEY_LOCAL_MACHINE; tests only.
    explicit CAsioStream(const char* asioKey = kAsioDriversKey);
    virtual ~CAsioStream();
    CAsioStream(const CAsioStream&) = delete;
    CAsioStream& operator=(const CAsioStream&) = delete;

    std::int32_t driverCount() const { return driverNameCount; }
    // The table's name at `index`, or "No ASIO Drivers" outside the table.
    std::string driverNameAt(std::int32_t index) const;

    // 1 on success, 0 on failure (steps done before the failure stay in place).
    std::int32_t openStream(std::int32_t index, RenderCallback render, void* owner);
    bool startStream();
    bool stopStream();
    bool changeSampleRate(float rate);
    double currentSampleRate() const { return sampleRate; }
    bool closeStream();

    bool isRunning() const { return running.load(std::memory_order_acquire); }
    std::int32_t bufferFrames() const { return preferredSize; }
    std::int32_t inputCount() const { return inputChannels; }
    std::int32_t outputCount() const { return outputChannels; }
    const ASIOBufferInfo* openedBuffers() const { return bufferInfos; }
    const ASIOChannelInfo* openedChannels() const { return channelInfos; }
    const ASIODriverInfo& openedDriverInfo() const { return driverInfo; }
    CAudioDriverLoader& driverLoader() { return loader; }

    // The driver's callbacks (plain C calling convention), public for the tests.
    static void bufferSwitch(AsioLong index, ASIOBool directProcess);
    static void sampleRateDidChange(ASIOSampleRate rate);
    static AsioLong asioMessage(AsioLong selector, AsioLong value, void* message, double* opt);
    static ASIOTime* bufferSwitchTimeInfo(ASIOTime* time, AsioLong index, ASIOBool directProcess);

private:
    bool negotiateSampleRate();
    bool createDriverBuffers();
    bool readChannelFormats();
    bool startWorker();
    void endWorker();
    void processBlock(AsioLong index);
    void deferBlock(AsioLong index);
    void waitForBlocksToFinish() const;
    static unsigned long __stdcall workerMain(void* stream);

    CAudioDriverLoader loader;
    ASIOCallbacks callbacks{};
    ASIODriverInfo driverInfo{};
    ASIOChannelInfo channelInfos[kMaxStreamChannels]{};
    ASIOBufferInfo bufferInfos[kMaxStreamChannels]{};
    std::int32_t driverNameCount = 0;
    char* driverNameTable[kMaxDriverNames]{};
    std::atomic<bool> running{false};
    AsioLong maxSize = 0;
    AsioLong minSize = 0;
    AsioLong preferredSize = 0;
    AsioLong granularity = 0;
    AsioLong inputChannels = 0;
    AsioLong outputChannels = 0;
    AsioLong inputLatency = 0;
    AsioLong outputLatency = 0;
    double sampleRate = 0.0;
    float* inputBuffers[kMaxInputChannels]{};
    float* outputBuffers[kMaxOutputChannels]{};
    std::int32_t blockPosition = 0;
    RenderCallback renderCallback = nullptr;
    void* renderOwner = nullptr;

    char driverNameStorage[kMaxDriverNames][kDriverNameTableBytes]{};
    CChannelArrays channelArrays;
    void* wakeEvent = nullptr;
    void* workerThread = nullptr;
    std::atomic<bool> workerStop{false};
    std::atomic<bool> workerServing{false};  // deferred switches may signal the worker
    std::atomic<AsioLong> pendingIndex{0};
    std::atomic<int> blocksInside{0};  // processBlock calls under way
};
