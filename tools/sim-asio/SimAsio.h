/* Zumbrel Simulated Sound Card: an ASIO driver without hardware, written in plain C so that
 * it shares no declaration with the host. Its vtable is spelled out below: the three COM base
 * operations are stdcall, every ASIO operation is thiscall on 32-bit x86, as the published
 * interface is laid out by C++ compilers there.
 *
 * Behaviour is read from values under the driver's own key HKLM\Software\ASIO\<name> when
 * the object is created (see SimAsioConfig.c for the list). */
#ifndef SIM_ASIO_H
#define SIM_ASIO_H

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <objbase.h>
#include <stdio.h>

#if defined(__i386__)
#define SIM_THISCALL __attribute__((thiscall))
#else
#define SIM_THISCALL
#endif

typedef long ASIOBool;
typedef long ASIOError;

enum {
    SIM_ASE_OK = 0,
    SIM_ASE_SUCCESS = 0x3f4847a0,
    SIM_ASE_NotPresent = -1000,
    SIM_ASE_HWMalfunction = -999,
    SIM_ASE_InvalidParameter = -998,
    SIM_ASE_InvalidMode = -997,
    SIM_ASE_NoClock = -995,
    SIM_ASE_NoMemory = -994
};

enum {
    SIM_kAsioSelectorSupported = 1,
    SIM_kAsioResetRequest = 3,
    SIM_kAsioBufferSizeChange = 4,
    SIM_kAsioResyncRequest = 5,
    SIM_kAsioSupportsTimeInfo = 7
};

/* Sample type codes used by the simulation's own conversion. */
enum {
    SIM_Int16LSB = 16, SIM_Int24LSB = 17, SIM_Int32LSB = 18, SIM_Float32LSB = 19,
    SIM_Float64LSB = 20, SIM_Int32LSB16 = 24, SIM_Int32LSB18 = 25, SIM_Int32LSB20 = 26,
    SIM_Int32LSB24 = 27
};

typedef struct { unsigned long hi, lo; } SimSamples;
typedef struct { unsigned long hi, lo; } SimTimeStamp;

typedef struct {
    long asioVersion;
    long driverVersion;
    char name[32];
    char errorMessage[124];
    void* sysRef;
} SimDriverInfo;

typedef struct {
    long index, associatedChannel, associatedGroup;
    ASIOBool isCurrentSource;
    char name[32];
} SimClockSource;

typedef struct {
    long channel;
    ASIOBool isInput;
    ASIOBool isActive;
    long channelGroup;
    long type;
    char name[32];
} SimChannelInfo;

typedef struct {
    ASIOBool isInput;
    long channelNum;
    void* buffers[2];
} SimBufferInfo;

typedef struct {
    double speed;
    SimTimeStamp systemTime;
    SimSamples samplePosition;
    double sampleRate;
    unsigned long flags;
    char reserved[12];
} SimTimeInfo;

typedef struct {
    double speed;
    SimSamples timeCodeSamples;
    unsigned long flags;
    char future[64];
} SimTimeCode;

typedef struct {
    long reserved[4];
    SimTimeInfo timeInfo;
    SimTimeCode timeCode;
} SimTime;

typedef struct {
    void (*bufferSwitch)(long index, ASIOBool directProcess);
    void (*sampleRateDidChange)(double rate);
    long (*asioMessage)(long selector, long value, void* message, double* opt);
    SimTime* (*bufferSwitchTimeInfo)(SimTime* params, long index, ASIOBool directProcess);
} SimCallbacks;

typedef struct SimAsio SimAsio;

typedef struct {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(SimAsio* self, REFIID iid, void** out);
    ULONG(STDMETHODCALLTYPE* AddRef)(SimAsio* self);
    ULONG(STDMETHODCALLTYPE* Release)(SimAsio* self);
    ASIOBool(SIM_THISCALL* init)(SimAsio* self, void* sysHandle);
    void(SIM_THISCALL* getDriverName)(SimAsio* self, char* name);
    long(SIM_THISCALL* getDriverVersion)(SimAsio* self);
    void(SIM_THISCALL* getErrorMessage)(SimAsio* self, char* text);
    ASIOError(SIM_THISCALL* start)(SimAsio* self);
    ASIOError(SIM_THISCALL* stop)(SimAsio* self);
    ASIOError(SIM_THISCALL* getChannels)(SimAsio* self, long* inputs, long* outputs);
    ASIOError(SIM_THISCALL* getLatencies)(SimAsio* self, long* input, long* output);
    ASIOError(SIM_THISCALL* getBufferSize)(SimAsio* self, long* minSize, long* maxSize,
                                           long* preferred, long* granularity);
    ASIOError(SIM_THISCALL* canSampleRate)(SimAsio* self, double rate);
    ASIOError(SIM_THISCALL* getSampleRate)(SimAsio* self, double* rate);
    ASIOError(SIM_THISCALL* setSampleRate)(SimAsio* self, double rate);
    ASIOError(SIM_THISCALL* getClockSources)(SimAsio* self, SimClockSource* clocks, long* count);
    ASIOError(SIM_THISCALL* setClockSource)(SimAsio* self, long reference);
    ASIOError(SIM_THISCALL* getSamplePosition)(SimAsio* self, SimSamples* position,
                                               SimTimeStamp* stamp);
    ASIOError(SIM_THISCALL* getChannelInfo)(SimAsio* self, SimChannelInfo* info);
    ASIOError(SIM_THISCALL* createBuffers)(SimAsio* self, SimBufferInfo* infos, long count,
                                           long frames, SimCallbacks* callbacks);
    ASIOError(SIM_THISCALL* disposeBuffers)(SimAsio* self);
    ASIOError(SIM_THISCALL* controlPanel)(SimAsio* self);
    ASIOError(SIM_THISCALL* future)(SimAsio* self, long selector, void* opt);
    ASIOError(SIM_THISCALL* outputReady)(SimAsio* self);
} SimAsioVtbl;

/* ---- configuration (SimAsioConfig.c) ---- */

#define SIM_MAX_RATES 16
#define SIM_MAX_TYPES 256
#define SIM_TEXT 260
#define SIM_KEY_NAME 256 /* registry key names: up to 255 characters */

/* Real time waits on a timer, as a card's interrupt would wake a driver, and costs the host's
 * process almost nothing; precise real time also spins through the last moments before each
 * switch, for tests that measure a host's lateness to the microsecond. */
enum { SIM_CLOCK_FAST = 0, SIM_CLOCK_REALTIME = 1, SIM_CLOCK_PRECISE = 2 };
enum { SIM_SIGNAL_SILENCE = 0, SIM_SIGNAL_SINE = 1 };
enum { SIM_WAV_FLOAT = 0, SIM_WAV_NATIVE = 1 };
/* A well-behaved driver stops calling back in stop(); the others keep going for a while. */
enum { SIM_ROGUE_NONE = 0, SIM_ROGUE_UNTIL_DISPOSE = 1, SIM_ROGUE_UNTIL_RELEASE = 2 };
/* A driver that faults inside a call: an access violation, or a C++ exception of the
 * compilers drivers are usually built with, left unhandled. */
enum { SIM_FAULT_NONE = 0, SIM_FAULT_ACCESS = 1, SIM_FAULT_CPP_EXCEPTION = 2 };
/* A driver whose rate change fails: with an error, or claiming success while the rate stays. */
enum { SIM_SET_RATE_WORKS = 0, SIM_SET_RATE_FAILS = 1, SIM_SET_RATE_IGNORED = 2 };
/* A driver that cannot tell its rate: an error, or success with NaN or 0. */
enum { SIM_GET_RATE_WORKS = 0, SIM_GET_RATE_FAILS = 1, SIM_GET_RATE_NAN = 2, SIM_GET_RATE_ZERO = 3 };

typedef struct {
    long inputs, outputs;
    long defaultType;
    long types[SIM_MAX_TYPES]; /* per channel, inputs first; defaultType where not given */
    long minSize, maxSize, preferredSize, granularity;
    long inputLatency, outputLatency;
    double sampleRate;
    double rates[SIM_MAX_RATES];
    int rateCount;
    int failInit;
    char initError[124];
    int failCreateBuffers;
    int failGetSampleRate; /* SIM_GET_RATE_... */
    int failGetChannels;
    int failGetBufferSize;
    int failSetSampleRate; /* SIM_SET_RATE_... */
    int faultCreateBuffers; /* SIM_FAULT_... */
    int faultStart;
    long panelMessage;
    long refuseCreate; /* non-zero HRESULT answered by the class factory */
    int timeInfo;      /* ask the host for bufferSwitchTimeInfo */
    int directProcess;
    int clockMode;
    long blockLimit;   /* 0: until stopped */
    long answerTimeoutMs;
    long switchesInStart;
    long messageSelector;    /* sent to the host's asioMessage during a run */
    long messageAfterBlocks; /* first message after that many blocks; 0: see messageEvery */
    long messageEveryBlocks; /* then again every that many blocks; 0: once */
    long switchThreads;      /* 2: a second thread switches while the first is inside */
    int rogue;
    int signal;
    double signalFrequency;
    double signalAmplitude;
    char wavPath[SIM_TEXT];
    int wavFormat;
    char statsPath[SIM_TEXT];
} SimConfig;

void simConfigDefaults(SimConfig* config);
/* Reads the values under the open driver key over the defaults. */
void simConfigRead(SimConfig* config, HKEY driverKey);
long simConfigType(const SimConfig* config, int isInput, long channel);

/* ---- signal and sample formats (SimAsioFormat.c) ---- */

int simSampleWidth(long type);
/* Writes one sample in [-1, 1] in the given format; unknown formats are left alone. */
void simWriteSample(unsigned char* out, long type, double value);
/* Reads one sample as a double in [-1, 1]; 0 for formats the simulation does not read. */
double simReadSample(const unsigned char* in, long type);

/* ---- WAV recording and statistics (SimAsioRecord.c) ---- */

typedef struct {
    FILE* file;
    int channels;
    int nativeType; /* 0: floats */
    int bytesPerSample;
    unsigned long dataBytes;
    double rate;
    unsigned char* scratch; /* one interleaved block */
} SimWav;

int simWavOpen(SimWav* wav, const char* path, int channels, long nativeType, double rate,
               long frames);
void simWavWriteBlock(SimWav* wav, SimAsio* self, long index);
void simWavClose(SimWav* wav);
void simWriteStats(SimAsio* self);

/* ---- the driver object (SimAsioDriver.c, SimAsioClock.c) ---- */

typedef struct {
    int isInput;
    long channel;
    long type;
    unsigned char* buffers[2];
} SimChannel;

struct SimAsio {
    const SimAsioVtbl* vtbl;
    volatile LONG refs;
    CLSID clsid;
    char keyName[SIM_KEY_NAME];
    SimConfig config;
    int initialised;
    double sampleRate;

    SimChannel* channels;
    long channelCount;
    long frames;
    long createdChannels; /* channels of the last buffers created, for the statistics */
    SimCallbacks callbacks;
    int useTimeInfo;
    int started;

    HANDLE clockThread;
    DWORD clockThreadId;
    /* SwitchThreads=2: the second switching thread, started and ended by the clock thread */
    HANDLE twinThread;
    HANDLE twinGo, twinDone; /* auto-reset */
    volatile LONG twinStop;
    long currentIndex;       /* half-buffer of the clock's switch under way */
    HANDLE wake; /* auto-reset: an answer from the host or a stop request */
    volatile LONG stopRequested;
    volatile LONG rogueRequested;
    volatile LONG answered;
    LONGLONG samplePosition;
    LONGLONG switchTicks; /* performance counter at the current switch */
    LONGLONG periodTicks;
    LONGLONG frequency;
    LONG inRun; /* the current block belongs to a started run */
    int hostAnswering; /* the host has answered a block of this run */
    long warmUpBlocks;
    SimWav wav;

    /* statistics */
    volatile LONG blocks, outputReadyCalls, answeredBlocks, late, missed;
    volatile LONG starts, stops, resets, rogueSwitches, touchedOutsideRun, samplePositionCalls;
    volatile LONG timeInfoSwitches, plainSwitches, setSampleRateCalls;
    volatile LONG createBuffersCalls, disposeBuffersCalls, disposeWhileStarted, released;
    volatile LONG controlPanelCalls;
    volatile LONG messages, lastMessageAnswer, twinSwitches;
    volatile LONG inside, maxInside; /* threads inside the host's callbacks: now, at most */
    /* real time: how late the switches came after their due time */
    LONGLONG switchLateTicksTotal, switchLateTicksMax;
    long timedSwitches;
};

HRESULT simAsioCreate(REFCLSID clsid, REFIID iid, void** out);
void simAsioModuleLock(int add);

/* Clock thread control. */
ASIOError simClockStart(SimAsio* self);
void simClockStop(SimAsio* self);   /* safe on the clock thread itself */
void simClockJoin(SimAsio* self);   /* never called on the clock thread */
void simSwitch(SimAsio* self, long index);
void simRogueSwitch(SimAsio* self, long index); /* a switch outside a run, checked */
void simFillInputs(SimAsio* self, long index);
/* SwitchThreads=2, called inside the host's outputReady on the clock thread: the second
 * thread switches the same half-buffer and returns before this does. */
void simTwinSwitch(SimAsio* self);

extern HINSTANCE simModule;

#endif
