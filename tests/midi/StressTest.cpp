// Start/stop cycles against a port under load: the port returns buffers and sends short
// messages as fast as it can, the receiver lends every returned buffer again from the callback
// thread, and the controlling thread stops, starts and re-opens. No header may be leaked,
// released twice or released while the port holds it, nothing may hang, and every short
// message must arrive.
#include "MidiTestSupport.h"

#include <algorithm>
#include <atomic>
#include <ostream>

namespace miditest {
namespace {

using midi::CMIDIInDevice;

constexpr DWORD kFloodMessage = 0x00403C90;
const std::string kFloodSysEx("\xF0\x7E\x7F\x06\x01\xF7", 6);
// Now and then the receiver is slow to lend again, so that a Stop can overtake it.
constexpr unsigned long kSlowLendingEvery = 8;
constexpr DWORD kSlowLendingMs = 1;

class LendingReceiver : public midi::CMIDIInReceiver {
public:
    LendingReceiver(CMIDIInDevice& device, std::vector<char*> buffers, DWORD length)
        : m_device(device), m_buffers(std::move(buffers)), m_length(length)
    {
    }

    void OnSysExBuffer(char* data, std::uint32_t bytesRecorded, std::uint32_t) override
    {
        if (buffers.fetch_add(1) % kSlowLendingEvery == 0)
            Sleep(kSlowLendingMs);
        const bool known = std::find(m_buffers.begin(), m_buffers.end(), data) != m_buffers.end();
        if (!known || std::string(data, bytesRecorded) != kFloodSysEx) {
            wrongData.fetch_add(1);
            return;
        }
        try {
            m_device.QueueSysExBuffer(data, m_length);
        } catch (...) {
            lendFailures.fetch_add(1);
        }
    }
    void OnShortMessage(std::uint32_t message, std::uint32_t) override
    {
        if (message == kFloodMessage)
            shorts.fetch_add(1);
        else
            wrongData.fetch_add(1);
    }
    void OnSysExError(char*, std::uint32_t, std::uint32_t) override { wrongData.fetch_add(1); }
    void OnShortMessageError(std::uint32_t, std::uint32_t) override { wrongData.fetch_add(1); }

    std::atomic<unsigned long> shorts{0};
    std::atomic<unsigned long> buffers{0};
    std::atomic<unsigned long> wrongData{0};
    std::atomic<unsigned long> lendFailures{0};

private:
    CMIDIInDevice& m_device;
    const std::vector<char*> m_buffers;
    const DWORD m_length;
};

struct Schedule {
    const char* name;
    int cycles;
    int buffersPerStart;
    int reopenEvery; // every n-th cycle ends with Open of the other port instead of Stop
    int closeEvery;  // every n-th cycle ends with Close, then Open
};

void PrintTo(const Schedule& schedule, std::ostream* out)
{
    *out << schedule.name;
}

class Stress : public DeviceTest, public ::testing::WithParamInterface<Schedule> {
};

TEST_P(Stress, CyclesUnderLoadLoseNothing)
{
    const Schedule& schedule = GetParam();
    std::vector<char*> buffers;
    for (int i = 0; i < schedule.buffersPerStart; ++i)
        buffers.push_back(NewBuffer());
    LendingReceiver lender(*device, buffers, kBufferSize);
    device->AttachReceiver(&lender);
    UINT port = 0;
    device->Open(port);
    service.StartFlood();

    for (int cycle = 1; cycle <= schedule.cycles; ++cycle) {
        device->Start();
        for (char* buffer : buffers)
            device->QueueSysExBuffer(buffer, kBufferSize);
        if (schedule.reopenEvery && cycle % schedule.reopenEvery == 0) {
            port ^= 1;
            device->Open(port);
        } else if (schedule.closeEvery && cycle % schedule.closeEvery == 0) {
            device->Close();
            device->Open(port);
        } else {
            device->Stop();
        }
        ASSERT_EQ(device->GetState(), CMIDIInDevice::kOpened);
        ASSERT_TRUE(service.HeldBuffers().empty()) << "cycle " << cycle;
    }

    service.StopFlood();
    device.reset();
    EXPECT_EQ(lender.wrongData.load(), 0u);
    EXPECT_EQ(lender.lendFailures.load(), 0u);
    EXPECT_EQ(lender.shorts.load(), service.FloodedShortMessages());
    // The load was real: buffers came back while started.
    EXPECT_GT(lender.buffers.load(), 0u);
    RecordProperty("buffers_returned", static_cast<int>(service.FloodedBuffers()));
    RecordProperty("buffers_delivered", static_cast<int>(lender.buffers.load()));
}

// 10,000 start/stop cycles in all, in three parts that can run side by side.
const Schedule kSchedules[] = {
    {"OneBufferLikeTheHost", 4000, 1, 0, 0},
    {"TwoBuffers", 4000, 2, 0, 0},
    {"WithReopenAndClose", 2000, 2, 5, 7},
};

INSTANTIATE_TEST_SUITE_P(Cycles, Stress, ::testing::ValuesIn(kSchedules),
                         [](const ::testing::TestParamInfo<Schedule>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace miditest
