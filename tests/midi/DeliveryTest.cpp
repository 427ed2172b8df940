// What reaches the receiver, in which state, on which thread.
#include "MidiTestSupport.h"

#include <stdexcept>

namespace miditest {
namespace {

using midi::CMIDIInDevice;

constexpr DWORD kNoteOn = 0x00403C90;   // note on, key 60, velocity 64
constexpr DWORD kBadMessage = 0x00000080;
constexpr DWORD kStamp = 1234;
const std::string kSysEx("\xF0\x43\x10\x4C\xF7", 5);

class Delivery : public DeviceTest {
protected:
    std::vector<Received> EventsAfterCallbacks()
    {
        service.WaitForCallbacks();
        return receiver.Events();
    }
};

class ShortMessages : public Delivery,
                      public ::testing::WithParamInterface<CMIDIInDevice::State> {
};

TEST_P(ShortMessages, ReachTheReceiverOnTheCallbackThread)
{
    device->AttachReceiver(&receiver);
    device->Open(0);
    if (GetParam() == CMIDIInDevice::kStarted)
        device->Start();
    ASSERT_TRUE(service.SendShortMessage(kNoteOn, kStamp));
    ASSERT_TRUE(service.SendShortError(kBadMessage, kStamp + 1));
    const std::vector<Received> events = EventsAfterCallbacks();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, Kind::ShortMessage);
    EXPECT_EQ(events[0].word, kNoteOn);
    EXPECT_EQ(events[0].timestamp, kStamp);
    EXPECT_EQ(events[1].kind, Kind::ShortMessageError);
    EXPECT_EQ(events[1].word, kBadMessage);
    EXPECT_EQ(events[1].timestamp, kStamp + 1);
    for (const Received& event : events) {
        EXPECT_EQ(event.thread, service.CallbackThreadId());
        EXPECT_NE(event.thread, GetCurrentThreadId());
    }
}

INSTANTIATE_TEST_SUITE_P(OpenedOrStarted, ShortMessages,
                         ::testing::Values(CMIDIInDevice::kOpened, CMIDIInDevice::kStarted));

TEST_F(Delivery, ReturnedBufferWhileStartedReachesTheReceiverAndIsReleased)
{
    OpenAndStart();
    char* buffer = Lend(1)[0];
    ASSERT_TRUE(service.ReturnBuffer(kSysEx.data(), static_cast<DWORD>(kSysEx.size()), kStamp));
    const std::vector<Received> events = EventsAfterCallbacks();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, Kind::SysExBuffer);
    EXPECT_EQ(events[0].data, buffer);
    EXPECT_EQ(events[0].bytes, kSysEx);
    EXPECT_EQ(events[0].timestamp, kStamp);
    EXPECT_TRUE(WaitUntil([&] { return !service.IsPrepared(buffer); }));
}

TEST_F(Delivery, BufferReturnedWithErrorReachesOnSysExError)
{
    OpenAndStart();
    char* buffer = Lend(1)[0];
    ASSERT_TRUE(service.ReturnBufferWithError(kSysEx.data(), 2, kStamp));
    const std::vector<Received> events = EventsAfterCallbacks();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, Kind::SysExError);
    EXPECT_EQ(events[0].data, buffer);
    EXPECT_EQ(events[0].bytes, kSysEx.substr(0, 2));
    EXPECT_TRUE(WaitUntil([&] { return !service.IsPrepared(buffer); }));
}

TEST_F(Delivery, LongerDataIsCutToTheLentLength)
{
    OpenAndStart();
    Lend(1);
    const std::string longer(kBufferSize + 8, '\x55');
    ASSERT_TRUE(service.ReturnBuffer(longer.data(), static_cast<DWORD>(longer.size()), kStamp));
    const std::vector<Received> events = EventsAfterCallbacks();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].bytes, longer.substr(0, kBufferSize));
}

TEST_F(Delivery, ReturnedBufferWhileOpenedIsNeitherDeliveredNorReleased)
{
    device->AttachReceiver(&receiver);
    device->Open(0);
    char* buffer = Lend(1)[0];
    ASSERT_TRUE(service.ReturnBuffer(kSysEx.data(), static_cast<DWORD>(kSysEx.size()), kStamp));
    EXPECT_TRUE(EventsAfterCallbacks().empty());
    EXPECT_TRUE(service.IsPrepared(buffer));
    device->Close();
    EXPECT_FALSE(service.IsPrepared(buffer));
}

TEST_F(Delivery, NothingReachesADeviceWithoutReceiver)
{
    device->Open(0);
    device->Start();
    char* buffer = Lend(1)[0];
    ASSERT_TRUE(service.SendShortMessage(kNoteOn, kStamp));
    ASSERT_TRUE(service.ReturnBuffer(kSysEx.data(), static_cast<DWORD>(kSysEx.size()), kStamp));
    EXPECT_TRUE(EventsAfterCallbacks().empty());
    // Not signalled: the header stays queued until Stop.
    EXPECT_TRUE(service.IsPrepared(buffer));
    device->Stop();
    EXPECT_FALSE(service.IsPrepared(buffer));
}

TEST_F(Delivery, BuffersHandedBackByStopReachNoReceiver)
{
    OpenAndStart();
    Lend(3);
    device->Stop();
    EXPECT_TRUE(EventsAfterCallbacks().empty());
    EXPECT_EQ(service.GetAudit().prepared, 0u);
}

TEST_F(Delivery, AttachReceiverSwapsAndReturnsThePrevious)
{
    RecordingReceiver other;
    EXPECT_EQ(device->AttachReceiver(&receiver), nullptr);
    EXPECT_EQ(device->AttachReceiver(&other), &receiver);
    device->Open(0);
    ASSERT_TRUE(service.SendShortMessage(kNoteOn, kStamp));
    service.WaitForCallbacks();
    EXPECT_EQ(other.Count(), 1u);
    EXPECT_EQ(receiver.Count(), 0u);
    EXPECT_EQ(device->AttachReceiver(nullptr), &other);
}

TEST_F(Delivery, ReceiverLendingAgainKeepsReceiving)
{
    receiver.LendAgainTo(device.get(), kBufferSize);
    OpenAndStart();
    char* buffer = Lend(1)[0];
    constexpr int kMessages = 20;
    for (int i = 0; i < kMessages; ++i) {
        const std::string bytes = "\xF0" + std::string(1, static_cast<char>(i)) + "\xF7";
        // The buffer is back with the port only once the receiver has lent it again.
        ASSERT_TRUE(WaitUntil([&] { return service.HeldBuffers().size() == 1; }));
        ASSERT_TRUE(service.ReturnBuffer(bytes.data(), 3, static_cast<DWORD>(i)));
        service.WaitForCallbacks();
        ASSERT_EQ(receiver.Events().back().bytes, bytes);
    }
    EXPECT_EQ(receiver.Count(), static_cast<std::size_t>(kMessages));
    EXPECT_EQ(service.HeldBuffers(), std::vector<char*>{buffer});
    // One header for the held lending; all earlier ones released.
    EXPECT_TRUE(WaitUntil([&] { return service.GetAudit().prepared == 1; }));
}

// Throws from every operation; the service's thread must not see it.
class ThrowingReceiver : public midi::CMIDIInReceiver {
public:
    void OnSysExBuffer(char*, std::uint32_t, std::uint32_t) override { Throw(); }
    void OnShortMessage(std::uint32_t, std::uint32_t) override { Throw(); }
    void OnSysExError(char*, std::uint32_t, std::uint32_t) override { Throw(); }
    void OnShortMessageError(std::uint32_t, std::uint32_t) override { Throw(); }
    int calls = 0;

private:
    void Throw()
    {
        ++calls;
        throw std::runtime_error("receiver failure");
    }
};

TEST_F(Delivery, ReceiverExceptionsStayInTheDevice)
{
    ThrowingReceiver thrower;
    device->AttachReceiver(&thrower);
    device->Open(0);
    device->Start();
    char* buffer = Lend(1)[0];
    ASSERT_TRUE(service.SendShortMessage(kNoteOn, kStamp));
    ASSERT_TRUE(service.ReturnBuffer(kSysEx.data(), 1, kStamp));
    ASSERT_TRUE(service.SendShortError(kBadMessage, kStamp));
    service.WaitForCallbacks();
    EXPECT_EQ(thrower.calls, 3);
    // The returned buffer was still counted and its header released.
    EXPECT_TRUE(WaitUntil([&] { return !service.IsPrepared(buffer); }));
    device.reset();
}

} // namespace
} // namespace miditest
