#include "host/InstrumentSession.h"

#include "base/FaultGuard.h"
#include "base/SampleRate.h"
#include "host/CloseWatchdog.h"
#include "host/HostRules.h"
#include "plugin/PluginState.h"
#include "plugin/PresetFile.h"
#include "toolkit/FileBytes.h"
#include "toolkit/TextRules.h"

#include <windows.h>

#include <algorithm>
#include <exception>

namespace host {

namespace {
constexpr std::int32_t kPluginBlockSize = 2048;
// Closing never takes longer than this (host/CloseWatchdog.h).
constexpr DWORD kCloseLimitMs = 8000;
constexpr char kNone[] = "none";
constexpr char kNotRunning[] = "no instrument is running";
constexpr char kNotAnswering[] = "the instrument is not answering";
constexpr char kAsioFailed[] = "ASIO failed";
constexpr char kMidiFailed[] = "MIDI IN port failed";
constexpr char kReady[] = "Ready";
constexpr char kRateUnknown[] =
    "The driver does not tell its sample rate: the instrument plays at 44100 Hz";
constexpr char kNoDefaultDevice[] =
    "No sound: the system's audio could not be opened. Choose a device in Options";
constexpr char kDeviceMissing[] =
    "The chosen Windows audio device is not there: playing through the default device";
constexpr char kWaitingForDevice[] =
    "The audio device is gone: playing again as soon as it is back";
// How often a device that went away is looked for.
constexpr unsigned long long kDeviceLookMs = 2000;
constexpr char kDriverKeepsResetting[] =
    "ASIO failed\n\nThe driver keeps asking to be restarted, so its audio was switched off. "
    "Choose a driver again in Options.";
// No block finished for this long while the stream runs: the status bar says the audio is stuck.
constexpr unsigned long long kStuckMs = 2000;
}  // namespace

CInstrumentSession::CInstrumentSession(ISessionReports& reports,
                                       std::unique_ptr<IAudioDevice> asio,
                                       std::unique_ptr<IAudioDevice> windows)
    : m_reports(reports), m_asio(std::move(asio)), m_windows(std::move(windows)),
      m_device(m_asio.get())
{
}

CInstrumentSession::~CInstrumentSession()
{
    ShutDown();
}

CInstrumentSession::Opening CInstrumentSession::OpenInstrument(const std::string& library)
{
    if (library.empty() || !m_plugin.Load(library.c_str())) {
        return m_plugin.Fault() != nullptr ? Opening::Faulted : Opening::Missing;
    }
    // The plug-in is switched off before it is opened, as instruments expect.
    m_plugin.MainsChanged(0);
    m_plugin.Open();
    m_plugin.SetBlockSize(kPluginBlockSize);
    m_plugin.SetSampleRate(static_cast<float>(kDefaultSampleRate));
    m_plugin.MainsChanged(1);
    return m_plugin.Faulted() ? Opening::Faulted : Opening::Opened;
}

// ---- The kept state and the state as files ----------------------------------------------

// A missing bank is the first run; any other failure leaves the file alone for the user.
void CInstrumentSession::StartRunning(const std::string& keptBank)
{
    m_running = true;
    if (keptBank.empty() || !ReadSettings().keepState) {
        return;
    }
    std::vector<std::uint8_t> bytes;
    const toolkit::ReadOutcome read =
        toolkit::ReadFileBytes(keptBank, preset::kMaxFileBytes, bytes);
    if (read == toolkit::ReadOutcome::CannotRead &&
        GetFileAttributesA(keptBank.c_str()) == INVALID_FILE_ATTRIBUTES) {
        m_keptBank = keptBank;
        return;
    }
    const std::string reason =
        read == toolkit::ReadOutcome::Read
            ? LoadState(bytes)
            : std::string(read == toolkit::ReadOutcome::TooLarge ? "the file is too large"
                                                                 : "the file cannot be read");
    if (reason.empty()) {
        m_keptBank = keptBank;
        return;
    }
    m_startNote = toolkit::FileTitleOf(keptBank) + " was not loaded and is kept as it is: " + reason;
    m_reports.ShowStatus(m_startNote);
}

// A switched-off instrument has no state to give or take (saving it would write an empty one
// over the kept bank).
bool CInstrumentSession::Running() const
{
    return m_running && m_plugin.IsLoaded() && !m_plugin.Faulted();
}

std::vector<std::uint8_t> CInstrumentSession::SaveState(bool program, std::string& failure)
{
    if (!Running()) {
        failure = kNotRunning;
        return {};
    }
    if (failure = RefusalWhileStuck(); !failure.empty()) {
        return {};
    }
    const preset::Capture capture =
        program ? preset::CaptureProgram(m_plugin) : preset::CaptureBank(m_plugin);
    failure = capture.failure;
    return capture.Ok() ? preset::Write(capture.file) : std::vector<std::uint8_t>();
}

std::string CInstrumentSession::LoadState(const std::vector<std::uint8_t>& bytes)
{
    if (!Running()) {
        return kNotRunning;
    }
    if (const std::string refusal = RefusalWhileStuck(); !refusal.empty()) {
        return refusal;
    }
    const preset::ReadResult read = preset::Read(bytes.data(), bytes.size());
    if (read.error != preset::Error::None) {
        return preset::Describe(read.error);
    }
    const preset::ApplyError applied = preset::Apply(m_plugin, read.file);
    if (applied != preset::ApplyError::None) {
        return preset::Describe(applied);
    }
    // Notes held across the change would otherwise hang in the new sound.
    m_plugin.RequestAllNotesOff();
    m_stateLoaded = true;
    const auto program = static_cast<std::int32_t>(m_plugin.GetProgram());
    ShowProgram(program >= 0 && program < m_plugin.NumPrograms() ? program : 0, false);
    return {};
}

void CInstrumentSession::KeepState() noexcept
{
    if (m_keptBank.empty() || !Running()) {
        return;
    }
    try {
        // A state that cannot be saved whole leaves the kept bank as it was.
        std::string failure;
        const std::vector<std::uint8_t> bytes = SaveState(false, failure);
        if (bytes.empty()) {
            m_reports.ShowStatus(toolkit::FileTitleOf(m_keptBank) +
                                 " was not saved and is kept as it is: " + failure);
        } else {
            toolkit::WriteFileReplacing(m_keptBank, bytes.data(), bytes.size());
        }
    }
    catch (const std::exception&) {
        // Out of memory at exit: the previous bank stays as it was.
    }
    m_keptBank.clear();
}

std::string CInstrumentSession::ShowProgram(int program, bool select)
{
    if (select) {
        m_plugin.SetProgram(program);
    }
    char name[kVstProgramNameBytes] = {};
    m_plugin.GetProgramName(name);
    m_currentProgram = program;
    return name;
}

void CInstrumentSession::PlayNotes(const std::vector<KeyNote>& notes)
{
    for (const KeyNote& note : notes) {
        m_plugin.AddHostEvent(note.status, note.note, note.velocity);
    }
}

// ---- Shutting down ------------------------------------------------------------------------

// Devices first: once the stream is closed no render call runs, once the port is closed no
// delivery arrives; only then is the plug-in released. The whole close is bounded by a
// watchdog, whatever a component does in its last calls.
void CInstrumentSession::ShutDown() noexcept
{
    const CCloseWatchdog watchdog(kCloseLimitMs);
    // A stuck stream or instrument is asked nothing more.
    if (m_audioStuck) {
        TerminateProcess(GetCurrentProcess(), 0);
    }
    CloseDevices();
    KeepState();
    m_running = false;
    m_plugin.Unload();
    m_plugin.SetSizeRequestHandler(nullptr, nullptr);
    // A broken instrument or driver stays in the process (unloading it could run its code
    // again): the process ends here, with the settings already written, rather than in the
    // library unloading of a normal exit.
    if (BrokenComponentKept()) {
        TerminateProcess(GetCurrentProcess(), 0);
    }
}

void CInstrumentSession::CloseDevices()
{
    CloseAudio();
    if (m_midiInDevice) {
        try {
            m_midiInDevice->Close();
        } catch (const std::exception&) {
            m_midiInDevice->Stop();  // a port that refuses to close at least delivers nothing more
        }
        m_midiInDevice->AttachReceiver(nullptr);
    }
}

bool CInstrumentSession::BrokenComponentKept() const
{
    return m_plugin.Faulted() || m_audioStuck || !m_asio->FaultText().empty();
}

// ---- Health -------------------------------------------------------------------------------

void CInstrumentSession::CheckHealth()
{
    RestoreLastResortFaultHandler();
    ReportInstrumentFault();
    ReportDriverFault();
    WatchAudio();
    RetryMissingDevice();
}

// The instrument is switched off already: it is never called again and renders silence.
void CInstrumentSession::ReportInstrumentFault()
{
    const PluginFault* fault = m_plugin.Fault();
    if (fault == nullptr || m_instrumentFaultShown) {
        return;
    }
    m_instrumentFaultShown = true;
    m_reports.ShowStop("The instrument stopped working and was switched off.\n\n" +
                       FaultText(fault->call, fault->record) +
                       "\n\nZumbrel keeps running without it: start Zumbrel again to play the "
                       "instrument. Your settings are kept.");
}

// A driver that faulted is out of the call layer; the stream is closed as for a failed driver,
// and Options can choose another.
void CInstrumentSession::ReportDriverFault()
{
    if (m_driverFaultShown) {
        return;
    }
    const std::string text = m_device->FaultText();
    if (text.empty()) {
        return;
    }
    m_driverFaultShown = true;
    m_device->Close();
    m_reports.ShowStop(std::string(kAsioFailed) + "\n\n" + text);
}

// Blocks that stop finishing while the stream runs: the instrument is inside one and does not
// come back, or the driver no longer calls. A stall that ends clears the note.
void CInstrumentSession::WatchAudio()
{
    const unsigned long long now = GetTickCount64();
    const std::uint32_t blocks = m_device->CompletedBlocks();
    if (!m_device->IsRunning() || blocks != m_blocksSeen) {
        m_blocksSeen = blocks;
        m_blocksMovedAt = now;
        if (m_audioStuck) {
            m_audioStuck = false;
            m_reports.ShowStatus(kReady);
        }
        return;
    }
    if (now - m_blocksMovedAt < kStuckMs) {
        return;
    }
    m_audioStuck = true;
    const std::string seconds = std::to_string((now - m_blocksMovedAt) / 1000);
    m_reports.ShowStatus(
        m_device->BlockInProgress()
            ? "The instrument has not answered for " + seconds + " s: no sound until it does"
            : "The audio driver has not called for " + seconds + " s: no sound until it does");
}

std::string CInstrumentSession::RefusalWhileStuck() const
{
    return m_audioStuck ? kNotAnswering : std::string();
}

// ---- Devices ------------------------------------------------------------------------------

void CInstrumentSession::ApplySettings(const DeviceSettings& settings)
{
    // Nothing is reconfigured while a device can still call back.
    CloseAudio();
    if (m_midiInDevice) {
        m_midiInDevice->Stop();
    }
    // Notes played while no audio ran are not played all at once when it starts again (a
    // full list would also have dropped their note-offs).
    m_plugin.DiscardEvents();
    // Notes sounding on the old device would hang on the new one.
    const bool switching = m_devicesApplied;
    if (switching) {
        m_plugin.RequestAllNotesOff();
        m_startNote.clear();
    }
    m_devicesApplied = true;
    const DeviceSettings previous = m_applied;
    m_applied = settings;
    m_reopenLimit.Reset();
    m_driverFaultShown = false;  // a new open forgets the last driver's fault
    m_waitingForDevice = false;
    // The tempo is in place before the first block plays.
    m_plugin.SetTempo(static_cast<float>(settings.tempo));
    // Another device or rate starts the transport from 0; the same one opened afresh (a new
    // tempo, say) plays on from where it was.
    const bool sameDevice = settings.driver == previous.driver &&
                            settings.windowsDevice == previous.windowsDevice &&
                            settings.deviceChosen == previous.deviceChosen;
    OpenAudio(!switching || !sameDevice || settings.sampleRateCode != previous.sampleRateCode,
              false);
    OpenMidi();
}

void CInstrumentSession::CloseAudio()
{
    m_asio->Close();
    if (m_windows) {
        m_windows->Close();
    }
}

// An ASIO driver by its number; else a Windows device by its key, the default one when the
// file holds no choice at all, or the default one standing in for a device that is gone.
CInstrumentSession::Resolved CInstrumentSession::ResolveDevice() const
{
    Resolved resolved;
    if (m_applied.driver >= 1) {
        if (m_applied.driver <= m_asio->DeviceCount()) {
            resolved.device = m_asio.get();
            resolved.index = m_applied.driver - 1;
        }
        return resolved;
    }
    const bool defaultDevice = m_applied.windowsDevice.empty();
    resolved.windowsWanted = m_windows && !(defaultDevice && m_applied.deviceChosen);
    if (!resolved.windowsWanted) {
        return resolved;
    }
    bool standIn = false;
    resolved.index = m_windows->FindDevice(m_applied.windowsDevice, standIn);
    if (resolved.index >= 0) {
        resolved.device = m_windows.get();
        if (standIn && !defaultDevice) {
            resolved.note = kDeviceMissing;
        }
    }
    return resolved;
}

// The one way a rate reaches the instrument: the device is asked for the chosen rate, the rate
// it then runs at is read back, and the instrument is told that rate with the device's block
// size. A rate an ASIO driver refuses (it says no, fails to set it, or runs at another one
// afterwards) is stored as 44100 for the next start; a refused 44100 stores nothing; an
// unknown code changes nothing. A Windows device stores the code of the rate it really runs.
// `reopening`: a Windows device that cannot be opened is waited for, without a message box.
void CInstrumentSession::OpenAudio(bool restartTransport, bool reopening)
{
    if (m_windows && m_applied.driver < 1) {
        m_windows->RefreshDevices();
    }
    const Resolved chosen = ResolveDevice();
    if (chosen.device == nullptr) {
        if (chosen.windowsWanted) {
            ReportWindowsFailure(reopening);
        }
        return;
    }
    m_device = chosen.device;
    m_device->SetRequestHandler(&CInstrumentSession::OnDeviceRequest, this);
    if (!m_device->Open(chosen.index, &CVstPlugin::RenderCallback, &m_plugin)) {
        ReportOpenFailure(reopening);
        return;
    }
    const int rate = SampleRateForCode(m_applied.sampleRateCode);
    if (rate != 0) {
        StoreRunningRate(m_device->SetRate(rate));
    }
    const bool rateKnown = TellInstrumentTheRate();
    if (restartTransport) {
        m_plugin.RestartTransport();
    }
    m_blocksSeen = m_device->CompletedBlocks();
    m_blocksMovedAt = GetTickCount64();
    if (!m_device->Start()) {
        m_device->Close();
        ReportOpenFailure(reopening);
        return;
    }
    m_waitingForDevice = false;
    if (rateKnown) {
        ReportOpened(chosen.index, chosen.note);
    }
}

void CInstrumentSession::StoreRunningRate(bool rateTaken)
{
    if (rateTaken) {
        WriteSampleRateCode(m_settings, m_applied.sampleRateCode);
    } else if (m_device != m_asio.get()) {
        WriteSampleRateCode(m_settings, CodeForSampleRate(m_device->Rate()));
    } else if (m_applied.sampleRateCode != kRateCode44100) {
        WriteSampleRateCode(m_settings, kRateCode44100);
    }
}

// When no rate is known at all (the driver cannot tell it and none was set), 44100 Hz, said in
// the status bar; false then.
bool CInstrumentSession::TellInstrumentTheRate()
{
    double rate = m_device->Rate();
    const bool known = rate > 0.0;
    if (!known) {
        rate = kDefaultSampleRate;
        m_reports.ShowStatus(kRateUnknown);
    }
    m_plugin.SetStreamFormat(rate, m_device->BufferFrames());
    return known;
}

// The device, its rate and its latency in the status bar, after what the user should know of
// the open (a stand-in device, another mode).
void CInstrumentSession::ReportOpened(std::int32_t index, const std::string& note)
{
    std::string text;
    for (const std::string& part : {note, m_device->OpenNote()}) {
        if (!part.empty()) {
            text += part + ". ";
        }
    }
    ShowDeviceStatus(text + DeviceLatencyText(m_device->DeviceName(index), m_device->Rate(),
                                              m_device->PeriodSeconds(),
                                              m_device->OutputLatency()));
}

// What the start-up had to say about the kept state stays first until the devices are chosen
// again.
void CInstrumentSession::ShowDeviceStatus(const std::string& text)
{
    m_reports.ShowStatus(m_startNote.empty() ? text : m_startNote + ". " + text);
}

// "ASIO failed" (or the Windows audio's), with what happened when the driver faulted (it is
// out of the call layer then, and reported once) or what the device told.
void CInstrumentSession::ReportOpenFailure(bool reopening)
{
    if (m_device != m_asio.get()) {
        ReportWindowsFailure(reopening);
        return;
    }
    const std::string fault = m_device->FaultText();
    m_driverFaultShown = !fault.empty();
    m_reports.ShowStop(fault.empty() ? std::string(kAsioFailed)
                                     : std::string(kAsioFailed) + "\n\n" + fault);
}

// A Windows device that went away is waited for; the default device at a first start that
// cannot play is said in the status bar; a chosen device that cannot play is a failure.
void CInstrumentSession::ReportWindowsFailure(bool reopening)
{
    if (reopening) {
        if (!m_waitingForDevice) {
            m_waitingForDevice = true;
            m_lastDeviceLook = GetTickCount64();
            ShowDeviceStatus(kWaitingForDevice);
        }
        return;
    }
    const std::string why = m_windows->FailureText();
    if (!m_applied.deviceChosen) {
        ShowDeviceStatus(kNoDefaultDevice);
        return;
    }
    m_reports.ShowStop(std::string(m_windows->KindName()) + " failed" +
                       (why.empty() ? std::string() : "\n\n" + why));
}

// The device's thread: one request for a burst, served on the session's thread.
void CInstrumentSession::OnDeviceRequest(void* session)
{
    auto* self = static_cast<CInstrumentSession*>(session);
    if (!self->m_reopenRequested.exchange(true)) {
        self->m_reports.RequestReopen();
    }
}

// The same device and rate, opened afresh: stop, dispose, close, then open, create, start;
// within the re-open limit, beyond which the audio stays off and the user is told.
void CInstrumentSession::ReopenAudio()
{
    m_reopenRequested.store(false);
    const Resolved chosen = ResolveDevice();
    if (chosen.device == nullptr && !chosen.windowsWanted) {
        return;
    }
    CloseAudio();
    m_plugin.DiscardEvents();
    // Notes sounding on the old device would hang on the new one.
    if (m_devicesApplied) {
        m_plugin.RequestAllNotesOff();
    }
    m_devicesApplied = true;
    if (!m_reopenLimit.Allow(GetTickCount())) {
        m_waitingForDevice = false;
        m_reports.ShowStop(kDriverKeepsResetting);
        return;
    }
    OpenAudio(true, true);
}

// Outside the re-open limit: looking costs little, and the device may take a while to return.
void CInstrumentSession::RetryMissingDevice()
{
    const unsigned long long now = GetTickCount64();
    if (!m_waitingForDevice || now - m_lastDeviceLook < kDeviceLookMs) {
        return;
    }
    m_lastDeviceLook = now;
    OpenAudio(true, true);
}

std::vector<DeviceChoice> CInstrumentSession::DeviceChoices() const
{
    std::vector<DeviceChoice> choices{DeviceChoice{kNone, 0, {}}};
    const int drivers = std::min(m_asio->DeviceCount(), kDeviceChoiceEntries - 1);
    for (int i = 0; i < drivers; ++i) {
        choices.push_back(DeviceChoice{m_asio->DeviceName(i), i + 1, {}});
    }
    const int devices = m_windows ? m_windows->DeviceCount() : 0;
    for (int i = 0; i < devices && choices.size() < kDeviceChoiceEntries; ++i) {
        choices.push_back(DeviceChoice{m_windows->DeviceName(i), 0, m_windows->DeviceKey(i)});
    }
    return choices;
}

// Only "none" and the drivers: a position in the list is an "asio" value there.
void CInstrumentSession::PublishDeviceChoices() const
{
    std::vector<std::string> names;
    for (const DeviceChoice& choice : DeviceChoices()) {
        if (choice.windowsDevice.empty()) {
            names.push_back(choice.name);
        }
    }
    WriteDriverList(m_settings, names);
}

// ---- MIDI ---------------------------------------------------------------------------------

void CInstrumentSession::OpenMidi()
{
    const int port = m_applied.midiInPort;
    const int ports = static_cast<int>(midi::CMIDIInDevice::GetNumPorts());
    if (port < 1 || port > ports) {
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
        m_midiInDevice->Open(static_cast<UINT>(port - 1));
        m_midiInDevice->Start();
    } catch (const std::exception&) {
        m_reports.ShowStop(kMidiFailed);
    }
    LendSysExBuffer();
}

// Only an opened port takes the buffer; a refusal (port closed under us, too many buffers)
// leaves the port without system-exclusive input but never ends the program, whichever
// thread lends.
void CInstrumentSession::LendSysExBuffer() noexcept
{
    if (!m_midiInDevice || m_midiInDevice->GetState() == midi::CMIDIInDevice::kClosed) {
        return;
    }
    try {
        m_midiInDevice->QueueSysExBuffer(m_sysExBuffer, kSysExBufferBytes);
    } catch (const std::exception&) {
    }
}

// Queued on the plug-in, stamped with the stream's rate.
void CInstrumentSession::OnShortMessage(std::uint32_t message, std::uint32_t timestamp)
{
    const ShortMessage split = SplitShortMessage(message);
    if (!m_plugin.IsLoaded()) {
        return;
    }
    m_plugin.AddMidiEvent(split.status, split.data1, split.data2, StreamRate(), timestamp);
}

// The event list copies the bytes, so the buffer can be lent again at once.
void CInstrumentSession::OnSysExBuffer(char* data, std::uint32_t bytesRecorded,
                                       std::uint32_t timestamp)
{
    if (!m_plugin.IsLoaded()) {
        return;
    }
    m_plugin.AddSysExEvent(data, static_cast<std::int32_t>(bytesRecorded), StreamRate(),
                           timestamp);
    LendSysExBuffer();
}

}  // namespace host
