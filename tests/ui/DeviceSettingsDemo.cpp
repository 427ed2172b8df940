// Shows the settings dialog on its own, for screenshots and for trying it by hand:
//   device_settings_demo.exe [--scripted-midi] [--popup=<selector id>]
// It works on tarvoshell.ini in the current directory. --scripted-midi offers two scripted
// MIDI input ports (Wine has none); --popup clicks that selector's arrow once the dialog is up.
// Quirk: under Xvfb, Wine's popup menus show as black boxes on the X screen although they
// paint (their own window contexts read back the menu colours); the tests read the menu itself.
#include "ScriptedMidiService.h"
#include "settings/DeviceSettingsDialog.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr UINT kPopupDelayMs = 1500;
constexpr char kTitle[] = "ASIO & MIDI Settings";
int g_popupSelector = 0;

void CALLBACK OpenPopup(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowA("#32770", kTitle);
    if (dialog == nullptr)
        return;
    KillTimer(nullptr, timer);
    HWND selector = GetDlgItem(dialog, g_popupSelector);
    RECT client{};
    GetClientRect(selector, &client);
    // A real click through the input queue, as a user's would arrive.
    POINT arrow{client.right - 5, client.bottom / 2};
    ClientToScreen(selector, &arrow);
    SetCursorPos(arrow.x, arrow.y);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    std::unique_ptr<fakemidi::CScriptedMidiService> midi;
    if (std::strstr(commandLine, "--scripted-midi") != nullptr)
        midi = std::make_unique<fakemidi::CScriptedMidiService>(
            std::vector<std::string>{"Scripted MIDI In", "Scripted Keyboard"});
    if (const char* popup = std::strstr(commandLine, "--popup=")) {
        g_popupSelector = std::atoi(popup + std::strlen("--popup="));
        SetTimer(nullptr, 0, kPopupDelayMs, &OpenPopup);
    }
    return RunDeviceSettingsDialog(nullptr) ? 0 : 1;
}
