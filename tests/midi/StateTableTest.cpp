// Every row of the device's state table, including the ones that must do nothing.
#include "MidiTestSupport.h"

namespace miditest {
namespace {

using fakemidi::Call;
using midi::CMIDIInDevice;
using midi::CMIDIInException;

class StateTable : public DeviceTest {
protected:
    // Brings the device into `state`, with two buffers lent when started.
    void Enter(CMIDIInDevice::State state)
    {
        device->AttachReceiver(&receiver);
        if (state == CMIDIInDevice::kClosed)
            return;
        device->Open(0);
        if (state == CMIDIInDevice::kStarted) {
            device->Start();
            Lend(2);
        }
    }

    bool ReleaseThreadEnded() const
    {
        return WaitForSingleObject(service.LastCreatedThread(), 0) == WAIT_OBJECT_0;
    }

    void ExpectStoppedAndReleased()
    {
        EXPECT_TRUE(ReleaseThreadEnded());
        EXPECT_TRUE(service.HeldBuffers().empty());
        EXPECT_EQ(service.GetAudit().prepared, 0u);
    }
};

TEST_F(StateTable, ClosedDeviceIgnoresStartStopAndClose)
{
    device->Start();
    device->Stop();
    device->Close();
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kClosed);
    for (Call call : {Call::Open, Call::Close, Call::Start, Call::Reset, Call::CreateThread})
        EXPECT_EQ(service.CallCount(call), 0u);
}

TEST_F(StateTable, OpenFromClosedOpensThePort)
{
    device->Open(1);
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kOpened);
    EXPECT_TRUE(service.IsOpen());
    EXPECT_EQ(service.OpenPort(), 1u);
    EXPECT_FALSE(service.IsStarted());
}

TEST_F(StateTable, FailedOpenStaysClosed)
{
    service.FailCall(Call::Open, MMSYSERR_ALLOCATED, 1);
    EXPECT_THROW(device->Open(0), CMIDIInException);
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kClosed);
    EXPECT_FALSE(service.IsOpen());
    device->Start(); // still a closed device: nothing happens
    EXPECT_EQ(service.CallCount(Call::Start), 0u);
}

TEST_F(StateTable, StopOnOpenedDoesNothing)
{
    Enter(CMIDIInDevice::kOpened);
    device->Stop();
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kOpened);
    EXPECT_EQ(service.CallCount(Call::Reset), 0u);
}

TEST_F(StateTable, StartFromOpenedRunsInputAndReleaseThread)
{
    Enter(CMIDIInDevice::kOpened);
    device->Start();
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kStarted);
    EXPECT_TRUE(service.IsStarted());
    ASSERT_NE(service.LastCreatedThread(), nullptr);
    EXPECT_FALSE(ReleaseThreadEnded());
    device->Start(); // already started: nothing more
    EXPECT_EQ(service.CallCount(Call::Start), 1u);
    EXPECT_EQ(service.CallCount(Call::CreateThread), 1u);
}

TEST_F(StateTable, StopFromStartedEndsThreadResetsAndReleasesAll)
{
    Enter(CMIDIInDevice::kStarted);
    device->Stop();
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kOpened);
    EXPECT_EQ(service.CallCount(Call::Reset), 1u);
    EXPECT_TRUE(service.IsOpen());
    ExpectStoppedAndReleased();
}

TEST_F(StateTable, FailedStartReturnsToOpenedWithoutThread)
{
    Enter(CMIDIInDevice::kOpened);
    service.FailCall(Call::Start, MMSYSERR_NOMEM, 1);
    EXPECT_THROW(device->Start(), CMIDIInException);
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kOpened);
    EXPECT_TRUE(ReleaseThreadEnded());
    device->Start(); // a later Start may try again
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kStarted);
}

TEST_F(StateTable, StartWithoutReleaseThreadFailsBeforeStartingInput)
{
    Enter(CMIDIInDevice::kOpened);
    service.FailCall(Call::CreateThread, MMSYSERR_NOMEM, 1);
    try {
        device->Start();
        FAIL() << "Start without a release thread succeeded";
    } catch (const CMIDIInException& e) {
        EXPECT_EQ(e.what(), ExpectedText(MMSYSERR_NOMEM));
    }
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kOpened);
    EXPECT_EQ(service.CallCount(Call::Start), 0u);
    device->Start();
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kStarted);
}

TEST_F(StateTable, CloseFromOpenedClosesThePort)
{
    Enter(CMIDIInDevice::kOpened);
    device->Close();
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kClosed);
    EXPECT_FALSE(service.IsOpen());
}

TEST_F(StateTable, FailedCloseFromOpenedStaysOpened)
{
    Enter(CMIDIInDevice::kOpened);
    service.FailCall(Call::Close, MMSYSERR_ERROR, 1);
    EXPECT_THROW(device->Close(), CMIDIInException);
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kOpened);
    EXPECT_TRUE(service.IsOpen());
    device->Close(); // the handle was kept: closing again works
    EXPECT_FALSE(service.IsOpen());
}

TEST_F(StateTable, CloseFromStartedStopsFirst)
{
    Enter(CMIDIInDevice::kStarted);
    device->Close();
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kClosed);
    EXPECT_FALSE(service.IsOpen());
    EXPECT_EQ(service.CallCount(Call::Reset), 1u);
    ExpectStoppedAndReleased();
}

TEST_F(StateTable, FailedCloseFromStartedLeavesItStoppedAndOpened)
{
    Enter(CMIDIInDevice::kStarted);
    service.FailCall(Call::Close, MMSYSERR_ERROR, 1);
    EXPECT_THROW(device->Close(), CMIDIInException);
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kOpened);
    EXPECT_TRUE(service.IsOpen());
    ExpectStoppedAndReleased();
}

TEST_F(StateTable, CloseReleasesBuffersLentWhileOpened)
{
    Enter(CMIDIInDevice::kOpened);
    Lend(2);
    device->Close(); // a port refuses to close while it holds buffers
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kClosed);
    EXPECT_FALSE(service.IsOpen());
    EXPECT_EQ(service.GetAudit().prepared, 0u);
}

class OpenAgain : public StateTable,
                  public ::testing::WithParamInterface<CMIDIInDevice::State> {
};

TEST_P(OpenAgain, ClosesTheOldPortAndOpensTheNew)
{
    Enter(GetParam());
    device->Open(1);
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kOpened);
    EXPECT_EQ(service.CallCount(Call::Close), 1u);
    EXPECT_EQ(service.OpenPort(), 1u);
    EXPECT_EQ(service.GetAudit().prepared, 0u);
    if (GetParam() == CMIDIInDevice::kStarted) {
        EXPECT_TRUE(ReleaseThreadEnded());
    }
}

TEST_P(OpenAgain, EndsClosedWhenTheNewPortFails)
{
    Enter(GetParam());
    service.FailCall(Call::Open, MMSYSERR_ALLOCATED, 1);
    EXPECT_THROW(device->Open(1), CMIDIInException);
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kClosed);
    EXPECT_FALSE(service.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(FromOpenedOrStarted, OpenAgain,
                         ::testing::Values(CMIDIInDevice::kOpened, CMIDIInDevice::kStarted));

class Destruction : public StateTable,
                    public ::testing::WithParamInterface<CMIDIInDevice::State> {
};

TEST_P(Destruction, ClosesThePortFromEveryState)
{
    Enter(GetParam());
    device.reset();
    EXPECT_FALSE(service.IsOpen());
    EXPECT_EQ(service.GetAudit().prepared, 0u);
}

TEST_P(Destruction, SwallowsACloseThatKeepsFailing)
{
    Enter(GetParam());
    service.FailCall(Call::Close, fakemidi::kLongTextError);
    EXPECT_NO_THROW(device.reset());
    EXPECT_EQ(service.GetAudit().prepared, 0u);
    service.ClearFailures();
}

TEST_P(Destruction, TriesTheCloseOnceMore)
{
    Enter(GetParam());
    service.FailCall(Call::Close, MMSYSERR_ERROR, 1);
    EXPECT_NO_THROW(device.reset());
    if (GetParam() != CMIDIInDevice::kClosed) {
        EXPECT_FALSE(service.IsOpen());
    }
}

INSTANTIATE_TEST_SUITE_P(AnyState, Destruction,
                         ::testing::Values(CMIDIInDevice::kClosed, CMIDIInDevice::kOpened,
                                           CMIDIInDevice::kStarted));

} // namespace
} // namespace miditest
