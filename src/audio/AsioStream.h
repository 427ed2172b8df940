#pragma once
// The audio stream: one ASIO driver, all of its channels (up to 32 in and 32 out), double
// buffers of the driver's preferred size, and the driver's callbacks.
//
// Protocol, all stream operations on the user-interface thread:
//   construction   enumerate the drivers, build the name table (first 32 drivers)
//   openStream     load the driver by table index, init, sizes, channels, sample rate
//                  (outside (0, 96000] Hz: 44100 is set), create buffers for every channel,
//                  channel formats, latencies, float arrays, start the worker. Any failing
//                  step closes again: the open fails with nothing left open.
//   startStream    driver start; then `running`, first block position -preferredSize
//   stopStream     not `running`, driver stop, wait for a block under way to finish
//   closeStream    stop (if started), end the worker, dispose the driver's buffers (if
//                  created), free the floats, release the driver. Each step happens once:
//                  closing a closed stream calls nothing.
// Per half-buffer the driver calls bufferSwitch or bufferSwitchTimeInfo on its own thread.
// With its direct-process flag set the block is processed there; otherwise the index is
// stored and the worker is woken through an auto-reset event (two switches before the
// worker wakes give one block: the later one). Processing converts the inputs to floats,
// calls the render function, converts the outputs, calls outputReady and advances the block
// position by the frame count; nothing happens while the stream is not running, and a
// switch that arrives while another block is being processed (some drivers switch from two
// threads) is skipped, without outputReady.
//
// The driver's requests to be set up again (reset, buffer size change, resync, a rate it
// changed itself) are never served inside its callback: the stream passes them to the owner's request handler, on
// the driver's thread, and the owner closes and opens the stream again on its own thread.
//
// There is one stream per process: the callbacks find it through a process-wide pointer.
// Destruction closes everything and waits until no callback is inside the stream any more,
// so a driver that goes on calling back never reaches a destroyed stream.

#include "audio/AsioTypes.h"
#include "audio/AudioDevice.h"
#include "audio/AudioDriverLoader.h"
#include "base/RenderCallback.h"
#include "audio/StreamBlock.h"

#include <atomic>
#include <cstdint>
#include <string>

constexpr std::int32_t kMaxDriverNames = 32;
constexpr std::int32_t kDriverNameTableBytes = 255;

class CAsioStream : public IAudioDevice {
public:
    // `asioKey`: where the drivers are registered below HKEY_LOCAL_MACHINE; tests only.
    explicit CAsioStream(const char* asioKey = kAsioDriversKey);
    ~CAsioStream() override;
    CAsioStream(const CAsioStream&) = delete;
    CAsioStream& operator=(const CAsioStream&) = delete;

    std::int32_t driverCount() const { return driverNameCount; }
    // The table's name at `index`, or "No ASIO Drivers" outside the table.
    std::string driverNameAt(std::int32_t index) const;

    // 1 on success; 0 on failure, with the stream closed and the driver released.
    // `limitPlayedOutputs`: the output stage (audio/OutputStage.h) follows every render.
    std::int32_t openStream(std::int32_t index, RenderCallback render, void* owner,
                            bool limitPlayedOutputs = false);
    // False without open buffers or when the driver refuses; true if already started.
    bool startStream();
    // True when stopped, also when it was not started; false if the driver refuses.
    bool stopStream();
    // True if the driver accepts the rate, sets it and then reports it, or cannot tell its
    // rate afterwards (an error, or no rate): then the rate asked for counts as set.
    bool changeSampleRate(double rate);
    // The rate the driver last reported (after open and after every change attempt), or the
    // rate it took without telling; 0 while no rate is known.
    double currentSampleRate() const { return sampleRate; }
    // True if open buffers were disposed without error; a closed stream answers false.
    bool closeStream();
    // When the driver faulted inside a call since the last open (audio/AsioCalls.h), what
    // happened: the call, the exception and the module, for the "ASIO failed" report; else
    // empty. The driver's own thread may fault during a run: then it appears here too.
    std::string driverFaultText() const;

    // Called on the driver's thread, once per reset, buffer size change, resync request or rate
    // the driver changed itself, with `context`; it must return at once (post a message). Without a handler the
    // requests are only counted. Set while no driver is open.
    using DriverRequestHandler = void (*)(void* context);
    void setDriverRequestHandler(DriverRequestHandler handler, void* context);
    // Since the last open: the driver's requests, and switches skipped because another
    // block was being processed.
    std::int32_t driverRequests() const { return requestCount.load(std::memory_order_relaxed); }
    std::int32_t skippedSwitches() const { return skippedCount.load(std::memory_order_relaxed); }

    bool isRunning() const { return running.load(std::memory_order_acquire); }
    // Whether a driver is open (from openStream until closeStream), and its own settings
    // window; false without a driver or when the driver refuses.
    bool hasDriver() const { return buffersCreated; }
    bool controlPanel();
    // Blocks processed to the end since the stream was made (wraps around), and whether one
    // is being processed now: a watchdog on the user-interface thread tells a block stuck in
    // the instrument from a driver that stopped calling.
    std::uint32_t completedBlocks() const { return completedCount.load(std::memory_order_relaxed); }
    bool blockInProgress() const { return processing.load(std::memory_order_relaxed); }
    std::int32_t bufferFrames() const { return preferredSize; }
    std::int32_t inputCount() const { return inputChannels; }
    std::int32_t outputCount() const { return outputChannels; }
    const ASIOBufferInfo* openedBuffers() const { return bufferInfos; }
    const ASIOChannelInfo* openedChannels() const { return channelInfos; }
    const ASIODriverInfo& openedDriverInfo() const { return driverInfo; }
    CAudioDriverLoader& driverLoader() { return loader; }

    // The stream as the session's audio device: the drivers are its devices, and the played
    // outputs go through the output stage.
    std::int32_t DeviceCount() const override { return driverCount(); }
    std::string DeviceName(std::int32_t index) const override { return driverNameAt(index); }
    bool Open(std::int32_t index, RenderCallback render, void* owner) override
    {
        return openStream(index, render, owner, true) != 0;
    }
    bool SetRate(double rate) override { return changeSampleRate(rate); }
    bool Start() override { return startStream(); }
    void Close() override { closeStream(); }
    double Rate() const override { return currentSampleRate(); }
    std::int32_t BufferFrames() const override { return bufferFrames(); }
    double OutputLatency() const override
    {
        return sampleRate > 0.0 && outputLatency > 0 ? outputLatency / sampleRate : 0.0;
    }
    bool IsOpen() const override { return hasDriver(); }
    bool IsRunning() const override { return isRunning(); }
    std::uint32_t CompletedBlocks() const override { return completedBlocks(); }
    bool BlockInProgress() const override { return blockInProgress(); }
    std::string FaultText() const override { return driverFaultText(); }
    void SetRequestHandler(RequestHandler handler, void* context) override
    {
        setDriverRequestHandler(handler, context);
    }
    bool ShowControlPanel() override { return controlPanel(); }

    // The driver's callbacks (plain C calling convention), public for the tests.
    static void bufferSwitch(AsioLong index, ASIOBool directProcess);
    static void sampleRateDidChange(ASIOSampleRate rate);
    static AsioLong asioMessage(AsioLong selector, AsioLong value, void* message, double* opt);
    static ASIOTime* bufferSwitchTimeInfo(ASIOTime* time, AsioLong index, ASIOBool directProcess);

private:
    bool openDriver();
    bool readDriverLayout();
    bool readDriverRate();
    bool negotiateSampleRate();
    bool createDriverBuffers();
    bool readChannelFormats();
    bool hasWritableOutput() const;
    void passDriverRequest();
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
    ChannelLoops channelLoops[kMaxStreamChannels]{};
    std::int32_t driverNameCount = 0;
    char* driverNameTable[kMaxDriverNames]{};
    std::atomic<bool> running{false};
    bool driverStarted = false;   // start succeeded, no stop since
    bool buffersCreated = false;  // createBuffers succeeded, no dispose since
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
    bool limitOutputs = false;

    char driverNameStorage[kMaxDriverNames][kDriverNameTableBytes]{};
    CChannelArrays channelArrays;
    void* wakeEvent = nullptr;
    void* workerThread = nullptr;
    std::atomic<bool> workerStop{false};
    std::atomic<bool> workerServing{false};  // deferred switches may signal the worker
    std::atomic<AsioLong> pendingIndex{0};
    std::atomic<int> blocksInside{0};  // processBlock calls under way
    std::atomic<bool> processing{false};  // a block is being processed
    std::atomic<std::int32_t> skippedCount{0};
    std::atomic<std::uint32_t> completedCount{0};
    std::atomic<std::int32_t> requestCount{0};
    std::atomic<DriverRequestHandler> requestHandler{nullptr};
    // The rate last read from the driver, and whether the stream is changing it now: the
    // driver's thread compares what it reports with them.
    std::atomic<double> rateInForce{0.0};
    std::atomic<bool> settingRate{false};
    std::atomic<void*> requestContext{nullptr};
};
