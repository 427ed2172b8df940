#include "audio/EndpointWatch.h"

#include "audio/WasapiDevice.h"

ULONG STDMETHODCALLTYPE CEndpointWatch::Release()
{
    const ULONG left = --m_references;
    if (left == 0)
        delete this;
    return left;
}

HRESULT STDMETHODCALLTYPE CEndpointWatch::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IMMNotificationClient))) {
        *object = static_cast<IMMNotificationClient*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE CEndpointWatch::OnDeviceStateChanged(LPCWSTR id, DWORD state)
{
    if (state != DEVICE_STATE_ACTIVE)
        Pass(id, false);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEndpointWatch::OnDeviceRemoved(LPCWSTR id)
{
    Pass(id, false);
    return S_OK;
}

// Only the console role's render default is the one the device follows.
HRESULT STDMETHODCALLTYPE CEndpointWatch::OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                                 LPCWSTR id)
{
    if (flow == eRender && role == eConsole)
        Pass(id, true);
    return S_OK;
}

void CEndpointWatch::Detach()
{
    const std::lock_guard<std::mutex> lock(m_passing);
    m_device = nullptr;
}

void CEndpointWatch::Pass(LPCWSTR id, bool defaultChanged)
{
    const std::lock_guard<std::mutex> lock(m_passing);
    if (m_device != nullptr)
        m_device->OnEndpointChange(id, defaultChanged);
}
