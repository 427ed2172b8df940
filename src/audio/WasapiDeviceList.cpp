#include "audio/WasapiDevice.h"

#include <windows.h>
#include <mmdeviceapi.h>

// The device list of the Windows audio device: the default device, the active render
// endpoints by their friendly names, then the same in exclusive mode; and their keys.

namespace {

constexpr char kDefaultName[] = "Windows Audio (default device)";
constexpr char kExclusiveName[] = " (exclusive)";
// The endpoint's friendly name ("Speakers (High Definition Audio Device)").
const PROPERTYKEY kFriendlyName = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

std::string Narrow(const wchar_t* text)
{
    if (text == nullptr)
        return {};
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return {};
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(bytes - 1));
    return narrow;
}

std::string FriendlyName(IMMDevice* device)
{
    IPropertyStore* properties = nullptr;
    std::string name;
    if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, &properties))) {
        PROPVARIANT value;
        PropVariantInit(&value);
        if (SUCCEEDED(properties->GetValue(kFriendlyName, &value)) &&
            value.vt == VT_LPWSTR)
            name = Narrow(value.pwszVal);
        PropVariantClear(&value);
        properties->Release();
    }
    return name;
}

}  // namespace

// ---- The device list ----------------------------------------------------------------------

void CWasapiDevice::RefreshDevices()
{
    m_entries.clear();
    if (m_enumerator == nullptr)
        return;
    std::vector<Entry> shared{Entry{kDefaultName, {}, false}};
    IMMDeviceCollection* endpoints = nullptr;
    if (SUCCEEDED(m_enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &endpoints))) {
        UINT count = 0;
        endpoints->GetCount(&count);
        for (UINT i = 0; i < count; ++i) {
            IMMDevice* endpoint = nullptr;
            LPWSTR id = nullptr;
            if (SUCCEEDED(endpoints->Item(i, &endpoint)) && SUCCEEDED(endpoint->GetId(&id))) {
                std::string name = FriendlyName(endpoint);
                shared.push_back(Entry{name.empty() ? Narrow(id) : name, id, false});
            }
            CoTaskMemFree(id);
            if (endpoint != nullptr)
                endpoint->Release();
        }
        endpoints->Release();
    }
    // Without any active endpoint there is no default device either.
    if (shared.size() == 1)
        return;
    m_entries = shared;
    for (const Entry& entry : shared)
        m_entries.push_back(Entry{entry.name + kExclusiveName, entry.id, true});
}

std::int32_t CWasapiDevice::DeviceCount() const
{
    return static_cast<std::int32_t>(m_entries.size());
}

std::string CWasapiDevice::DeviceName(std::int32_t index) const
{
    return index >= 0 && index < DeviceCount() ? m_entries[index].name : std::string();
}

std::string CWasapiDevice::DeviceKey(std::int32_t index) const
{
    if (index < 0 || index >= DeviceCount())
        return {};
    const Entry& entry = m_entries[index];
    return (entry.id.empty() ? std::string(kDefaultKey) : Narrow(entry.id.c_str())) +
           (entry.exclusive ? kExclusiveSuffix : "");
}

std::int32_t CWasapiDevice::FindDevice(const std::string& key, bool& standIn) const
{
    const std::string wanted = key.empty() ? std::string(kDefaultKey) : key;
    const std::int32_t found = IAudioDevice::FindDevice(wanted, standIn);
    if (found >= 0)
        return found;
    const std::string suffix = kExclusiveSuffix;
    const bool exclusive = wanted.size() > suffix.size() &&
                           wanted.compare(wanted.size() - suffix.size(), suffix.size(), suffix) == 0;
    const std::int32_t standInIndex =
        IAudioDevice::FindDevice(std::string(kDefaultKey) + (exclusive ? kExclusiveSuffix : ""), standIn);
    standIn = standInIndex >= 0;
    return standInIndex;
}
