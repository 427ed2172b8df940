#pragma once
// CTarvolinView: the instrument's window, the form of template 101 inside the main frame. The
// instrument session (host/InstrumentSession.h) plays; the view shows the instrument's editor
// (host/InstrumentEditor.h) with the frame fitted around it, builds the program menu, turns the
// computer keyboard into notes, runs the timers, shows the session's messages, and forwards
// the user's commands to the session.
//
// Start-up runs on the first initial update: open the instrument named after the executable
// from the working directory and its editor, size the frame around the editor, bind the
// settings file, load the kept state and the file named on the command line, build the program
// menu, bring the devices up from the settings and publish the driver names. Shutdown stops the
// timers, closes the editor and shuts the session down.
//
// The document saves and opens program and bank files through this view
// (host::IInstrumentState).

#include "host/ComputerKeyboard.h"
#include "host/InstrumentEditor.h"
#include "host/InstrumentSession.h"
#include "host/InstrumentState.h"
#include "toolkit/PostedTimer.h"
#include "toolkit/View.h"

#include <cstdint>
#include <string>
#include <vector>

class CTarvolinView : public toolkit::CFormView,
                      public host::IInstrumentState,
                      private host::ISessionReports {
public:
    // Posted by the driver's thread when the driver asks to be opened afresh.
    static constexpr UINT kDriverRequestMessage = WM_APP + 1;

    CTarvolinView();
    ~CTarvolinView() override;

    void OnInitialUpdate() override;
    bool PreTranslateMessage(MSG& msg) override;
    void OnActivateFrame(bool active) override;
    bool OnCmdMsg(unsigned id, unsigned code, toolkit::CmdMode mode) override;

    // Applies the device settings stored in the settings file, or the given ones, through the
    // session.
    void BringUpDevices();
    void ApplySettings(const DeviceSettings& settings);
    const host::CInstrumentSession& Session() const { return m_session; }

    // What the Options command (ID_OPTIONS) runs: by default the device settings dialog, whose
    // settings the session applies when the user confirms it with OK. Tests put their own
    // handler in its place; null restores the dialog.
    using OptionsHandler = void (*)(CTarvolinView& view);
    static void SetOptionsHandler(OptionsHandler handler);

    // The instrument's state (user-interface thread).
    bool InstrumentRunning() const override { return m_session.Running(); }
    using host::IInstrumentState::SaveInstrumentState;
    std::vector<std::uint8_t> SaveInstrumentState(bool program, std::string& failure) override;
    std::string LoadInstrumentState(const std::vector<std::uint8_t>& bytes) override;

protected:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // What the session reports.
    void ShowStop(const std::string& text) override;
    void ShowStatus(const std::string& text) override;
    void RequestReopen() override;

    // Start-up pieces, in the order the start-up runs them.
    std::string ReadDirectoryPath() const;
    bool OpenInstrument(const std::string& directory);
    void BuildProgramMenu();
    void OpenFileNamedAtStart();
    void RefreshProgramNames();
    void ReportMissingInstrument();
    void ReportStartupFault();
    void ReportEditorFault();

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
    void OnTimer(WPARAM timer);

    void ShutDown() noexcept;
    void CloseStartedEarly();

    host::CInstrumentSession m_session;
    CVstPlugin& m_plugin;  // the session's instrument, for its editor and program names
    std::string m_windowTitle;
    // The start-up ran (successfully or not): a further initial update starts nothing again.
    bool m_startupDone = false;
    host::CInstrumentEditor m_editor;
    // Posted ticks (toolkit/PostedTimer.h): the health watch goes on even while a window of
    // the thread never stops painting.
    toolkit::CPostedTimer m_healthTicks;
    host::CComputerKeyboard m_computerKeyboard;
    bool m_keyboardPlays = true;

    static OptionsHandler s_optionsHandler;
};
