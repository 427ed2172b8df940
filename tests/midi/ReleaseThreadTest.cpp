// The header release thread: which headers go when, and which must stay.
#include "MidiTestSupport.h"

#include <thread>

namespace miditest {
namespace {

using midi::CMIDIInDevice;

const char kSysEx[] = {'\xF0', 0x01, '\xF7'};
constexpr DWORD kStamp = 7;
// Long enough for a release thread to act on a signal it should not act on.
constexpr DWORD kSettleMs = 50;

class ReleaseThread : public DeviceTest {
protected:
    void Return() { ASSERT_TRUE(service.ReturnBuffer(kSysEx, sizeof(kSysEx), kStamp)); }
};

TEST_F(ReleaseThread, OneReturnReleasesTheOldestHeaderOnly)
{
    OpenAndStart();
    const std::vector<char*> lent = Lend(3);
    Return();
    EXPECT_TRUE(WaitUntil([&] { return !service.IsPrepared(lent[0]); }));
    EXPECT_TRUE(service.IsPrepared(lent[1]));
    EXPECT_TRUE(service.IsPrepared(lent[2]));
    EXPECT_EQ(service.HeldBuffers(), (std::vector<char*>{lent[1], lent[2]}));
}

TEST_F(ReleaseThread, ReturnsThatCollapseIntoOneWakeAreAllReleased)
{
    OpenAndStart();
    const std::vector<char*> lent = Lend(4);
    // The release thread gets stuck releasing the first header...
    service.CloseUnprepareGate();
    Return();
    service.WaitAtUnprepareGate();
    // ...while two more come back: their two signals collapse in the auto-reset event.
    Return();
    Return();
    service.WaitForCallbacks();
    service.OpenUnprepareGate();
    EXPECT_TRUE(WaitUntil([&] {
        return !service.IsPrepared(lent[0]) && !service.IsPrepared(lent[1])
            && !service.IsPrepared(lent[2]);
    }));
    EXPECT_TRUE(service.IsPrepared(lent[3]));
}

TEST_F(ReleaseThread, SignalLeftByStopReleasesNothingAfterTheNextStart)
{
    OpenAndStart();
    Lend(2);
    // The release thread is busy when Stop signals it, so it leaves through its state test
    // and the signal stays set.
    service.CloseUnprepareGate();
    Return();
    service.WaitAtUnprepareGate();
    std::thread opener([&] {
        WaitUntil([&] { return device->GetState() != CMIDIInDevice::kStarted; });
        service.OpenUnprepareGate();
    });
    device->Stop();
    opener.join();

    device->Start();
    char* held = Lend(1)[0];
    Sleep(kSettleMs);
    EXPECT_TRUE(service.IsPrepared(held));
    EXPECT_EQ(service.HeldBuffers(), std::vector<char*>{held});
    // The port still holds the buffer, so the new thread must not have touched it; when it
    // comes back it is released normally.
    Return();
    EXPECT_TRUE(WaitUntil([&] { return !service.IsPrepared(held); }));
}

TEST_F(ReleaseThread, BufferReturnedWhileStillBeingLentIsReleased)
{
    OpenAndStart();
    // The port hands each buffer back as soon as it has it, so the release it triggers can
    // come before the lender has finished: the header must already be queued for it.
    service.ReturnOnArrival(std::string(kSysEx, sizeof(kSysEx)));
    constexpr int kLendings = 200;
    for (int i = 0; i < kLendings; ++i) {
        char* buffer = Lend(1)[0];
        ASSERT_TRUE(WaitUntil([&] { return !service.IsPrepared(buffer); })) << "lending " << i;
    }
    EXPECT_EQ(receiver.Count(), static_cast<std::size_t>(kLendings));
}

TEST_F(ReleaseThread, StopReleasesReturnedAndHeldHeadersExactlyOnce)
{
    device->Open(0);
    device->Start(); // no receiver: returns are not signalled and stay queued
    const std::vector<char*> lent = Lend(3);
    Return();
    Return();
    service.WaitForCallbacks();
    EXPECT_EQ(service.GetAudit().prepared, 3u);
    device->Stop();
    EXPECT_EQ(service.GetAudit().prepared, 0u);
    EXPECT_EQ(service.GetAudit().unpreparedUnknown, 0u);
}

TEST_F(ReleaseThread, DestructorReleasesEverythingExactlyOnce)
{
    OpenAndStart();
    Lend(3);
    Return();
    device.reset();
    EXPECT_EQ(service.GetAudit().prepared, 0u);
    EXPECT_EQ(service.GetAudit().unpreparedUnknown, 0u);
    EXPECT_FALSE(service.IsOpen());
}

} // namespace
} // namespace miditest
