// The settings dialog run modally in this process on a scratch settings file, with the
// scripted MIDI service offering the ports: what it shows, and what it writes when.
#include "ScriptedMidiService.h"
#include "WindowProbe.h"
#include "resource.h"
#include "settings/DeviceSettingsDialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kTitle[] = "ASIO & MIDI Settings";
using Texts = std::vector<std::string>;

class SettingsDialog : public ::testing::Test {
protected:
    void Write(const char* section, const char* key, const char* value) const
    {
        WritePrivateProfileStringA(section, key, value, scratch.Ini().c_str());
    }
    void WriteDriverList(const Texts& names) const
    {
        for (size_t i = 0; i < names.size(); ++i)
            Write("list", std::to_string(i).c_str(), names[i].c_str());
        Write("list", "num", std::to_string(names.size()).c_str());
    }
    std::string Read(const char* key) const
    {
        char value[64] = {};
        GetPrivateProfileStringA("device", key, "<missing>", value, sizeof value,
                                 scratch.Ini().c_str());
        return value;
    }
    // Runs the dialog with `script` inside it; the script returns the closing button.
    bool Run(const std::function<int(HWND)>& script) const
    {
        INT_PTR result = -1;
        uitest::RunWithScript(
            [&] {
                result = RunDeviceSettingsDialog(nullptr) ? IDOK : IDCANCEL;
                return result;
            },
            kTitle, script);
        return result == IDOK;
    }
    static uitest::PopupSeen Popup(HWND dialog, int id)
    {
        HWND selector = GetDlgItem(dialog, id);
        RECT r{};
        GetClientRect(selector, &r);
        return uitest::PressAndInspectPopup(selector, r.right - 5, 8);
    }
    static void Choose(HWND dialog, int id, int index)
    {
        SendMessageA(GetDlgItem(dialog, id), WM_COMMAND, 300 + index, 0);
    }

    uitest::CScratchDirectory scratch;
};

RECT ClientRectOf(HWND dialog, int id)
{
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string FontFace(HWND control)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    LOGFONTA logFont{};
    if (font == nullptr || GetObjectA(font, sizeof logFont, &logFont) == 0)
        return "<none>";
    return logFont.lfFaceName;
}

TEST_F(SettingsDialog, OpensWithItsTitleLabelsAndTheStoredChoices)
{
    fakemidi::CScriptedMidiService midi({"Port X", "Port Y"});
    WriteDriverList({"none", "Sim A", "Sim B"});
    Write("device", "asio", "002");
    Write("device", "midiin", "1");
    Write("device", "samplerate", "1");
    Write("device", "tempo", "96");

    const bool ok = Run([&](HWND dialog) {
        EXPECT_EQ(uitest::WindowText(dialog), kTitle);
        const struct { int id; const char* text; } labels[] = {
            {IDC_DRIVER_LABEL, "ASIO Driver:"}, {IDC_RATE_LABEL, "Sample Rate:"},
            {IDC_MIDI_LABEL, "MIDI In:"},       {IDC_TEMPO_LABEL, "Tempo:"},
            {IDOK, "OK"},                       {IDCANCEL, "Cancel"},
        };
        for (const auto& label : labels) {
            EXPECT_EQ(uitest::WindowText(GetDlgItem(dialog, label.id)), label.text);
            EXPECT_EQ(FontFace(GetDlgItem(dialog, label.id)), "Tahoma") << label.text;
        }
        // Each label shows its text on one line, left of the selectors, whatever the font.
        for (const auto& label : labels) {
            if (label.id == IDOK || label.id == IDCANCEL)
                continue;
            HWND control = GetDlgItem(dialog, label.id);
            HDC dc = GetDC(control);
            HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
            SIZE extent{};
            GetTextExtentPoint32A(dc, label.text, static_cast<int>(std::strlen(label.text)), &extent);
            SelectObject(dc, previous);
            ReleaseDC(control, dc);
            const RECT r = ClientRectOf(dialog, label.id);
            EXPECT_GE(r.right - r.left, extent.cx) << label.text;
            EXPECT_LE(r.right, 100) << label.text;
        }
        const struct { int id; RECT rect; } placed[] = {
            {IDC_DRIVER_SELECTOR, {100, 18, 252, 35}},
            {IDC_RATE_SELECTOR, {100, 42, 202, 59}},
            {IDC_MIDI_SELECTOR, {100, 64, 252, 81}},
            {IDC_TEMPO_DISPLAY, {100, 90, 130, 105}},
        };
        for (const auto& p : placed) {
            UpdateWindow(GetDlgItem(dialog, p.id));
            const RECT r = ClientRectOf(dialog, p.id);
            EXPECT_EQ(r.left, p.rect.left) << p.id;
            EXPECT_EQ(r.top, p.rect.top) << p.id;
            EXPECT_EQ(r.right, p.rect.right) << p.id;
            EXPECT_EQ(r.bottom, p.rect.bottom) << p.id;
        }
        const uitest::PopupSeen drivers = Popup(dialog, IDC_DRIVER_SELECTOR);
        EXPECT_EQ(drivers.texts, (Texts{"none", "Sim A", "Sim B"}));
        EXPECT_EQ(drivers.checked, 2);
        const uitest::PopupSeen ports = Popup(dialog, IDC_MIDI_SELECTOR);
        EXPECT_EQ(ports.texts, (Texts{"None", "Port X", "Port Y"}));
        EXPECT_EQ(ports.checked, 1);
        const uitest::PopupSeen rates = Popup(dialog, IDC_RATE_SELECTOR);
        EXPECT_EQ(rates.texts, (Texts{"44100HZ", "48000HZ"}));
        EXPECT_EQ(rates.checked, 1);
        EXPECT_EQ(Read("asio"), "2") << "opening writes the stored choice back";
        return IDOK;
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(Read("midiin"), "1");
    EXPECT_EQ(Read("samplerate"), "1");
    EXPECT_EQ(Read("tempo"), "96");
}

TEST_F(SettingsDialog, ChoosingTheNoneDriverWritesAsioZeroAtOnce)
{
    fakemidi::CScriptedMidiService midi(Texts{});
    WriteDriverList({"none", "Sim A", "Sim B"});
    Write("device", "asio", "2");
    const bool ok = Run([&](HWND dialog) {
        Choose(dialog, IDC_DRIVER_SELECTOR, 0);
        EXPECT_EQ(Read("asio"), "0") << "written while the dialog is still open";
        return IDCANCEL;
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(Read("asio"), "0") << "Cancel undoes nothing";
}

TEST_F(SettingsDialog, AStoredRateWithoutEntryShowsNoSelectionUntilOneIsChosen)
{
    fakemidi::CScriptedMidiService midi(Texts{});
    Write("device", "samplerate", "2");
    Run([&](HWND dialog) {
        const uitest::PopupSeen rates = Popup(dialog, IDC_RATE_SELECTOR);
        EXPECT_EQ(rates.checkedCount, 0);
        EXPECT_EQ(Read("samplerate"), "2") << "an index the list lacks writes nothing";
        Choose(dialog, IDC_RATE_SELECTOR, 1);
        EXPECT_EQ(Read("samplerate"), "1");
        return IDCANCEL;
    });
}

TEST_F(SettingsDialog, WithoutMidiPortsOnlyNoneIsOffered)
{
    fakemidi::CScriptedMidiService midi(Texts{});
    Write("device", "midiin", "1");
    Run([&](HWND dialog) {
        const uitest::PopupSeen ports = Popup(dialog, IDC_MIDI_SELECTOR);
        EXPECT_EQ(ports.texts, (Texts{"None"}));
        EXPECT_EQ(ports.checkedCount, 0);
        return IDCANCEL;
    });
    EXPECT_EQ(Read("midiin"), "1");
}

TEST_F(SettingsDialog, APortWhoseCapabilitiesFailKeepsItsPlaceWithAnEmptyName)
{
    fakemidi::CScriptedMidiService midi({"Port X", "Port Y"});
    midi.FailCall(fakemidi::Call::GetDevCaps, MMSYSERR_NODRIVER, 1);
    Write("device", "midiin", "2");
    Run([&](HWND dialog) {
        const uitest::PopupSeen ports = Popup(dialog, IDC_MIDI_SELECTOR);
        EXPECT_EQ(ports.texts, (Texts{"None", "", "Port Y"}));
        EXPECT_EQ(ports.checked, 2);
        return IDCANCEL;
    });
}

TEST_F(SettingsDialog, MoreThanTwentyEightPortsLeaveTheMidiSelectorEmpty)
{
    Texts many;
    for (int i = 0; i < 29; ++i)
        many.push_back("Port " + std::to_string(i));
    fakemidi::CScriptedMidiService midi(many);
    Write("device", "midiin", "1");
    Run([&](HWND dialog) {
        EXPECT_TRUE(Popup(dialog, IDC_MIDI_SELECTOR).texts.empty());
        return IDCANCEL;
    });
    EXPECT_EQ(midi.CallCount(fakemidi::Call::GetDevCaps), 0u);
}

TEST_F(SettingsDialog, DriverListsMissingHugeOrTooLong)
{
    fakemidi::CScriptedMidiService midi(Texts{});
    Run([&](HWND dialog) {
        EXPECT_EQ(Popup(dialog, IDC_DRIVER_SELECTOR).texts, (Texts{"error"}))
            << "no list section: one entry named error";
        return IDCANCEL;
    });
    EXPECT_EQ(Read("asio"), "0") << "the stored default selects the one entry";

    Texts drivers{"none"};
    for (int i = 1; i < 29; ++i)
        drivers.push_back("Driver " + std::to_string(i));
    WriteDriverList(drivers);
    Write("device", "asio", "28");
    Run([&](HWND dialog) {
        const uitest::PopupSeen seen = Popup(dialog, IDC_DRIVER_SELECTOR);
        EXPECT_EQ(seen.texts.size(), 29u);
        EXPECT_EQ(seen.checked, 28);
        return IDCANCEL;
    });

    Write("list", "num", "100000"); // read at most 255 entries, then refused by the selector
    Run([&](HWND dialog) {
        EXPECT_TRUE(Popup(dialog, IDC_DRIVER_SELECTOR).texts.empty());
        return IDCANCEL;
    });
}

TEST_F(SettingsDialog, DraggingTheTempoThenCancelStillWritesIt)
{
    fakemidi::CScriptedMidiService midi(Texts{});
    Run([&](HWND dialog) {
        HWND tempo = GetDlgItem(dialog, IDC_TEMPO_DISPLAY);
        SendMessageA(tempo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 100));
        for (int y = 99; y >= 80; --y)
            SendMessageA(tempo, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, y));
        SendMessageA(tempo, WM_LBUTTONUP, 0, MAKELPARAM(5, 80));
        EXPECT_EQ(Read("tempo"), "<missing>") << "the tempo is written when the dialog closes";
        return IDCANCEL;
    });
    EXPECT_EQ(Read("tempo"), "140");
}

TEST_F(SettingsDialog, TempoBoundsAreOneTo999AndARefusedStoredTempoClosesAsZero)
{
    fakemidi::CScriptedMidiService midi(Texts{});
    Write("device", "tempo", "999");
    Run([&](HWND dialog) {
        HWND tempo = GetDlgItem(dialog, IDC_TEMPO_DISPLAY);
        SendMessageA(tempo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 10));
        SendMessageA(tempo, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 5));
        return IDOK;
    });
    EXPECT_EQ(Read("tempo"), "999");

    Write("device", "tempo", "1500");
    Run([](HWND) { return IDOK; });
    EXPECT_EQ(Read("tempo"), "0");
}

// Windows devices follow the drivers: the stored key shows its entry, and the default device
// stands for a gone key or no choice at all; choosing one writes asio=0 with its key, and a
// driver chosen afterwards empties the key.
TEST_F(SettingsDialog, WindowsDevicesAreShownAndChosenByKey)
{
    fakemidi::CScriptedMidiService midi(Texts{});
    const std::vector<DeviceChoice> devices{{"none", 0, ""},
                                            {"Sim A", 1, ""},
                                            {"Windows Audio (default device)", 0, "default"},
                                            {"Speakers", 0, "{spk}"},
                                            {"Speakers (exclusive)", 0, "{spk};exclusive"}};
    struct Case {
        const char* asio;     // null: no key
        const char* windows;  // null: no key
        int shown;
    };
    for (const Case& c : {Case{"0", "{spk};exclusive", 4}, Case{"0", "{gone}", 2},
                          Case{nullptr, nullptr, 2}, Case{"0", "", 0}, Case{"1", "", 1}}) {
        SCOPED_TRACE(std::string(c.asio ? c.asio : "-") + " " + (c.windows ? c.windows : "-"));
        Write("device", "asio", c.asio);
        Write("device", "windows", c.windows);
        CSettingsFile file;
        file.setPath(scratch.Ini().c_str());
        DeviceSettings settings = ReadDeviceSettings(file);
        uitest::RunWithScript(
            [&] { return EditDeviceSettings(nullptr, file, devices, settings) ? IDOK : IDCANCEL; },
            kTitle, [&](HWND dialog) {
                const uitest::PopupSeen seen = Popup(dialog, IDC_DRIVER_SELECTOR);
                EXPECT_EQ(seen.texts.size(), devices.size());
                EXPECT_EQ(seen.checked, c.shown);
                Choose(dialog, IDC_DRIVER_SELECTOR, 3);
                EXPECT_EQ(Read("asio"), "0");
                EXPECT_EQ(Read("windows"), "{spk}");
                Choose(dialog, IDC_DRIVER_SELECTOR, 1);
                EXPECT_EQ(Read("windows"), "");
                return IDOK;
            });
        EXPECT_EQ(settings.driver, 1);
        EXPECT_EQ(settings.windowsDevice, "");
    }
}

}  // namespace
