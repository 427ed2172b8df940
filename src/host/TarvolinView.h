#pragma once
// CTarvolinView: the instrument view, owner of every running part of the program: the MIDI
// input port, the audio stream, the plug-in and the settings file. It is the form of template
// 101 inside the main frame; the plug-in's editor opens inside it.
//
// Start-up runs on the first initial update: load the library named after the executable from
// the working directory, open the plug-in and its editor, size the frame around the editor,
// bind the settings file, load the kept state and the file named on the command line, build the
// program menu, bring the devices up from the settings and publish the driver names. Shutdown
// stops the audio stream and the MIDI port, keeps the state, and only then releases the
// plug-in, so no render call or MIDI delivery ever reaches a released plug-in.
//
// Threads: everything here runs on the user-interface thread except the receiver operations
// (the MIDI service's callback thread), which only queue events on the plug-in and lend the
// system-exclusive buffer again, and the driver's requests (its own thread), which only post
// a message. The audio stream renders through CVstPlugin::RenderCallback with the plug-in as
// its owner; the editor gets its idle call from a timer on this thread, never from audio.
//
// The instrument's state: the document saves and opens program and bank files through this
// view (host::IInstrumentState). The last state is kept in a bank named after the executable
// beside the settings file: saved when the view closes, loaded at start-up after the plug-in
// is open and before audio starts (section "state", key "autosave", default 1). A bank that
// exists but cannot be loaded (damaged, or of another instrument) is left as it is, and is
// not overwritten at the end of that run. Every load ends with all notes off.
//
// Faults. Every call into the instrument and the driver runs under a call guard. A health timer
// reports a fault once (the instrument is switched off and audio goes on as silence; a faulted
// driver is closed like a failing one), puts back the last-resort fault handler a plug-in may
// have replaced, and watches the audio: no block finished for 2 s shows in the status bar.
// Closing never waits for a stuck instrument or driver longer than a few seconds, and a
// program that kept a broken component ends without unloading it.
//
// A driver that asks to be opened afresh (reset request, new buffer size, resync) gets a new
// bring-up of the same driver and rate on this thread, within CReopenLimit; beyond the limit
// the audio stays off and the user is told.

#include "audio/AsioStream.h"
#include "host/ComputerKeyboard.h"
#include "host/InstrumentState.h"
#include "host/PaintStormWatch.h"
#include "host/PluginParameters.h"
#include "host/ReopenLimit.h"
#include "midi/MIDIInDevice.h"
#include "midi/MIDIInReceiver.h"
#include "plugin/VstPlugin.h"
#include "settings/SettingsFile.h"
#include "toolkit/PostedTimer.h"
#include "toolkit/View.h"
#include "ui/GenericEditor.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CTarvolinView : public toolkit::CFormView,
                      public midi::CMIDIInReceiver,
                      public host::IInstrumentState {
public:
    static constexpr int kSysExBufferBytes = 100;
    static constexpr int kDriverNameEntries = 255;
    // Posted by the driver's thread when the driver asks to be opened afresh.
    static constexpr UINT kDriverRequestMessage = WM_APP + 1;
    // Posted when the editor asked for another size from a thread of its own.
    static constexpr UINT kEditorSizeMessage = WM_APP + 2;

    CTarvolinView();
    ~CTarvolinView() override;

    void OnInitialUpdate() override;
    bool PreTranslateMessage(MSG& msg) override;
    void OnActivateFrame(bool active) override;
    bool OnCmdMsg(unsigned id, unsigned code, toolkit::CmdMode mode) override;

    // Applies the device settings: closes both devices, then opens the chosen driver at the
    // chosen rate and the chosen MIDI port, and hands the tempo to the plug-in.
    void BringUpDevices();

    // What the Options command (ID_OPTIONS) runs: by default the device settings dialog, and
    // BringUpDevices when the user confirms it with OK. Tests put their own handler in its
    // place; null restores the dialog.
    using OptionsHandler = void (*)(CTarvolinView& view);
    static void SetOptionsHandler(OptionsHandler handler);

    // MIDI receiver (the service's callback thread).
    void OnSysExBuffer(char* data, std::uint32_t bytesRecorded, std::uint32_t timestamp) override;
    void OnShortMessage(std::uint32_t message, std::uint32_t timestamp) override;
    void OnSysExError(char* data, std::uint32_t bytesRecorded, std::uint32_t timestamp) override;
    void OnShortMessageError(std::uint32_t message, std::uint32_t timestamp) override;

    // The instrument's state (user-interface thread).
    bool InstrumentRunning() const override;
    using host::IInstrumentState::SaveInstrumentState;
    std::vector<std::uint8_t> SaveInstrumentState(bool program, std::string& failure) override;
    std::string LoadInstrumentState(const std::vector<std::uint8_t>& bytes) override;

protected:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // Start-up pieces, in the order the start-up runs them.
    void ReadDirectoryPath();
    bool OpenInstrument();
    void SizeFrameAroundEditor();
    void FitFrameTo(SIZE content);
    // The editor's size requests (editor size): taken at once on this thread, posted from
    // any other (a burst gives one resize, to the last size).
    static bool OnEditorSizeRequest(void* view, std::int32_t width, std::int32_t height);
    void ResizeToRequestedEditorSize();
    void KeepFrameOnWorkArea();
    // An editor that faults while drawing (editor size): found from the paints the message
    // loop hands out, closed, and replaced by the generic editor.
    // True when it closed the editor: the message is not dispatched then.
    bool WatchEditorPaints(const MSG& msg);
    void CloseBrokenEditor();
    SIZE OpenGenericEditor();
    void BuildProgramMenu();
    // Opens the chosen driver at the chosen rate and starts it; `restartTransport`: the
    // instrument's transport begins again at 0.
    void BringUpAudio(bool restartTransport);
    void TellPluginTheStreamFormat();
    void BringUpMidi();
    // The kept state and the file named on the command line (state files).
    void LoadAutosave();
    void OpenFileNamedAtStart();
    void SaveAutosave() noexcept;
    void RefreshProgramNames();
    // The driver's request (its thread) and the re-open it leads to (this thread).
    static void OnDriverRequest(void* view);
    void ReopenAudio();
    void LendSysExBuffer() noexcept;
    void PublishDriverList();
    void ReportMissingInstrument();

    // Program menu and navigation. ShowProgram selects the program on the plug-in unless
    // `select` is false (the plug-in has just chosen it itself), then shows its name.
    void ShowProgram(int program, bool select = true);
    void OnPreviousProgram(unsigned id);
    void OnNextProgram(unsigned id);
    void OnProgramCommand(unsigned id);
    void OnPaint();
    void OnOptions(unsigned id);
    // Playing without a MIDI keyboard (play commands).
    void ReadKeyboardSetting();
    void OnKeyboardNotes(unsigned id);
    void OnAllNotesOff(unsigned id);
    void OnAsioPanel(unsigned id);
    void SendKeyNotes(const std::vector<host::KeyNote>& notes);

    // Stops both devices, then releases the plug-in (and closes its editor).
    void ShutDown() noexcept;
    void StartEditorIdle();
    void ShowStopMessage(const char* text) const;
    void ShowStopMessage(const std::string& text) const { ShowStopMessage(text.c_str()); }
    // Fault reports and the audio watchdog (faults).
    void StartHealthTimer();
    void StopHealthTimer();
    static bool IsHealthTimer(WPARAM timer);
    // "the instrument is not answering" while the audio is stuck, else empty.
    std::string RefusalWhileStuck() const;
    void CheckHealth();
    void ReportInstrumentFault();
    void ReportDriverFault();
    void WatchAudio();
    void ReportStartupFault();
    void ReportAsioFailure();
    void ReportEditorFault();
    bool BrokenComponentKept() const;
    void EndWithBrokenComponents() noexcept;
    float StreamRate() const { return static_cast<float>(m_asioStream.currentSampleRate()); }

    // Made when a port is first chosen: a device that cannot be made (no signalling event)
    // leaves the program running without MIDI, as a port that fails to open does.
    std::optional<midi::CMIDIInDevice> m_midiInDevice;
    CAsioStream m_asioStream;
    CVstPlugin m_plugin;
    std::string m_directoryPath;
    CSettingsFile m_settings;
    std::int32_t m_asioDriver = 0;
    std::int32_t m_midiInPort = 0;
    std::int32_t m_sampleRateCode = 0;
    char m_sysExBuffer[kSysExBufferBytes] = {};
    std::string m_driverNames[kDriverNameEntries];
    std::string m_windowTitle;
    std::int32_t m_currentProgram = 0;
    // The start-up ran (successfully or not): a further initial update starts nothing again.
    bool m_startupDone = false;
    // True once the plug-in is open; cleared when it is released.
    bool m_instrumentRunning = false;
    // A state file was applied: its program is current, not the first one.
    bool m_stateLoaded = false;
    // The bank the state is kept in; empty when keeping it is off or not allowed this run.
    std::string m_autosavePath;
    // The editor's last size request (width in the high half), whether a resize is posted,
    // and the thread the view runs on.
    std::atomic<std::uint64_t> m_requestedEditorSize{0};
    std::atomic<bool> m_editorSizePosted{false};
    // Whether the instrument's own editor is what the view shows (any thread reads it).
    std::atomic<bool> m_ownEditorShown{false};
    DWORD m_viewThread = 0;
    HWND m_paintedEditorWindow = nullptr;  // an editor window just handed a paint
    host::CPaintStormWatch m_paintStorm;
    // Posted ticks (toolkit/PostedTimer.h): the editor's idle call and the health watch go on
    // even while a window of the thread never stops painting.
    toolkit::CPostedTimer m_editorIdleTicks;
    toolkit::CPostedTimer m_healthTicks;
    bool m_editorIdleRunning = false;
    bool m_inEditorIdle = false;
    // Set by the driver's thread when it has posted a re-open; cleared when the re-open runs,
    // so a burst of requests gives one re-open.
    std::atomic<bool> m_reopenPosted{false};
    host::CReopenLimit m_reopenLimit;
    host::CComputerKeyboard m_computerKeyboard;
    bool m_keyboardPlays = true;
    bool m_devicesBroughtUp = false;  // the next bring-up switches devices
    // The generic editor, for a plug-in that shows no editor of its own.
    std::unique_ptr<host::CPluginParameters> m_parameterAccess;
    std::unique_ptr<CGenericEditor> m_genericEditor;
    std::uint32_t m_automationsSeen = 0;
    bool m_instrumentFaultShown = false;
    bool m_driverFaultShown = false;
    // The audio watchdog: the block count last seen, when it last moved, and whether the
    // status bar says the audio is stuck.
    std::uint32_t m_blocksSeen = 0;
    unsigned long long m_blocksMovedAt = 0;
    bool m_audioStuck = false;

    static OptionsHandler s_optionsHandler;
};
