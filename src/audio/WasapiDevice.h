#pragma once
// The system's own audio (WASAPI render) as the session's audio device, for the many machines
// without an ASIO driver. Its devices: "Windows Audio (default device)", then every active
// render endpoint by its friendly name, then the same in exclusive mode.
//
// Shared mode plays at the endpoint's mix rate and format, event-driven with the smallest
// period the system offers. Exclusive mode asks for the chosen rate, event-driven where the
// system allows it, else on a timed loop over the buffer's fill level; an endpoint that
// refuses exclusive mode altogether plays shared, and OpenNote says so.
//
// The audio thread (registered as "Pro Audio" with the multimedia class scheduler) waits once
// per period, asks how much of the buffer is free, renders that much through the instrument
// and the output stage into the endpoint's buffer (audio/InterleavedBlock.h) and releases it:
// no allocation, no lock. The played outputs go to the first two channels, silence to the
// others. A device that is invalidated (unplugged, its format changed) or a default device
// that changes asks the owner, once, to open it afresh.

#include "audio/AudioDevice.h"
#include "audio/InterleavedBlock.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct IMMDeviceEnumerator;
struct IMMDevice;
struct IAudioClient;
struct IAudioRenderClient;
class CEndpointWatch;

class CWasapiDevice : public IAudioDevice {
public:
    // The keys of the default device and the suffix of an exclusive entry's key.
    static constexpr char kDefaultKey[] = "default";
    static constexpr char kExclusiveSuffix[] = ";exclusive";

    CWasapiDevice();
    ~CWasapiDevice() override;
    CWasapiDevice(const CWasapiDevice&) = delete;
    CWasapiDevice& operator=(const CWasapiDevice&) = delete;

    std::int32_t DeviceCount() const override;
    std::string DeviceName(std::int32_t index) const override;
    std::string DeviceKey(std::int32_t index) const override;
    // A gone device's stand-in is the default device in the same mode.
    std::int32_t FindDevice(const std::string& key, bool& standIn) const override;
    void RefreshDevices() override;

    bool Open(std::int32_t index, RenderCallback render, void* owner) override;
    bool SetRate(double rate) override;
    bool Start() override;
    void Close() override;

    double Rate() const override { return m_rate; }
    std::int32_t BufferFrames() const override { return m_bufferFrames; }
    // The device's period: the time between two events (the buffer holds several).
    double PeriodSeconds() const override { return m_periodHns / 1e7; }
    double OutputLatency() const override { return m_latencySeconds; }
    std::string OpenNote() const override { return m_openNote; }
    std::string FailureText() const override { return m_failure; }
    const char* KindName() const override { return "Windows audio"; }
    bool IsOpen() const override { return m_client != nullptr; }
    bool IsRunning() const override { return m_running.load(std::memory_order_acquire); }
    std::uint32_t CompletedBlocks() const override
    {
        return m_completed.load(std::memory_order_relaxed);
    }
    bool BlockInProgress() const override { return m_processing.load(std::memory_order_relaxed); }
    std::string FaultText() const override { return {}; }
    void SetRequestHandler(RequestHandler handler, void* context) override;
    bool ShowControlPanel() override { return false; }

    // Whether the open device plays in exclusive mode, and on a timed loop rather than events.
    bool Exclusive() const { return m_exclusive; }
    bool TimedLoop() const { return m_timedLoop; }
    const InterleavedFormat& Format() const { return m_format; }

    // From the endpoint watch's thread: the device in use went away or the default changed.
    void OnEndpointChange(const wchar_t* endpointId, bool defaultChanged);

private:
    struct Entry {
        std::string name;
        std::wstring id;  // empty: the default device
        bool exclusive = false;
    };

    bool Activate();
    bool InitializeShared();
    bool InitializeExclusive(double rate);
    bool FinishOpen();
    void ReleaseClient();
    bool StartThread();
    void StopThread();
    void PrefillSilence();
    void Serve();
    bool FillBuffer();
    void AskForReopen();
    static unsigned long __stdcall ThreadMain(void* device);

    IMMDeviceEnumerator* m_enumerator = nullptr;
    std::vector<Entry> m_entries;
    IMMDevice* m_endpoint = nullptr;
    IAudioClient* m_client = nullptr;
    IAudioRenderClient* m_renderClient = nullptr;
    CEndpointWatch* m_watch = nullptr;
    // The endpoint in use and whether it is the default one, read by the endpoint watch.
    std::mutex m_endpointLock;
    std::wstring m_endpointId;
    bool m_followsDefault = false;
    bool m_exclusive = false;
    bool m_timedLoop = false;
    double m_rate = 0.0;
    std::int32_t m_bufferFrames = 0;
    double m_latencySeconds = 0.0;
    long long m_periodHns = 0;  // 100-ns units
    std::string m_openNote;
    std::string m_failure;
    InterleavedFormat m_format;
    InterleavedBlock m_block{};
    std::vector<float> m_floats;
    std::vector<unsigned char> m_scratch;
    RenderCallback m_render = nullptr;
    void* m_owner = nullptr;

    void* m_bufferEvent = nullptr;
    void* m_stopEvent = nullptr;
    void* m_thread = nullptr;
    std::int32_t m_position = 0;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_processing{false};
    std::atomic<bool> m_lost{false};
    std::atomic<std::uint32_t> m_completed{0};
    std::atomic<RequestHandler> m_requestHandler{nullptr};
    std::atomic<void*> m_requestContext{nullptr};
};
