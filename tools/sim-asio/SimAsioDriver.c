/* The driver object: COM base operations and the ASIO operations in the published order. */
#include "SimAsio.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

enum { kDriverVersion = 1, kBufferTimeoutMs = 20, kMaxDriverKeys = 4096 };

static const char kNoError[] = "No error";

static void copyText(char* out, const char* text, size_t size)
{
    size_t n = strlen(text);
    if (n >= size)
        n = size - 1;
    memcpy(out, text, n);
    out[n] = '\0';
}

static int onClockThread(const SimAsio* self)
{
    return self->clockThread && GetCurrentThreadId() == self->clockThreadId;
}

static HRESULT STDMETHODCALLTYPE queryInterface(SimAsio* self, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualGUID(iid, &IID_IUnknown) || IsEqualGUID(iid, &self->clsid)) {
        *out = self;
        self->vtbl->AddRef(self);
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

static ULONG STDMETHODCALLTYPE addRef(SimAsio* self)
{
    return (ULONG)InterlockedIncrement(&self->refs);
}

static void freeBuffers(SimAsio* self)
{
    long k;
    for (k = 0; k < self->channelCount; ++k) {
        free(self->channels[k].buffers[0]);
        free(self->channels[k].buffers[1]);
    }
    free(self->channels);
    self->channels = NULL;
    self->channelCount = 0;
    simWavClose(&self->wav);
}

/* Ends every switch, well-behaved or not. Not on the clock thread. */
static void endClock(SimAsio* self)
{
    self->stopRequested = 1;
    SetEvent(self->wake);
    simClockJoin(self);
}

static ULONG STDMETHODCALLTYPE release(SimAsio* self)
{
    LONG left = InterlockedDecrement(&self->refs);
    if (left != 0)
        return (ULONG)left;
    endClock(self);
    self->released = 1;
    simWriteStats(self);
    freeBuffers(self);
    CloseHandle(self->wake);
    free(self);
    simAsioModuleLock(0);
    return 0;
}

static ASIOBool SIM_THISCALL init(SimAsio* self, void* sysHandle)
{
    (void)sysHandle;
    self->initialised = !self->config.failInit;
    return self->initialised ? 1 : 0;
}

static void SIM_THISCALL getDriverName(SimAsio* self, char* name)
{
    if (name)
        copyText(name, self->keyName, 32);
}

static long SIM_THISCALL getDriverVersion(SimAsio* self)
{
    (void)self;
    return kDriverVersion;
}

static void SIM_THISCALL getErrorMessage(SimAsio* self, char* text)
{
    if (text)
        copyText(text, self->config.failInit ? self->config.initError : kNoError, 124);
}

/* The faults a broken driver has inside a call (SIM_FAULT_...). */
static volatile LONG_PTR faultAddress = 16; /* no page is mapped there */

static void fault(int kind)
{
    if (kind == SIM_FAULT_ACCESS)
        *(volatile LONG*)faultAddress = 1;
    else if (kind == SIM_FAULT_CPP_EXCEPTION)
        RaiseException(0xE06D7363u, EXCEPTION_NONCONTINUABLE, 0, NULL);
}

static ASIOError SIM_THISCALL start(SimAsio* self)
{
    long i;
    if (!self->channels || onClockThread(self))
        return SIM_ASE_InvalidMode;
    if (self->started)
        return SIM_ASE_OK;
    fault(self->config.faultStart);
    /* A misbehaving driver: switches before start has returned. */
    for (i = 0; i < self->config.switchesInStart; ++i)
        simRogueSwitch(self, i & 1);
    InterlockedIncrement(&self->starts);
    if (simClockStart(self) != SIM_ASE_OK)
        return SIM_ASE_HWMalfunction;
    self->started = 1;
    return SIM_ASE_OK;
}

static ASIOError SIM_THISCALL stop(SimAsio* self)
{
    InterlockedIncrement(&self->stops);
    if (!self->started)
        return SIM_ASE_OK;
    self->started = 0;
    if (self->config.rogue && !onClockThread(self)) {
        self->rogueRequested = 1;  /* keeps calling back; ended by dispose or release */
        SetEvent(self->wake);
        return SIM_ASE_OK;
    }
    simClockStop(self);
    return SIM_ASE_OK;
}

static ASIOError SIM_THISCALL getChannels(SimAsio* self, long* inputs, long* outputs)
{
    if (!self->initialised)
        return SIM_ASE_NotPresent;
    if (self->config.failGetChannels)
        return SIM_ASE_HWMalfunction;
    if (inputs)
        *inputs = self->config.inputs;
    if (outputs)
        *outputs = self->config.outputs;
    return SIM_ASE_OK;
}

static ASIOError SIM_THISCALL getLatencies(SimAsio* self, long* input, long* output)
{
    if (!self->initialised)
        return SIM_ASE_NotPresent;
    if (input)
        *input = self->config.inputLatency;
    if (output)
        *output = self->config.outputLatency;
    return SIM_ASE_OK;
}

static ASIOError SIM_THISCALL getBufferSize(SimAsio* self, long* minSize, long* maxSize,
                                            long* preferred, long* granularity)
{
    if (!self->initialised)
        return SIM_ASE_NotPresent;
    if (self->config.failGetBufferSize)
        return SIM_ASE_HWMalfunction;
    if (minSize) *minSize = self->config.minSize;
    if (maxSize) *maxSize = self->config.maxSize;
    if (preferred) *preferred = self->config.preferredSize;
    if (granularity) *granularity = self->config.granularity;
    return SIM_ASE_OK;
}

static ASIOError SIM_THISCALL canSampleRate(SimAsio* self, double rate)
{
    int i;
    for (i = 0; i < self->config.rateCount; ++i)
        if (self->config.rates[i] == rate)
            return SIM_ASE_OK;
    return SIM_ASE_NoClock;
}

static ASIOError SIM_THISCALL getSampleRate(SimAsio* self, double* rate)
{
    if (self->config.failGetSampleRate == SIM_GET_RATE_FAILS)
        return SIM_ASE_NoClock;
    if (!rate)
        return SIM_ASE_InvalidParameter;
    *rate = self->config.failGetSampleRate == SIM_GET_RATE_NAN    ? NAN
            : self->config.failGetSampleRate == SIM_GET_RATE_ZERO ? 0.0
                                                                  : self->sampleRate;
    return SIM_ASE_OK;
}

static ASIOError SIM_THISCALL setSampleRate(SimAsio* self, double rate)
{
    InterlockedIncrement(&self->setSampleRateCalls);
    if (canSampleRate(self, rate) != SIM_ASE_OK)
        return SIM_ASE_NoClock;
    if (self->config.failSetSampleRate == SIM_SET_RATE_FAILS)
        return SIM_ASE_HWMalfunction;
    if (self->config.failSetSampleRate == SIM_SET_RATE_IGNORED)
        return SIM_ASE_OK;
    self->sampleRate = rate;
    self->wav.rate = rate; /* the recording's header names the rate it was played at */
    return SIM_ASE_OK;
}

static ASIOError SIM_THISCALL getClockSources(SimAsio* self, SimClockSource* clocks, long* count)
{
    (void)self;
    if (!clocks || !count || *count < 1)
        return SIM_ASE_InvalidParameter;
    memset(clocks, 0, sizeof *clocks);
    clocks->associatedChannel = -1;
    clocks->associatedGroup = -1;
    clocks->isCurrentSource = 1;
    copyText(clocks->name, "Internal", sizeof clocks->name);
    *count = 1;
    return SIM_ASE_OK;
}

static ASIOError SIM_THISCALL setClockSource(SimAsio* self, long reference)
{
    (void)self;
    return reference == 0 ? SIM_ASE_OK : SIM_ASE_InvalidParameter;
}

static ASIOError SIM_THISCALL getSamplePosition(SimAsio* self, SimSamples* position,
                                                SimTimeStamp* stamp)
{
    LARGE_INTEGER now;
    unsigned long long ns;
    InterlockedIncrement(&self->samplePositionCalls);
    if (!position || !stamp)
        return SIM_ASE_InvalidParameter;
    position->hi = (unsigned long)((unsigned long long)self->samplePosition >> 32);
    position->lo = (unsigned long)self->samplePosition;
    QueryPerformanceCounter(&now);
    ns = (unsigned long long)((double)now.QuadPart * 1e9 / (double)self->frequency);
    stamp->hi = (unsigned long)(ns >> 32);
    stamp->lo = (unsigned long)ns;
    return SIM_ASE_OK;
}

static ASIOError SIM_THISCALL getChannelInfo(SimAsio* self, SimChannelInfo* info)
{
    long count, k;
    if (!info)
        return SIM_ASE_InvalidParameter;
    count = info->isInput ? self->config.inputs : self->config.outputs;
    if (!self->initialised || info->channel < 0 || info->channel >= count)
        return SIM_ASE_InvalidParameter;
    info->isActive = 0;
    for (k = 0; k < self->channelCount; ++k)
        if (!self->channels[k].isInput == !info->isInput
            && self->channels[k].channel == info->channel)
            info->isActive = 1;
    info->channelGroup = 0;
    info->type = simConfigType(&self->config, info->isInput != 0, info->channel);
    snprintf(info->name, sizeof info->name, "%s %ld", info->isInput ? "In" : "Out",
             info->channel + 1);
    return SIM_ASE_OK;
}

/* The WAV file keeps each output's own format only when all of them share one. */
static long wavNativeType(const SimAsio* self)
{
    long k, type = 0;
    if (self->config.wavFormat != SIM_WAV_NATIVE)
        return 0;
    for (k = 0; k < self->channelCount; ++k) {
        const SimChannel* ch = &self->channels[k];
        if (ch->isInput)
            continue;
        if (type && ch->type != type)
            return 0;
        type = ch->type;
    }
    switch (type) {
    case SIM_Int16LSB: case SIM_Int24LSB: case SIM_Int32LSB: case SIM_Float32LSB:
    case SIM_Float64LSB:
        return type;
    default:
        return 0;
    }
}

static int allocateChannels(SimAsio* self, SimBufferInfo* infos, long count, long frames)
{
    long k;
    self->channels = (SimChannel*)calloc((size_t)count, sizeof(SimChannel));
    if (!self->channels)
        return 0;
    self->channelCount = count;
    for (k = 0; k < count; ++k) {
        SimChannel* ch = &self->channels[k];
        long limit = infos[k].isInput ? self->config.inputs : self->config.outputs;
        int width;
        if (infos[k].channelNum < 0 || infos[k].channelNum >= limit)
            return 0;
        ch->isInput = infos[k].isInput != 0;
        ch->channel = infos[k].channelNum;
        ch->type = simConfigType(&self->config, ch->isInput, ch->channel);
        width = simSampleWidth(ch->type);
        /* A format of unknown width still gets room, as a real card would have. */
        width = width ? width : 8;
        ch->buffers[0] = (unsigned char*)calloc((size_t)frames, (size_t)width);
        ch->buffers[1] = (unsigned char*)calloc((size_t)frames, (size_t)width);
        if (!ch->buffers[0] || !ch->buffers[1])
            return 0;
    }
    return 1;
}

static ASIOError SIM_THISCALL createBuffers(SimAsio* self, SimBufferInfo* infos, long count,
                                            long frames, SimCallbacks* callbacks)
{
    long k, outputs = 0;
    InterlockedIncrement(&self->createBuffersCalls);
    if (!self->initialised)
        return SIM_ASE_NotPresent;
    if (self->channels)
        return SIM_ASE_InvalidMode;
    if (!infos || count <= 0 || frames <= 0 || !callbacks || !callbacks->bufferSwitch)
        return SIM_ASE_InvalidParameter;
    for (k = 0; k < count; ++k)
        infos[k].buffers[0] = infos[k].buffers[1] = NULL;
    if (self->config.failCreateBuffers)
        return SIM_ASE_NoMemory;
    fault(self->config.faultCreateBuffers);
    self->frames = frames;
    if (!allocateChannels(self, infos, count, frames)) {
        freeBuffers(self);
        return SIM_ASE_InvalidParameter;
    }
    self->createdChannels = count;
    for (k = 0; k < count; ++k) {
        infos[k].buffers[0] = self->channels[k].buffers[0];
        infos[k].buffers[1] = self->channels[k].buffers[1];
        outputs += !self->channels[k].isInput;
    }
    self->callbacks = *callbacks;
    self->useTimeInfo = self->config.timeInfo && callbacks->asioMessage
                        && callbacks->bufferSwitchTimeInfo
                        && callbacks->asioMessage(SIM_kAsioSelectorSupported,
                                                  SIM_kAsioSupportsTimeInfo, NULL, NULL)
                        && callbacks->asioMessage(SIM_kAsioSupportsTimeInfo, 0, NULL, NULL);
    simWavOpen(&self->wav, self->config.wavPath, (int)outputs, wavNativeType(self),
               self->sampleRate, frames);
    return SIM_ASE_OK;
}

static ASIOError SIM_THISCALL disposeBuffers(SimAsio* self)
{
    InterlockedIncrement(&self->disposeBuffersCalls);
    if (self->started)
        InterlockedIncrement(&self->disposeWhileStarted);
    if (!self->channels)
        return SIM_ASE_InvalidMode;
    if (onClockThread(self))
        return SIM_ASE_InvalidMode;
    if (self->config.rogue == SIM_ROGUE_UNTIL_RELEASE && self->rogueRequested)
        return SIM_ASE_OK;  /* the buffers stay until release, still switched */
    self->started = 0;
    endClock(self);
    simWriteStats(self);
    freeBuffers(self);
    return SIM_ASE_OK;
}

static ASIOError SIM_THISCALL controlPanel(SimAsio* self)
{
    InterlockedIncrement(&self->controlPanelCalls);
    simWriteStats(self);
    if (self->config.panelMessage != 0 && self->callbacks.asioMessage)
        self->callbacks.asioMessage(self->config.panelMessage, 0, NULL, NULL);
    return SIM_ASE_OK;
}

static ASIOError SIM_THISCALL future(SimAsio* self, long selector, void* opt)
{
    (void)self;
    (void)selector;
    (void)opt;
    return SIM_ASE_InvalidParameter;
}

static ASIOError SIM_THISCALL outputReady(SimAsio* self)
{
    LARGE_INTEGER now;
    InterlockedIncrement(&self->outputReadyCalls);
    if (!self->inRun || self->answered)
        return SIM_ASE_OK;
    if (self->twinThread && onClockThread(self))
        simTwinSwitch(self);
    QueryPerformanceCounter(&now);
    if (self->config.clockMode != SIM_CLOCK_FAST
        && now.QuadPart - self->switchTicks > self->periodTicks)
        InterlockedIncrement(&self->late);
    self->answered = 1;
    SetEvent(self->wake);
    return SIM_ASE_OK;
}

static const SimAsioVtbl kVtbl = {
    queryInterface, addRef, release, init, getDriverName, getDriverVersion, getErrorMessage,
    start, stop, getChannels, getLatencies, getBufferSize, canSampleRate, getSampleRate,
    setSampleRate, getClockSources, setClockSource, getSamplePosition, getChannelInfo,
    createBuffers, disposeBuffers, controlPanel, future, outputReady,
};

static int readKeyConfig(HKEY root, const char* path, const char* name, SimAsio* self)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    copyText(self->keyName, name, sizeof self->keyName);
    simConfigRead(&self->config, key);
    RegCloseKey(key);
    return 1;
}

/* The driver key named by the class key's "DriverKey" value (written at registration). */
static int findNamedDriverKey(REFCLSID clsid, SimAsio* self)
{
    WCHAR wide[64];
    char text[64], path[1024], classKey[128];
    char* name;
    DWORD bytes = sizeof path - 1, type;
    HKEY key;
    int ok;
    if (!StringFromGUID2(clsid, wide, 64)
        || !WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, NULL, NULL))
        return 0;
    snprintf(classKey, sizeof classKey, "CLSID\\%s", text);
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, classKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    ok = RegQueryValueExA(key, "DriverKey", NULL, &type, (BYTE*)path, &bytes) == ERROR_SUCCESS
         && type == REG_SZ;
    RegCloseKey(key);
    if (!ok)
        return 0;
    path[bytes] = '\0';
    name = strrchr(path, '\\');
    if (!name)
        return readKeyConfig(HKEY_LOCAL_MACHINE, path, path, self);
    /* Parent first, then the name alone: a path may be longer than the A functions take. */
    *name = '\0';
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    ok = readKeyConfig(key, name + 1, name + 1, self);
    RegCloseKey(key);
    return ok;
}

/* Otherwise: the key under Software\ASIO whose "CLSID" value names the class. */
static int findDriverKey(REFCLSID clsid, SimAsio* self)
{
    HKEY asio, key;
    char name[SIM_KEY_NAME], text[128];
    WCHAR wide[128];
    CLSID parsed;
    DWORD i, bytes, type, length;
    LONG status = ERROR_SUCCESS;
    int found = 0;
    if (findNamedDriverKey(clsid, self))
        return 1;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\ASIO", 0, KEY_READ, &asio) != ERROR_SUCCESS)
        return 0;
    /* A key that cannot be read is passed over; only the end of the list ends the search. */
    for (i = 0; !found && status != ERROR_NO_MORE_ITEMS && i < kMaxDriverKeys; ++i) {
        length = sizeof name;
        status = RegEnumKeyExA(asio, i, name, &length, NULL, NULL, NULL, NULL);
        if (status != ERROR_SUCCESS
            || RegOpenKeyExA(asio, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        bytes = sizeof text - 1;
        if (RegQueryValueExA(key, "CLSID", NULL, &type, (BYTE*)text, &bytes) == ERROR_SUCCESS
            && type == REG_SZ) {
            text[bytes] = '\0';
            MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 128);
            if (SUCCEEDED(CLSIDFromString(wide, &parsed)) && IsEqualGUID(&parsed, clsid))
                found = readKeyConfig(asio, name, name, self);
        }
        RegCloseKey(key);
    }
    RegCloseKey(asio);
    return found;
}

HRESULT simAsioCreate(REFCLSID clsid, REFIID iid, void** out)
{
    SimAsio* self;
    LARGE_INTEGER frequency;
    HRESULT hr;
    *out = NULL;
    self = (SimAsio*)calloc(1, sizeof *self);
    if (!self)
        return E_OUTOFMEMORY;
    self->vtbl = &kVtbl;
    self->refs = 1;
    self->clsid = *clsid;
    simConfigDefaults(&self->config);
    if (!findDriverKey(clsid, self)) {
        free(self);
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    if (self->config.refuseCreate) {
        hr = (HRESULT)self->config.refuseCreate;
        free(self);
        return hr;
    }
    self->sampleRate = self->config.sampleRate;
    QueryPerformanceFrequency(&frequency);
    self->frequency = frequency.QuadPart;
    self->wake = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (!self->wake) {
        free(self);
        return E_OUTOFMEMORY;
    }
    simAsioModuleLock(1);
    hr = queryInterface(self, iid, out);
    release(self);
    return hr;
}
