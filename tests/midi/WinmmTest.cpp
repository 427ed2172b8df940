// With nothing installed in the seam the device talks to winmm itself. Wine has no MIDI input
// port here, so every port number is out of range and winmm's own texts come back.
#include "midi/MIDIInDevice.h"
#include "midi/MIDIInExceptions.h"
#include "midi/MIDIInService.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using midi::CMIDIInDevice;
using midi::CMIDIInException;

std::string WinmmText(MMRESULT result)
{
    char text[128] = {};
    ::midiInGetErrorTextA(result, text, sizeof(text));
    return text;
}

TEST(Winmm, IsTheDefaultService)
{
    EXPECT_EQ(&midi::Service(), &midi::WinmmService());
    EXPECT_EQ(CMIDIInDevice::GetNumPorts(), ::midiInGetNumDevs());
}

TEST(Winmm, OpenBeyondThePortsFailsWithWinmmsText)
{
    CMIDIInDevice device;
    const UINT beyond = ::midiInGetNumDevs();
    try {
        device.Open(beyond);
        FAIL() << "opened a port that does not exist";
    } catch (const CMIDIInException& e) {
        EXPECT_FALSE(std::string(e.what()).empty());
        EXPECT_EQ(e.what(), WinmmText(MMSYSERR_BADDEVICEID));
    }
    EXPECT_EQ(device.GetState(), CMIDIInDevice::kClosed);
}

TEST(Winmm, PortCapsBeyondThePortsFail)
{
    MIDIINCAPSA caps;
    EXPECT_THROW(CMIDIInDevice::GetPortCaps(::midiInGetNumDevs(), &caps), CMIDIInException);
}

TEST(Winmm, LendingToANeverOpenedDeviceFails)
{
    CMIDIInDevice device;
    char buffer[16];
    EXPECT_THROW(device.QueueSysExBuffer(buffer, sizeof(buffer)), CMIDIInException);
}

} // namespace
