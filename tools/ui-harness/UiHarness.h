// A harness that drives a real Win32 program from another process of the same Wine prefix:
// start it in a chosen working directory, find its windows, read captions, styles, sizes and
// status-bar panes, post commands and press keys, find message boxes and dialogs, close it and
// collect its exit code.
//
// Quirks of driving another process (as seen under Wine 8): status-bar messages that carry a
// buffer (SB_GETTEXT, SB_GETPARTS) are not marshalled, so the buffer is allocated inside the
// target process; menus cannot be read across processes at all (read them in-process).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace uiharness {

// A Unix path as this process sees it under Wine, where the Unix root is drive Z:; other
// paths are returned unchanged.
std::string WindowsPath(const std::string& path);

// Creates (if needed) the folder `name`-<process id> in the temporary folder and returns its
// path; characters that cannot stand in a file name ('/') become '_'.
std::string MakeTempFolder(const std::string& name);

// Deletes the files of `dir` (not its subfolders) and then the folder itself.
void RemoveDirectoryTree(const std::string& dir);

// Polls `condition` every few milliseconds until it holds or `timeoutMs` passed.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

std::string WindowText(HWND window);
std::string ClassNameOf(HWND window);

// The visible top-level windows of process `pid`, optionally only of one window class.
std::vector<HWND> TopLevelWindows(DWORD pid, const char* className = nullptr);

// The text of the dialog item `id` of `dialog` (a message box's text is item 65535).
std::string DialogItemText(HWND dialog, int id);

// A child window of class `className` anywhere below `parent`, or null.
HWND FindDescendant(HWND parent, const char* className);

// Presses `key` with the given modifier keys held, as keyboard input to the foreground window
// after bringing `target` to the foreground.
void PressKey(HWND target, const std::vector<WORD>& modifiers, WORD key);

// Clicks a dialog's push button by its identifier.
void ClickButton(HWND dialog, int id);

class CProgram {
public:
    CProgram() = default;
    ~CProgram();
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    // Starts `exe` with `arguments` in `workDir`. False when the process could not start.
    bool Start(const std::string& exe, const std::string& workDir, const std::string& arguments = "");
    // The first visible top-level window of class `className`; null after `timeoutMs`.
    HWND WaitForWindow(const char* className, DWORD timeoutMs) const;
    // A visible top-level window of class `className` with the caption `title`.
    HWND WaitForWindow(const char* className, const std::string& title, DWORD timeoutMs) const;

    DWORD ProcessId() const { return m_info.dwProcessId; }
    HANDLE Process() const { return m_info.hProcess; }
    bool IsRunning() const;
    // The exit code, or STILL_ACTIVE when the program did not end within `timeoutMs`.
    DWORD WaitForExit(DWORD timeoutMs) const;
    // Asks the main window to close, then waits; kills the process if it does not end.
    void Close(HWND mainWindow);

private:
    PROCESS_INFORMATION m_info{};
};

// Reads another process's status bar.
class CRemoteStatusBar {
public:
    CRemoteStatusBar(HANDLE process, HWND bar) : m_process(process), m_bar(bar) {}

    int PaneCount() const;
    std::string PaneText(int pane) const;
    // The right edges of the panes, in client coordinates of the bar.
    std::vector<int> PaneEdges() const;
    HWND Handle() const { return m_bar; }

private:
    HANDLE m_process;
    HWND m_bar;
};

} // namespace uiharness
