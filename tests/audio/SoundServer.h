#pragma once
// Test support for Windows audio under Wine: the private sound server scripts/sound-server.sh
// starts for the tests (its folder in ZUMBREL_SOUND_DIR), what its null sink played, and its
// command line; and the check of a captured tone.

#include <cstdint>
#include <string>
#include <vector>

class CSoundServer {
public:
    CSoundServer();
    // Whether the tests run with a server; without one they are skipped.
    bool Available() const { return !m_dir.empty(); }

    // Bytes captured so far: a later CaptureSince(mark) reads what was played after it.
    std::uint64_t CaptureMark() const;
    // Interleaved stereo frames, left then right, captured since `mark`.
    std::vector<float> CaptureSince(std::uint64_t mark) const;

    // The null sink taken away (the device disappears) and put back.
    bool UnloadSink() const;
    bool LoadSink() const;

private:
    bool Command(const std::string& line) const;

    std::string m_dir;  // Windows path of the server's folder
};

// A sine in one channel of a capture, over the stretch between its first and last sample
// louder than `threshold`.
struct ToneCheck {
    std::size_t frames = 0;    // length of the stretch
    double frequency = 0.0;    // from the zero crossings, at 48000 Hz
    double peak = 0.0;         // largest magnitude
    double largestStep = 0.0;  // largest change between neighbouring samples: a gap or a jump
};
ToneCheck CheckTone(const std::vector<float>& stereo, int channel, float threshold = 0.05f);

// Whether both channels of `stereo` hold a sine of `frequency` Hz and peak `level`, lasting at
// least `seconds`, whole: no neighbouring samples further apart than its steepest slope
// allows (a gap, a lost or a repeated block shows as a jump). `why`: what is wrong.
bool IsCleanSine(const std::vector<float>& stereo, double frequency, double level,
                 double seconds, std::string& why);
void ExpectCleanSine(const std::vector<float>& stereo, double frequency, double level,
                     double seconds);
