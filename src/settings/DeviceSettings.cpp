#include "settings/DeviceSettings.h"

namespace {
constexpr char kDevice[] = "device";
constexpr char kKeyboard[] = "keyboard";
constexpr char kState[] = "state";
constexpr char kList[] = "list";
constexpr int kDecimal = 10;
// Stands for a key the file does not have.
constexpr char kAbsent[] = "\x01";

bool HasKey(const CSettingsFile& file, const char* section, const char* key)
{
    return file.getStringValue(section, key, kAbsent) != kAbsent;
}
}  // namespace

DeviceSettings ReadDeviceSettings(const CSettingsFile& file)
{
    const DeviceSettings defaults;
    DeviceSettings settings;
    settings.driver = file.getInt(kDevice, "asio", defaults.driver, kDecimal);
    settings.sampleRateCode = file.getInt(kDevice, "samplerate", defaults.sampleRateCode, kDecimal);
    settings.midiInPort = file.getInt(kDevice, "midiin", defaults.midiInPort, kDecimal);
    settings.tempo = file.getInt(kDevice, "tempo", defaults.tempo, kDecimal);
    settings.keyboardPlays = file.getInt(kKeyboard, "play", defaults.keyboardPlays, kDecimal) != 0;
    settings.keepState = file.getInt(kState, "autosave", defaults.keepState, kDecimal) != 0;
    settings.windowsDevice = file.getStringValue(kDevice, "windows", "");
    settings.deviceChosen = HasKey(file, kDevice, "asio") || HasKey(file, kDevice, "windows");
    return settings;
}

void WriteDriver(const CSettingsFile& file, int driver)
{
    file.writeInt(kDevice, "asio", driver, kDecimal);
}

void WriteDeviceChoice(const CSettingsFile& file, int driver, const std::string& windowsDevice)
{
    WriteDriver(file, driver);
    if (!windowsDevice.empty() || HasKey(file, kDevice, "windows"))
        file.writeString(kDevice, "windows", driver > 0 ? "" : windowsDevice.c_str());
}

void WriteSampleRateCode(const CSettingsFile& file, int code)
{
    file.writeInt(kDevice, "samplerate", code, kDecimal);
}

void WriteMidiInPort(const CSettingsFile& file, int port)
{
    file.writeInt(kDevice, "midiin", port, kDecimal);
}

void WriteTempo(const CSettingsFile& file, int tempo)
{
    file.writeInt(kDevice, "tempo", tempo, kDecimal);
}

void WriteKeyboardPlays(const CSettingsFile& file, bool plays)
{
    file.writeInt(kKeyboard, "play", plays ? 1 : 0, kDecimal);
}

void WriteDriverList(const CSettingsFile& file, const std::vector<std::string>& names)
{
    for (std::size_t i = 0; i < names.size(); ++i) {
        file.writeString(kList, std::to_string(i).c_str(), names[i].c_str());
    }
    file.writeInt(kList, "num", static_cast<int>(names.size()), kDecimal);
}

std::vector<std::string> ReadDriverList(const CSettingsFile& file, int limit)
{
    // The count is read anew before every entry: a start-up may rewrite the list meanwhile.
    std::vector<std::string> names;
    for (int i = 0; i < limit && i < file.getInt(kList, "num", 1, kDecimal); ++i) {
        names.push_back(file.getStringValue(kList, std::to_string(i).c_str(), "error"));
    }
    return names;
}
