// Failures: which exception, with which text, and what state is left behind.
#include "MidiTestSupport.h"

#include <type_traits>

namespace miditest {
namespace {

using fakemidi::Call;
using midi::CMIDIInDevice;
using midi::CMIDIInEventFailure;
using midi::CMIDIInException;
using midi::CMIDIInMemFailure;

// A handler for one of the three never catches another.
static_assert(std::is_base_of<std::exception, CMIDIInException>::value, "");
static_assert(std::is_base_of<std::exception, CMIDIInEventFailure>::value, "");
static_assert(std::is_base_of<std::bad_alloc, CMIDIInMemFailure>::value, "");
static_assert(!std::is_base_of<CMIDIInException, CMIDIInEventFailure>::value, "");
static_assert(!std::is_base_of<CMIDIInException, CMIDIInMemFailure>::value, "");

struct ServiceFailure {
    const char* name;
    Call call;
    // Brings the device where the call is made, then makes it.
    void (*act)(CMIDIInDevice& device, char* buffer);
};

void OpenPort(CMIDIInDevice& device, char*) { device.Open(0); }
void ClosePort(CMIDIInDevice& device, char*)
{
    device.Open(0);
    device.Close();
}
void StartPort(CMIDIInDevice& device, char*)
{
    device.Open(0);
    device.Start();
}
void LendBuffer(CMIDIInDevice& device, char* buffer)
{
    device.Open(0);
    device.Start();
    device.QueueSysExBuffer(buffer, DeviceTest::kBufferSize);
}
void QueryCaps(CMIDIInDevice&, char*)
{
    MIDIINCAPSA caps;
    CMIDIInDevice::GetPortCaps(0, &caps);
}

const ServiceFailure kServiceFailures[] = {
    {"Open", Call::Open, &OpenPort},
    {"Close", Call::Close, &ClosePort},
    {"Start", Call::Start, &StartPort},
    {"PrepareHeader", Call::PrepareHeader, &LendBuffer},
    {"AddBuffer", Call::AddBuffer, &LendBuffer},
    {"GetDevCaps", Call::GetDevCaps, &QueryCaps},
};

// Short, exactly 127 characters, and longer than 127.
const MMRESULT kResults[] = {MMSYSERR_ALLOCATED, fakemidi::kFullTextError,
                             fakemidi::kLongTextError};

class ServiceCallFailure
    : public DeviceTest,
      public ::testing::WithParamInterface<std::tuple<ServiceFailure, MMRESULT>> {
};

TEST_P(ServiceCallFailure, ThrowsTheServiceTextCutTo127Characters)
{
    const ServiceFailure& failure = std::get<0>(GetParam());
    const MMRESULT result = std::get<1>(GetParam());
    service.FailCall(failure.call, result, 1);
    try {
        failure.act(*device, NewBuffer());
        FAIL() << failure.name << " failure was not reported";
    } catch (const CMIDIInException& e) {
        EXPECT_EQ(e.what(), ExpectedText(result));
        EXPECT_LE(std::string(e.what()).size(), 127u);
    }
    // A failed lending leaves nothing lent or queued.
    EXPECT_TRUE(service.HeldBuffers().empty());
    EXPECT_EQ(service.GetAudit().prepared, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCall, ServiceCallFailure,
    ::testing::Combine(::testing::ValuesIn(kServiceFailures), ::testing::ValuesIn(kResults)),
    [](const ::testing::TestParamInfo<std::tuple<ServiceFailure, MMRESULT>>& info) {
        return std::string(std::get<0>(info.param).name) + "_"
            + std::to_string(std::get<1>(info.param));
    });

class Failures : public DeviceTest {
};

TEST_F(Failures, QueueOnANeverOpenedDeviceFailsInPreparation)
{
    try {
        device->QueueSysExBuffer(NewBuffer(), kBufferSize);
        FAIL() << "lending to a closed device succeeded";
    } catch (const CMIDIInException& e) {
        EXPECT_EQ(e.what(), ExpectedText(MMSYSERR_INVALHANDLE));
    }
    EXPECT_EQ(service.CallCount(Call::PrepareHeader), 1u);
    EXPECT_EQ(service.CallCount(Call::AddBuffer), 0u);
}

TEST_F(Failures, QueueOnAClosedDeviceLeavesTheQueueUnchanged)
{
    OpenAndStart();
    device->Close();
    EXPECT_THROW(device->QueueSysExBuffer(NewBuffer(), kBufferSize), CMIDIInException);
    // Open again: a port that was handed nothing has nothing to hand back.
    device->Open(0);
    device->Start();
    device->Stop();
    EXPECT_EQ(service.CallCount(Call::UnprepareHeader), 0u);
}

TEST_F(Failures, TooManyLentBuffersIsAMemoryFailure)
{
    OpenAndStart();
    Lend(midi::CSysExHeaderPool::kCapacity);
    try {
        device->QueueSysExBuffer(NewBuffer(), kBufferSize);
        FAIL() << "lending beyond the header storage succeeded";
    } catch (const CMIDIInException&) {
        FAIL() << "wrong exception class";
    } catch (const std::bad_alloc& e) {
        EXPECT_STREQ(e.what(), "Memory allocation within a CMIDIInDevice object failed.");
    }
    EXPECT_EQ(service.HeldBuffers().size(), midi::CSysExHeaderPool::kCapacity);
    // Released headers give their storage back.
    device->Stop();
    device->Start();
    EXPECT_NO_THROW(Lend(midi::CSysExHeaderPool::kCapacity));
}

TEST_F(Failures, FailedResetKeepsHeadersThePortStillHolds)
{
    OpenAndStart();
    const std::vector<char*> lent = Lend(2);
    service.FailCall(Call::Reset, MMSYSERR_ERROR, 1);
    device->Stop(); // never throws
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kOpened);
    // The port refused to let go of the oldest, so nothing was freed under it.
    expectedRefusedUnprepares = 1;
    EXPECT_TRUE(service.IsPrepared(lent[0]));
    EXPECT_TRUE(service.IsPrepared(lent[1]));
    // Closing hands them back now and closes.
    device->Close();
    EXPECT_FALSE(service.IsOpen());
    EXPECT_EQ(service.GetAudit().prepared, 0u);
}

TEST_F(Failures, FailedUnprepareIsIgnored)
{
    OpenAndStart();
    Lend(2);
    service.FailCall(Call::UnprepareHeader, MMSYSERR_ERROR);
    device->Stop();
    EXPECT_EQ(device->GetState(), CMIDIInDevice::kOpened);
    EXPECT_TRUE(service.HeldBuffers().empty());
    // The service kept both on its books; the device let go of them all the same, so its
    // queue is empty and closing needs no second reset.
    expectedLeftPrepared = 2;
    EXPECT_EQ(service.GetAudit().prepared, expectedLeftPrepared);
    service.ClearFailures();
    device->Close();
    EXPECT_EQ(service.CallCount(Call::Reset), 1u);
}

TEST_F(Failures, MissingErrorTextStillGivesAText)
{
    service.FailCall(Call::GetErrorText, MMSYSERR_ERROR);
    service.FailCall(Call::Open, MMSYSERR_ALLOCATED, 1);
    try {
        device->Open(0);
        FAIL();
    } catch (const CMIDIInException& e) {
        EXPECT_STREQ(e.what(), "MIDI input service error 4.");
    }
}

TEST_F(Failures, CopiedExceptionKeepsItsOwnText)
{
    service.FailCall(Call::Open, fakemidi::kLongTextError, 1);
    std::unique_ptr<CMIDIInException> copy;
    try {
        device->Open(0);
    } catch (const CMIDIInException& e) {
        copy = std::make_unique<CMIDIInException>(e);
    }
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->what(), ExpectedText(fakemidi::kLongTextError));
}

TEST_F(Failures, DeviceWithoutSignallingEventIsRefusedAndTheServiceStaysUsable)
{
    service.FailCall(Call::CreateEvent, MMSYSERR_NOMEM, 1);
    EXPECT_THROW(CMIDIInDevice(), CMIDIInEventFailure);
    CMIDIInDevice next;  // the refusal left nothing behind
    next.Open(1);
    EXPECT_EQ(next.GetState(), CMIDIInDevice::kOpened);
    next.Close();
}

TEST_F(Failures, OtherExceptionTexts)
{
    EXPECT_STREQ(CMIDIInEventFailure().what(),
                 "Unable to create a signalling event for CMIDIInDevice object.");
    EXPECT_STREQ(CMIDIInMemFailure().what(),
                 "Memory allocation within a CMIDIInDevice object failed.");
}

TEST_F(Failures, PortCapsNameThePortsAndRefuseNumbersBeyond)
{
    ASSERT_EQ(CMIDIInDevice::GetNumPorts(), 2u);
    MIDIINCAPSA caps;
    CMIDIInDevice::GetPortCaps(1, &caps);
    EXPECT_STREQ(caps.szPname, "Scripted Port B");
    try {
        CMIDIInDevice::GetPortCaps(2, &caps);
        FAIL() << "a port beyond the count was described";
    } catch (const CMIDIInException& e) {
        EXPECT_EQ(e.what(), ExpectedText(MMSYSERR_BADDEVICEID));
    }
}

} // namespace
} // namespace miditest
