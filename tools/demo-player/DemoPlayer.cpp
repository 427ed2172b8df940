// zumbrel-demo-player: plays a short phrase on the demo instrument's on-screen keyboard inside a
// running Zumbrel, as a user with a mouse would, for a run without a display or MIDI keyboard.
//
//   zumbrel-demo-player <recording.wav> <screenshot-request-file>
//
// It waits for Zumbrel's main window and the instrument's editor in it, clicks the phrase's
// keys, and holds the last note while another program takes a screenshot: it creates the
// request file and waits until that file is removed. Then it releases the key, closes Zumbrel
// (so the sound card finishes its recording) and prints one line about the recording: its
// length and its peak level. Exit code 0 when all went well and the recording is not silent.
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

// The visible main frame once its caption names a program (the instrument is loaded).
BOOL CALLBACK FindFrame(HWND window, LPARAM found)
{
    char className[64] = {};
    char caption[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (IsWindowVisible(window) && std::strcmp(className, kFrameClass) == 0 &&
        std::strncmp(caption, kCaptionStart, sizeof kCaptionStart - 1) == 0) {
        *reinterpret_cast<HWND*>(found) = window;
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

struct Windows {
    HWND frame = nullptr;
    HWND editor = nullptr;
};

bool FindWindows(void* context)
{
    Windows& windows = *static_cast<Windows*>(context);
    windows.frame = nullptr;
    windows.editor = nullptr;
    EnumWindows(FindFrame, reinterpret_cast<LPARAM>(&windows.frame));
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

bool CloseAndWait(HWND frame)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(frame, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    PostMessageA(frame, WM_CLOSE, 0, 0);
    if (process == nullptr)
        return false;
    const bool ended = WaitForSingleObject(process, kExitTimeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: zumbrel-demo-player <recording.wav> <screenshot-request>\n");
        return 2;
    }
    Windows windows;
    if (!WaitFor(kStartTimeoutMs, FindWindows, &windows)) {
        std::printf("player: Zumbrel with the demo instrument's editor did not appear\n");
        return 1;
    }
    for (const Step& step : kPhrase) {
        Press(windows.editor, step.note);
        Sleep(step.holdMs);
        Release(windows.editor, step.note);
        Sleep(kGapMs);
    }
    Press(windows.editor, kFinalNote);
    const bool pictured = RequestScreenshot(argv[2]);
    Release(windows.editor, kFinalNote);
    Sleep(kReleaseTailMs);
    if (!CloseAndWait(windows.frame)) {
        std::printf("player: Zumbrel did not close\n");
        return 1;
    }
    WavFile wav;
    if (!readWav(argv[1], wav) || wav.sampleRate == 0) {
        std::printf("player: no readable recording in %s\n", argv[1]);
        return 1;
    }
    const double peak = PeakOf(wav);
    const double seconds = static_cast<double>(wav.frames()) / wav.sampleRate;
    if (peak > 0.0)
        std::printf("player: %zu notes played; %.1f s recorded, peak %.1f dBFS\n",
                    std::size(kPhrase) + 1, seconds, 20.0 * std::log10(peak));
    else
        std::printf("player: %zu notes played; %.1f s recorded, silent\n",
                    std::size(kPhrase) + 1, seconds);
    return pictured && peak >= kAudibleLevel ? 0 : 1;
}
