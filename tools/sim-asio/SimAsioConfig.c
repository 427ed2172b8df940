/* Configuration of one simulated driver, read from values under its driver key. Every value
 * is optional; numbers may be REG_DWORD or REG_SZ (decimal, fractions allowed), lists are
 * REG_SZ with comma-separated numbers.
 *
 *   Inputs, Outputs                 channel counts (default 2 and 2)
 *   SampleType                      type code of every channel (default 18, Int32LSB)
 *   SampleTypes                     list of type codes per channel, inputs first
 *   MinSize, MaxSize, PreferredSize, Granularity   buffer sizes (default 64, 2048, 256, -1)
 *   InputLatency, OutputLatency     frames (default: the preferred size)
 *   SampleRate                      current rate in Hz (default 44100; 0 is allowed)
 *   SampleRates                     rates canSampleRate accepts (default 44100,48000,88200,96000)
 *   FailInit + InitError            init answers false, getErrorMessage gives the text
 *   FailCreateBuffers, FailGetChannels, FailGetBufferSize
 *                                   that call answers an error
 *   FailGetSampleRate               1: getSampleRate answers an error; 2: success with NaN;
 *                                   3: success with 0
 *   FailSetSampleRate               canSampleRate still accepts the rate, but setSampleRate
 *                                   1: answers an error; 2: answers success; the rate stays
 *   FaultCreateBuffers, FaultStart  that call faults: 1 an access violation, 2 an unhandled
 *                                   C++ exception (code 0xE06D7363)
 *   RefuseCreate                    HRESULT the class factory answers (1 means E_FAIL)
 *   PanelMessage                    asioMessage selector sent when the control panel is
 *                                   opened, as after a setting changed there (3: reset)
 *   TimeInfo                        ask the host for bufferSwitchTimeInfo (default 1)
 *   DirectProcess                   flag passed with each switch (default 1)
 *   RealTime                        1: a switch per buffer period, waiting on a timer; 2: the same
 *                                   with exact switch times (spins before each); 0: as fast as
 *                                   the host answers
 *   BlockLimit                      blocks per start, 0 for no limit
 *   AnswerTimeoutMs                 fast mode: how long to wait for outputReady (default 2000)
 *   SwitchesInStart                 switches made from inside start(), before it returns
 *   MessageSelector                 asioMessage selector sent during a run (default 3, the
 *                                   reset request; 4 buffer size change, with the size as
 *                                   value; 5 resync request)
 *   MessageAfterBlocks              send it after that many blocks of a run
 *   MessageEveryBlocks              and again every that many blocks (alone: from the first)
 *   ResetAfterBlocks                older name of MessageAfterBlocks
 *   SwitchThreads                   2: a second thread makes each switch of a direct-process
 *                                   run once more, while the clock thread's switch is still
 *                                   inside the host (from its outputReady), and returns
 *                                   before that switch goes on
 *   Rogue                           1: keep switching after stop until disposeBuffers;
 *                                   2: until the object is released
 *   Signal, SignalFrequency, SignalAmplitude   input signal: 0 silence, 1 sine (440 Hz, 0.5);
 *                                   channel c runs at (c + 1) times the frequency
 *   WavFile, WavFormat              record every output channel; 0 float, 1 the channel's format
 *   StatsFile                       counters written when the clock ends, at dispose and at
 *                                   the final release */
#include "SimAsio.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

static const double kDefaultRates[] = {44100.0, 48000.0, 88200.0, 96000.0};
enum { kMaxChannels = 4096, kMaxFrames = 65536, kDefaultTimeoutMs = 2000 };

void simConfigDefaults(SimConfig* c)
{
    int i;
    memset(c, 0, sizeof *c);
    c->inputs = 2;
    c->outputs = 2;
    c->defaultType = SIM_Int32LSB;
    for (i = 0; i < SIM_MAX_TYPES; ++i)
        c->types[i] = -1;
    c->minSize = 64;
    c->maxSize = 2048;
    c->preferredSize = 256;
    c->granularity = -1;
    c->inputLatency = -1;
    c->outputLatency = -1;
    c->sampleRate = 44100.0;
    c->rateCount = (int)(sizeof kDefaultRates / sizeof kDefaultRates[0]);
    for (i = 0; i < c->rateCount; ++i)
        c->rates[i] = kDefaultRates[i];
    strcpy(c->initError, "Simulated init failure");
    c->timeInfo = 1;
    c->directProcess = 1;
    c->clockMode = SIM_CLOCK_FAST;
    c->answerTimeoutMs = kDefaultTimeoutMs;
    c->signal = SIM_SIGNAL_SILENCE;
    c->messageSelector = SIM_kAsioResetRequest;
    c->switchThreads = 1;
    c->signalFrequency = 440.0;
    c->signalAmplitude = 0.5;
}

static int readText(HKEY key, const char* name, char* out, DWORD size)
{
    DWORD type = 0;
    DWORD bytes = size - 1;
    if (RegQueryValueExA(key, name, NULL, &type, (BYTE*)out, &bytes) != ERROR_SUCCESS
        || type != REG_SZ)
        return 0;
    out[bytes < size ? bytes : size - 1] = '\0';
    return 1;
}

static int readNumber(HKEY key, const char* name, double* out)
{
    char text[64];
    DWORD type = 0;
    DWORD bytes = sizeof text - 1;
    if (RegQueryValueExA(key, name, NULL, &type, (BYTE*)text, &bytes) != ERROR_SUCCESS)
        return 0;
    if (type == REG_DWORD && bytes == sizeof(DWORD)) {
        DWORD v;
        memcpy(&v, text, sizeof v);
        *out = (double)(LONG)v;
        return 1;
    }
    if (type != REG_SZ)
        return 0;
    text[bytes < sizeof text ? bytes : sizeof text - 1] = '\0';
    *out = strtod(text, NULL);
    return 1;
}

static void readLong(HKEY key, const char* name, long* out, long low, long high)
{
    double v;
    if (!readNumber(key, name, &v))
        return;
    *out = v < low ? low : v > high ? high : (long)v;
}

static void readFlag(HKEY key, const char* name, int* out)
{
    long v = *out;
    readLong(key, name, &v, LONG_MIN, LONG_MAX);
    *out = (int)v;
}

/* Parses up to `max` comma-separated numbers; returns how many. */
static int readList(HKEY key, const char* name, double* out, int max)
{
    char text[2048];
    char* p = text;
    int n = 0;
    if (!readText(key, name, text, sizeof text))
        return -1;
    while (*p && n < max) {
        char* end;
        double v = strtod(p, &end);
        if (end == p)
            break;
        out[n++] = v;
        p = end;
        while (*p == ',' || *p == ' ')
            ++p;
    }
    return n;
}

void simConfigRead(SimConfig* c, HKEY key)
{
    double list[SIM_MAX_TYPES];
    int n, i;
    long v;

    readLong(key, "Inputs", &c->inputs, 0, kMaxChannels);
    readLong(key, "Outputs", &c->outputs, 0, kMaxChannels);
    readLong(key, "SampleType", &c->defaultType, LONG_MIN, LONG_MAX);
    n = readList(key, "SampleTypes", list, SIM_MAX_TYPES);
    for (i = 0; i < n; ++i)
        c->types[i] = (long)list[i];
    readLong(key, "MinSize", &c->minSize, 0, kMaxFrames);
    readLong(key, "MaxSize", &c->maxSize, 0, kMaxFrames);
    readLong(key, "PreferredSize", &c->preferredSize, 0, kMaxFrames);
    readLong(key, "Granularity", &c->granularity, -1, kMaxFrames);
    readLong(key, "InputLatency", &c->inputLatency, -1, LONG_MAX);
    readLong(key, "OutputLatency", &c->outputLatency, -1, LONG_MAX);
    if (c->inputLatency < 0)
        c->inputLatency = c->preferredSize;
    if (c->outputLatency < 0)
        c->outputLatency = c->preferredSize;
    readNumber(key, "SampleRate", &c->sampleRate);
    n = readList(key, "SampleRates", c->rates, SIM_MAX_RATES);
    if (n >= 0)
        c->rateCount = n;
    readFlag(key, "FailInit", &c->failInit);
    readText(key, "InitError", c->initError, sizeof c->initError);
    readFlag(key, "FailCreateBuffers", &c->failCreateBuffers);
    readFlag(key, "FailGetSampleRate", &c->failGetSampleRate);
    readFlag(key, "FailGetChannels", &c->failGetChannels);
    readFlag(key, "FailGetBufferSize", &c->failGetBufferSize);
    readFlag(key, "FailSetSampleRate", &c->failSetSampleRate);
    readFlag(key, "FaultCreateBuffers", &c->faultCreateBuffers);
    readFlag(key, "FaultStart", &c->faultStart);
    readLong(key, "PanelMessage", &c->panelMessage, LONG_MIN, LONG_MAX);
    v = 0;
    readLong(key, "RefuseCreate", &v, LONG_MIN, LONG_MAX);
    c->refuseCreate = v == 1 ? (long)E_FAIL : v;
    readFlag(key, "TimeInfo", &c->timeInfo);
    readFlag(key, "DirectProcess", &c->directProcess);
    readFlag(key, "RealTime", &c->clockMode);
    readLong(key, "BlockLimit", &c->blockLimit, 0, LONG_MAX);
    readLong(key, "AnswerTimeoutMs", &c->answerTimeoutMs, 0, 600000);
    readLong(key, "SwitchesInStart", &c->switchesInStart, 0, 1000);
    readLong(key, "ResetAfterBlocks", &c->messageAfterBlocks, 0, LONG_MAX);
    readLong(key, "MessageAfterBlocks", &c->messageAfterBlocks, 0, LONG_MAX);
    readLong(key, "MessageEveryBlocks", &c->messageEveryBlocks, 0, LONG_MAX);
    readLong(key, "MessageSelector", &c->messageSelector, LONG_MIN, LONG_MAX);
    readLong(key, "SwitchThreads", &c->switchThreads, 1, 2);
    readFlag(key, "Rogue", &c->rogue);
    readFlag(key, "Signal", &c->signal);
    readNumber(key, "SignalFrequency", &c->signalFrequency);
    readNumber(key, "SignalAmplitude", &c->signalAmplitude);
    readText(key, "WavFile", c->wavPath, sizeof c->wavPath);
    readFlag(key, "WavFormat", &c->wavFormat);
    readText(key, "StatsFile", c->statsPath, sizeof c->statsPath);
}

long simConfigType(const SimConfig* c, int isInput, long channel)
{
    long slot = isInput ? channel : c->inputs + channel;
    if (slot >= 0 && slot < SIM_MAX_TYPES && c->types[slot] != -1)
        return c->types[slot];
    return c->defaultType;
}
