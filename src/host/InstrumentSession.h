#pragma once
// CInstrumentSession: one instrument played live, with no window of its own. It owns the
// plug-in, the audio device, the MIDI input port, the settings file, the kept bank, the
// re-open limit and the health watch; the window around it (the instrument view) shows the
// editor, the menus and the messages, and forwards the user's commands here. What the user
// must see comes back through ISessionReports.
//
// Threads: everything runs on the thread that made the session, except the MIDI receiver
// operations (the MIDI service's thread), which only queue events on the plug-in and lend the
// system-exclusive buffer again, and the device's requests (its own thread), which only ask
// the owner to call ReopenAudio on the session's thread. The device renders through
// CVstPlugin::RenderCallback with the plug-in as its owner.
//
// Order of a run: OpenInstrument, UseSettingsFile, StartRunning (the kept state), ApplySettings
// (devices up), PublishDeviceChoices; then CheckHealth on a timer; ShutDown stops both devices,
// keeps the state and only then releases the plug-in, so no render call or MIDI delivery ever
// reaches a released plug-in.
//
// Faults: every call into the instrument and the device runs under a call guard. CheckHealth
// reports a fault once (the instrument is switched off and audio goes on as silence; a faulted
// driver is closed like a failing one), puts back the last-resort fault handler a plug-in may
// have replaced, and watches the audio: no block finished for 2 s shows in the status bar.
// A program that kept a broken component ends without unloading it.

#include "audio/AudioDevice.h"
#include "host/ComputerKeyboard.h"
#include "host/ReopenLimit.h"
#include "midi/MIDIInDevice.h"
#include "midi/MIDIInReceiver.h"
#include "plugin/VstPlugin.h"
#include "settings/DeviceSettings.h"
#include "settings/SettingsFile.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace host {

class ISessionReports {
public:
    // A failure or fault the user must acknowledge ("ASIO failed", ...).
    virtual void ShowStop(const std::string& text) = 0;
    // A passing note for the status bar.
    virtual void ShowStatus(const std::string& text) = 0;
    // On the device's own thread: the owner calls ReopenAudio on the session's thread soon.
    // It must return at once.
    virtual void RequestReopen() = 0;

protected:
    ~ISessionReports() = default;
};

class CInstrumentSession : public midi::CMIDIInReceiver {
public:
    static constexpr int kSysExBufferBytes = 100;
    // Entries of the device list the settings dialog shows: "none" first.
    static constexpr int kDeviceChoiceEntries = 255;

    // `asio`: the ASIO drivers; `windows`: the system's own audio, listed after them (none:
    // only ASIO is offered).
    CInstrumentSession(ISessionReports& reports, std::unique_ptr<IAudioDevice> asio,
                       std::unique_ptr<IAudioDevice> windows = nullptr);
    ~CInstrumentSession() override;
    CInstrumentSession(const CInstrumentSession&) = delete;
    CInstrumentSession& operator=(const CInstrumentSession&) = delete;

    // Loads the library and opens the instrument, switched on at the start-up rate and block
    // size. Faulted: the instrument faulted while being opened (Plugin().Fault() says how).
    enum class Opening { Opened, Missing, Faulted };
    Opening OpenInstrument(const std::string& library);
    // The instrument itself, for its editor, its program names and its parameters.
    CVstPlugin& Plugin() { return m_plugin; }
    const CVstPlugin& Plugin() const { return m_plugin; }

    void UseSettingsFile(const std::string& path) { m_settings.setPath(path.c_str()); }
    const CSettingsFile& Settings() const { return m_settings; }
    DeviceSettings ReadSettings() const { return ReadDeviceSettings(m_settings); }

    // The instrument runs from here on. Its last state is loaded from `keptBank` when keeping
    // it is on (empty: nothing is kept this run); a bank that exists but cannot be loaded is
    // left as it is and not written over at the end of the run.
    void StartRunning(const std::string& keptBank);
    // Whether an instrument is open, running and not switched off by a fault; and whether
    // it was started and not shut down yet, whatever became of it since.
    bool Running() const;
    bool Started() const { return m_running; }

    // Closes both devices, then opens the chosen audio device at the chosen rate and the
    // chosen MIDI port, with the tempo in place before the first block. Without any device
    // choice in the file the default Windows device plays.
    void ApplySettings(const DeviceSettings& settings);
    // The same device and rate opened afresh, after the device asked for it (the default
    // Windows device is looked up again).
    void ReopenAudio();
    // "none", the ASIO drivers and the Windows devices, as the settings dialog lists them; and
    // "none" and the drivers' names written to the settings file's list, which earlier
    // versions' dialogs read.
    std::vector<DeviceChoice> DeviceChoices() const;
    void PublishDeviceChoices() const;
    // The device playing now, if any.
    const IAudioDevice* PlayingDevice() const { return m_device->IsOpen() ? m_device : nullptr; }
    bool HasControlPanel() const { return m_device == m_asio.get() && m_device->IsOpen(); }
    void ShowControlPanel() { m_device->ShowControlPanel(); }

    void PlayNotes(const std::vector<KeyNote>& notes);
    void AllNotesOff() { m_plugin.RequestAllNotesOff(); }

    // The instrument's state as the bytes of a program or bank file (see host/InstrumentState.h).
    std::vector<std::uint8_t> SaveState(bool program, std::string& failure);
    std::string LoadState(const std::vector<std::uint8_t>& bytes);
    // A state was applied: its program is the current one, not the first.
    bool StateLoaded() const { return m_stateLoaded; }

    // Selects `program` on the instrument unless `select` is false (the instrument chose it
    // itself); the program's name.
    std::string ShowProgram(int program, bool select = true);
    int CurrentProgram() const { return m_currentProgram; }

    // Reports faults and watches the audio; run a few times a second.
    void CheckHealth();
    // "the instrument is not answering" while the audio is stuck, else empty.
    std::string RefusalWhileStuck() const;

    // Stops both devices, keeps the state and releases the instrument; safe to run again.
    void ShutDown() noexcept;

    // MIDI receiver (the service's callback thread).
    void OnSysExBuffer(char* data, std::uint32_t bytesRecorded, std::uint32_t timestamp) override;
    void OnShortMessage(std::uint32_t message, std::uint32_t timestamp) override;
    void OnSysExError(char*, std::uint32_t, std::uint32_t) override {}
    void OnShortMessageError(std::uint32_t, std::uint32_t) override {}

private:
    // Opens the chosen driver, sets the chosen rate and starts it; `restartTransport`: the
    // instrument's transport begins again at 0.
    void OpenAudio(bool restartTransport, bool reopening);
    void CloseAudio();
    // The device and position the settings choose (device null: none), and a note when the
    // chosen Windows device is not there and the default one stands in.
    struct Resolved {
        IAudioDevice* device = nullptr;
        std::int32_t index = -1;
        std::string note;
        bool windowsWanted = false;  // a Windows device is chosen, or none is chosen at all
    };
    Resolved ResolveDevice() const;
    void StoreRunningRate(bool rateTaken);
    bool TellInstrumentTheRate();
    void ReportOpened(std::int32_t index, const std::string& note);
    void ShowDeviceStatus(const std::string& text);
    void ReportOpenFailure(bool reopening);
    void ReportWindowsFailure(bool reopening);
    void RetryMissingDevice();
    void OpenMidi();
    void LendSysExBuffer() noexcept;
    void CloseDevices();
    void KeepState() noexcept;
    void ReportInstrumentFault();
    void ReportDriverFault();
    void WatchAudio();
    bool BrokenComponentKept() const;
    static void OnDeviceRequest(void* session);
    float StreamRate() const { return static_cast<float>(m_device->Rate()); }

    ISessionReports& m_reports;
    std::unique_ptr<IAudioDevice> m_asio;
    std::unique_ptr<IAudioDevice> m_windows;
    IAudioDevice* m_device;  // the device chosen last; the ASIO one while none was
    // The chosen Windows device could not be opened after it went away: it is looked for
    // again now and then.
    bool m_waitingForDevice = false;
    unsigned long long m_lastDeviceLook = 0;
    // Made when a port is first chosen: a device that cannot be made (no signalling event)
    // leaves the program running without MIDI, as a port that fails to open does.
    std::optional<midi::CMIDIInDevice> m_midiInDevice;
    CVstPlugin m_plugin;
    CSettingsFile m_settings;
    DeviceSettings m_applied;
    char m_sysExBuffer[kSysExBufferBytes] = {};
    int m_currentProgram = 0;
    bool m_running = false;
    bool m_stateLoaded = false;
    bool m_devicesApplied = false;  // the next bring-up switches devices
    // The bank the state is kept in; empty when keeping it is off or not allowed this run.
    std::string m_keptBank;
    // Why the kept state was not loaded at the start; the first devices' notes follow it.
    std::string m_startNote;
    // Set by the device's thread when it asked for a re-open; cleared when the re-open runs,
    // so a burst of requests gives one re-open.
    std::atomic<bool> m_reopenRequested{false};
    CReopenLimit m_reopenLimit;
    bool m_instrumentFaultShown = false;
    bool m_driverFaultShown = false;
    // The audio watchdog: the block count last seen, when it last moved, and whether the
    // status bar says the audio is stuck.
    std::uint32_t m_blocksSeen = 0;
    unsigned long long m_blocksMovedAt = 0;
    bool m_audioStuck = false;
};

}  // namespace host
