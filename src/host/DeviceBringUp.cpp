// The device bring-up: applies section "device" of the settings file to the audio stream, the
// MIDI input port and the plug-in. Runs at start-up and again whenever the settings change.
#include "host/TarvolinView.h"

#include "base/SampleRate.h"
#include "host/HostRules.h"
#include "settings/DeviceSettings.h"
#include "toolkit/FrameWnd.h"

#include <exception>

namespace {
constexpr char kAsioFailed[] = "ASIO failed";
constexpr char kMidiFailed[] = "MIDI IN port failed";
constexpr char kRateUnknown[] =
    "The driver does not tell its sample rate: the instrument plays at 44100 Hz";
constexpr char kDriverKeepsResetting[] =
    "ASIO failed\n\nThe driver keeps asking to be restarted, so its audio was switched off. "
    "Choose a driver again in Options.";
} // namespace

void CTarvolinView::BringUpDevices()
{
    // Nothing is reconfigured while a device can still call back.
    m_asioStream.closeStream();
    if (m_midiInDevice) {
        m_midiInDevice->Stop();
    }
    // Notes played while no audio ran are not played all at once when it starts again (a
    // full list would also have dropped their note-offs).
    m_plugin.DiscardEvents();
    // Notes sounding on the old device would hang on the new one.
    const bool switching = m_devicesBroughtUp;
    if (switching) {
        m_plugin.RequestAllNotesOff();
    }
    m_devicesBroughtUp = true;
    const std::int32_t previousDriver = m_asioDriver;
    const std::int32_t previousRateCode = m_sampleRateCode;

    m_reopenLimit.Reset();
    m_driverFaultShown = false;  // a new open forgets the last driver's fault
    const DeviceSettings settings = ReadDeviceSettings(m_settings);
    m_asioDriver = settings.driver;
    m_midiInPort = settings.midiInPort;
    m_sampleRateCode = settings.sampleRateCode;
    // The tempo is in place before the first block plays.
    m_plugin.SetTempo(static_cast<float>(settings.tempo));

    // Another device or rate starts the transport from 0; the same one opened afresh (a new
    // tempo, say) plays on from where it was.
    BringUpAudio(!switching || m_asioDriver != previousDriver ||
                 m_sampleRateCode != previousRateCode);
    BringUpMidi();
    const int count = m_asioStream.driverCount();
    for (int i = 1; i <= count && i < kDriverNameEntries; ++i) {
        m_driverNames[i] = m_asioStream.driverNameAt(i - 1);
    }
}

// The plug-in is told the rate the driver really runs at. A rate the driver refuses (it says
// no, fails to set it, or runs at another one afterwards) is stored as 44100 for the next start;
// a refused 44100 stores nothing; an unknown code changes nothing.
void CTarvolinView::BringUpAudio(bool restartTransport)
{
    if (m_asioDriver < 1 || m_asioDriver > m_asioStream.driverCount()) {
        return;
    }
    m_asioStream.setDriverRequestHandler(&CTarvolinView::OnDriverRequest, this);
    if (!m_asioStream.openStream(m_asioDriver - 1, &CVstPlugin::RenderCallback, &m_plugin)) {
        ReportAsioFailure();
        return;
    }
    const int rate = host::SampleRateForCode(m_sampleRateCode);
    if (rate != 0) {
        if (m_asioStream.changeSampleRate(static_cast<float>(rate))) {
            WriteSampleRateCode(m_settings, m_sampleRateCode);
        } else if (m_sampleRateCode != host::kRateCode44100) {
            WriteSampleRateCode(m_settings, host::kRateCode44100);
        }
    }
    TellPluginTheStreamFormat();
    if (restartTransport) {
        m_plugin.RestartTransport();
    }
    m_blocksSeen = m_asioStream.completedBlocks();
    m_blocksMovedAt = GetTickCount64();
    if (!m_asioStream.startStream()) {
        m_asioStream.closeStream();
        ReportAsioFailure();
    }
}

// "ASIO failed", with what happened when the driver faulted (it is out of the call layer then,
// and reported once).
void CTarvolinView::ReportAsioFailure()
{
    const std::string fault = m_asioStream.driverFaultText();
    m_driverFaultShown = !fault.empty();
    ShowStopMessage(fault.empty() ? std::string(kAsioFailed) : std::string(kAsioFailed) + "\n\n" + fault);
}

// The plug-in renders the stream's blocks at the rate the driver really runs at. When no rate
// is known at all (the driver cannot tell it and none was set), 44100 Hz, said in the status
// bar.
void CTarvolinView::TellPluginTheStreamFormat()
{
    double rate = m_asioStream.currentSampleRate();
    if (!(rate > 0.0)) {
        rate = kDefaultSampleRate;
        GetParentFrame()->SetMessageText(kRateUnknown);
    }
    m_plugin.SetStreamFormat(static_cast<float>(rate), m_asioStream.bufferFrames());
}

// The driver's thread: one message for a burst of requests, handled on this thread.
void CTarvolinView::OnDriverRequest(void* view)
{
    auto* self = static_cast<CTarvolinView*>(view);
    if (!self->m_reopenPosted.exchange(true)) {
        PostMessageA(self->m_hWnd, kDriverRequestMessage, 0, 0);
    }
}

// The same driver and rate, opened afresh: stop, dispose, close, then open, create, start.
void CTarvolinView::ReopenAudio()
{
    m_reopenPosted.store(false);
    if (m_asioDriver < 1 || m_asioDriver > m_asioStream.driverCount()) {
        return;
    }
    m_asioStream.closeStream();
    m_plugin.DiscardEvents();
    // Notes sounding on the old device would hang on the new one.
    if (m_devicesBroughtUp) {
        m_plugin.RequestAllNotesOff();
    }
    m_devicesBroughtUp = true;
    if (!m_reopenLimit.Allow(GetTickCount())) {
        ShowStopMessage(kDriverKeepsResetting);
        return;
    }
    BringUpAudio(true);
}

void CTarvolinView::BringUpMidi()
{
    const int ports = static_cast<int>(midi::CMIDIInDevice::GetNumPorts());
    if (m_midiInPort < 1 || m_midiInPort > ports) {
        if (m_midiInDevice) {
            try {
                m_midiInDevice->Close();
            } catch (const std::exception&) {
                // The port stays opened and stopped: it delivers nothing.
            }
        }
        return;
    }
    try {
        if (!m_midiInDevice) {
            m_midiInDevice.emplace();
        }
        m_midiInDevice->AttachReceiver(this);
        m_midiInDevice->Open(static_cast<UINT>(m_midiInPort - 1));
        m_midiInDevice->Start();
    } catch (const std::exception&) {
        ShowStopMessage(kMidiFailed);
    }
    LendSysExBuffer();
}

// Only an opened port takes the buffer; a refusal (port closed under us, too many buffers)
// leaves the port without system-exclusive input but never ends the program, whichever
// thread lends.
void CTarvolinView::LendSysExBuffer() noexcept
{
    if (!m_midiInDevice || m_midiInDevice->GetState() == midi::CMIDIInDevice::kClosed) {
        return;
    }
    try {
        m_midiInDevice->QueueSysExBuffer(m_sysExBuffer, kSysExBufferBytes);
    } catch (const std::exception&) {
    }
}
