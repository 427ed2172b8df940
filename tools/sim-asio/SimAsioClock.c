/* The clock thread: one buffer switch per half-buffer, alternating the index.
 *
 * Fast mode switches again as soon as the host has answered the last switch with
 * outputReady (or the answer time-out passed), so tests run at full speed. Real-time mode
 * switches once per buffer period from a high-priority thread that sleeps on a waitable timer
 * in between (with the system timer's resolution raised), so the card costs the host's process
 * next to nothing; how late each switch came after its due time is kept in the statistics.
 * Precise mode spins through the last milliseconds before each switch instead, for the tests
 * that measure a host's lateness. An outputReady that comes after the next switch was due
 * counts as late.
 *
 * stop() may be called by the host from inside a callback, on this thread (some hosts answer
 * a reset request that way): then it only raises the stop flag and the loop ends after the
 * callback returns; the thread handle is joined later from another thread.
 *
 * With SwitchThreads=2 the clock thread starts a second switching thread for the run. Each
 * time the host answers a switch of the clock thread from inside it (direct processing, its
 * outputReady), the second thread switches the same half-buffer and the answer waits until
 * that switch has returned: a second switch that surely arrives while the first one is still
 * inside the host, as drivers that call back from two threads do. */
#include "SimAsio.h"

#include <math.h>
#include <mmsystem.h>
#include <string.h>

enum { kSentinel = 0x5A, kRogueWaitMs = 20, kSpinBelowMs = 2, kFastFirstSwitchMs = 20,
       kMaxWarmUpBlocks = 100, kTimerResolutionMs = 1, kTwinWaitMs = 2000 };
static const double kTwoPi = 6.283185307179586;

static LONGLONG nowTicks(void)
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

void simFillInputs(SimAsio* self, long index)
{
    double rate = self->sampleRate > 0 ? self->sampleRate : 44100.0;
    long k, frame;
    for (k = 0; k < self->channelCount; ++k) {
        SimChannel* ch = &self->channels[k];
        int width = simSampleWidth(ch->type);
        double step = kTwoPi * self->config.signalFrequency * (double)(ch->channel + 1) / rate;
        if (!ch->isInput || !width)
            continue;
        for (frame = 0; frame < self->frames; ++frame) {
            double v = 0.0;
            if (self->config.signal == SIM_SIGNAL_SINE)
                v = self->config.signalAmplitude
                    * sin(step * (double)(self->samplePosition + frame));
            simWriteSample(ch->buffers[index] + (size_t)frame * (size_t)width, ch->type, v);
        }
    }
}

/* Counts the threads inside the host's callbacks at once. */
static void enterHost(SimAsio* self)
{
    LONG now = InterlockedIncrement(&self->inside);
    LONG most = self->maxInside;
    while (now > most) {
        LONG seen = InterlockedCompareExchange(&self->maxInside, now, most);
        if (seen == most)
            break;
        most = seen;
    }
}

void simSwitch(SimAsio* self, long index)
{
    const long direct = self->config.directProcess ? 1 : 0;
    enterHost(self);
    if (self->useTimeInfo) {
        SimTime time;
        LARGE_INTEGER now;
        unsigned long long ns;
        memset(&time, 0, sizeof time);
        QueryPerformanceCounter(&now);
        ns = (unsigned long long)((double)now.QuadPart * 1e9 / (double)self->frequency);
        time.timeInfo.speed = 1.0;
        time.timeInfo.samplePosition.hi = (unsigned long)((unsigned long long)self->samplePosition >> 32);
        time.timeInfo.samplePosition.lo = (unsigned long)self->samplePosition;
        time.timeInfo.systemTime.hi = (unsigned long)(ns >> 32);
        time.timeInfo.systemTime.lo = (unsigned long)ns;
        time.timeInfo.sampleRate = self->sampleRate;
        time.timeInfo.flags = 1 | 2 | 4; /* system time, sample position, rate valid */
        InterlockedIncrement(&self->timeInfoSwitches);
        self->callbacks.bufferSwitchTimeInfo(&time, index, direct);
    } else {
        InterlockedIncrement(&self->plainSwitches);
        self->callbacks.bufferSwitch(index, direct);
    }
    InterlockedDecrement(&self->inside);
}

void simTwinSwitch(SimAsio* self)
{
    SetEvent(self->twinGo);
    WaitForSingleObject(self->twinDone, kTwinWaitMs);
}

static DWORD WINAPI twinMain(void* arg)
{
    SimAsio* self = (SimAsio*)arg;
    for (;;) {
        WaitForSingleObject(self->twinGo, INFINITE);
        if (self->twinStop)
            break;
        InterlockedIncrement(&self->twinSwitches);
        simSwitch(self, self->currentIndex);
        SetEvent(self->twinDone);
    }
    return 0;
}

static void startTwin(SimAsio* self)
{
    if (self->config.switchThreads < 2 || !self->config.directProcess)
        return;
    self->twinStop = 0;
    self->twinGo = CreateEventA(NULL, FALSE, FALSE, NULL);
    self->twinDone = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (self->twinGo && self->twinDone)
        self->twinThread = CreateThread(NULL, 0, twinMain, self, 0, NULL);
}

static void endTwin(SimAsio* self)
{
    HANDLE thread = self->twinThread;
    self->twinThread = NULL;
    if (thread) {
        self->twinStop = 1;
        SetEvent(self->twinGo);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    if (self->twinGo)
        CloseHandle(self->twinGo);
    if (self->twinDone)
        CloseHandle(self->twinDone);
    self->twinGo = self->twinDone = NULL;
}

/* Whether the configured message is due after block `block` (counted from 1) of a run. */
static int messageDue(const SimConfig* c, long block)
{
    const long first = c->messageAfterBlocks ? c->messageAfterBlocks : c->messageEveryBlocks;
    if (!first || block < first)
        return 0;
    return block == first
           || (c->messageEveryBlocks && (block - first) % c->messageEveryBlocks == 0);
}

static void sendMessage(SimAsio* self)
{
    const long selector = self->config.messageSelector;
    const long value = selector == SIM_kAsioBufferSizeChange ? self->frames : 0;
    InterlockedIncrement(&self->messages);
    if (selector == SIM_kAsioResetRequest)
        InterlockedIncrement(&self->resets);
    self->lastMessageAnswer = self->callbacks.asioMessage(selector, value, NULL, NULL);
}

/* Waits for outputReady or a stop request, at most `ms` milliseconds. */
static void waitAnswer(SimAsio* self, long ms)
{
    LONGLONG end = nowTicks() + (LONGLONG)ms * self->frequency / 1000;
    while (!self->answered && !self->stopRequested) {
        LONGLONG left = end - nowTicks();
        if (left <= 0)
            break;
        WaitForSingleObject(self->wake, (DWORD)(left * 1000 / self->frequency) + 1);
    }
}

/* Sleeps on the timer until the performance counter reaches `due` or a stop is requested;
 * the host's answers wake the thread too and are passed over. */
static void sleepUntil(SimAsio* self, HANDLE timer, LONGLONG due)
{
    for (;;) {
        HANDLE handles[2];
        LARGE_INTEGER relative;
        LONGLONG left = due - nowTicks();
        if (left <= 0 || self->stopRequested)
            return;
        relative.QuadPart = -(left * 10000000 / self->frequency); /* 100 ns, relative */
        if (!timer || relative.QuadPart == 0
            || !SetWaitableTimer(timer, &relative, 0, NULL, NULL, FALSE)) {
            WaitForSingleObject(self->wake, (DWORD)(left * 1000 / self->frequency) + 1);
            continue;
        }
        handles[0] = timer;
        handles[1] = self->wake;
        WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    }
}

/* Waits until the performance counter reaches `due`; precise mode sleeps while far and
 * yields when near. */
static void waitUntil(SimAsio* self, HANDLE timer, LONGLONG due)
{
    if (self->config.clockMode != SIM_CLOCK_PRECISE) {
        sleepUntil(self, timer, due);
        return;
    }
    sleepUntil(self, timer, due - (LONGLONG)kSpinBelowMs * self->frequency / 1000);
    while (nowTicks() < due && !self->stopRequested)
        SwitchToThread();
}

/* How late a real-time switch came after its due time. */
static void noteSwitchTime(SimAsio* self, LONGLONG due)
{
    LONGLONG late = self->switchTicks - due;
    if (late < 0)
        late = 0;
    self->switchLateTicksTotal += late;
    if (late > self->switchLateTicksMax)
        self->switchLateTicksMax = late;
    ++self->timedSwitches;
}

/* A switch outside a run, as a misbehaving driver makes it: the output half is marked first,
 * so a host that writes into it shows. */
void simRogueSwitch(SimAsio* self, long index)
{
    long k;
    int width;
    InterlockedIncrement(&self->rogueSwitches);
    for (k = 0; k < self->channelCount; ++k) {
        SimChannel* ch = &self->channels[k];
        width = simSampleWidth(ch->type);
        if (!ch->isInput && width)
            memset(ch->buffers[index], kSentinel, (size_t)self->frames * (size_t)width);
    }
    simSwitch(self, index);
    WaitForSingleObject(self->wake, kRogueWaitMs);
    for (k = 0; k < self->channelCount; ++k) {
        SimChannel* ch = &self->channels[k];
        long i, bytes;
        width = simSampleWidth(ch->type);
        if (ch->isInput || !width)
            continue;
        bytes = self->frames * width;
        for (i = 0; i < bytes; ++i)
            if (ch->buffers[index][i] != kSentinel) {
                InterlockedIncrement(&self->touchedOutsideRun);
                break;
            }
    }
}

/* Runs one block of a run; 0 for a warm-up block. A host marks itself running only once
 * start() has returned, so it may skip the first switches of a run: unanswered blocks
 * before the host's first answer are neither counted nor missed. */
static int runBlock(SimAsio* self, HANDLE timer, long index, long blockInRun, LONGLONG* due)
{
    const int warmUp = !self->hostAnswering && self->warmUpBlocks < kMaxWarmUpBlocks;
    simFillInputs(self, index);
    self->answered = 0;
    self->switchTicks = nowTicks();
    self->currentIndex = index;
    self->inRun = 1;
    if (self->config.clockMode != SIM_CLOCK_FAST)
        noteSwitchTime(self, *due);
    simSwitch(self, index);
    if (self->config.clockMode != SIM_CLOCK_FAST) {
        *due += self->periodTicks;
        if (*due < nowTicks() - self->periodTicks)
            *due = nowTicks(); /* fell behind by more than a period: start afresh */
        waitUntil(self, timer, *due);
    } else {
        /* With direct processing the answer comes before the switch returns. */
        const int known = warmUp && self->config.directProcess;
        waitAnswer(self, known ? 0 : self->config.answerTimeoutMs);
    }
    self->inRun = 0;
    self->samplePosition += self->frames;
    if (!self->answered && warmUp) {
        ++self->warmUpBlocks;
        return 0;
    }
    self->hostAnswering |= self->answered;
    InterlockedIncrement(&self->blocks);
    if (self->answered) {
        InterlockedIncrement(&self->answeredBlocks);
        simWavWriteBlock(&self->wav, self, index);
    } else if (!self->stopRequested) {
        InterlockedIncrement(&self->missed);
    }
    if (messageDue(&self->config, blockInRun) && self->callbacks.asioMessage)
        sendMessage(self);
    return 1;
}

/* Like a card, the first switch of a run comes a period after start (in fast mode after a
 * short pause), which gives the host time to mark itself running. */
static void awaitFirstSwitch(SimAsio* self, HANDLE timer, LONGLONG* due)
{
    if (self->config.clockMode != SIM_CLOCK_FAST) {
        *due += self->periodTicks;
        waitUntil(self, timer, *due);
    } else {
        WaitForSingleObject(self->wake, kFastFirstSwitchMs);
    }
}

/* After its block limit the clock idles, with its statistics written, until it is stopped
 * or (misbehaving) told to go on switching after stop. */
static void runClock(SimAsio* self, HANDLE timer)
{
    long index = 0, blockInRun = 0;
    int limitReported = 0;
    LONGLONG due = nowTicks();
    awaitFirstSwitch(self, timer, &due);
    while (!self->stopRequested) {
        if (self->rogueRequested) {
            simRogueSwitch(self, index);
            simWriteStats(self); /* so a test sees the switches go on */
        } else if (self->config.blockLimit && blockInRun >= self->config.blockLimit) {
            if (!limitReported)
                simWriteStats(self);
            limitReported = 1;
            WaitForSingleObject(self->wake, INFINITE);
            continue;
        } else {
            if (runBlock(self, timer, index, blockInRun + 1, &due))
                ++blockInRun;
        }
        index ^= 1;
    }
}

static DWORD WINAPI clockMain(void* arg)
{
    SimAsio* self = (SimAsio*)arg;
    const int realTime = self->config.clockMode != SIM_CLOCK_FAST;
    HANDLE timer = NULL;
    if (realTime) {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
        timeBeginPeriod(kTimerResolutionMs);
        timer = CreateWaitableTimerA(NULL, FALSE, NULL);
    }
    startTwin(self);
    runClock(self, timer);
    endTwin(self);
    if (realTime) {
        if (timer)
            CloseHandle(timer);
        timeEndPeriod(kTimerResolutionMs);
    }
    simWriteStats(self);
    return 0;
}

ASIOError simClockStart(SimAsio* self)
{
    double rate = self->sampleRate > 0 ? self->sampleRate : 44100.0;
    simClockJoin(self); /* a clock that ended by itself (limit, reset) */
    self->stopRequested = 0;
    self->rogueRequested = 0;
    self->answered = 0;
    self->hostAnswering = 0;
    self->warmUpBlocks = 0;
    self->periodTicks = (LONGLONG)((double)self->frames * (double)self->frequency / rate);
    ResetEvent(self->wake);
    self->clockThread = CreateThread(NULL, 0, clockMain, self, 0, &self->clockThreadId);
    return self->clockThread ? SIM_ASE_OK : SIM_ASE_HWMalfunction;
}

void simClockStop(SimAsio* self)
{
    self->stopRequested = 1;
    SetEvent(self->wake);
    if (self->clockThread && GetCurrentThreadId() != self->clockThreadId)
        simClockJoin(self);
}

void simClockJoin(SimAsio* self)
{
    if (!self->clockThread || GetCurrentThreadId() == self->clockThreadId)
        return;
    WaitForSingleObject(self->clockThread, INFINITE);
    CloseHandle(self->clockThread);
    self->clockThread = NULL;
}
