#pragma once
// The end-to-end fixture: one working directory per test with the probe plug-in copied in as
// zumbrel-e2e.dll, the settings file and the MIDI script written before the start, simulated
// sound cards registered under the machine's ASIO key for the test's lifetime, and the program
// started and driven from this process.

#include "ProbeSupport.h"
#include "SimDrivers.h"
#include "UiHarness.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

constexpr char kFrameClass[] = "ZumbrelFrame";
constexpr char kDialogClass[] = "#32770";
constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kWaitMs = 10000;

// Dispatcher opcodes as the probe records them.
enum Opcode : long long {
    kOpOpen = 0,
    kOpClose = 1,
    kOpSetProgram = 2,
    kOpSetSampleRate = 10,
    kOpSetBlockSize = 11,
    kOpMainsChanged = 12,
    kOpEditGetRect = 13,
    kOpEditOpen = 14,
};

class E2eTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The probe variant ("default", "programs128", ...) as the program's instrument.
    void InstallProbe(const std::string& variant);
    // A simulated card playing in real time, recording into the working directory; returns its
    // name. Further settings go through Drivers().
    std::string AddCard(const std::string& stem);
    CSimDrivers& Drivers() { return m_drivers; }
    // The number of drivers registered before this test added any.
    int DriversBefore() const { return m_driversBefore; }

    void WriteSetting(const char* section, const char* key, const char* value) const;
    std::string ReadSetting(const char* section, const char* key) const;
    std::string SettingsPath() const { return m_dir + "\\tarvoshell.ini"; }
    void WriteMidiScript(const std::string& text) const;
    // How many times the program's MIDI port played the whole script to the program.
    unsigned MidiPlays() const;
    std::string Dir() const { return m_dir; }
    std::string FileIn(const std::string& name) const { return m_dir + "\\" + name; }

    // Starts the program with `arguments` on its command line; with `waitForFrame` also waits
    // for its visible main frame.
    void Launch(bool waitForFrame = true, const std::string& arguments = "");
    // Waits for the visible main frame of the running program.
    void WaitForFrame();
    HWND Frame() const { return m_frame; }
    uiharness::CProgram& Program() { return *m_program; }
    // Waits until the frame's caption is `title`.
    bool CaptionBecomes(const std::string& title) const;
    // Sends a menu command and returns once the program has handled it.
    void Command(UINT id) const;
    // A message box of the program showing `text` (or a text starting with it when
    // `prefix`), or null after the wait.
    HWND WaitForMessageBox(const std::string& text, bool prefix = false) const;
    bool AnyMessageBox() const;
    // Closes the frame and answers the exit code.
    DWORD CloseProgram();

    const ProbeLog& Log() const { return *m_log; }
    std::vector<ProbeRecord> Dispatches(long long opcode) const;
    bool WaitForRecord(const std::function<bool(const std::vector<ProbeRecord>&)>& condition,
                       DWORD timeoutMs = kWaitMs) const;

private:
    std::string m_dir;
    std::unique_ptr<ProbeLog> m_log;
    CSimDrivers m_drivers{true};
    int m_driversBefore = 0;
    std::unique_ptr<uiharness::CProgram> m_program;
    HWND m_frame = nullptr;
};

// A text file's whole content; empty when missing.
std::string ReadFileText(const std::string& path);
bool FileExists(const std::string& path);

} // namespace e2e
