// zumbrel-demo-player: starts Zumbrel and plays a short phrase on the demo instrument's
// on-screen keyboard, as a user with a mouse would, for a run without a display or MIDI keyboard.
//
//   zumbrel-demo-player <zumbrel.exe> <recording.wav> <screenshot-request-file> <report-file>
//
// It starts the program in the current directory (so both share one virtual desktop: a second
// `explorer /desktop=` for the same desktop cannot be relied on), waits for its main window and
// the instrument's editor in it, clicks the phrase's keys, and holds the last note while another
// program takes a screenshot: it creates the request file and waits until that file is removed.
// Then it releases the key, closes Zumbrel (so the sound card finishes its recording) and writes
// one line to the report file: what was played, or what went wrong. Exit code 0 when all went
// well and the recording is not silent.
#include "KeyboardLayout.h"
#include "WavFile.h"

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

constexpr char kFrameClass[] = "ZumbrelFrame";
constexpr char kCaptionStart[] = "Zumbrel - ";
constexpr char kEditorClass[] = "ZumbrelDemoSynthEditor";
constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kScreenshotTimeoutMs = 15000;
constexpr DWORD kExitTimeoutMs = 15000;
constexpr DWORD kPollMs = 20;
constexpr DWORD kReleaseTailMs = 800;  // the last note's release, recorded before closing
// A quiet recording is below this level (-60 dBFS): nothing was heard.
constexpr double kAudibleLevel = 0.001;

struct Step {
    int note;
    DWORD holdMs;
};

// A rising and falling C major arpeggio, ending on the high C that stays held for the picture.
constexpr Step kPhrase[] = {
    {60, 220}, {64, 220}, {67, 220}, {72, 220}, {76, 220}, {72, 220}, {67, 220}, {64, 220},
    {65, 220}, {69, 220}, {72, 440}, {71, 220}, {67, 220}, {74, 440},
};
constexpr int kFinalNote = 72;
constexpr DWORD kGapMs = 40;

bool WaitFor(DWORD timeoutMs, bool (*condition)(void*), void* context)
{
    const DWORD start = GetTickCount();
    while (!condition(context)) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(kPollMs);
    }
    return true;
}

struct Windows {
    DWORD processId = 0;
    HWND frame = nullptr;
    HWND editor = nullptr;
};

// The started program's visible main frame once its caption names a program (the instrument
// is loaded).
BOOL CALLBACK FindFrame(HWND window, LPARAM context)
{
    Windows& windows = *reinterpret_cast<Windows*>(context);
    char className[64] = {};
    char caption[256] = {};
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (processId == windows.processId && IsWindowVisible(window) &&
        std::strcmp(className, kFrameClass) == 0 &&
        std::strncmp(caption, kCaptionStart, sizeof kCaptionStart - 1) == 0) {
        windows.frame = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindEditor(HWND window, LPARAM found)
{
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, kEditorClass) == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

bool FindWindows(Windows& windows)
{
    windows.frame = nullptr;
    windows.editor = nullptr;
    EnumWindows(FindFrame, reinterpret_cast<LPARAM>(&windows));
    if (windows.frame != nullptr)
        EnumChildWindows(windows.frame, FindEditor, reinterpret_cast<LPARAM>(&windows.editor));
    return windows.editor != nullptr;
}

// A point low on the key (a firm stroke) and clear of its neighbours.
LPARAM KeyPoint(int note)
{
    const demo::KeyRect key = demo::editorKeyboard().rect(note);
    const int x = (key.left + key.right) / 2;
    const int y = key.bottom - (key.bottom - key.top) / 5;
    return MAKELPARAM(x, y);
}

void Press(HWND editor, int note)
{
    PostMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, KeyPoint(note));
}

void Release(HWND editor, int note)
{
    PostMessageA(editor, WM_LBUTTONUP, 0, KeyPoint(note));
}

bool FileMissing(void* path)
{
    return GetFileAttributesA(static_cast<const char*>(path)) == INVALID_FILE_ATTRIBUTES;
}

// Asks for the screenshot and waits until it is taken.
bool RequestScreenshot(const char* requestFile)
{
    HANDLE file = CreateFileA(requestFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return WaitFor(kScreenshotTimeoutMs, FileMissing, const_cast<char*>(requestFile));
}

bool Ended(HANDLE process, DWORD timeoutMs)
{
    return WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
}

double SampleValue(const WavFile& wav, std::size_t frame, int channel)
{
    const unsigned char* p = wav.sample(frame, channel);
    switch (wav.bitsPerSample) {
    case 16:
        return static_cast<std::int16_t>(p[0] | (p[1] << 8)) / 32768.0;
    case 24: {
        const std::int32_t v = (p[0] << 8) | (p[1] << 16) | (p[2] << 24);
        return v / 2147483648.0;
    }
    case 32:
        if (wav.format == 3) {
            float f;
            std::memcpy(&f, p, sizeof f);
            return f;
        } else {
            std::int32_t v;
            std::memcpy(&v, p, sizeof v);
            return v / 2147483648.0;
        }
    default:
        return 0.0;
    }
}

double PeakOf(const WavFile& wav)
{
    double peak = 0.0;
    for (std::size_t frame = 0; frame < wav.frames(); ++frame)
        for (int channel = 0; channel < wav.channels; ++channel)
            peak = std::fmax(peak, std::fabs(SampleValue(wav, frame, channel)));
    return peak;
}

// The report's one line, on stdout and in the report file.
class Report {
public:
    explicit Report(const char* path) : m_path(path) {}
    int fail(const char* text)
    {
        write(text);
        return 1;
    }
    void write(const char* text)
    {
        std::printf("player: %s\n", text);
        std::fflush(stdout);
        if (FILE* file = std::fopen(m_path, "w")) {
            std::fprintf(file, "player: %s\n", text);
            std::fclose(file);
        }
    }

private:
    const char* m_path;
};

struct Program {
    PROCESS_INFORMATION info = {};
    ~Program()
    {
        if (info.hProcess != nullptr) {
            if (!Ended(info.hProcess, 0))
                TerminateProcess(info.hProcess, 1);
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
};

// Waits for the program's editor; false when the program ended or the time ran out.
bool AwaitEditor(const Program& program, Windows& windows)
{
    windows.processId = program.info.dwProcessId;
    const DWORD start = GetTickCount();
    while (!FindWindows(windows)) {
        if (Ended(program.info.hProcess, kPollMs) || GetTickCount() - start >= kStartTimeoutMs)
            return false;
    }
    return true;
}

void PlayPhrase(HWND editor)
{
    for (const Step& step : kPhrase) {
        Press(editor, step.note);
        Sleep(step.holdMs);
        Release(editor, step.note);
        Sleep(kGapMs);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: zumbrel-demo-player <zumbrel.exe> <recording.wav> "
                             "<screenshot-request> <report>\n");
        return 2;
    }
    const char* recording = argv[2];
    const char* request = argv[3];
    Report report(argv[4]);
    char text[512];

    Program program;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    char commandLine[MAX_PATH + 2];
    std::snprintf(commandLine, sizeof commandLine, "\"%s\"", argv[1]);
    if (!CreateProcessA(argv[1], commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &program.info)) {
        std::snprintf(text, sizeof text, "could not start %s (error %lu)", argv[1],
                      GetLastError());
        return report.fail(text);
    }
    Windows windows;
    if (!AwaitEditor(program, windows)) {
        DWORD code = 0;
        if (GetExitCodeProcess(program.info.hProcess, &code) && code != STILL_ACTIVE) {
            std::snprintf(text, sizeof text,
                          "Zumbrel ended (exit code %lu) before the demo instrument's editor "
                          "appeared", code);
            return report.fail(text);
        }
        return report.fail("Zumbrel with the demo instrument's editor did not appear");
    }
    PlayPhrase(windows.editor);
    Press(windows.editor, kFinalNote);
    const bool pictured = RequestScreenshot(request);
    Release(windows.editor, kFinalNote);
    Sleep(kReleaseTailMs);
    PostMessageA(windows.frame, WM_CLOSE, 0, 0);
    if (!Ended(program.info.hProcess, kExitTimeoutMs))
        return report.fail("Zumbrel did not close");
    WavFile wav;
    if (!readWav(recording, wav) || wav.sampleRate == 0) {
        std::snprintf(text, sizeof text, "no readable recording in %s", recording);
        return report.fail(text);
    }
    const double peak = PeakOf(wav);
    const double seconds = static_cast<double>(wav.frames()) / wav.sampleRate;
    const int offset = std::snprintf(text, sizeof text, "%zu notes played; %.1f s recorded, ",
                                     std::size(kPhrase) + 1, seconds);
    if (peak > 0.0)
        std::snprintf(text + offset, sizeof text - offset, "peak %.1f dBFS%s",
                      20.0 * std::log10(peak), peak >= kAudibleLevel ? "" : " (too quiet)");
    else
        std::snprintf(text + offset, sizeof text - offset, "silent");
    if (!pictured)
        std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text),
                      "; no screenshot was taken");
    report.write(text);
    return pictured && peak >= kAudibleLevel ? 0 : 1;
}
