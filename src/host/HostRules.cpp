#include "host/HostRules.h"

#include "base/SampleRate.h"

#include <cmath>
#include <cstdio>

namespace host {

namespace {
constexpr const char* kApplicationName = "Zumbrel";
constexpr const char* kLibraryExtension = ".dll";
} // namespace

namespace {
// The program's name without folder and extension ("Piano" for "C:\\x\\Piano.exe").
std::string BaseNameOf(const std::string& modulePath)
{
    const std::size_t slash = modulePath.find_last_of("\\/:");
    std::string base = slash == std::string::npos ? modulePath : modulePath.substr(slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        base.erase(dot);
    }
    return base;
}
} // namespace

std::string InstrumentLibraryPath(const std::string& directory, const std::string& modulePath)
{
    return directory + BaseNameOf(modulePath) + kLibraryExtension;
}

std::string AutosaveBankPath(const std::string& directory, const std::string& modulePath)
{
    return directory + BaseNameOf(modulePath) + ".fxb";
}

bool IsTextFieldClass(const std::string& className)
{
    std::string lower;
    for (const char c : className) {
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return lower == "edit" || lower.rfind("richedit", 0) == 0;
}

bool IsProgramFileName(const std::string& path)
{
    constexpr char kProgramExtension[] = ".fxp";
    constexpr std::size_t length = sizeof kProgramExtension - 1;
    if (path.size() < length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        const char c = path[path.size() - length + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != kProgramExtension[i]) {
            return false;
        }
    }
    return true;
}

int SampleRateForCode(int code)
{
    switch (code) {
    case kRateCode44100:
        return static_cast<int>(kDefaultSampleRate);
    case kRateCode48000:
        return 48000;
    case kRateCode96000:
        return 96000;
    default:
        return 0;
    }
}

int CodeForSampleRate(double rate)
{
    for (const int code : {kRateCode48000, kRateCode96000}) {
        if (rate == SampleRateForCode(code))
            return code;
    }
    return kRateCode44100;
}

std::string DeviceLatencyText(const std::string& device, double rate, double periodSeconds,
                              double latencySeconds)
{
    char text[96];
    std::string line = device + ": " + std::to_string(static_cast<long>(std::lround(rate))) + " Hz";
    if (periodSeconds > 0.0) {
        std::snprintf(text, sizeof text, ", %.1f ms period", periodSeconds * 1000.0);
        line += text;
    }
    if (latencySeconds > 0.0) {
        std::snprintf(text, sizeof text, ", %.1f ms output latency", latencySeconds * 1000.0);
        line += text;
    }
    return line;
}

ShortMessage SplitShortMessage(std::uint32_t word)
{
    return {static_cast<std::uint8_t>(word & 0xFF), static_cast<std::uint8_t>((word >> 8) & 0xFF),
            static_cast<std::uint8_t>((word >> 16) & 0xFF)};
}

std::string ProgramTitle(const char* programName)
{
    return std::string(kApplicationName) + " - " + (programName != nullptr ? programName : "");
}

int PreviousProgram(int current)
{
    return current <= 0 ? -1 : current - 1;
}

int NextProgram(int current, int programCount)
{
    return current >= programCount - 1 ? -1 : current + 1;
}

std::string MoreProgramsText(int morePrograms)
{
    return morePrograms == 1 ? "1 more program: << and >> reach it"
                             : std::to_string(morePrograms) + " more programs: << and >> reach them";
}

} // namespace host
