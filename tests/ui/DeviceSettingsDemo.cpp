// Shows the settings dialog on its own, for screenshots and for trying it by hand:
//   device_settings_demo.exe [--scripted-midi] [--popup=<selector id>]
// It works on tarvoshell.ini in the current directory. --scripted-midi offers two scripted
// MIDI input ports (Wine has none); --popup opens that selector's menu once the dialog is up.
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
    const LPARAM arrow = MAKELPARAM(client.right - 5, client.bottom / 2);
    SendMessageA(selector, WM_LBUTTONDOWN, MK_LBUTTON, arrow);
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
