// The long Windows-audio run, outside `make test` (tests/audio/soak.sh): the default device
// plays a sine in real time for ZUMBREL_SOAK_SECONDS (default 60) into the sound server, and
// the whole capture must be that sine without a single gap or jump.
#include "audio/WasapiDevice.h"
#include "SoundServer.h"
#include "StreamProbe.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

TEST(WasapiSoak, RealTime)
{
    const CSoundServer server;
    if (!server.Available())
        GTEST_SKIP() << "no sound server (scripts/sound-server.sh)";
    const char* text = std::getenv("ZUMBREL_SOAK_SECONDS");
    const int seconds = text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 60;
    RenderProbe probe;
    probe.output = RenderProbe::Output::Sine;
    probe.sampleRate = 48000.0;
    probe.frequency = 1000.0;
    CWasapiDevice device;
    const std::uint64_t mark = server.CaptureMark();
    ASSERT_TRUE(device.Open(0, &probeRender, &probe)) << device.FailureText();
    ASSERT_TRUE(device.Start());
    std::printf("%.0f Hz, %.1f ms period, %d frames of buffer, %.1f ms output latency\n",
                device.Rate(), device.PeriodSeconds() * 1000.0, device.BufferFrames(),
                device.OutputLatency() * 1000.0);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    std::printf("%d s, %u periods\n", seconds, device.CompletedBlocks());
    device.Close();
    Sleep(300);
    ExpectCleanSine(server.CaptureSince(mark), 1000.0, probe.amplitude * 0.9, seconds - 0.5);
}
