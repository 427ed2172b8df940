#pragma once
// The program's settings as one typed value: what sections "device", "keyboard" and "state" of
// the settings file hold, and the driver names section "list" publishes for the dialog. Only
// this module knows the key names, the number format (decimal) and the defaults; it reads and
// writes the file's existing format, so a file written by an earlier version reads the same.
// Each choice is written on its own, as it is made.

#include "settings/SettingsFile.h"

#include <string>
#include <vector>

struct DeviceSettings {
    static constexpr int kDefaultTempo = 120;

    int driver = 0;             // "asio": the driver's number in the list, from 1; 0 none
    int sampleRateCode = 0;     // "samplerate": 0 44100, 1 48000, 2 96000; others keep the driver's
    int midiInPort = 0;         // "midiin": the port's number, from 1; 0 none
    int tempo = kDefaultTempo;  // "tempo": beats per minute
    bool keyboardPlays = true;  // [keyboard] "play"
    bool keepState = true;      // [state] "autosave"
    // "windows": the Windows audio device's key when one is chosen (driver 0), else empty.
    std::string windowsDevice;
    // Whether the file holds a device choice at all ("asio" or "windows"); a first start has
    // none and plays through the default Windows device.
    bool deviceChosen = true;
};

// One entry of the device list the settings dialog shows: "none" (both empty), ASIO driver
// `driver` (from 1), or the Windows audio device keyed `windowsDevice`.
struct DeviceChoice {
    std::string name;
    int driver = 0;
    std::string windowsDevice;
};

DeviceSettings ReadDeviceSettings(const CSettingsFile& file);

void WriteDriver(const CSettingsFile& file, int driver);
// The device chosen: ASIO driver `driver` (from 1), else the Windows device `windowsDevice`,
// else none. "windows" is only written to a file that has it already or to name a device.
void WriteDeviceChoice(const CSettingsFile& file, int driver, const std::string& windowsDevice);
void WriteSampleRateCode(const CSettingsFile& file, int code);
void WriteMidiInPort(const CSettingsFile& file, int port);
void WriteTempo(const CSettingsFile& file, int tempo);
void WriteKeyboardPlays(const CSettingsFile& file, bool plays);

// Section "list": "none" and then the drivers' names, `names[0]` being "none".
void WriteDriverList(const CSettingsFile& file, const std::vector<std::string>& names);
// The names as published, at most `limit`; "error" for one that is missing.
std::vector<std::string> ReadDriverList(const CSettingsFile& file, int limit);
