#include "audio/WasapiDevice.h"

#include "audio/EndpointWatch.h"
#include "audio/WasapiFormat.h"

#include <windows.h>
#include <audioclient.h>
#include <avrt.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

constexpr double kHnsPerSecond = 10000000.0;
// A timed loop looks at the fill level this many times per period.
constexpr int kChecksPerPeriod = 2;
// The timed loop's buffer, in periods: room for a late wake-up.
constexpr int kTimedLoopPeriods = 4;
// Without an event for this long the thread looks whether it should end; the health watch
// tells the user of the stall.
constexpr DWORD kEventWaitMs = 2000;

template <typename T>
void ReleaseAndClear(T*& object)
{
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

std::string HresultText(const char* step, HRESULT hr)
{
    char text[96];
    switch (hr) {
    case AUDCLNT_E_DEVICE_INVALIDATED:
        return std::string(step) + ": the device is gone";
    case AUDCLNT_E_DEVICE_IN_USE:
        return std::string(step) + ": another program holds the device";
    case AUDCLNT_E_UNSUPPORTED_FORMAT:
        return std::string(step) + ": the device refuses the format";
    default:
        std::snprintf(text, sizeof text, "%s: error 0x%08lX", step, static_cast<unsigned long>(hr));
        return text;
    }
}

}  // namespace

CWasapiDevice::CWasapiDevice()
{
    // COM may be initialised already on this thread, in any model; the enumerator works in
    // both.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                __uuidof(IMMDeviceEnumerator),
                                reinterpret_cast<void**>(&m_enumerator))))
        m_enumerator = nullptr;
    m_watch = new (std::nothrow) CEndpointWatch(*this);
    if (m_enumerator != nullptr && m_watch != nullptr &&
        FAILED(m_enumerator->RegisterEndpointNotificationCallback(m_watch))) {
        m_watch->Release();
        m_watch = nullptr;
    }
    m_bufferEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    RefreshDevices();
}

CWasapiDevice::~CWasapiDevice()
{
    Close();
    if (m_watch != nullptr) {
        if (m_enumerator != nullptr)
            m_enumerator->UnregisterEndpointNotificationCallback(m_watch);
        m_watch->Detach();
        m_watch->Release();
    }
    ReleaseAndClear(m_enumerator);
    if (m_bufferEvent != nullptr)
        CloseHandle(m_bufferEvent);
    if (m_stopEvent != nullptr)
        CloseHandle(m_stopEvent);
}

void CWasapiDevice::SetRequestHandler(RequestHandler handler, void* context)
{
    m_requestContext.store(context);
    m_requestHandler.store(handler);
}

// ---- Opening ------------------------------------------------------------------------------

bool CWasapiDevice::Open(std::int32_t index, RenderCallback render, void* owner)
{
    Close();
    m_failure.clear();
    m_openNote.clear();
    if (index < 0 || index >= DeviceCount() || m_bufferEvent == nullptr || m_stopEvent == nullptr) {
        m_failure = "the device is not there";
        return false;
    }
    const Entry entry = m_entries[index];
    const HRESULT found =
        entry.id.empty() ? m_enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &m_endpoint)
                         : m_enumerator->GetDevice(entry.id.c_str(), &m_endpoint);
    if (FAILED(found)) {
        m_endpoint = nullptr;
        m_failure = HresultText("finding the device", found);
        return false;
    }
    LPWSTR id = nullptr;
    if (SUCCEEDED(m_endpoint->GetId(&id))) {
        const std::lock_guard<std::mutex> lock(m_endpointLock);
        m_endpointId = id;
        m_followsDefault = entry.id.empty();
    }
    CoTaskMemFree(id);
    m_render = render;
    m_owner = owner;
    bool initialised = false;
    if (entry.exclusive) {
        initialised = InitializeExclusive(0.0);
        if (!initialised) {
            m_openNote = "Exclusive mode was refused (" + m_failure + "): playing shared";
            m_failure.clear();
        }
    }
    if (!initialised)
        initialised = InitializeShared();
    if (!initialised || !FinishOpen()) {
        Close();
        return false;
    }
    return true;
}

bool CWasapiDevice::Activate()
{
    ReleaseAndClear(m_renderClient);
    ReleaseAndClear(m_client);
    const HRESULT hr = m_endpoint->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                            reinterpret_cast<void**>(&m_client));
    if (FAILED(hr)) {
        m_client = nullptr;
        m_failure = HresultText("opening the device", hr);
        return false;
    }
    return true;
}

// The mix format, event-driven, at the smallest period the engine offers to this stream
// (IAudioClient3), else at its default period.
bool CWasapiDevice::InitializeShared()
{
    m_exclusive = false;
    m_timedLoop = false;
    if (!Activate())
        return false;
    WAVEFORMATEX* mix = nullptr;
    HRESULT hr = m_client->GetMixFormat(&mix);
    if (FAILED(hr)) {
        m_failure = HresultText("reading the mix format", hr);
        return false;
    }
    m_format = FormatOf(mix);
    m_rate = mix->nSamplesPerSec;
    bool initialised = false;
    if (m_format.channels > 0) {
        IAudioClient3* client3 = nullptr;
        UINT32 defaultPeriod = 0, fundamental = 0, minPeriod = 0, maxPeriod = 0;
        if (SUCCEEDED(m_client->QueryInterface(__uuidof(IAudioClient3),
                                               reinterpret_cast<void**>(&client3)))) {
            initialised =
                SUCCEEDED(client3->GetSharedModeEnginePeriod(mix, &defaultPeriod, &fundamental,
                                                             &minPeriod, &maxPeriod)) &&
                minPeriod > 0 &&
                SUCCEEDED(client3->InitializeSharedAudioStream(AUDCLNT_STREAMFLAGS_EVENTCALLBACK,
                                                               minPeriod, mix, nullptr));
            client3->Release();
            if (initialised)
                m_periodHns = std::llround(minPeriod * kHnsPerSecond / m_rate);
        }
        // A client whose first initialisation failed is not asked twice.
        if (!initialised && Activate()) {
            hr = m_client->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK,
                                      0, 0, mix, nullptr);
            initialised = SUCCEEDED(hr);
            REFERENCE_TIME defaultHns = 0, minimumHns = 0;
            if (initialised && SUCCEEDED(m_client->GetDevicePeriod(&defaultHns, &minimumHns)))
                m_periodHns = defaultHns;
            if (!initialised)
                m_failure = HresultText("starting the shared stream", hr);
        }
    } else {
        m_failure = "the device's mix format cannot be played";
    }
    CoTaskMemFree(mix);
    return initialised;
}

// The chosen rate (0: the mix rate) in the first format the device takes, float first;
// event-driven, else on a timed loop.
bool CWasapiDevice::InitializeExclusive(double rate)
{
    m_exclusive = true;
    if (!Activate())
        return false;
    WAVEFORMATEX* mix = nullptr;
    if (FAILED(m_client->GetMixFormat(&mix))) {
        m_failure = "the device tells no format";
        return false;
    }
    const WORD channels = mix->nChannels;
    const DWORD chosenRate = rate > 0.0 ? static_cast<DWORD>(std::lround(rate)) : mix->nSamplesPerSec;
    CoTaskMemFree(mix);
    struct Candidate { WORD bits; bool isFloat; };
    const Candidate candidates[] = {{32, true}, {32, false}, {24, false}, {16, false}};
    WAVEFORMATEXTENSIBLE format{};
    bool supported = false;
    for (const Candidate& candidate : candidates) {
        format = ExclusiveFormat(channels, chosenRate, candidate.bits, candidate.isFloat);
        if (m_client->IsFormatSupported(AUDCLNT_SHAREMODE_EXCLUSIVE, &format.Format, nullptr) == S_OK) {
            supported = true;
            break;
        }
    }
    if (!supported) {
        m_failure = "the device takes no format at " + std::to_string(chosenRate) + " Hz";
        return false;
    }
    REFERENCE_TIME defaultHns = 0, minimumHns = 0;
    if (FAILED(m_client->GetDevicePeriod(&defaultHns, &minimumHns)) || minimumHns <= 0)
        minimumHns = defaultHns > 0 ? defaultHns : 30000;
    REFERENCE_TIME period = minimumHns;
    HRESULT hr = m_client->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, AUDCLNT_STREAMFLAGS_EVENTCALLBACK,
                                      period, period, &format.Format, nullptr);
    if (hr == AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED) {
        // The device wants a whole number of its own blocks: the period of the size it offers.
        UINT32 frames = 0;
        m_client->GetBufferSize(&frames);
        period = static_cast<REFERENCE_TIME>(std::llround(kHnsPerSecond * frames / chosenRate));
        if (Activate())
            hr = m_client->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, AUDCLNT_STREAMFLAGS_EVENTCALLBACK,
                                      period, period, &format.Format, nullptr);
    }
    m_timedLoop = FAILED(hr);
    if (m_timedLoop && Activate()) {
        hr = m_client->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, 0, kTimedLoopPeriods * period, 0,
                                  &format.Format, nullptr);
    }
    if (FAILED(hr)) {
        m_failure = HresultText("exclusive mode", hr);
        return false;
    }
    m_format = FormatOf(&format.Format);
    m_rate = chosenRate;
    m_periodHns = period;
    return m_format.channels > 0;
}

// The event, the buffer, the render client and the arrays of an initialised client.
bool CWasapiDevice::FinishOpen()
{
    HRESULT hr = S_OK;
    UINT32 frames = 0;
    if (!m_timedLoop && FAILED(hr = m_client->SetEventHandle(m_bufferEvent))) {
        m_failure = HresultText("setting the event", hr);
        return false;
    }
    if (FAILED(hr = m_client->GetBufferSize(&frames)) || frames == 0 ||
        FAILED(hr = m_client->GetService(__uuidof(IAudioRenderClient),
                                         reinterpret_cast<void**>(&m_renderClient)))) {
        m_renderClient = nullptr;
        m_failure = HresultText("making the buffer", hr);
        return false;
    }
    m_bufferFrames = static_cast<std::int32_t>(frames);
    REFERENCE_TIME streamLatency = 0;
    if (FAILED(m_client->GetStreamLatency(&streamLatency)) || streamLatency < 0)
        streamLatency = 0;
    m_latencySeconds = frames / m_rate + streamLatency / kHnsPerSecond;
    try {
        m_floats.assign(static_cast<std::size_t>(frames) * kPlayedOutputs, 0.0f);
        m_scratch.assign(static_cast<std::size_t>(frames) * m_format.bytesPerSample, 0);
    } catch (const std::bad_alloc&) {
        m_failure = "out of memory";
        return false;
    }
    m_block = InterleavedBlock{m_format, fromFloatLoop(m_format.sampleType),
                               {m_floats.data(), m_floats.data() + frames}, m_scratch.data(),
                               m_bufferFrames, m_render, m_owner};
    return true;
}

// The exclusive device at another rate; the shared one plays at its mix rate only.
bool CWasapiDevice::SetRate(double rate)
{
    if (m_client == nullptr || !(rate > 0.0))
        return false;
    if (rate == m_rate)
        return true;
    if (!m_exclusive)
        return false;
    const double previous = m_rate;
    if (InitializeExclusive(rate) && FinishOpen())
        return true;
    // Back to the rate that worked.
    m_failure.clear();
    if (InitializeExclusive(previous) && FinishOpen())
        return false;
    ReleaseClient();
    return false;
}

// ---- Running ------------------------------------------------------------------------------

// The buffer starts out silent, so the first periods play nothing old.
void CWasapiDevice::PrefillSilence()
{
    UINT32 padding = 0;
    if (!m_exclusive && FAILED(m_client->GetCurrentPadding(&padding)))
        return;
    const UINT32 frames = static_cast<UINT32>(m_bufferFrames) - std::min<UINT32>(padding, m_bufferFrames);
    BYTE* data = nullptr;
    if (frames > 0 && SUCCEEDED(m_renderClient->GetBuffer(frames, &data)))
        m_renderClient->ReleaseBuffer(frames, AUDCLNT_BUFFERFLAGS_SILENT);
}

bool CWasapiDevice::Start()
{
    if (m_client == nullptr)
        return false;
    if (m_running.load())
        return true;
    m_lost.store(false);
    m_position = 0;
    PrefillSilence();
    if (!StartThread())
        return false;
    const HRESULT hr = m_client->Start();
    if (FAILED(hr)) {
        StopThread();
        m_failure = HresultText("starting the device", hr);
        return false;
    }
    return true;
}

bool CWasapiDevice::StartThread()
{
    ResetEvent(m_stopEvent);
    m_running.store(true, std::memory_order_release);
    m_thread = CreateThread(nullptr, 0, &CWasapiDevice::ThreadMain, this, 0, nullptr);
    if (m_thread == nullptr) {
        m_running.store(false);
        m_failure = "no audio thread";
        return false;
    }
    return true;
}

void CWasapiDevice::StopThread()
{
    m_running.store(false, std::memory_order_release);
    if (m_thread != nullptr) {
        SetEvent(m_stopEvent);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
}

void CWasapiDevice::Close()
{
    const bool wasRunning = m_thread != nullptr;
    StopThread();
    if (wasRunning && m_client != nullptr)
        m_client->Stop();
    ReleaseClient();
    ReleaseAndClear(m_endpoint);
    {
        const std::lock_guard<std::mutex> lock(m_endpointLock);
        m_endpointId.clear();
        m_followsDefault = false;
    }
    m_rate = 0.0;
    m_bufferFrames = 0;
    m_latencySeconds = 0.0;
    m_periodHns = 0;
}

void CWasapiDevice::ReleaseClient()
{
    ReleaseAndClear(m_renderClient);
    ReleaseAndClear(m_client);
}

unsigned long __stdcall CWasapiDevice::ThreadMain(void* device)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // The highest priority of its class, then the scheduler's audio class where it exists (a
    // system without it, or one that only pretends, keeps the first).
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    DWORD taskIndex = 0;
    HANDLE task = AvSetMmThreadCharacteristicsW(L"Pro Audio", &taskIndex);
    static_cast<CWasapiDevice*>(device)->Serve();
    if (task != nullptr)
        AvRevertMmThreadCharacteristics(task);
    CoUninitialize();
    return 0;
}

// One wait per period: the device's event, or in the timed loop a fraction of the period.
void CWasapiDevice::Serve()
{
    const HANDLE waits[2] = {m_stopEvent, m_bufferEvent};
    const DWORD timedWaitMs = static_cast<DWORD>(
        std::max<long long>(1, m_periodHns / 10000 / kChecksPerPeriod));
    for (;;) {
        const DWORD woken = m_timedLoop ? WaitForSingleObject(m_stopEvent, timedWaitMs)
                                        : WaitForMultipleObjects(2, waits, FALSE, kEventWaitMs);
        if (woken == WAIT_OBJECT_0)
            return;
        if (woken == WAIT_TIMEOUT && !m_timedLoop)
            continue;  // no event: the block count stands still and the health watch sees it
        if (woken != WAIT_TIMEOUT && woken != WAIT_OBJECT_0 + 1)
            return;
        if (!m_lost.load(std::memory_order_relaxed) && !FillBuffer()) {
            m_lost.store(true);
            AskForReopen();
        }
    }
}

// Renders into the free part of the buffer; false when the device is gone.
bool CWasapiDevice::FillBuffer()
{
    UINT32 padding = 0;
    // An exclusive event-driven buffer is one period, free whenever the event comes.
    if (m_exclusive && !m_timedLoop) {
        padding = 0;
    } else if (FAILED(m_client->GetCurrentPadding(&padding))) {
        return false;
    }
    const UINT32 frames = static_cast<UINT32>(m_bufferFrames) - std::min<UINT32>(padding, m_bufferFrames);
    if (frames == 0)
        return true;
    BYTE* data = nullptr;
    if (FAILED(m_renderClient->GetBuffer(frames, &data)))
        return false;
    m_processing.store(true, std::memory_order_relaxed);
    renderInterleavedBlock(m_block, data, static_cast<std::int32_t>(frames), m_position);
    m_processing.store(false, std::memory_order_relaxed);
    const HRESULT released = m_renderClient->ReleaseBuffer(frames, 0);
    m_position += static_cast<std::int32_t>(frames);
    m_completed.fetch_add(1, std::memory_order_relaxed);
    return SUCCEEDED(released);
}

void CWasapiDevice::AskForReopen()
{
    const RequestHandler handler = m_requestHandler.load();
    if (handler != nullptr)
        handler(m_requestContext.load());
}

// The watch's thread: the device in use is gone, or the default moved while it is followed.
void CWasapiDevice::OnEndpointChange(const wchar_t* endpointId, bool defaultChanged)
{
    if (!m_running.load(std::memory_order_acquire))
        return;
    const std::lock_guard<std::mutex> lock(m_endpointLock);
    const bool ours = endpointId != nullptr && m_endpointId == endpointId;
    if ((defaultChanged && m_followsDefault && !ours) || (!defaultChanged && ours)) {
        if (!m_lost.exchange(true))
            AskForReopen();
    }
}
