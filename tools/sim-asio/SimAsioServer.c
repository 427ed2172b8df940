/* The in-process COM server: class factory, module lifetime and self-registration.
 *
 * One DLL serves any number of simulated cards: each is a driver key under
 * HKLM\Software\ASIO with its own class identifier, all pointing at this file. The class
 * factory finds the key by the class identifier it is asked for, so every instance reads its
 * own configuration. DllRegisterServer registers the default card (its name and class
 * identifier can be overridden with the environment variables ZUMBREL_SIM_ASIO_NAME and
 * ZUMBREL_SIM_ASIO_CLSID); SimAsioRegister/SimAsioUnregister register further ones, and
 * SimAsioRegisterAt/SimAsioUnregisterAt below another root than Software\ASIO. */
#include "SimAsio.h"

#include <olectl.h>
#include <stdlib.h>
#include <string.h>

HINSTANCE simModule;
static volatile LONG moduleLocks;

static const char kDefaultName[] = "Zumbrel Simulated Sound Card";
static const char kDefaultClsid[] = "{9AC97F77-A047-4A9D-9C00-35501DAEE728}";
static const char kAsioKey[] = "Software\\ASIO";

void simAsioModuleLock(int add)
{
    if (add)
        InterlockedIncrement(&moduleLocks);
    else
        InterlockedDecrement(&moduleLocks);
}

/* ---- class factory ---- */

typedef struct Factory Factory;
typedef struct {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(Factory*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(Factory*);
    ULONG(STDMETHODCALLTYPE* Release)(Factory*);
    HRESULT(STDMETHODCALLTYPE* CreateInstance)(Factory*, IUnknown*, REFIID, void**);
    HRESULT(STDMETHODCALLTYPE* LockServer)(Factory*, BOOL);
} FactoryVtbl;

struct Factory {
    const FactoryVtbl* vtbl;
    volatile LONG refs;
    CLSID clsid;
};

static HRESULT STDMETHODCALLTYPE factoryQuery(Factory* self, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualGUID(iid, &IID_IUnknown) || IsEqualGUID(iid, &IID_IClassFactory)) {
        *out = self;
        InterlockedIncrement(&self->refs);
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

static ULONG STDMETHODCALLTYPE factoryAddRef(Factory* self)
{
    return (ULONG)InterlockedIncrement(&self->refs);
}

static ULONG STDMETHODCALLTYPE factoryRelease(Factory* self)
{
    LONG left = InterlockedDecrement(&self->refs);
    if (left == 0) {
        free(self);
        simAsioModuleLock(0);
    }
    return (ULONG)left;
}

static HRESULT STDMETHODCALLTYPE factoryCreate(Factory* self, IUnknown* outer, REFIID iid,
                                               void** out)
{
    if (!out)
        return E_POINTER;
    *out = NULL;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return simAsioCreate(&self->clsid, iid, out);
}

static HRESULT STDMETHODCALLTYPE factoryLock(Factory* self, BOOL lock)
{
    (void)self;
    simAsioModuleLock(lock != 0);
    return S_OK;
}

static const FactoryVtbl kFactoryVtbl = {
    factoryQuery, factoryAddRef, factoryRelease, factoryCreate, factoryLock,
};

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    Factory* factory;
    HRESULT hr;
    if (!out)
        return E_POINTER;
    *out = NULL;
    factory = (Factory*)calloc(1, sizeof *factory);
    if (!factory)
        return E_OUTOFMEMORY;
    factory->vtbl = &kFactoryVtbl;
    factory->refs = 1;
    factory->clsid = *clsid;
    simAsioModuleLock(1);
    hr = factoryQuery(factory, iid, out);
    factoryRelease(factory);
    return hr;
}

HRESULT WINAPI DllCanUnloadNow(void)
{
    return moduleLocks == 0 ? S_OK : S_FALSE;
}

/* ---- registration ---- */

/* Creates root\path in two steps, its parent and then its last name: Wine's A functions
 * take at most MAX_PATH characters of path in one call, while a key name alone may have 255. */
static LONG createKey(HKEY root, const char* path, HKEY* out)
{
    char parent[SIM_KEY_NAME + 320];
    const char* last = strrchr(path, '\\');
    HKEY parentKey;
    LONG r;
    if (!last || (size_t)(last - path) >= sizeof parent)
        return RegCreateKeyExA(root, path, 0, NULL, 0, KEY_WRITE, NULL, out, NULL);
    memcpy(parent, path, (size_t)(last - path));
    parent[last - path] = '\0';
    r = RegCreateKeyExA(root, parent, 0, NULL, 0, KEY_WRITE, NULL, &parentKey, NULL);
    if (r != ERROR_SUCCESS)
        return r;
    r = RegCreateKeyExA(parentKey, last + 1, 0, NULL, 0, KEY_WRITE, NULL, out, NULL);
    RegCloseKey(parentKey);
    return r;
}

static int setText(HKEY root, const char* path, const char* name, const char* value)
{
    HKEY key;
    LONG r = createKey(root, path, &key);
    if (r != ERROR_SUCCESS)
        return 0;
    r = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value, (DWORD)strlen(value) + 1);
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

static int validClsid(const char* text)
{
    WCHAR wide[64];
    CLSID parsed;
    return text && strlen(text) < 60
           && MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64) > 0
           && SUCCEEDED(CLSIDFromString(wide, &parsed));
}

/* Registers one card: its driver key HKLM\<root>\<name> and its class pointing at this DLL.
 * The class key also names the driver key ("DriverKey"), so that cards registered below
 * another root (tests keep theirs apart that way) find their configuration. A null
 * description leaves the "Description" value out (the host then shows the key name). */
HRESULT WINAPI SimAsioRegisterAt(const char* root, const char* name, const char* clsid,
                                 const char* description)
{
    char path[MAX_PATH], key[128 + 16], driverKey[SIM_KEY_NAME + 320];
    DWORD length;
    if (!root || !name || !name[0] || strlen(name) >= SIM_KEY_NAME || strlen(root) > 300
        || !validClsid(clsid))
        return E_INVALIDARG;
    length = GetModuleFileNameA(simModule, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return SELFREG_E_CLASS;
    snprintf(driverKey, sizeof driverKey, "%s\\%s", root, name);
    snprintf(key, sizeof key, "CLSID\\%s", clsid);
    if (!setText(HKEY_CLASSES_ROOT, key, NULL, description ? description : name)
        || !setText(HKEY_CLASSES_ROOT, key, "DriverKey", driverKey))
        return SELFREG_E_CLASS;
    snprintf(key, sizeof key, "CLSID\\%s\\InprocServer32", clsid);
    if (!setText(HKEY_CLASSES_ROOT, key, NULL, path)
        || !setText(HKEY_CLASSES_ROOT, key, "ThreadingModel", "Apartment"))
        return SELFREG_E_CLASS;
    if (!setText(HKEY_LOCAL_MACHINE, driverKey, "CLSID", clsid))
        return SELFREG_E_CLASS;
    if (description && !setText(HKEY_LOCAL_MACHINE, driverKey, "Description", description))
        return SELFREG_E_CLASS;
    return S_OK;
}

static void deleteTree(HKEY root, const char* parent, const char* child)
{
    HKEY key;
    if (RegOpenKeyExA(root, parent, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    RegDeleteTreeA(key, child);
    RegDeleteKeyA(key, child);
    RegCloseKey(key);
}

HRESULT WINAPI SimAsioUnregisterAt(const char* root, const char* name, const char* clsid)
{
    if (!root || !name || !name[0] || strlen(name) >= SIM_KEY_NAME || !validClsid(clsid))
        return E_INVALIDARG;
    deleteTree(HKEY_LOCAL_MACHINE, root, name);
    deleteTree(HKEY_CLASSES_ROOT, "CLSID", clsid);
    return S_OK;
}

HRESULT WINAPI SimAsioRegister(const char* name, const char* clsid, const char* description)
{
    return SimAsioRegisterAt(kAsioKey, name, clsid, description);
}

HRESULT WINAPI SimAsioUnregister(const char* name, const char* clsid)
{
    return SimAsioUnregisterAt(kAsioKey, name, clsid);
}

static const char* defaultName(void)
{
    const char* name = getenv("ZUMBREL_SIM_ASIO_NAME");
    return name && name[0] ? name : kDefaultName;
}

static const char* defaultClsid(void)
{
    const char* clsid = getenv("ZUMBREL_SIM_ASIO_CLSID");
    return clsid && clsid[0] ? clsid : kDefaultClsid;
}

static void setNumber(const char* path, const char* name, DWORD value)
{
    HKEY key;
    if (createKey(HKEY_LOCAL_MACHINE, path, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    RegCloseKey(key);
}

/* The default card plays in real time, as a sound card would; ZUMBREL_SIM_ASIO_WAV and
 * ZUMBREL_SIM_ASIO_STATS, when set, name its recording and statistics files. */
HRESULT WINAPI DllRegisterServer(void)
{
    char key[300];
    const char* wav = getenv("ZUMBREL_SIM_ASIO_WAV");
    const char* stats = getenv("ZUMBREL_SIM_ASIO_STATS");
    HRESULT hr = SimAsioRegister(defaultName(), defaultClsid(), defaultName());
    if (FAILED(hr))
        return hr;
    snprintf(key, sizeof key, "%s\\%s", kAsioKey, defaultName());
    setNumber(key, "RealTime", SIM_CLOCK_REALTIME);
    if (wav && wav[0] && !setText(HKEY_LOCAL_MACHINE, key, "WavFile", wav))
        return SELFREG_E_CLASS;
    if (stats && stats[0] && !setText(HKEY_LOCAL_MACHINE, key, "StatsFile", stats))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT WINAPI DllUnregisterServer(void)
{
    return SimAsioUnregister(defaultName(), defaultClsid());
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void* reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        simModule = module;
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}
