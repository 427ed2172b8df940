#pragma once
// Test side of the probe plug-in family: where each variant's library is, and reading back
// what a probe recorded (see tools/probe-plugin/probe.c for the record format).

#include <map>
#include <string>
#include <vector>

// Full path of the probe library of the given variant ("default", "no_synth", ...).
std::string ProbePath(const std::string& variant);

// The id the probe records for the calling thread.
unsigned long CurrentThreadTag();

// One recorded line: its kind ("dispatch", "midi", ...) and its key=value words.
struct ProbeRecord {
    std::string kind;
    std::map<std::string, std::string> fields;

    const std::string& at(const std::string& key) const;
    long long number(const std::string& key) const;
    double real(const std::string& key) const;
};

// A log file of its own for one test, named by the test; the probe writes to it once it is
// loaded while this object lives (ZUMBREL_PROBE_LOG). Removed at the end.
class ProbeLog {
public:
    ProbeLog();
    ~ProbeLog();
    ProbeLog(const ProbeLog&) = delete;
    ProbeLog& operator=(const ProbeLog&) = delete;

    std::vector<ProbeRecord> Records() const;
    std::vector<ProbeRecord> Records(const std::string& kind) const;
    // Dispatcher opcodes in the order they arrived.
    std::vector<long long> Opcodes() const;

private:
    std::string m_path;
};

// The audio stream's side of one block: channel arrays as the stream hands them to the
// render callback.
class StreamBlock {
public:
    StreamBlock(int inputs, int outputs, int frames, float inputValue = 0.0f,
                float outputValue = 0.0f);

    float** Inputs() { return m_inputPointers.data(); }
    float** Outputs() { return m_outputPointers.data(); }
    std::vector<float>& In(int channel) { return m_in[static_cast<std::size_t>(channel)]; }
    std::vector<float>& Out(int channel) { return m_out[static_cast<std::size_t>(channel)]; }
    int Frames() const { return m_frames; }

    // Calls the plug-in host's render callback with this block, as the stream does.
    void Render(void* owner);

private:
    int m_frames;
    std::vector<std::vector<float>> m_in;
    std::vector<std::vector<float>> m_out;
    std::vector<float*> m_inputPointers;
    std::vector<float*> m_outputPointers;
};
