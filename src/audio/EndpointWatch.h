#pragma once
// CEndpointWatch: the system's notifications about render endpoints, passed to the Windows
// audio device: its endpoint was removed or disabled, or the default endpoint moved. They
// arrive on a thread of the system's; the device only asks its owner to open it afresh.
// Detach stops the passing before the device goes, since the system may still hold the watch.

#include <mmdeviceapi.h>

#include <atomic>
#include <mutex>

class CWasapiDevice;

class CEndpointWatch final : public IMMNotificationClient {
public:
    explicit CEndpointWatch(CWasapiDevice& device) : m_device(&device) {}

    // After it returns no notification reaches the device any more.
    void Detach();

    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;

    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR id, DWORD state) override;
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR id) override;
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                     LPCWSTR id) override;
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override
    {
        return S_OK;
    }

private:
    ~CEndpointWatch() = default;
    void Pass(LPCWSTR id, bool defaultChanged);

    std::mutex m_passing;  // held while a notification is passed, and by Detach
    CWasapiDevice* m_device;
    std::atomic<ULONG> m_references{1};
};
