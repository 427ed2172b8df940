#include "E2eSupport.h"

#include <fstream>
#include <sstream>

namespace e2e {

namespace {

constexpr char kProgramDllName[] = "zumbrel-e2e.dll";
constexpr char kAsioKey[] = "Software\\ASIO";
constexpr char kMidiScriptName[] = "zumbrel-midi.txt";
// Where the program's scripted port writes how many playings of the script reached the end.
constexpr char kMidiPlaysName[] = "zumbrel-midi-plays.txt";
constexpr int kMessageBoxText = 0xFFFF;
constexpr int kSettingCapacity = 1024;
constexpr DWORD kPreferredFrames = 256;

std::string MakeWorkDir()
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    return uiharness::MakeTempFolder(std::string("zumbrel-e2e-") + info->test_suite_name() + "-" + info->name());
}

using uiharness::WindowsPath;

using uiharness::RemoveDirectoryTree;

int RegisteredDrivers()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAsioKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD subKeys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(subKeys);
}

} // namespace

void E2eTest::SetUp()
{
    m_dir = MakeWorkDir();
    m_log = std::make_unique<ProbeLog>();
    m_driversBefore = RegisteredDrivers();
}

void E2eTest::TearDown()
{
    if (m_program != nullptr && m_program->IsRunning()) {
        TerminateProcess(m_program->Process(), 1);
        m_program->WaitForExit(kWaitMs);
    }
    m_program.reset();
    RemoveDirectoryTree(m_dir);
}

void E2eTest::InstallProbe(const std::string& variant)
{
    const std::string source = WindowsPath(ProbePath(variant));
    ASSERT_TRUE(CopyFileA(source.c_str(), FileIn(kProgramDllName).c_str(), FALSE)) << source;
}

std::string E2eTest::AddCard(const std::string& stem)
{
    const std::string name = stem + " " + uniqueSuffix();
    m_drivers.add(name);
    m_drivers.setNumber(name, "RealTime", 1);
    m_drivers.setNumber(name, "PreferredSize", kPreferredFrames);
    return name;
}

void E2eTest::WriteSetting(const char* section, const char* key, const char* value) const
{
    WritePrivateProfileStringA(section, key, value, SettingsPath().c_str());
}

std::string E2eTest::ReadSetting(const char* section, const char* key) const
{
    char value[kSettingCapacity] = {};
    GetPrivateProfileStringA(section, key, "<missing>", value, kSettingCapacity,
                             SettingsPath().c_str());
    return value;
}

void E2eTest::WriteMidiScript(const std::string& text) const
{
    std::ofstream(FileIn(kMidiScriptName)) << text;
}

unsigned E2eTest::MidiPlays() const
{
    unsigned plays = 0;
    std::ifstream(FileIn(kMidiPlaysName)) >> plays;
    return plays;
}

void E2eTest::Launch(bool waitForFrame, const std::string& arguments)
{
    m_program = std::make_unique<uiharness::CProgram>();
    ASSERT_TRUE(m_program->Start(WindowsPath(ZUMBREL_E2E_EXE), m_dir, arguments));
    if (waitForFrame) {
        WaitForFrame();
    }
}

void E2eTest::WaitForFrame()
{
    m_frame = m_program->WaitForWindow(kFrameClass, kStartTimeoutMs);
    ASSERT_NE(m_frame, nullptr) << "no main frame appeared";
}

bool E2eTest::CaptionBecomes(const std::string& title) const
{
    return uiharness::WaitUntil([&] { return uiharness::WindowText(m_frame) == title; }, kWaitMs);
}

void E2eTest::Command(UINT id) const
{
    SendMessageA(m_frame, WM_COMMAND, id, 0);
}

HWND E2eTest::WaitForMessageBox(const std::string& text, bool prefix) const
{
    HWND found = nullptr;
    uiharness::WaitUntil(
        [&] {
            for (HWND box : uiharness::TopLevelWindows(m_program->ProcessId(), kDialogClass)) {
                const std::string shown = uiharness::DialogItemText(box, kMessageBoxText);
                if (prefix ? shown.compare(0, text.size(), text) == 0 : shown == text) {
                    found = box;
                    return true;
                }
            }
            return false;
        },
        kStartTimeoutMs);
    return found;
}

bool E2eTest::AnyMessageBox() const
{
    return !uiharness::TopLevelWindows(m_program->ProcessId(), kDialogClass).empty();
}

DWORD E2eTest::CloseProgram()
{
    PostMessageA(m_frame, WM_CLOSE, 0, 0);
    return m_program->WaitForExit(kWaitMs);
}

std::vector<ProbeRecord> E2eTest::Dispatches(long long opcode) const
{
    std::vector<ProbeRecord> selected;
    for (const ProbeRecord& record : m_log->Records("dispatch")) {
        if (record.number("op") == opcode) {
            selected.push_back(record);
        }
    }
    return selected;
}

bool E2eTest::WaitForRecord(const std::function<bool(const std::vector<ProbeRecord>&)>& condition,
                            DWORD timeoutMs) const
{
    return uiharness::WaitUntil([&] { return condition(m_log->Records()); }, timeoutMs);
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace e2e
