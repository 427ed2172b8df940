#include "settings/DeviceSettingsDialog.h"

#include "midi/MIDIInDevice.h"
#include "settings/DeviceSettings.h"
#include "resource.h"

#include <algorithm>
#include <exception>
#include <string>

namespace {

constexpr char kTitle[] = "ASIO & MIDI Settings";

// The label font: Tahoma, 13 pixels, normal weight.
constexpr int kLabelFontHeight = 13;
constexpr int kLabelFontWeight = 400;
constexpr char kLabelFontFace[] = "Tahoma";

// Where the owner-drawn controls are created, in dialog client pixels; each sizes itself at
// its first paint.
constexpr RECT kDriverRect{100, 18, 250, 60};
constexpr RECT kRateRect{100, 42, 200, 999};
constexpr RECT kMidiRect{100, 64, 250, 999};
constexpr RECT kTempoRect{100, 90, 999, 999};

const char* const kRates[] = {"44100HZ", "48000HZ"};
constexpr char kNoMidiPort[] = "None";

// The labels left of the selectors' column.
constexpr int kLabels[] = {IDC_DRIVER_LABEL, IDC_RATE_LABEL, IDC_MIDI_LABEL, IDC_TEMPO_LABEL};

// Template controls that take the label font, in the order they are given it.
constexpr int kFontedControls[] = {IDC_DRIVER_LABEL, IDC_MIDI_LABEL, IDC_RATE_LABEL,
                                   IDC_TEMPO_LABEL,  IDOK,           IDCANCEL};

std::vector<const char*> Pointers(const std::vector<std::string>& texts)
{
    std::vector<const char*> pointers;
    for (const std::string& text : texts)
        pointers.push_back(text.c_str());
    return pointers;
}

// The product name of input port `port`. A port whose capabilities cannot be read is listed
// with an empty name, so that every later port keeps its position (position = port + 1).
std::string PortName(UINT port)
{
    MIDIINCAPSA caps{};
    try {
        midi::CMIDIInDevice::GetPortCaps(port, &caps);
    } catch (const std::exception&) {
        return std::string();
    }
    caps.szPname[sizeof caps.szPname - 1] = '\0';
    return caps.szPname;
}

} // namespace

CDeviceSettingsDialog::CDeviceSettingsDialog(const CSettingsFile& file,
                                             const DeviceSettings& settings,
                                             std::vector<DeviceChoice> devices)
    : CDialog(IDD_DEVICE_SETTINGS),
      m_edited(settings),
      m_devices(std::move(devices)),
      m_tempoDisplay(0, 0, 16)
{
    m_settings.setPath(file.getPath() ? file.getPath()->c_str() : nullptr);
}

CDeviceSettingsDialog::~CDeviceSettingsDialog()
{
    // The controls' windows went with the dialog's; the font outlives every user of it.
    if (m_hWnd != nullptr)
        DestroyWindow();
    if (m_labelFont != nullptr)
        DeleteObject(m_labelFont);
}

INT_PTR CDeviceSettingsDialog::DoModal(HWND owner)
{
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DEVICE_SETTINGS), owner,
                           &CWnd::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool CDeviceSettingsDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowTextA(m_hWnd, kTitle);
    CreateLabelFont();
    CreateSelectors();
    FillDrivers();
    FillMidiPorts();
    FillRates();
    SetLabelFonts();
    FitLabels();
    CreateTempoDisplay();
    return true;
}

void CDeviceSettingsDialog::CreateLabelFont()
{
    m_labelFont = CreateFontA(kLabelFontHeight, 0, 0, 0, kLabelFontWeight, FALSE, FALSE, FALSE, 0,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH, kLabelFontFace);
}

void CDeviceSettingsDialog::CreateSelectors()
{
    const HINSTANCE module = GetModuleHandleA(nullptr);
    m_driverSelector.Create(kDriverRect, m_hWnd, IDC_DRIVER_SELECTOR);
    m_driverSelector.AttachBitmap(module, IDB_ARROWS);
    m_midiSelector.Create(kMidiRect, m_hWnd, IDC_MIDI_SELECTOR);
    m_midiSelector.AttachBitmap(module, IDB_ARROWS);
    m_rateSelector.Create(kRateRect, m_hWnd, IDC_RATE_SELECTOR);
    m_rateSelector.AttachBitmap(module, IDB_ARROWS);
}

// The table holds at most 255 names.
void CDeviceSettingsDialog::FillDrivers()
{
    if (m_devices.size() > static_cast<std::size_t>(kMaxDrivers))
        m_devices.resize(kMaxDrivers);
    std::vector<std::string> names;
    for (const DeviceChoice& device : m_devices)
        names.push_back(device.name);
    m_driverSelector.SetItems(Pointers(names).data(), static_cast<int>(names.size()));
    m_driverSelector.SetSelection(ChosenDevicePosition());
}

// The Windows device that plays stands for a choice that names none or a gone one.
int CDeviceSettingsDialog::ChosenDevicePosition() const
{
    if (m_edited.driver >= 1)
        return m_edited.driver;
    if (m_edited.deviceChosen && m_edited.windowsDevice.empty())
        return 0;
    int defaultDevice = -1;
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (m_devices[i].windowsDevice.empty())
            continue;
        if (m_devices[i].windowsDevice == m_edited.windowsDevice)
            return static_cast<int>(i);
        if (defaultDevice < 0)
            defaultDevice = static_cast<int>(i);
    }
    return std::max(defaultDevice, 0);
}

// "None", then one name per input port. More ports than the selector takes leave it empty;
// their names are not even asked for.
void CDeviceSettingsDialog::FillMidiPorts()
{
    const UINT ports = midi::CMIDIInDevice::GetNumPorts();
    if (ports < static_cast<UINT>(CSelectorModel::kMaxItems)) {
        std::vector<std::string> names{kNoMidiPort};
        for (UINT port = 0; port < ports; ++port)
            names.push_back(PortName(port));
        m_midiSelector.SetItems(Pointers(names).data(), static_cast<int>(names.size()));
    }
    m_midiSelector.SetSelection(m_edited.midiInPort);
}

void CDeviceSettingsDialog::FillRates()
{
    m_rateSelector.SetItems(kRates, static_cast<int>(std::size(kRates)));
    m_rateSelector.SetSelection(m_edited.sampleRateCode);
}

void CDeviceSettingsDialog::SetLabelFonts()
{
    for (int id : kFontedControls)
        SendDlgItemMessageA(m_hWnd, id, WM_SETFONT, reinterpret_cast<WPARAM>(m_labelFont), TRUE);
}

// A label whose text is wider than the template made it (a system whose dialog font is
// wider than the one the template was laid out with) would wrap and lose its second line:
// it grows to its text, up to the selectors' column. Labels that fit keep their size.
void CDeviceSettingsDialog::FitLabels()
{
    HDC dc = GetDC(m_hWnd);
    if (dc == nullptr)
        return;
    HGDIOBJ previous = SelectObject(dc, m_labelFont != nullptr ? m_labelFont
                                                               : GetStockObject(DEFAULT_GUI_FONT));
    for (int id : kLabels) {
        HWND label = GetDlgItem(m_hWnd, id);
        RECT rect{};
        if (label == nullptr || !GetWindowRect(label, &rect))
            continue;
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        char text[64] = {};
        const int length = GetWindowTextA(label, text, sizeof text);
        SIZE extent{};
        if (length <= 0 || !GetTextExtentPoint32A(dc, text, length, &extent))
            continue;
        const int room = kDriverRect.left - rect.left;
        if (extent.cx > rect.right - rect.left && room > rect.right - rect.left)
            SetWindowPos(label, nullptr, 0, 0, extent.cx < room ? extent.cx : room,
                         rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SelectObject(dc, previous);
    ReleaseDC(m_hWnd, dc);
}

void CDeviceSettingsDialog::CreateTempoDisplay()
{
    m_tempoDisplay.Create(kTempoRect, m_hWnd, IDC_TEMPO_DISPLAY);
    m_tempoDisplay.SetDigitCount(kTempoDigits);
    m_tempoDisplay.SetMaximum(kMaxTempo);
    m_tempoDisplay.SetMinimum(kMinTempo);
    m_tempoDisplay.m_bLocked = false;
    m_tempoDisplay.SetValue(m_edited.tempo);
}

// The controls' notifications (code 0); OK and Cancel take the standard way.
bool CDeviceSettingsDialog::OnCmdMsg(unsigned id, unsigned code, toolkit::CmdMode mode)
{
    static const toolkit::CommandEntry<CDeviceSettingsDialog> commands[] = {
        {IDC_DRIVER_SELECTOR, IDC_DRIVER_SELECTOR, &CDeviceSettingsDialog::OnDriverChosen},
        {IDC_MIDI_SELECTOR, IDC_MIDI_SELECTOR, &CDeviceSettingsDialog::OnMidiChosen},
        {IDC_RATE_SELECTOR, IDC_RATE_SELECTOR, &CDeviceSettingsDialog::OnRateChosen},
        {IDC_TEMPO_DISPLAY, IDC_TEMPO_DISPLAY, &CDeviceSettingsDialog::OnTempoChanged},
    };
    return code == 0 && toolkit::DispatchCommand(this, commands, id, mode);
}

void CDeviceSettingsDialog::OnDriverChosen(unsigned)
{
    const int position = m_driverSelector.GetSelection();
    const DeviceChoice chosen = position >= 0 && position < static_cast<int>(m_devices.size())
                                    ? m_devices[position]
                                    : DeviceChoice{};
    m_edited.driver = chosen.driver;
    m_edited.windowsDevice = chosen.windowsDevice;
    m_edited.deviceChosen = true;
    WriteDeviceChoice(m_settings, m_edited.driver, m_edited.windowsDevice);
}

void CDeviceSettingsDialog::OnMidiChosen(unsigned)
{
    m_edited.midiInPort = m_midiSelector.GetSelection();
    WriteMidiInPort(m_settings, m_edited.midiInPort);
}

void CDeviceSettingsDialog::OnRateChosen(unsigned)
{
    m_edited.sampleRateCode = m_rateSelector.GetSelection();
    WriteSampleRateCode(m_settings, m_edited.sampleRateCode);
}

void CDeviceSettingsDialog::OnTempoChanged(unsigned)
{
}

// The tempo is written whenever the window goes, after OK and after Cancel alike.
bool CDeviceSettingsDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const bool handled = CDialog::OnMessage(msg, wParam, lParam, result);
    if (msg == WM_DESTROY) {
        m_edited.tempo = m_tempoDisplay.GetValue();
        WriteTempo(m_settings, m_edited.tempo);
    }
    return handled;
}

bool EditDeviceSettings(HWND owner, const CSettingsFile& file,
                        const std::vector<DeviceChoice>& devices, DeviceSettings& settings)
{
    CDeviceSettingsDialog dialog(file, settings, devices);
    if (dialog.DoModal(owner) != IDOK)
        return false;
    settings = dialog.Edited();
    return true;
}

bool RunDeviceSettingsDialog(HWND owner)
{
    CSettingsFile file;
    file.setPath(CSettingsFile::defaultPath().c_str());
    DeviceSettings settings = ReadDeviceSettings(file);
    std::vector<DeviceChoice> devices;
    for (const std::string& name : ReadDriverList(file, CDeviceSettingsDialog::kMaxDrivers))
        devices.push_back(DeviceChoice{name, static_cast<int>(devices.size()), {}});
    return EditDeviceSettings(owner, file, devices, settings);
}
