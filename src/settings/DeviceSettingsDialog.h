#pragma once
// CDeviceSettingsDialog: the modal "ASIO & MIDI Settings" dialog (template 131) in which the
// user picks the audio driver, the sample rate, the MIDI input port and the tempo.
//
// It talks to no device. It reads the stored choices and the driver names (the [list] section
// that start-up writes) from tarvoshell.ini in the current directory through a store of its
// own, writes each selection change to the file at once and the tempo when its window goes,
// whether it ends with OK or Cancel. The caller applies the settings after OK by running the
// device bring-up, which reads them back from the file.
//
// Selector positions equal the stored values: driver 0 is "none" and k the k-th driver; MIDI
// 0 is "None" and k input port k - 1; rate 0 is 44100 Hz and 1 is 48000 Hz.

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

    CDeviceSettingsDialog();
    ~CDeviceSettingsDialog() override;

    // Runs the dialog modally, owned by `owner` (the view); IDOK, IDCANCEL, or -1 on failure.
    INT_PTR DoModal(HWND owner);

    bool OnCmdMsg(unsigned id, unsigned code, toolkit::CmdMode mode) override;

protected:
    bool OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void CreateLabelFont();
    void OpenSettings();
    void CreateSelectors();
    void FillDrivers();
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
    std::string m_directory;
    std::vector<std::string> m_driverNames;
    int m_storedDriver = 0;
    int m_storedMidiIn = 0;
    int m_storedRate = 0;
    CDropDownSelector m_driverSelector;
    CDropDownSelector m_midiSelector;
    CDropDownSelector m_rateSelector;
    CDigitDisplay m_tempoDisplay;
};

// The Options command's dialog: runs it owned by `owner`; true when it ended with OK, after
// which the caller brings the devices up again from the settings file.
bool RunDeviceSettingsDialog(HWND owner);
