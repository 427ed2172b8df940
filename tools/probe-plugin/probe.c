/*
 * Probe instrument: a small VST 2 plug-in for the host's tests, written in plain C against its
 * own declarations of the binary interface (deliberately not the host's header, so that a
 * layout mistake in one shows up against the other).
 *
 * Behaviour is fixed per build variant by the PROBE_* definitions below (ProbeVariants.cmake).
 * Parameter values and program names the host sets are kept per program (the first 128;
 * later programs share their slots); the chunk variant hands the values out as its chunk.
 *
 * Recording. When the environment variable ZUMBREL_PROBE_LOG names a file, every call is
 * appended to it as one line of "key=value" words, starting with the call's name and the id
 * of the thread it came on:
 *   entry    tid version time                  (time: 1 when audioMasterGetTime answered)
 *   dispatch tid op index value ptr opt        (ptr: 1 when non-null; not for events)
 *   param    tid index value                   (setParameter)
 *   events   tid count                         (effProcessEvents, then one line per event:)
 *   midi     tid type size delta flags length offset data detune offvel r1 r2
 *   sysex    tid type size delta flags bytes r1 r2 data
 *   process  tid kind frames rate tempo pos ppq bar flags ns sig insum mxcsr inside
 *                                              (rate ... sig: the host's time information,
 *                                              sig as numerator/denominator; inside:
 *                                              rendering calls under way, this one too)
 *   dropped  tid delta frames                  (an event outside the block it came with)
 *
 * Sound. Output j, sample i: input j (when the probe has that input) plus 0.125 for every
 * held note. Notes start and stop at their event's deltaFrames; events outside the block are
 * dropped, as many plug-ins do. The accumulating entry adds this to what the buffers hold.
 * The tone variant adds a continuous 440 Hz sine of amplitude 0.25, computed at the rate it
 * took when last switched on: like the plug-ins of the most common framework, it stores a
 * rate set while it is switched on and applies it only at the next effMainsChanged 1.
 *
 * Misbehaviour, chosen by the environment when the plug-in is created:
 *   ZUMBREL_PROBE_OUTPUT   "inf", "-inf" or "nan": every output sample is that value
 *                          (a filter that blew up)
 *   ZUMBREL_PROBE_IDLE_MS  the editor's idle call takes that many milliseconds
 *   ZUMBREL_PROBE_SIZE_FILE  a file holding "WIDTH HEIGHT THREAD": the editor asks the host
 *                          for that size (audioMasterSizeWindow) once, on the next editor idle
 *                          call (THREAD "idle", then it also takes the size itself) or render
 *                          (THREAD "process"); logged as "size tid width height answer cando"
 *   ZUMBREL_PROBE_CHUNK    what effGetChunk answers (chunk variant): "null" the size with a
 *                          null pointer, "zero" a size of 0, "negative" a size of -1, "huge"
 *                          a size of 1 GiB over the real (small) chunk
 *   ZUMBREL_PROBE_FAULT    what goes wrong, every time the call named by ZUMBREL_PROBE_FAULT_IN
 *                          is made (Windows):
 *                            access    an access violation
 *                            illegal   an illegal instruction
 *                            divide    an integer division by zero
 *                            raise     RaiseException with ZUMBREL_PROBE_FAULT_VALUE as the
 *                                      code (default 0xE0000001), handled by nobody
 *                            stack     a stack overflow by recursion
 *                            handled   an exception raised and handled by the probe itself
 *                                      (a handler frame of its own): it plays on
 *                            stall     sleeps ZUMBREL_PROBE_FAULT_VALUE milliseconds, once
 *                            hang      never returns
 *   ZUMBREL_PROBE_FAULT_IN the call: entry, effOpen, effClose, effEditOpen, effEditIdle,
 *                          effSetProgram, effGetChunk, process (both rendering entries),
 *                          setParameter, getParameter, or paint (the editor window's
 *                          WM_PAINT, logged as "paint tid")
 */
#define __USE_MINGW_ANSI_STDIO 1
#include <math.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

#ifdef _WIN32
#include <windows.h>
#define PROBE_EXPORT __declspec(dllexport)
#else
#include <pthread.h>
#define PROBE_EXPORT __attribute__((visibility("default")))
#endif

#if defined(_WIN32) && defined(__i386__)
#define PROBE_CDECL __cdecl
#else
#define PROBE_CDECL
#endif

/* ---- Variant configuration -------------------------------------------------------------- */
#ifndef PROBE_EXPORT_VSTPLUGINMAIN
#define PROBE_EXPORT_VSTPLUGINMAIN 1
#endif
#ifndef PROBE_EXPORT_MAIN
#define PROBE_EXPORT_MAIN 1
#endif
#ifndef PROBE_MAGIC
#define PROBE_MAGIC 0x56737450 /* 'VstP' */
#endif
#ifndef PROBE_RETURN_NULL
#define PROBE_RETURN_NULL 0
#endif
#ifndef PROBE_PROGRAMS
#define PROBE_PROGRAMS 5
#endif
#ifndef PROBE_NAMED_PROGRAMS /* 1: the first programs carry instrument names */
#define PROBE_NAMED_PROGRAMS 0
#endif
#ifndef PROBE_INPUTS
#define PROBE_INPUTS 2
#endif
#ifndef PROBE_OUTPUTS
#define PROBE_OUTPUTS 2
#endif
#ifndef PROBE_SYNTH
#define PROBE_SYNTH 1
#endif
#ifndef PROBE_REPLACING
#define PROBE_REPLACING 1
#endif
#ifndef PROBE_EDITOR
#define PROBE_EDITOR 1
#endif

#ifndef PROBE_CHUNKS /* 1: programs in chunks (effGetChunk, effSetChunk) */
#define PROBE_CHUNKS 0
#endif
#ifndef PROBE_TONE /* 1: a continuous 440 Hz sine at the rate applied on switching on */
#define PROBE_TONE 0
#endif
#define PROBE_TONE_HZ 440.0
#define PROBE_TONE_LEVEL 0.25
#define PROBE_TWO_PI 6.283185307179586
#define PROBE_HUGE_CHUNK 0x40000000

#define PROBE_PARAMS 3
#define PROBE_STORED_PROGRAMS 128 /* programs with values and names of their own */
#define PROBE_UNIQUE_ID 0x5A50726F /* 'ZPro' */
#define PROBE_VERSION 1234
#define PROBE_EDITOR_WIDTH 400
#define PROBE_EDITOR_HEIGHT 300
#define PROBE_NOTE_LEVEL 0.125f
#define PROBE_MAX_PENDING 8192
#define PROBE_MAX_CHANNELS 64
#define PROBE_MAX_LOGGED_SYSEX 256

/* ---- The interface, as the plug-in side sees it ------------------------------------------ */
typedef struct probe_effect probe_effect;
typedef intptr_t(PROBE_CDECL* probe_host_fn)(probe_effect*, int32_t, int32_t, intptr_t, void*,
                                             float);
typedef intptr_t(PROBE_CDECL* probe_dispatch_fn)(probe_effect*, int32_t, int32_t, intptr_t,
                                                 void*, float);
typedef void(PROBE_CDECL* probe_process_fn)(probe_effect*, float**, float**, int32_t);
typedef void(PROBE_CDECL* probe_set_param_fn)(probe_effect*, int32_t, float);
typedef float(PROBE_CDECL* probe_get_param_fn)(probe_effect*, int32_t);

struct probe_effect {
    int32_t magic;
    probe_dispatch_fn dispatcher;
    probe_process_fn process;
    probe_set_param_fn set_parameter;
    probe_get_param_fn get_parameter;
    int32_t programs, params, inputs, outputs, flags;
    intptr_t reserved_a, reserved_b;
    int32_t delay, real_qualities, off_qualities;
    float io_ratio;
    void* object;
    void* user;
    int32_t unique_id, version;
    probe_process_fn process_replacing;
    void* process_double_replacing;
    char future[56];
};

typedef struct {
    int32_t type, byte_size, delta, flags;
} probe_event_head;

typedef struct {
    int32_t type, byte_size, delta, flags, note_length, note_offset;
    unsigned char data[4];
    signed char detune;
    unsigned char off_velocity, reserved1, reserved2;
} probe_midi_event;

typedef struct {
    int32_t type, byte_size, delta, flags, dump_bytes;
    intptr_t reserved1;
    char* dump;
    intptr_t reserved2;
} probe_sysex_event;

typedef struct {
    int32_t count;
    intptr_t reserved;
    probe_event_head* events[2];
} probe_events;

typedef struct {
    double sample_pos, sample_rate, nano_seconds, ppq_pos, tempo, bar_start, cycle_start,
        cycle_end;
    int32_t sig_numerator, sig_denominator, smpte_offset, smpte_rate, to_next_clock, flags;
} probe_time;

typedef struct {
    int16_t top, left, bottom, right;
} probe_rect;

enum {
    OP_OPEN = 0, OP_CLOSE = 1, OP_SET_PROGRAM = 2, OP_GET_PROGRAM = 3, OP_SET_PROGRAM_NAME = 4,
    OP_GET_PROGRAM_NAME = 5, OP_GET_PARAM_LABEL = 6, OP_GET_PARAM_DISPLAY = 7,
    OP_GET_PARAM_NAME = 8, OP_SET_SAMPLE_RATE = 10, OP_MAINS_CHANGED = 12, OP_EDIT_GET_RECT = 13, OP_EDIT_OPEN = 14, OP_EDIT_CLOSE = 15,
    OP_EDIT_IDLE = 19, OP_GET_CHUNK = 23, OP_SET_CHUNK = 24, OP_PROCESS_EVENTS = 25,
    OP_GET_PROGRAM_NAME_INDEXED = 29
};
enum { HOST_VERSION = 1, HOST_GET_TIME = 7, HOST_SIZE_WINDOW = 15, HOST_CAN_DO = 37 };
enum { EVENT_MIDI = 1, EVENT_SYSEX = 6 };
enum {
    FLAG_EDITOR = 1 << 0, FLAG_CLIP = 1 << 1, FLAG_MONO = 1 << 3, FLAG_REPLACING = 1 << 4,
    FLAG_CHUNKS = 1 << 5, FLAG_SYNTH = 1 << 8
};

/* ---- State (one instance per loaded library) --------------------------------------------- */
typedef struct {
    int32_t delta;
    unsigned char status, data1, data2;
} probe_pending;

static probe_effect effect;
static probe_host_fn host;
static FILE* log_file;
static int32_t current_program;
static unsigned char held[128];
static int held_count;
static probe_pending pending[PROBE_MAX_PENDING];
static int pending_count;
static const probe_rect editor_rect = {0, 0, PROBE_EDITOR_HEIGHT, PROBE_EDITOR_WIDTH};
/* Program state: parameter values and names the host set; a chunk holds the values. */
static float values[PROBE_STORED_PROGRAMS][PROBE_PARAMS];
static char names[PROBE_STORED_PROGRAMS][25];
static float chunk[PROBE_STORED_PROGRAMS * PROBE_PARAMS];
static int forced_output;  /* 1: every output sample is forced_value */
static float forced_value;
static int idle_ms;
static char fault_kind[32];
static char fault_call[32];
static unsigned long fault_value;
static int stalled;
static char chunk_answer[32];
static char size_file[260];
static char size_sent[64]; /* the request last sent, as the file said it */
/* The rate last set, and the rate the tone is computed at (taken on switching on). */
static double pending_rate = 44100.0;
static double applied_rate = 44100.0;
static double tone_phase;
#ifdef _WIN32
static HWND editor_window;
#endif

static unsigned long thread_tag(void)
{
#ifdef _WIN32
    return (unsigned long)GetCurrentThreadId();
#else
    return (unsigned long)pthread_self();
#endif
}

/* The variable's text in `buffer`, or NULL when it is not set. */
static const char* environment(const char* name, char* buffer, unsigned size)
{
#ifdef _WIN32
    DWORD length = GetEnvironmentVariableA(name, buffer, size);
    return length > 0 && length < size ? buffer : NULL;
#else
    const char* value = getenv(name);
    if (value == NULL || strlen(value) >= size)
        return NULL;
    strcpy(buffer, value);
    return buffer;
#endif
}

static void open_log(void)
{
    char buffer[260];
    const char* path = environment("ZUMBREL_PROBE_LOG", buffer, sizeof buffer);
    log_file = path != NULL ? fopen(path, "a") : NULL;
}

static void read_misbehaviour(void)
{
    char buffer[32];
    const char* output = environment("ZUMBREL_PROBE_OUTPUT", buffer, sizeof buffer);
    forced_output = output != NULL;
    forced_value = output == NULL              ? 0.0f
                   : strcmp(output, "inf") == 0  ? INFINITY
                   : strcmp(output, "-inf") == 0 ? -INFINITY
                                                 : NAN;
    idle_ms = atoi(environment("ZUMBREL_PROBE_IDLE_MS", buffer, sizeof buffer) ? buffer : "0");
    snprintf(fault_kind, sizeof fault_kind, "%s",
             environment("ZUMBREL_PROBE_FAULT", buffer, sizeof buffer) ? buffer : "");
    snprintf(fault_call, sizeof fault_call, "%s",
             environment("ZUMBREL_PROBE_FAULT_IN", buffer, sizeof buffer) ? buffer : "");
    fault_value = strtoul(environment("ZUMBREL_PROBE_FAULT_VALUE", buffer, sizeof buffer)
                              ? buffer : "0", NULL, 0);
    {
        char path[260];
        snprintf(size_file, sizeof size_file, "%s",
                 environment("ZUMBREL_PROBE_SIZE_FILE", path, sizeof path) ? path : "");
        size_sent[0] = '\0';
    }
    snprintf(chunk_answer, sizeof chunk_answer, "%s",
             environment("ZUMBREL_PROBE_CHUNK", buffer, sizeof buffer) ? buffer : "");
    stalled = 0;
}

/* ---- Faults ------------------------------------------------------------------------------ */
#ifdef _WIN32
#define PROBE_DEFAULT_RAISED_CODE 0xE0000001u
#define PROBE_OWN_CODE 0xE0000002u /* raised and handled by the probe itself */

static volatile uintptr_t unmapped_address = 16; /* no page is mapped there */
static volatile int divisor;
static volatile int quotient;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
static int __attribute__((noinline)) recurse(volatile char* previous)
{
    volatile char frame[1024];
    frame[0] = (char)(previous[0] + 1);
    return recurse(frame) + frame[0];
}
#pragma GCC diagnostic pop

#if defined(__x86_64__)
/* The filter of the probe's own handler frame (mingw-w64's __try1 on 64-bit). */
static long __attribute__((used)) own_exception_filter(EXCEPTION_POINTERS* pointers, void* frame)
{
    (void)frame;
    return pointers->ExceptionRecord->ExceptionCode == PROBE_OWN_CODE
               ? EXCEPTION_CONTINUE_EXECUTION : EXCEPTION_CONTINUE_SEARCH;
}

static void __attribute__((noinline)) raise_and_handle(void)
{
    __try1(own_exception_filter)
    RaiseException(PROBE_OWN_CODE, 0, 0, NULL);
    __except1
}
#else
/* A handler record of the probe's own on the thread's chain (32-bit). */
static EXCEPTION_DISPOSITION __cdecl own_exception_handler(EXCEPTION_RECORD* record, void* frame,
                                                          CONTEXT* context, void* dispatcher)
{
    (void)frame;
    (void)context;
    (void)dispatcher;
    if (record->ExceptionCode == PROBE_OWN_CODE
        && !(record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)))
        return ExceptionContinueExecution;
    return ExceptionContinueSearch;
}

static void __attribute__((noinline)) raise_and_handle(void)
{
    struct {
        void* next;
        void* handler;
    } record;
    record.handler = (void*)own_exception_handler;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(record.next));
    __asm__ volatile("movl %0, %%fs:0" : : "r"(&record) : "memory");
    RaiseException(PROBE_OWN_CODE, 0, 0, NULL);
    __asm__ volatile("movl %0, %%fs:0" : : "r"(record.next) : "memory");
}
#endif

static void misbehave(const char* call)
{
    if (strcmp(call, fault_call) != 0)
        return;
    if (strcmp(fault_kind, "access") == 0) {
        *(volatile int*)unmapped_address = 1;
    } else if (strcmp(fault_kind, "illegal") == 0) {
        __builtin_trap();
    } else if (strcmp(fault_kind, "divide") == 0) {
        quotient = (quotient + 1) / divisor;
    } else if (strcmp(fault_kind, "raise") == 0) {
        RaiseException(fault_value != 0 ? (DWORD)fault_value : PROBE_DEFAULT_RAISED_CODE,
                       EXCEPTION_NONCONTINUABLE, 0, NULL);
    } else if (strcmp(fault_kind, "stack") == 0) {
        char first = 0;
        quotient = recurse(&first);
    } else if (strcmp(fault_kind, "handled") == 0) {
        raise_and_handle();
    } else if (strcmp(fault_kind, "stall") == 0 && !stalled) {
        stalled = 1;
        Sleep((DWORD)fault_value);
    } else if (strcmp(fault_kind, "hang") == 0) {
        for (;;)
            Sleep(INFINITE);
    }
}
#else
static void misbehave(const char* call)
{
    (void)call;
}
#endif

static void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));
static void log_line(const char* format, ...)
{
    va_list args;
    if (log_file == NULL)
        return;
    va_start(args, format);
    vfprintf(log_file, format, args);
    va_end(args);
    fputc('\n', log_file);
    fflush(log_file);
}

/* ---- Events ------------------------------------------------------------------------------ */
static void record_midi(const probe_midi_event* e)
{
    log_line("midi tid=%lu type=%d size=%d delta=%d flags=%d length=%d offset=%d "
             "data=%02x,%02x,%02x,%02x detune=%d offvel=%d r1=%d r2=%d",
             thread_tag(), e->type, e->byte_size, e->delta, e->flags, e->note_length,
             e->note_offset, e->data[0], e->data[1], e->data[2], e->data[3], e->detune,
             e->off_velocity, e->reserved1, e->reserved2);
    if (pending_count < PROBE_MAX_PENDING) {
        probe_pending* p = &pending[pending_count++];
        p->delta = e->delta;
        p->status = e->data[0];
        p->data1 = e->data[1];
        p->data2 = e->data[2];
    }
}

static void record_sysex(const probe_sysex_event* e)
{
    char text[PROBE_MAX_LOGGED_SYSEX * 3 + 1] = "";
    int n = e->dump_bytes < PROBE_MAX_LOGGED_SYSEX ? e->dump_bytes : PROBE_MAX_LOGGED_SYSEX;
    int i, used = 0;
    for (i = 0; i < n && e->dump != NULL; ++i)
        used += sprintf(text + used, i == 0 ? "%02x" : ",%02x", (unsigned char)e->dump[i]);
    log_line("sysex tid=%lu type=%d size=%d delta=%d flags=%d bytes=%d r1=%lld r2=%lld data=%s",
             thread_tag(), e->type, e->byte_size, e->delta, e->flags, e->dump_bytes,
             (long long)e->reserved1, (long long)e->reserved2, text);
}

static void receive_events(const probe_events* list)
{
    int32_t i;
    log_line("events tid=%lu count=%d", thread_tag(), list->count);
    for (i = 0; i < list->count; ++i) {
        const probe_event_head* head = list->events[i];
        if (head->type == EVENT_MIDI)
            record_midi((const probe_midi_event*)head);
        else if (head->type == EVENT_SYSEX)
            record_sysex((const probe_sysex_event*)head);
    }
}

static void apply_note(const probe_pending* p)
{
    unsigned char command = p->status & 0xF0;
    unsigned char note = p->data1 & 0x7F;
    int on = command == 0x90 && p->data2 > 0;
    int off = command == 0x80 || (command == 0x90 && p->data2 == 0);
    if (on && !held[note]) {
        held[note] = 1;
        ++held_count;
    } else if (off && held[note]) {
        held[note] = 0;
        --held_count;
    }
}

/* ---- Editor size requests ---------------------------------------------------------------- */
static void take_editor_size(int width, int height);

/* The request the size file names for `thread`, sent once. */
static void request_size(const char* thread)
{
    char line[64] = "";
    char where[16] = "";
    int width = 0, height = 0;
    intptr_t answer, cando;
    FILE* file;
    if (size_file[0] == '\0' || (file = fopen(size_file, "r")) == NULL)
        return;
    if (fgets(line, sizeof line, file) == NULL)
        line[0] = '\0';
    fclose(file);
    if (strcmp(line, size_sent) == 0 || sscanf(line, "%d %d %15s", &width, &height, where) != 3
        || strcmp(where, thread) != 0)
        return;
    strcpy(size_sent, line);
    cando = host(&effect, HOST_CAN_DO, 0, 0, (void*)"sizeWindow", 0.0f);
    answer = host(&effect, HOST_SIZE_WINDOW, width, height, NULL, 0.0f);
    if (answer == 1 && strcmp(thread, "idle") == 0)
        take_editor_size(width, height);
    log_line("size tid=%lu width=%d height=%d answer=%lld cando=%lld", thread_tag(), width, height,
             (long long)answer, (long long)cando);
}

/* ---- Rendering --------------------------------------------------------------------------- */
/* The thread's SSE control register, as the plug-in meets it inside a call (0 without SSE). */
static unsigned float_mode(void)
{
#if defined(__SSE__) || defined(__x86_64__)
    return _mm_getcsr();
#else
    return 0;
#endif
}

/* Rendering calls under way: a host must never enter the plug-in's rendering twice at once. */
static int renders_inside;

static void log_process(const char* kind, float** inputs, int32_t frames, int inside)
{
    char sums[PROBE_MAX_CHANNELS * 24] = "";
    size_t used = 0;
    probe_time none;
    int32_t j, i;
    const probe_time* time = (const probe_time*)host(&effect, HOST_GET_TIME, 0, 0, NULL, 0.0f);
    if (time == NULL) {
        memset(&none, 0, sizeof none);
        time = &none;
    }
    /* Reading every declared input proves that the host gave a buffer for each. */
    for (j = 0; j < effect.inputs && j < PROBE_MAX_CHANNELS; ++j) {
        double sum = 0.0;
        for (i = 0; i < frames; ++i)
            sum += inputs[j][i];
        used += (size_t)snprintf(sums + used, sizeof sums - used, j == 0 ? "%g" : ",%g", sum);
    }
    log_line("process tid=%lu kind=%s frames=%d rate=%g tempo=%g pos=%.17g ppq=%.17g bar=%.17g "
             "flags=%d ns=%.17g sig=%d/%d insum=%s mxcsr=%u inside=%d",
             thread_tag(), kind, frames, time->sample_rate, time->tempo, time->sample_pos,
             time->ppq_pos, time->bar_start, time->flags, time->nano_seconds,
             time->sig_numerator, time->sig_denominator, sums, float_mode(), inside);
}

static void render(float** inputs, float** outputs, int32_t frames, int accumulate)
{
    int next = 0;
    int32_t i, j;
    for (; next < pending_count; ++next) {
        if (pending[next].delta < 0 || pending[next].delta >= frames)
            log_line("dropped tid=%lu delta=%d frames=%d", thread_tag(), pending[next].delta,
                     frames);
    }
    next = 0;
    for (i = 0; i < frames; ++i) {
        float tone = 0.0f;
        for (; next < pending_count && pending[next].delta <= i; ++next) {
            if (pending[next].delta >= 0)
                apply_note(&pending[next]);
        }
        if (PROBE_TONE) {
            tone = (float)(PROBE_TONE_LEVEL * sin(tone_phase));
            tone_phase = fmod(tone_phase + PROBE_TWO_PI * PROBE_TONE_HZ / applied_rate, PROBE_TWO_PI);
        }
        for (j = 0; j < effect.outputs; ++j) {
            float value = (j < effect.inputs ? inputs[j][i] : 0.0f)
                          + PROBE_NOTE_LEVEL * (float)held_count + tone;
            if (forced_output)
                value = forced_value;
            outputs[j][i] = accumulate ? outputs[j][i] + value : value;
        }
    }
    pending_count = 0;
}

static void PROBE_CDECL probe_process(probe_effect* e, float** inputs, float** outputs,
                                      int32_t frames)
{
    const int inside = __atomic_add_fetch(&renders_inside, 1, __ATOMIC_SEQ_CST);
    (void)e;
    log_process("accumulating", inputs, frames, inside);
    request_size("process");
    misbehave("process");
    render(inputs, outputs, frames, 1);
    __atomic_sub_fetch(&renders_inside, 1, __ATOMIC_SEQ_CST);
}

static void PROBE_CDECL probe_process_replacing(probe_effect* e, float** inputs,
                                                float** outputs, int32_t frames)
{
    const int inside = __atomic_add_fetch(&renders_inside, 1, __ATOMIC_SEQ_CST);
    (void)e;
    log_process("replacing", inputs, frames, inside);
    request_size("process");
    misbehave("process");
    render(inputs, outputs, frames, 0);
    __atomic_sub_fetch(&renders_inside, 1, __ATOMIC_SEQ_CST);
}

/* ---- Dispatcher -------------------------------------------------------------------------- */
static int32_t slot(int32_t program)
{
    return program >= 0 ? program % PROBE_STORED_PROGRAMS : 0;
}

static void write_program_name(char* name, int32_t program)
{
    static const char* const named[] = {"Piano", "Electric Piano", "Strings", "Organ"};
    if (names[slot(program)][0] != '\0')
        strcpy(name, names[slot(program)]);
    else if (PROBE_NAMED_PROGRAMS && program >= 0 && program < (int32_t)(sizeof named / sizeof *named))
        strcpy(name, named[program]);
    else
        sprintf(name, "Program %d", (int)program);
}

#ifdef _WIN32
/* The editor window when its paint is to misbehave: a class of the probe's own. */
static LRESULT CALLBACK editor_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        log_line("paint tid=%lu", thread_tag());
        misbehave("paint");
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static const char editor_class_name[] = "ProbeEditorWindow";

static HINSTANCE probe_module(void)
{
    HMODULE module = NULL;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS
                           | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)(void*)editor_procedure, &module);
    return module;
}

/* Registered with the probe's own module while its editor is open. */
static const char* editor_class(void)
{
    WNDCLASSA description;
    if (strcmp(fault_call, "paint") != 0)
        return "STATIC";
    memset(&description, 0, sizeof description);
    description.lpfnWndProc = editor_procedure;
    description.hInstance = probe_module();
    description.lpszClassName = editor_class_name;
    RegisterClassA(&description);
    return editor_class_name;
}
#endif

static void open_editor(void* parent)
{
#ifdef _WIN32
    if (parent != NULL && editor_window == NULL)
        editor_window = CreateWindowExA(0, editor_class(), "Probe editor", WS_CHILD | WS_VISIBLE,
                                        0, 0, PROBE_EDITOR_WIDTH, PROBE_EDITOR_HEIGHT,
                                        (HWND)parent, NULL, probe_module(), NULL);
#else
    (void)parent;
#endif
}

static void take_editor_size(int width, int height)
{
#ifdef _WIN32
    if (editor_window != NULL)
        SetWindowPos(editor_window, NULL, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
#else
    (void)width;
    (void)height;
#endif
}

static void close_editor(void)
{
#ifdef _WIN32
    if (editor_window != NULL)
        DestroyWindow(editor_window);
    editor_window = NULL;
    UnregisterClassA(editor_class_name, probe_module());
#endif
}

/* The opcode's name as ZUMBREL_PROBE_FAULT_IN spells it. */
static const char* opcode_name(int32_t op)
{
    switch (op) {
    case OP_OPEN: return "effOpen";
    case OP_CLOSE: return "effClose";
    case OP_SET_PROGRAM: return "effSetProgram";
    case OP_GET_CHUNK: return "effGetChunk";
    case OP_EDIT_OPEN: return "effEditOpen";
    case OP_EDIT_IDLE: return "effEditIdle";
    default: return "";
    }
}

static intptr_t PROBE_CDECL probe_dispatch(probe_effect* e, int32_t op, int32_t index,
                                           intptr_t value, void* ptr, float opt)
{
    (void)e;
    if (op != OP_PROCESS_EVENTS)
        log_line("dispatch tid=%lu op=%d index=%d value=%lld ptr=%d opt=%g", thread_tag(), op,
                 index, (long long)value, ptr != NULL, opt);
    misbehave(opcode_name(op));
    switch (op) {
    case OP_SET_PROGRAM:
        current_program = (int32_t)value;
        return 0;
    case OP_GET_PROGRAM:
        return current_program;
    case OP_SET_PROGRAM_NAME:
        snprintf(names[slot(current_program)], sizeof names[0], "%s", (const char*)ptr);
        return 0;
    case OP_GET_CHUNK: /* the bank: every stored program's values; a program: its own */
        if (!PROBE_CHUNKS)
            return 0;
        if (index == 0)
            memcpy(chunk, values, sizeof values);
        else
            memcpy(chunk, values[slot(current_program)], sizeof values[0]);
        *(void**)ptr = strcmp(chunk_answer, "null") == 0 ? NULL : chunk;
        if (strcmp(chunk_answer, "zero") == 0)
            return 0;
        if (strcmp(chunk_answer, "negative") == 0)
            return -1;
        if (strcmp(chunk_answer, "huge") == 0)
            return PROBE_HUGE_CHUNK;
        return index == 0 ? (intptr_t)sizeof values : (intptr_t)sizeof values[0];
    case OP_SET_SAMPLE_RATE:
        pending_rate = opt > 0.0f ? opt : pending_rate;
        return 0;
    case OP_MAINS_CHANGED:
        if (value != 0)
            applied_rate = pending_rate;
        return 0;
    case OP_SET_CHUNK:
        if (PROBE_CHUNKS && index == 0 && value == (intptr_t)sizeof values)
            memcpy(values, ptr, sizeof values);
        else if (PROBE_CHUNKS && index == 1 && value == (intptr_t)sizeof values[0])
            memcpy(values[slot(current_program)], ptr, sizeof values[0]);
        return 0;
    case OP_GET_PROGRAM_NAME:
        write_program_name((char*)ptr, current_program);
        return 0;
    case OP_GET_PARAM_NAME: /* the classic 8 bytes, terminator included */
        if (index >= 0 && index < PROBE_PARAMS)
            snprintf((char*)ptr, 8, "Knob %d", (int)index);
        return 0;
    case OP_GET_PARAM_LABEL:
        if (index >= 0 && index < PROBE_PARAMS)
            snprintf((char*)ptr, 8, "dB");
        return 0;
    case OP_GET_PARAM_DISPLAY:
        if (index >= 0 && index < PROBE_PARAMS)
            snprintf((char*)ptr, 8, "%.2f", values[slot(current_program)][index]);
        return 0;
    case OP_GET_PROGRAM_NAME_INDEXED:
        if (index < 0 || index >= PROBE_PROGRAMS)
            return 0;
        write_program_name((char*)ptr, index);
        return 1;
    case OP_EDIT_GET_RECT:
        if (!PROBE_EDITOR)
            return 0;
        *(const probe_rect**)ptr = &editor_rect;
        return 1;
    case OP_EDIT_OPEN:
        open_editor(ptr);
        return 1;
    case OP_EDIT_CLOSE:
        close_editor();
        return 0;
    case OP_EDIT_IDLE:
        request_size("idle");
#ifdef _WIN32
        if (idle_ms > 0)
            Sleep((DWORD)idle_ms);
#endif
        return 0;
    case OP_PROCESS_EVENTS:
        receive_events((const probe_events*)ptr);
        return 1;
    case OP_CLOSE:
        close_editor();
        if (log_file != NULL)
            fclose(log_file);
        log_file = NULL;
        return 0;
    default:
        return 0;
    }
}

static void PROBE_CDECL probe_set_parameter(probe_effect* e, int32_t index, float value)
{
    (void)e;
    misbehave("setParameter");
    log_line("param tid=%lu index=%d value=%g", thread_tag(), index, value);
    if (index >= 0 && index < PROBE_PARAMS)
        values[slot(current_program)][index] = value;
}

static float PROBE_CDECL probe_get_parameter(probe_effect* e, int32_t index)
{
    (void)e;
    misbehave("getParameter");
    return index >= 0 && index < PROBE_PARAMS ? values[slot(current_program)][index] : 0.0f;
}

/* ---- Entry ------------------------------------------------------------------------------- */
static probe_effect* create(probe_host_fn host_callback)
{
    intptr_t version, time;
    memset(&effect, 0, sizeof effect);
    memset(held, 0, sizeof held);
    memset(values, 0, sizeof values);
    memset(names, 0, sizeof names);
    held_count = pending_count = 0;
    current_program = 0;
    pending_rate = applied_rate = 44100.0;
    tone_phase = 0.0;
    host = host_callback;
    open_log();
    read_misbehaviour();
    /* Asked before the host has set the record's user field: the host must answer 0. */
    version = host(NULL, HOST_VERSION, 0, 0, NULL, 0.0f);
    time = host(&effect, HOST_GET_TIME, 0, 0, NULL, 0.0f);
    log_line("entry tid=%lu version=%lld time=%d", thread_tag(), (long long)version, time != 0);
    misbehave("entry");
    if (PROBE_RETURN_NULL)
        return NULL;
    effect.magic = PROBE_MAGIC;
    effect.dispatcher = probe_dispatch;
    effect.process = probe_process;
    effect.set_parameter = probe_set_parameter;
    effect.get_parameter = probe_get_parameter;
    effect.programs = PROBE_PROGRAMS;
    effect.params = PROBE_PARAMS;
    effect.inputs = PROBE_INPUTS;
    effect.outputs = PROBE_OUTPUTS;
    effect.flags = FLAG_CLIP | FLAG_MONO | (PROBE_EDITOR ? FLAG_EDITOR : 0)
                   | (PROBE_CHUNKS ? FLAG_CHUNKS : 0)
                   | (PROBE_REPLACING ? FLAG_REPLACING : 0) | (PROBE_SYNTH ? FLAG_SYNTH : 0);
    effect.io_ratio = 1.0f;
    effect.unique_id = PROBE_UNIQUE_ID;
    effect.version = PROBE_VERSION;
    effect.process_replacing = PROBE_REPLACING ? probe_process_replacing : NULL;
    return &effect;
}

#if PROBE_EXPORT_VSTPLUGINMAIN
PROBE_EXPORT probe_effect* PROBE_CDECL VSTPluginMain(probe_host_fn host_callback)
{
    return create(host_callback);
}
#endif

#if PROBE_EXPORT_MAIN
/* The entry name of older plug-ins. */
PROBE_EXPORT probe_effect* PROBE_CDECL main(probe_host_fn host_callback)
{
    return create(host_callback);
}
#endif

#if !PROBE_EXPORT_VSTPLUGINMAIN && !PROBE_EXPORT_MAIN
/* Something is exported all the same, under a name no host looks for. */
PROBE_EXPORT probe_effect* PROBE_CDECL probe_entry_under_another_name(probe_host_fn host_callback)
{
    return create(host_callback);
}
#endif
