#include "MidiTestSupport.h"

#include <cstring>

namespace miditest {
namespace {

constexpr DWORD kWaitLimitMs = 10000;
constexpr DWORD kPollMs = 1;
constexpr UINT kErrorTextSize = 128;

} // namespace

void RecordingReceiver::LendAgainTo(midi::CMIDIInDevice* device, DWORD length)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lendTo = device;
    m_lendLength = length;
}

std::vector<Received> RecordingReceiver::Events() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

std::size_t RecordingReceiver::Count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events.size();
}

void RecordingReceiver::OnSysExBuffer(char* data, std::uint32_t bytesRecorded,
                                      std::uint32_t timestamp)
{
    Record(Kind::SysExBuffer, 0, data, bytesRecorded, timestamp);
    midi::CMIDIInDevice* device;
    DWORD length;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        device = m_lendTo;
        length = m_lendLength;
    }
    if (device)
        device->QueueSysExBuffer(data, length);
}

void RecordingReceiver::OnShortMessage(std::uint32_t message, std::uint32_t timestamp)
{
    Record(Kind::ShortMessage, message, nullptr, 0, timestamp);
}

void RecordingReceiver::OnSysExError(char* data, std::uint32_t bytesRecorded,
                                     std::uint32_t timestamp)
{
    Record(Kind::SysExError, 0, data, bytesRecorded, timestamp);
}

void RecordingReceiver::OnShortMessageError(std::uint32_t message, std::uint32_t timestamp)
{
    Record(Kind::ShortMessageError, message, nullptr, 0, timestamp);
}

void RecordingReceiver::Record(Kind kind, std::uint32_t word, char* data, std::uint32_t bytes,
                               std::uint32_t timestamp)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back({kind, word, data, data ? std::string(data, bytes) : std::string(),
                        timestamp, GetCurrentThreadId()});
}

bool WaitUntil(const std::function<bool()>& done)
{
    const DWORD begin = GetTickCount();
    while (!done()) {
        if (GetTickCount() - begin > kWaitLimitMs)
            return false;
        Sleep(kPollMs);
    }
    return true;
}

std::string ExpectedText(MMRESULT result)
{
    const char* text = fakemidi::ErrorText(result);
    std::string full = text ? text : "";
    return full.substr(0, kErrorTextSize - 1);
}

void DeviceTest::TearDown()
{
    device.reset();
    const fakemidi::Audit audit = service.GetAudit();
    EXPECT_EQ(audit.prepared, expectedLeftPrepared) << "headers left prepared";
    EXPECT_EQ(audit.unpreparedUnknown, 0u) << "headers released twice";
    EXPECT_EQ(audit.unpreparedWhileHeld, expectedRefusedUnprepares)
        << "headers released while the port held them";
    EXPECT_EQ(audit.lentUnprepared, 0u);
    EXPECT_EQ(audit.lentTwice, 0u);
}

void DeviceTest::OpenAndStart(UINT port)
{
    device->AttachReceiver(&receiver);
    device->Open(port);
    device->Start();
}

char* DeviceTest::NewBuffer()
{
    m_buffers.push_back(std::make_unique<char[]>(kBufferSize));
    std::memset(m_buffers.back().get(), 0, kBufferSize);
    return m_buffers.back().get();
}

std::vector<char*> DeviceTest::Lend(int count)
{
    std::vector<char*> lent;
    for (int i = 0; i < count; ++i) {
        lent.push_back(NewBuffer());
        device->QueueSysExBuffer(lent.back(), kBufferSize);
    }
    return lent;
}

} // namespace miditest
