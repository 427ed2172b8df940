#include "UiHarness.h"

#include <commctrl.h>

namespace uiharness {

std::string WindowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/') {
        return path;
    }
    std::string result = "Z:" + path;
    for (char& c : result) {
        c = c == '/' ? '\\' : c;
    }
    return result;
}

void RemoveDirectoryTree(const std::string& dir)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name != "." && name != "..") {
                DeleteFileA((dir + "\\" + name).c_str());
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

std::string MakeTempFolder(const std::string& name)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = name + "-" + std::to_string(GetCurrentProcessId());
    for (char& c : folder) {
        c = c == '/' ? '_' : c;
    }
    folder = temp + folder;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

namespace {
constexpr DWORD kPollMs = 20;
constexpr int kTextCapacity = 1024;
constexpr DWORD kCloseTimeoutMs = 10000;
constexpr int kMaxPanes = 256;

struct FindContext {
    DWORD pid;
    const char* className;
    std::vector<HWND>* found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param)
{
    auto* context = reinterpret_cast<FindContext*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == context->pid && IsWindowVisible(window) &&
        (context->className == nullptr || ClassNameOf(window) == context->className)) {
        context->found->push_back(window);
    }
    return TRUE;
}

// Memory inside the target process, freed with this object.
class CRemoteBuffer {
public:
    CRemoteBuffer(HANDLE process, SIZE_T size)
        : m_process(process),
          m_address(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
    {
    }
    ~CRemoteBuffer()
    {
        if (m_address != nullptr) {
            VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        }
    }
    CRemoteBuffer(const CRemoteBuffer&) = delete;
    CRemoteBuffer& operator=(const CRemoteBuffer&) = delete;

    void* Address() const { return m_address; }
    bool Read(void* out, SIZE_T size) const
    {
        SIZE_T read = 0;
        return m_address != nullptr && ReadProcessMemory(m_process, m_address, out, size, &read) &&
               read == size;
    }

private:
    HANDLE m_process;
    void* m_address;
};

INPUT KeyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}
} // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(kPollMs);
    }
}

std::string WindowText(HWND window)
{
    char text[kTextCapacity] = {};
    SendMessageTimeoutA(window, WM_GETTEXT, kTextCapacity, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

std::string ClassNameOf(HWND window)
{
    char name[kTextCapacity] = {};
    GetClassNameA(window, name, kTextCapacity);
    return name;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const char* className)
{
    std::vector<HWND> found;
    FindContext context{pid, className, &found};
    EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&context));
    return found;
}

std::string DialogItemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item != nullptr ? WindowText(item) : std::string();
}

HWND FindDescendant(HWND parent, const char* className)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassNameOf(child) == className) {
            return child;
        }
        if (HWND inner = FindDescendant(child, className)) {
            return inner;
        }
    }
    return nullptr;
}

void PressKey(HWND target, const std::vector<WORD>& modifiers, WORD key)
{
    SetForegroundWindow(target);
    WaitUntil([&] { return GetForegroundWindow() == target; }, 2000);
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers) {
        inputs.push_back(KeyInput(modifier, false));
    }
    inputs.push_back(KeyInput(key, false));
    inputs.push_back(KeyInput(key, true));
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
        inputs.push_back(KeyInput(*it, true));
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void ClickButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

CProgram::~CProgram()
{
    if (m_info.hProcess == nullptr) {
        return;
    }
    if (IsRunning()) {
        for (HWND window : TopLevelWindows(m_info.dwProcessId)) {
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        if (WaitForExit(kCloseTimeoutMs) == STILL_ACTIVE) {
            TerminateProcess(m_info.hProcess, 1);
            WaitForSingleObject(m_info.hProcess, kCloseTimeoutMs);
        }
    }
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
}

bool CProgram::Start(const std::string& exe, const std::string& workDir, const std::string& arguments)
{
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) {
        commandLine += " " + arguments;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          workDir.c_str(), &startup, &m_info) != FALSE;
}

HWND CProgram::WaitForWindow(const char* className, DWORD timeoutMs) const
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            const auto windows = TopLevelWindows(m_info.dwProcessId, className);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND CProgram::WaitForWindow(const char* className, const std::string& title, DWORD timeoutMs) const
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(m_info.dwProcessId, className)) {
                if (WindowText(window) == title) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

bool CProgram::IsRunning() const
{
    return WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD CProgram::WaitForExit(DWORD timeoutMs) const
{
    if (WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

void CProgram::Close(HWND mainWindow)
{
    PostMessageA(mainWindow, WM_CLOSE, 0, 0);
    if (WaitForExit(kCloseTimeoutMs) == STILL_ACTIVE) {
        TerminateProcess(m_info.hProcess, 1);
    }
}

int CRemoteStatusBar::PaneCount() const
{
    return static_cast<int>(SendMessageA(m_bar, SB_GETPARTS, 0, 0));
}

std::string CRemoteStatusBar::PaneText(int pane) const
{
    const LRESULT lengthAndType = SendMessageA(m_bar, SB_GETTEXTLENGTHA, pane, 0);
    const SIZE_T length = LOWORD(lengthAndType);
    CRemoteBuffer buffer(m_process, length + 1);
    SendMessageA(m_bar, SB_GETTEXTA, pane, reinterpret_cast<LPARAM>(buffer.Address()));
    std::string text(length + 1, '\0');
    if (!buffer.Read(&text[0], length + 1)) {
        return "<unreadable>";
    }
    text.resize(length);
    return text;
}

std::vector<int> CRemoteStatusBar::PaneEdges() const
{
    CRemoteBuffer buffer(m_process, sizeof(int) * kMaxPanes);
    const int count = static_cast<int>(
        SendMessageA(m_bar, SB_GETPARTS, kMaxPanes, reinterpret_cast<LPARAM>(buffer.Address())));
    std::vector<int> edges(count > 0 ? count : 0);
    if (!edges.empty() && !buffer.Read(edges.data(), sizeof(int) * edges.size())) {
        edges.clear();
    }
    return edges;
}

} // namespace uiharness
