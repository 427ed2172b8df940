#include "ProbePaths.h"
#include "ProbeSupport.h"

#include "audio/OutputStage.h"
#include "base/DenormalGuard.h"
#include "plugin/VstPlugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

namespace {

constexpr const char* kLogVariable = "ZUMBREL_PROBE_LOG";

void SetLogVariable(const char* value)
{
#ifdef _WIN32
    SetEnvironmentVariableA(kLogVariable, value);
#else
    if (value != nullptr)
        setenv(kLogVariable, value, 1);
    else
        unsetenv(kLogVariable);
#endif
}

std::string TempFolder()
{
#ifdef _WIN32
    char buffer[MAX_PATH];
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string(".\\");
#else
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr ? folder : "/tmp") + "/";
#endif
}

int ProcessId()
{
#ifdef _WIN32
    return static_cast<int>(GetCurrentProcessId());
#else
    return static_cast<int>(getpid());
#endif
}

}  // namespace

std::string ProbePath(const std::string& variant)
{
    for (const auto& entry : kProbePaths) {
        if (variant == entry.variant)
            return entry.path;
    }
    ADD_FAILURE() << "no probe variant " << variant;
    return {};
}

unsigned long CurrentThreadTag()
{
#ifdef _WIN32
    return static_cast<unsigned long>(GetCurrentThreadId());
#else
    return static_cast<unsigned long>(pthread_self());
#endif
}

const std::string& ProbeRecord::at(const std::string& key) const
{
    static const std::string missing = "<missing>";
    const auto found = fields.find(key);
    return found != fields.end() ? found->second : missing;
}

long long ProbeRecord::number(const std::string& key) const
{
    return std::strtoll(at(key).c_str(), nullptr, 0);
}

double ProbeRecord::real(const std::string& key) const
{
    return std::strtod(at(key).c_str(), nullptr);
}

ProbeLog::ProbeLog()
{
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test != nullptr ? std::string(test->test_suite_name()) + "." + test->name()
                                       : std::string("probe");
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    m_path = TempFolder() + "zumbrel-probe-" + std::to_string(ProcessId()) + "-" + name + ".log";
    std::remove(m_path.c_str());
    SetLogVariable(m_path.c_str());
}

ProbeLog::~ProbeLog()
{
    SetLogVariable(nullptr);
    std::remove(m_path.c_str());
}

std::vector<ProbeRecord> ProbeLog::Records() const
{
    std::vector<ProbeRecord> records;
    std::ifstream in(m_path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        ProbeRecord record;
        words >> record.kind;
        std::string word;
        while (words >> word) {
            const auto equals = word.find('=');
            if (equals != std::string::npos)
                record.fields[word.substr(0, equals)] = word.substr(equals + 1);
        }
        records.push_back(record);
    }
    return records;
}

std::vector<ProbeRecord> ProbeLog::Records(const std::string& kind) const
{
    std::vector<ProbeRecord> selected;
    for (auto& record : Records()) {
        if (record.kind == kind)
            selected.push_back(record);
    }
    return selected;
}

std::vector<long long> ProbeLog::Opcodes() const
{
    std::vector<long long> opcodes;
    for (const auto& record : Records("dispatch"))
        opcodes.push_back(record.number("op"));
    return opcodes;
}

StreamBlock::StreamBlock(int inputs, int outputs, int frames, float inputValue,
                         float outputValue)
    : m_frames(frames),
      m_in(static_cast<std::size_t>(inputs),
           std::vector<float>(static_cast<std::size_t>(frames), inputValue)),
      m_out(static_cast<std::size_t>(outputs),
            std::vector<float>(static_cast<std::size_t>(frames), outputValue))
{
    for (auto& channel : m_in)
        m_inputPointers.push_back(channel.data());
    for (auto& channel : m_out)
        m_outputPointers.push_back(channel.data());
    // Never empty, so that data() is a valid array even for a stream without channels.
    m_inputPointers.push_back(nullptr);
    m_outputPointers.push_back(nullptr);
}

// As the audio device plays an instrument: the render callback, then the output stage on the
// played outputs.
void StreamBlock::Render(void* owner)
{
    const auto outputs = static_cast<std::int32_t>(m_out.size());
    CVstPlugin::RenderCallback(Inputs(), Outputs(), static_cast<std::int32_t>(m_in.size()),
                               outputs, m_frames, 0, owner);
    if (owner == nullptr || m_frames <= 0)
        return;
    const CDenormalGuard noDenormals;
    for (std::int32_t c = 0; c < std::min(outputs, kPlayedOutputs); ++c)
        ScaleAndLimit(Outputs()[c], m_frames);
}
