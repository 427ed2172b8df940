#pragma once
// CDeviceSettingsDialog: the modal "ASIO & MIDI Settings" dialog (template 131) in which the
// user picks the audio driver, the sample rate, the MIDI input port and the tempo.
//
// It talks to no device. It edits a copy of the settings with the device choices it is given,
// writes each selection change to the settings file at once and the tempo when its window
// goes, whether it ends with OK or Cancel, and hands the edited copy back: the caller applies
// it after OK and forgets it after Cancel.
//
// Device positions follow the choices: "none", the ASIO drivers (position k is driver k), then
// the Windows devices, the default one first, which is shown while the file holds no choice or
// names a device that is gone. MIDI 0 is "None" and k input port k - 1; rate 0 is 44100 Hz
// and 1 is 48000 Hz.

#include "settings/DeviceSettings.h"
#include "settings/SettingsFile.h"
#include "toolkit/Dialog.h"
#include "ui/DigitDisplay.h"
#include "ui/DropDownSelector.h"

#include <string>
#include <vector>

class CDeviceSettingsDialog : public toolkit::CDialog {
public:
    static constexpr int kMaxDrivers = 255; // entries of the driver name table
    static constexpr int kMinTempo = 1;
    static constexpr int kMaxTempo = 999;
    static constexpr int kTempoDigits = 3;

    // `file`: where the choices are written as they are made; `devices`: "none" first.
    CDeviceSettingsDialog(const CSettingsFile& file, const DeviceSettings& settings,
                          std::vector<DeviceChoice> devices);
    ~CDeviceSettingsDialog() override;

    // The settings as the user left them.
    const DeviceSettings& Edited() const { return m_edited; }

    // Runs the dialog modally, owned by `owner` (the view); IDOK, IDCANCEL, or -1 on failure.
    INT_PTR DoModal(HWND owner);

    bool OnCmdMsg(unsigned id, unsigned code, toolkit::CmdMode mode) override;

protected:
    bool OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void CreateLabelFont();
    void CreateSelectors();
    void FillDrivers();
    int ChosenDevicePosition() const;
    void FillMidiPorts();
    void FillRates();
    void SetLabelFonts();
    void FitLabels();
    void CreateTempoDisplay();

    void OnDriverChosen(unsigned id);
    void OnMidiChosen(unsigned id);
    void OnRateChosen(unsigned id);
    void OnTempoChanged(unsigned id);

    HFONT m_labelFont = nullptr;
    CSettingsFile m_settings;
    DeviceSettings m_edited;
    std::vector<DeviceChoice> m_devices;
    CDropDownSelector m_driverSelector;
    CDropDownSelector m_midiSelector;
    CDropDownSelector m_rateSelector;
    CDigitDisplay m_tempoDisplay;
};

// The Options command's dialog: runs it owned by `owner` over `settings` with `devices`
// ("none" first) listed, writing each choice to `file` as it is made; true when it ended with
// OK, and then `settings` holds the user's choices.
bool EditDeviceSettings(HWND owner, const CSettingsFile& file,
                        const std::vector<DeviceChoice>& devices, DeviceSettings& settings);
// The same over the settings file in the current directory and the driver names its list
// section holds.
bool RunDeviceSettingsDialog(HWND owner);
